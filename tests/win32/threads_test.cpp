// StartThread and the thread library's notifications, under Wine.
#include "payload/threads_win.h"

#include <gtest/gtest.h>

#include <vector>

#include "frame/frame_api.h"

namespace {

// Generous bound for a thread to run; never reached when things work.
constexpr DWORD kWaitMs = 20000;

// Shared with the probe threads; lives for the whole process so that a
// thread that is still finishing never touches a dead object.
struct EntryProbe {
  HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  volatile LONG parameter = -1;
  volatile LONG running = 0;
  volatile DWORD threadId = 0;
};
EntryProbe gProbe;

// Records its parameter, then waits until the test lets it end; its exit
// code is the parameter plus one.
DWORD WINAPI ProbeEntry(LPVOID parameter) {
  InterlockedIncrement(&gProbe.running);
  InterlockedExchange(&gProbe.parameter, static_cast<LONG>(reinterpret_cast<intptr_t>(parameter)));
  gProbe.threadId = GetCurrentThreadId();
  SetEvent(gProbe.started);
  WaitForSingleObject(gProbe.release, kWaitMs);
  InterlockedDecrement(&gProbe.running);
  return static_cast<DWORD>(reinterpret_cast<intptr_t>(parameter)) + 1;
}

// True when some handle value of this process refers to the thread: the
// handle table is small in a test, so the first few thousand values are
// enough.
bool SomeHandleRefersTo(DWORD threadId) {
  for (uintptr_t value = 4; value < 0x4000; value += 4) {
    if (GetThreadId(reinterpret_cast<HANDLE>(value)) == threadId) return true;
  }
  return false;
}

ArgValue EntryArgument() {
  return MakePointer(reinterpret_cast<void*>(&ProbeEntry), kTagSubroutine);
}

class StartThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvent(gProbe.started);
    ResetEvent(gProbe.release);
    gProbe.parameter = -1;
  }
  void TearDown() override {
    // Every probe thread ends before the next test.
    SetEvent(gProbe.release);
    for (HANDLE h : waitable_) {
      WaitForSingleObject(h, kWaitMs);
      CloseHandle(h);
    }
    for (DWORD start = GetTickCount(); gProbe.running != 0 && GetTickCount() - start < kWaitMs;)
      Sleep(1);
  }
  std::vector<HANDLE> waitable_;
};

TEST_F(StartThreadTest, OmittedArgumentsPassZeroAndCloseTheHandle) {
  ArgValue args[3] = {EntryArgument()};
  ArgValue result = {};
  StartThread(&result, 1, args);
  EXPECT_EQ(result.tag, kTagBool);
  EXPECT_EQ(result.i32, 1);
  ASSERT_EQ(WaitForSingleObject(gProbe.started, kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(gProbe.parameter, 0);
  EXPECT_FALSE(SomeHandleRefersTo(gProbe.threadId)) << "the thread handle stays open";
  EXPECT_EQ(gProbe.running, 1) << "the thread keeps running";

  // Given with tag 0 is the same as not given.
  ResetEvent(gProbe.started);
  StartThread(&result, 3, args);
  EXPECT_EQ(result.i32, 1);
  ASSERT_EQ(WaitForSingleObject(gProbe.started, kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(gProbe.parameter, 0);
  // These threads end at TearDown; nothing waits for them.
}

TEST_F(StartThreadTest, HandleVariableReceivesAWaitableHandle) {
  int32_t handleVariable = 0;
  ArgValue args[3] = {EntryArgument(), MakeInt(41), MakePointer(&handleVariable, kTagInt)};
  ArgValue result = {};
  StartThread(&result, 3, args);
  ASSERT_EQ(result.i32, 1);
  ASSERT_NE(handleVariable, 0);
  HANDLE thread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(handleVariable));
  waitable_.push_back(thread);
  ASSERT_EQ(WaitForSingleObject(gProbe.started, kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(gProbe.parameter, 41);
  EXPECT_TRUE(SomeHandleRefersTo(gProbe.threadId));
  EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";
  SetEvent(gProbe.release);
  ASSERT_EQ(WaitForSingleObject(thread, kWaitMs), WAIT_OBJECT_0);
  DWORD exitCode = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(exitCode, 42u);
}

TEST_F(StartThreadTest, MissingEntryStartsNothing) {
  int32_t handleVariable = 12345;
  ArgValue args[3] = {ArgValue{}, MakeInt(1), MakePointer(&handleVariable, kTagInt)};
  ArgValue result = {};
  StartThread(&result, 3, args);
  EXPECT_EQ(result.tag, kTagBool);
  EXPECT_EQ(result.i32, 0);
  EXPECT_EQ(handleVariable, 0);
  StartThread(&result, 0, args);
  EXPECT_EQ(result.i32, 0);
}

TEST(ThreadLibraryTest, NotificationsAndCriticalSectionRelease) {
  EXPECT_EQ(ThreadLibraryNotify(kNotifyFrameEntry, 0, 0), 0);
  for (int code : {0, 2, 3, 7}) EXPECT_EQ(ThreadLibraryNotify(code, 0, 0), -1) << code;

  for (int i = 0; i < 3; ++i) {
    CRITICAL_SECTION* section = NewListedCriticalSection();
    ASSERT_NE(section, nullptr);
    EnterCriticalSection(section);
    LeaveCriticalSection(section);
  }
  EXPECT_EQ(ListedCriticalSectionCount(), 3u);
  EXPECT_EQ(ThreadLibraryNotify(kNotifyProgramEnd, 0, 0), 0);
  EXPECT_EQ(ListedCriticalSectionCount(), 0u);
  EXPECT_EQ(ThreadLibraryNotify(kNotifyProgramEnd, 0, 0), 0) << "an empty list is fine";
}

}  // namespace
