// setup.exe driven as a user drives it, for the end-to-end tests: one run of
// a setup program (its window, page-1 controls, the notice and the worker's
// prompts), the installer's texts, the default folder, the desktop shortcut
// and temporary archive paths, screenshots of the stages, the folder
// browser, and clean-up of what an install leaves.
//
// A test program that includes this defines SETUP_EXE_PATH (the build's
// setup.exe, the default program of a run) and SETUP_SCREENSHOT_DIR (where
// screenshots go), both as Windows paths.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/driver/test_driver.h"
#include "tests/win32/zip_test_support.h"

namespace setuptest {

inline constexpr DWORD kWaitMs = 30000;
inline constexpr const char* kTitle = "安装程序";
inline constexpr const char* kProduct = "VantrelCorvane";
inline constexpr char kNotice[] =
    "由于系列正版软件都作了加壳加密处理\r\n如果部分杀毒软件提示警告，请允许即可！\r\n\r\n"
    "软件干净无毒无木马~~支持正版 谢谢大家\r\n"
    "软件安装好后，建议把安装的软件目录加入杀毒软件信任，再运行软件，以免影响部分功能使用。\r\n"
    "可以阅读软件安装说明";
inline constexpr char kFinalPrompt[] = "安装完成！\r\n点<是>将启动软件\r\n点<否>不启动,可以在桌面启动软件";
inline constexpr char kExtractFailed[] =
    "安装失败！部分文件无法写入，软件可能正在运行。\r\n请关闭正在运行的软件后点<重试>，点<取消>退出安装";

inline std::string Utf8(const std::string& gbk) { return testdriver::GbkToUtf8(gbk); }

inline bool DriveDHasRoom() {
  ULARGE_INTEGER available, total, free;
  if (!GetDiskFreeSpaceExA("d:", &available, &total, &free)) return false;
  return free.QuadPart / 1048576 >= 1000;
}

inline std::string DefaultFolder() {
  return std::string(DriveDHasRoom() ? "D:\\" : "C:\\") + "Vantrel软件\\" + kProduct;
}

inline std::string DesktopFolder() {
  wchar_t desktop[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE);
  return ziptest::Gbk(desktop);
}

inline std::string DesktopLink() { return DesktopFolder() + "\\" + kProduct + ".lnk"; }

inline std::string TempArchive() {
  return ziptest::TempFolder() + "tool.zip";
}

// Saves the screen as a PNG in the build's screenshot folder with the X
// server's own screenshot tool (Wine starts Unix programs by their path): the
// stages of an install, kept as artefacts of the test run. GDI cannot read
// back what other processes' windows show under Wine.
inline void SaveScreen(const char* name) {
  Sleep(500);  // let the boxes and controls paint
  std::string folder = SETUP_SCREENSHOT_DIR;
  CreateDirectoryW(ziptest::Wide(folder).c_str(), nullptr);
  std::string file = folder + "/" + name + ".png";
  DeleteFileW(ziptest::Wide(file).c_str());
  std::string line = "Z:\\usr\\bin\\import -window root ";
  testdriver::AppendQuotedArgument(&line, file.substr(2));
  // A Unix program runs detached from its Windows process handle: wait for
  // its file instead.
  testdriver::Process shot = testdriver::StartProgram(line, "");
  for (int i = 0; shot.IsStarted() && i < 100 && !ziptest::IsFile(file); ++i) Sleep(100);
  Sleep(300);
}

// One run of a setup program.
class SetupRun {
 public:
  enum TempFolder { kUsualTemp, kNoTempFolder };
  // kNoTempFolder: the program sees a temporary folder that does not exist
  // (TMP and TEMP point there while it starts).
  explicit SetupRun(const char* exe = SETUP_EXE_PATH, TempFolder temp = kUsualTemp) {
    std::string line;
    testdriver::AppendQuotedArgument(&line, exe);
    wchar_t savedTmp[MAX_PATH] = {}, savedTemp[MAX_PATH] = {};
    if (temp == kNoTempFolder) {
      GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH);
      GetEnvironmentVariableW(L"TEMP", savedTemp, MAX_PATH);
      SetEnvironmentVariableW(L"TMP", L"C:\\no such folder\\");
      SetEnvironmentVariableW(L"TEMP", L"C:\\no such folder\\");
    }
    process_ = testdriver::StartProgram(line, "");
    if (temp == kNoTempFolder) {
      SetEnvironmentVariableW(L"TMP", savedTmp[0] ? savedTmp : nullptr);
      SetEnvironmentVariableW(L"TEMP", savedTemp[0] ? savedTemp : nullptr);
    }
  }
  ~SetupRun() {
    if (process_.IsStarted() && testdriver::WaitForExit(process_, 0, nullptr) != testdriver::WaitResult::kExited)
      testdriver::Kill(process_);
  }
  testdriver::Process& process() { return process_; }

