// Window loading, properties and events seen through form_probe.exe: each
// scenario runs in its own process (fatal errors end it) and writes what it
// observes to a log file that the tests read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/driver/test_driver.h"
#include "tests/win32/probe_run.h"

namespace {

using probetest::Has;
using probetest::Joined;

constexpr DWORD kFatalExit = 0xFFFFFFFF;

// One run of form_probe.exe in a scenario.
class ProbeRun : public probetest::ProbeRun {
 public:
  explicit ProbeRun(const char* mode) : probetest::ProbeRun("form_probe", mode) {}
};

std::string ErrorText(const char* message) {
  return std::string("运行时出错!\r\n\r\n错误信息：") + message + "\r\n";
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line, size_t from = 0) {
  auto it = std::find(lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())), lines.end(), line);
  return static_cast<size_t>(it - lines.begin());
}
size_t Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}
bool HasPrefix(const std::vector<std::string>& lines, const std::string& prefix, size_t from = 0) {
  for (size_t i = from; i < lines.size(); ++i)
    if (lines[i].compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

TEST(WindowLoading, CreatesStacksAndShowsTheUnitsOfTheForm) {
  ProbeRun run("load");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));

  // Earlier records lie above later ones, per parent; children sit in the
  // window of their parent unit.
  EXPECT_EQ(Count(log, "stack 窗口: 框A,隐藏框,时钟,页,尾框,静框"), 2u);  // before and after re-creation
  EXPECT_EQ(Count(log, "stack 页: 框B,框C"), 2u);

  // Control ids 100, 110, ... in creation order, last record first. Hidden
  // flags and never-shown types stay hidden.
  for (const char* line : {"unit 框A id=170 visible=1 parent=窗口", "unit 隐藏框 id=160 visible=0 parent=窗口",
                           "unit 框B id=150 visible=1 parent=页", "unit 时钟 id=140 visible=0 parent=窗口",
                           "unit 框C id=130 visible=1 parent=页", "unit 页 id=120 visible=1 parent=窗口",
                           "unit 尾框 id=110 visible=1 parent=窗口", "unit 静框 id=100 visible=1 parent=窗口"})
    EXPECT_TRUE(Has(log, line)) << line;
  EXPECT_TRUE(Has(log, "live B left=20 top=30"));
}

TEST(WindowLoading, HoldsEventsBackThenRaisesCreatedMovedResizedOnce) {
  ProbeRun run("load");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));

  size_t loaded = IndexOf(log, "loaded");
  ASSERT_LT(loaded, log.size());
  std::vector<std::string> windowEvents;
  for (size_t i = 0; i < loaded; ++i)
    if (log[i].compare(0, 7, "ev 窗口") == 0) windowEvents.push_back(log[i]);
  ASSERT_GE(windowEvents.size(), 3u);
  EXPECT_EQ(windowEvents[0], "ev 窗口 0");
  EXPECT_EQ(windowEvents[1], "ev 窗口 3");
  EXPECT_EQ(windowEvents[2], "ev 窗口 4");
  EXPECT_EQ(Count(windowEvents, "ev 窗口 3"), 1u);
  EXPECT_EQ(Count(windowEvents, "ev 窗口 4"), 1u);

  // Every unit heard that all units exist before Created; the event a unit
  // raised at that moment was not delivered.
  EXPECT_LT(IndexOf(log, "units-created 框A"), IndexOf(log, "ev 窗口 0"));
  EXPECT_FALSE(HasPrefix(log, "ev 框A -1"));
  EXPECT_LT(IndexOf(log, "ev 窗口 0"), IndexOf(log, "load-finishing 框A"));

  // The handler saw its source; afterwards the source's window id is clear.
  EXPECT_TRUE(Has(log, "source 52010001 06010000"));
  EXPECT_TRUE(Has(log, "source-after 00000000"));
}

