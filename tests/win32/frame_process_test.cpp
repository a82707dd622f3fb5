// The frame seen from outside: frame_probe.exe started in a scratch folder,
// its boxes read and answered, its exit code and marker files checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/driver/test_driver.h"
#include "tests/win32/probe_run.h"

namespace {

using probetest::AnswerErrorBoxOf;
using probetest::ExitCodeOf;
using probetest::kProbeWaitMs;

// A fresh folder holding a copy of the probe, so that files planted next to
// it affect no other test.
class ProbeFolder {
 public:
  explicit ProbeFolder(const char* tag) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "frame_probe_" + tag + "_" + std::to_string(GetTickCount());
    CreateDirectoryA(folder_.c_str(), nullptr);
    CopyIn("frame_probe.exe", "frame_probe.exe");
  }
  ~ProbeFolder() {
    for (const char* f : {"frame_probe.exe", "cleanup.txt", "touched.txt", "probelib.dll",
                          "shell32.dll"})
      DeleteFileA((folder_ + "\\" + f).c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  void CopyIn(const char* from, const char* as) {
    ASSERT_TRUE(CopyFileA((probetest::TestFolder() + "\\" + from).c_str(), (folder_ + "\\" + as).c_str(),
                          FALSE));
  }
  testdriver::Process Start(const char* mode) {
    std::string line;
    testdriver::AppendQuotedArgument(&line, folder_ + "\\frame_probe.exe");
    line += " ";
    line += mode;
    return testdriver::StartProgram(line, folder_);
  }
  bool HasFile(const char* name, std::string* content = nullptr) {
    HANDLE h = CreateFileA((folder_ + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char buffer[64] = {};
    DWORD read = 0;
    ReadFile(h, buffer, sizeof buffer - 1, &read, nullptr);
    CloseHandle(h);
    if (content) *content = std::string(buffer, read);
    return true;
  }
  const std::string& path() const { return folder_; }

 private:
  std::string folder_;
};

TEST(FrameProcess, EmptyMessageLoopReturnsAndCleanupRuns) {
  ProbeFolder probe("loop");
  auto p = probe.Start("loop-empty");
  ASSERT_TRUE(p.IsStarted());
  EXPECT_EQ(ExitCodeOf(p), 0u);
  std::string who;
  ASSERT_TRUE(probe.HasFile("cleanup.txt", &who));
  EXPECT_EQ(who, "main");
}

TEST(FrameProcess, ExitFromWorkerRunsCleanupOnMainThread) {
  ProbeFolder probe("exit");
  auto p = probe.Start("exit-worker");
  EXPECT_EQ(ExitCodeOf(p), 0u);
  std::string who;
  ASSERT_TRUE(probe.HasFile("cleanup.txt", &who));
  EXPECT_EQ(who, "main");
}

TEST(FrameProcess, RuntimeErrorOnWorkerShowsOneBoxAndSkipsCleanup) {
  ProbeFolder probe("error");
  auto p = probe.Start("error-worker");
  std::string text = AnswerErrorBoxOf(p);
  EXPECT_EQ(text, "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n");
  EXPECT_EQ(ExitCodeOf(p), 0xFFFFFFFFu);
  EXPECT_FALSE(probe.HasFile("cleanup.txt"));
}

TEST(FrameProcess, DllCommandNamedShell32ResolvesToTheSystemModule) {
  ProbeFolder probe("shell32");
  auto p = probe.Start("dll-shell32");
  EXPECT_EQ(ExitCodeOf(p), 0u);
}

TEST(FrameProcess, DllCommandWithEmptyLibraryNameSearchesTheDefaults) {
  ProbeFolder probe("default");
  auto p = probe.Start("dll-default");
  EXPECT_EQ(ExitCodeOf(p), 0u);
}

TEST(FrameProcess, UnknownExportGivesTheDllErrorText) {
  ProbeFolder probe("missing");
  auto p = probe.Start("dll-missing");
  EXPECT_EQ(AnswerErrorBoxOf(p),
            "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“kernel32.dll”中的输出命令“"
            "NoSuchExport”\r\n");
  EXPECT_EQ(ExitCodeOf(p), 0xFFFFFFFFu);
}

TEST(FrameProcess, UnbalancedStackAfterDllCallIsError6) {
  // Only the i386 convention lets a callee unbalance the stack; in x64 the
  // caller owns it and there is nothing to check.
  if (sizeof(void*) != 4) GTEST_SKIP() << "i386 only: x64 calls cannot unbalance the stack";
  ProbeFolder probe("cdecl");
  auto p = probe.Start("dll-cdecl");
  EXPECT_EQ(AnswerErrorBoxOf(p),
            "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
  EXPECT_EQ(ExitCodeOf(p), 0xFFFFFFFFu);
}

TEST(FrameProcess, LibraryOnlyInProgramFolderIsLoadedFromThere) {
  ProbeFolder probe("local");
  probe.CopyIn("probelib.dll", "probelib.dll");
  auto p = probe.Start("dll-local");
  EXPECT_EQ(ExitCodeOf(p), 42u);
}

TEST(FrameProcess, PlantedCopyOfASystemLibraryIsNeverLoaded) {
  ProbeFolder probe("planted");
  // A "shell32.dll" next to the program that exports what the real one lacks.
  probe.CopyIn("probelib.dll", "shell32.dll");
  auto p = probe.Start("dll-planted");
  EXPECT_EQ(AnswerErrorBoxOf(p),
            "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“shell32”中的输出命令“"
            "ProbeMarker”\r\n");
  EXPECT_EQ(ExitCodeOf(p), 0xFFFFFFFFu);
}

TEST(FrameProcess, AllocationFailureShowsTheCount) {
  ProbeFolder probe("alloc");
  auto p = probe.Start("alloc-fail");
  EXPECT_EQ(AnswerErrorBoxOf(p), "运行时出错!\r\n\r\n错误信息：分配 -16 字节内存失败!\r\n");
  EXPECT_EQ(ExitCodeOf(p), 0xFFFFFFFFu);
}

TEST(FrameProcess, MessageBoxMapsYesAndNo) {
  for (int id : {IDYES, IDNO}) {
    ProbeFolder probe(id == IDYES ? "yes" : "no");
    auto p = probe.Start("msgbox-yesno");
    HWND box = testdriver::FindMessageBox(p, "温馨提示：", kProbeWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(testdriver::ReadMessageBoxText(box), "问题");
    testdriver::PressButton(box, id);
    EXPECT_EQ(ExitCodeOf(p), id == IDYES ? 5u : 6u);
  }
}

TEST(FrameProcess, MessageBoxDefaultCaptionAndBoolText) {
  ProbeFolder probe("bool");
  auto p = probe.Start("msgbox-bool");
  HWND box = testdriver::FindMessageBox(p, "信息：", kProbeWaitMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(testdriver::ReadMessageBoxText(box), "真");
  EXPECT_EQ(testdriver::ListButtons(box).size(), 1u);
  testdriver::PressButton(box, IDOK);
  EXPECT_EQ(ExitCodeOf(p), 0u);
}

}  // namespace