  HWND Window() {
    if (!window_) window_ = testdriver::FindTopWindow(process_, kTitle, nullptr, kWaitMs);
    return window_;
  }
  HWND Child(const char* text, const char* className = nullptr) {
    return testdriver::FindChildByText(Window(), text, className);
  }
  HWND FolderLabel() {
    // The label that shows a path ending in the product's name.
    for (HWND child : testdriver::ListDescendants(Window())) {
      std::string text = testdriver::GetTextOf(child);
      if (text.size() > 3 && text.compare(1, 2, ":\\") == 0) return child;
    }
    return nullptr;
  }
  // The page-1 control of this size at about this place in the window's
  // client area (page 1's single-line border shifts its children by 1).
  HWND ChildAt(int x, int y, int width, int height) {
    for (HWND child : testdriver::ListDescendants(Window())) {
      RECT r;
      GetWindowRect(child, &r);
      POINT p = {r.left, r.top};
      ScreenToClient(Window(), &p);
      if (r.right - r.left == width && r.bottom - r.top == height && std::abs(p.x - x) <= 2 &&
          std::abs(p.y - y) <= 2)
        return child;
    }
    return nullptr;
  }
  HWND InstallButton() { return ChildAt(14, 255, 220, 80); }
  std::string LogText() {
    HWND log = ChildAt(79, 344, 160, 24);
    return log ? testdriver::GetTextOf(log) : "<no log label>";
  }

  DWORD ExitCode(DWORD waitMs = kWaitMs) {
    DWORD code = 0xDEAD;
    EXPECT_EQ(testdriver::WaitForExit(process_, waitMs, &code), testdriver::WaitResult::kExited);
    return code;
  }
  bool StillRunning(DWORD waitMs) {
    return testdriver::WaitForExit(process_, waitMs, nullptr) == testdriver::WaitResult::kTimedOut;
  }

  // Clicks the install button and answers the notice.
  void StartInstall() {
    HWND button = InstallButton();
    ASSERT_NE(button, nullptr);
    PostMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(100, 40));
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 40));
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(100, 40));
    HWND notice = testdriver::FindMessageBox(process_, "信息：", kWaitMs);
    ASSERT_NE(notice, nullptr);
    if (!noticeSaved_) SaveScreen("2-notice");
    noticeSaved_ = true;
    EXPECT_EQ(Utf8(testdriver::ReadMessageBoxText(notice)), Utf8(kNotice));
    testdriver::PressButton(notice, IDOK);
    testdriver::WaitUntilGone(notice, kWaitMs);
  }
  // Starts the install and waits for the worker's box ("温馨提示："): the
  // final prompt, or the failure prompt. Null when none comes.
  HWND InstallToPrompt() {
    StartInstall();
    return testdriver::FindMessageBox(process_, "温馨提示：", kWaitMs);
  }


 private:
  testdriver::Process process_;
  HWND window_ = nullptr;
  // The notice is saved as a screenshot once per test program.
  inline static bool noticeSaved_ = false;
};

// Removes what an install leaves behind.
inline void RemoveInstall(const std::string& folder) {
  ziptest::RemoveTree(folder);
  DeleteFileW(ziptest::Wide(DesktopLink()).c_str());
}

// The default folder, with what an earlier install left there removed.
inline std::string FreshDefaultFolder() {
  std::string folder = DefaultFolder();
  RemoveInstall(folder);
  return folder;
}

// Opens the folder browser from the folder label, types the start of a
// folder's name into its tree (which selects it, as a user's keys would) and
// presses OK. False when the browser does not come or go.
inline bool ChooseInBrowser(SetupRun& run, HWND label, const std::string& typed) {
  PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  HWND browser = testdriver::FindMessageBox(run.process(), nullptr, kWaitMs);
  HWND tree = browser ? testdriver::FindChildByClass(browser, "SysTreeView32") : nullptr;
  if (!tree) return false;
  Sleep(300);
  for (char c : typed) PostMessageW(tree, WM_CHAR, static_cast<unsigned char>(c), 1);
  Sleep(500);
  testdriver::PressButton(browser, IDOK);
  return testdriver::WaitUntilGone(browser, kWaitMs);
}

}  // namespace setuptest