TEST(WindowLoading, WindowIsBorderlessCentredWithStoredSizeAndInTheTaskbar) {
  ProbeRun run("load");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));
  EXPECT_TRUE(Has(log, "window popup=1 caption=0 appwindow=1 owner=0 visible=1"));
  EXPECT_TRUE(Has(log, "title 窗口探针"));
  int x = 0, y = 0, w = 0, h = 0, sw = 0, sh = 0;
  size_t at = log.size();
  for (size_t i = 0; i < log.size(); ++i)
    if (log[i].compare(0, 5, "rect ") == 0) at = i;
  ASSERT_LT(at, log.size());
  ASSERT_EQ(sscanf(log[at].c_str(), "rect %d %d %d %d screen %d %d", &x, &y, &w, &h, &sw, &sh), 6);
  EXPECT_EQ(w, 250);
  EXPECT_EQ(h, 400);
  EXPECT_EQ(x, (sw - 250) / 2);
  EXPECT_EQ(y, (sh - 400) / 2);
}

TEST(WindowLoading, OwnPropertiesConvertAndRecreationKeepsPlaceChildrenAndState) {
  ProbeRun run("load");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));
  EXPECT_TRUE(Has(log, "own text=你好"));
  EXPECT_TRUE(Has(log, "own null text=<null>"));  // a null text is written as empty
  EXPECT_TRUE(Has(log, "own flag=1"));
  EXPECT_TRUE(Has(log, "live clamp width=0 left=32627 top=-32627"));
  EXPECT_TRUE(Has(log, "rebuilt new=1 old-gone=1 number=123456"));
  EXPECT_TRUE(Has(log, "unit 页 id=120 visible=1"));
  EXPECT_TRUE(Has(log, "parent 框B=页 框C=页"));
}

TEST(WindowLoading, CreatedHandlerThatDestroysTheWindowEndsLoading) {
  ProbeRun run("destroy-on-create");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));
  EXPECT_TRUE(Has(log, "ev 窗口 0"));
  EXPECT_TRUE(Has(log, "ev 窗口 2"));  // Destroying
  for (const char* absent : {"ev 窗口 3", "ev 窗口 4", "ev 窗口 10", "ev 窗口 -7"})
    EXPECT_FALSE(Has(log, absent)) << absent;
  EXPECT_TRUE(Has(log, "after-load live=0"));
  EXPECT_TRUE(Has(log, "loop-returned"));  // no live window: the loop returns at once
}

TEST(WindowLoading, NeverLoadedWindowReadsAndWritesItsTemplate) {
  ProbeRun run("never-loaded");
  EXPECT_EQ(run.AnswerErrorBox(), ErrorText("指定窗口尚未载入"));
  EXPECT_EQ(run.ExitCode(), kFatalExit);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));
  for (const char* line : {"stored 5 6 70 80", "write 2 -5 -> 0", "write 0 40000 -> 32627",
                           "write 1 -40000 -> -32627", "write 3 40000 -> 32627", "write 0 -12 -> -12",
                           "write 2 32627 -> 32627", "tag 原标签", "tag 新标签", "tag <null>", "visible 1",
                           "visible 0 disabled 1", "own property next"})
    EXPECT_TRUE(Has(log, line)) << line;
  EXPECT_FALSE(Has(log, "own property returned"));
}

TEST(WindowLoading, InputEventsFoldKeysAndMaySwallowOrReplaceMessages) {
  ProbeRun run("input");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));

  // Left-button release: x and y unsigned, Ctrl from the message; a false
  // reply swallows it, no reply or true lets it through.
  size_t replyFalse = IndexOf(log, "reply false");
  size_t replyNothing = IndexOf(log, "reply nothing");
  size_t replyTrue = IndexOf(log, "reply true");
  ASSERT_LT(replyTrue, log.size());
  EXPECT_EQ(log[replyFalse + 1], "ev 框A -2 65533 7 1");
  EXPECT_EQ(replyFalse + 2, replyNothing);
  EXPECT_EQ(log[replyNothing + 2], "got LBUTTONUP 框A");
  EXPECT_EQ(log[replyTrue + 2], "got LBUTTONUP 框A");

  // Key codes with the keypad folded and the modifier state (1 Ctrl, 2 Shift,
  // 4 Alt), a modifier key without its own bit.
  for (const char* line : {"ev 框A -9 53 1", "ev 框A -9 17 0", "ev 框A -9 190 2", "ev 框A -9 189 4",
                           "ev 框A -9 191 7", "ev 框A -9 16 1", "ev 框A -9 81 0"})
    EXPECT_TRUE(Has(log, line)) << line;

  // Characters: 'a' replaced by 'B', 'x' swallowed, 'z' unchanged.
  size_t a = IndexOf(log, "ev 框A -11 97");
  ASSERT_LT(a + 1, log.size());
  EXPECT_EQ(log[a + 1], "got CHAR 66 框A");
  EXPECT_FALSE(Has(log, "got CHAR 97 框A"));
  EXPECT_TRUE(Has(log, "ev 框A -11 120"));
  EXPECT_FALSE(Has(log, "got CHAR 120 框A"));
  EXPECT_TRUE(Has(log, "got CHAR 122 框A"));

  EXPECT_TRUE(Has(log, "ev 框A -12 -2 2"));  // two steps back, with Shift
  // A unit type that raises no events gets its input untouched (and no error).
  EXPECT_TRUE(Has(log, "got LBUTTONUP 静框"));
  EXPECT_TRUE(Has(log, "input-done"));
}

TEST(WindowLoading, NoHandlerRunsOnceExitHasBegun) {
  ProbeRun run("exit-stops-events");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));
  size_t exiting = IndexOf(log, "exiting");
  ASSERT_LT(exiting, log.size());
  EXPECT_TRUE(Has(log, "cleanup-done live=0"));  // the close went through without CloseRequest
  EXPECT_FALSE(HasPrefix(log, "ev ", exiting));
}

TEST(WindowLoading, CloseRequestMayRefuseAndDestructionResetsTheTemplate) {
  ProbeRun run("close");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));
  EXPECT_EQ(Count(log, "ev 窗口 1"), 2u);  // refused once, then accepted
  EXPECT_LT(IndexOf(log, "ev 窗口 2"), IndexOf(log, "loop-returned"));
  EXPECT_TRUE(Has(log, "left before 10"));
  EXPECT_TRUE(Has(log, "after close left=10 tag=<null> live=0"));
  EXPECT_TRUE(Has(log, "reloaded live=1 left=10"));
}

TEST(WindowLoading, FatalErrorsOfLoadingPropertiesAndEvents) {
  const struct {
    const char* mode;
    const char* message;
  } kCases[] = {
      {"missing-type", "载入启动窗口失败"},
      {"failing-create", "载入启动窗口失败"},
      {"raise-no-window", "未找到引发事件的窗口"},
      {"raise-no-unit", "未找到引发事件的窗口组件"},
      {"raise-silent-unit", "引发事件的窗口组件无效"},
      {"require-unloaded", "指定窗口或窗口组件不存在或尚未载入"},
      {"read-no-window", "未载入欲访问窗口组件所在的窗口"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.mode);
    ProbeRun run(c.mode);
    EXPECT_EQ(run.AnswerErrorBox(), ErrorText(c.message));
    EXPECT_EQ(run.ExitCode(), kFatalExit);
  }
}

TEST(WindowLoading, ShownWindowIdlesAndEndsTheLoopWhenClosed) {
  ProbeRun run("show");
  HWND window = testdriver::FindTopWindow(run.process(), "窗口探针", "CWinFormUnit", probetest::kProbeWaitMs);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  // The loop goes idle once the window is up; wait for the handler's line.
  for (int i = 0; i < 300 && !Has(run.Lines(), "ev 窗口 7"); ++i) Sleep(testdriver::kPollIntervalMs);
  EXPECT_TRUE(Has(run.Lines(), "ev 窗口 7"));
  ASSERT_TRUE(testdriver::RequestClose(window));
  EXPECT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  EXPECT_TRUE(Has(log, "ev 窗口 1"));
  EXPECT_TRUE(Has(log, "loop-returned"));
}

// Addresses above 4 GB (a 64-bit process's heap and image live there with
// high-entropy ASLR) pass through the value model, unit properties and DLL
// commands whole. The 32-bit build runs the same path below 4 GB.
TEST(WindowLoading, AddressesOfAnyHeightTravelWhole) {
  ProbeRun run("high-address");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(Joined(log));
  EXPECT_TRUE(Has(log, sizeof(void*) == 8 ? "above-4gb=1" : "above-4gb=0"));
  EXPECT_TRUE(Has(log, "value length=10 joined=1"));
  EXPECT_TRUE(Has(log, "property text=1 data=1 tag=1"));
  EXPECT_TRUE(Has(log, "dll length=10 result=1 copied=1"));
}

}  // namespace
