// setup.exe from start to exit, driven as a user would drive it: the window
// and its page, the default folder, the folder browser, the close controls,
// and whole installs with the notice, the extraction, the shortcut, the
// final prompt and the clean-up. Each test starts its own setup.exe.
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "payload/archive_reader_win.h"
#include "payload/zip_extract_win.h"
#include "tests/driver/test_driver.h"
#include "tests/win32/setup_run.h"
#include "tests/win32/shell_link_support.h"
#include "tests/win32/zip_test_support.h"

namespace {

using namespace setuptest;
using ziptest::Wide;

// The six entries of the demo payload, as they land in the folder.
const char* const kInstalledFiles[] = {"VantrelUpdate.exe", "VantrelCore.dll", "VantrelCorvane.exe",
                                       "share\\设置.ini", "share\\VantrelRes.dll"};

// Page 1's colour and pages 2 and 3's, as COLORREF.
constexpr COLORREF kPage1 = RGB(22, 131, 196);
constexpr COLORREF kPage2 = RGB(117, 184, 238);

// The screen pixels of a window's client area, row by row.
struct Capture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
  COLORREF At(int x, int y) const {
    uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
};

Capture CaptureClient(HWND window) {
  Capture c;
  RECT client;
  if (!GetClientRect(window, &client)) return c;
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  c.width = client.right;
  c.height = client.bottom;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = c.width;
  info.bmiHeader.biHeight = -c.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, section);
  BitBlt(memory, 0, 0, c.width, c.height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  c.pixels.assign(p, p + static_cast<size_t>(c.width) * c.height);
  SelectObject(memory, old);
  DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return c;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The DOS time of every entry of the payload as the installed file's last
// write time (UTC, not converted); "" when all agree, else the first
// difference.
std::string CompareFileTimes(const std::string& folder) {
  auto reader = ArchiveReader::Open(SETUP_PAYLOAD_ZIP_FILE);
  if (!reader) return "payload not readable";
  ZipEntryInfo info;
  for (int32_t i = 0; reader->EntryInfo(i, &info) == kReaderOk; ++i) {
    if (info.attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string path = folder + "\\" + info.name;
    for (char& c : path)
      if (c == '/') c = '\\';
    HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "missing " + Utf8(info.name);
    FILETIME written;
    GetFileTime(f, nullptr, nullptr, &written);
    CloseHandle(f);
    if (CompareFileTime(&written, &info.lastWriteTime) != 0) return "time of " + Utf8(info.name);
  }
  reader->Close();
  return "";
}

// Waits for the product's window and ends its process; false when no window came.
bool EndStartedProduct() {
  HWND product = testdriver::FindTopWindow(0, kProduct, nullptr, kWaitMs);
  if (!product) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(product, &pid);
  HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  TerminateProcess(h, 0);
  WaitForSingleObject(h, 5000);
  CloseHandle(h);
  return true;
}

// The installation folder made with the product's executable held open
// without sharing, so that extracting it fails. The caller closes the handle.
HANDLE LockProductExe(const std::string& folder) {
  CreateDirectoryW(Wide(folder.substr(0, folder.rfind('\\'))).c_str(), nullptr);
  CreateDirectoryW(Wide(folder).c_str(), nullptr);
  return CreateFileW(Wide((folder + "\\VantrelCorvane.exe")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                     nullptr);
}

TEST(InstallerE2E, WindowIsBorderlessAtTop300WithPage1AndTheDefaultFolder) {
  SetupRun run;
  HWND window = run.Window();
  ASSERT_NE(window, nullptr);
  RECT rect;
  ASSERT_TRUE(testdriver::WindowRectOf(window, &rect));
  EXPECT_EQ(rect.right - rect.left, 250);
  EXPECT_EQ(rect.bottom - rect.top, 400);
  EXPECT_EQ(rect.top, 300);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 250) / 2);
  LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER), 0);

  HWND folder = run.FolderLabel();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(Utf8(testdriver::GetTextOf(folder)), Utf8(DefaultFolder()));
  // Run again by the build's drive tests with and without a drive D:.
  char expected[4] = {};
  if (GetEnvironmentVariableA("SETUP_EXPECT_DRIVE", expected, sizeof expected) == 1) {
    EXPECT_EQ(testdriver::GetTextOf(folder).substr(0, 3), std::string(expected) + ":\\");
  }
  EXPECT_EQ(run.LogText(), "");
  // Page 1's eight controls at their places (x, y, width, height).
  const int kPage1Controls[][4] = {
      {79, 344, 160, 24}, {230, 14, 12, 12}, {21, 327, 205, 8},  {7, 344, 56, 24},
      {7, 8, 68, 24},     {12, 36, 211, 211}, {14, 255, 220, 80}, {7, 367, 232, 25},
  };
  for (const auto& c : kPage1Controls)
    EXPECT_NE(run.ChildAt(c[0], c[1], c[2], c[3]), nullptr) << c[0] << "," << c[1] << " " << c[2] << "x" << c[3];
  HWND bar = testdriver::FindChildByClass(window, "msctls_progress32");
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(testdriver::IsWindowShown(bar));

  Sleep(500);  // let every control paint
  SaveScreen("1-idle");
  Capture shot = CaptureClient(window);
  ASSERT_EQ(shot.width, 250);
  ASSERT_EQ(shot.height, 400);
  // Page 1's pixels under this system code page, for the comparison across
  // locales (page1_same_in_every_locale).
  ziptest::WriteBytes(std::string(SETUP_SCREENSHOT_DIR) + "/page1-cp" + std::to_string(GetACP()) + ".bgra",
                      std::string(reinterpret_cast<const char*>(shot.pixels.data()), shot.pixels.size() * 4));
  // Page 1 covers the client area: its colour right of the logo and between
  // the logo and the button, and nothing of pages 2 and 3 anywhere off the
  // pictures.
  EXPECT_TRUE(Near(shot.At(240, 150), kPage1, 2));
  EXPECT_TRUE(Near(shot.At(120, 250), kPage1, 2));
  int page2Pixels = 0;
  for (int y = 1; y < 399; ++y) {
    for (int x : {1, 5, 236, 245, 248}) page2Pixels += Near(shot.At(x, y), kPage2, 8) ? 1 : 0;
  }
  EXPECT_EQ(page2Pixels, 0);
  // The logo is drawn: white flame pixels inside its box.
  int white = 0;
  for (int y = 36; y < 247; y += 3)
    for (int x = 12; x < 223; x += 3) white += Near(shot.At(x, y), RGB(255, 255, 255), 30) ? 1 : 0;
  EXPECT_GT(white, 200);
  // The yellow bold title.
  int yellow = 0;
  for (int y = 8; y < 32; ++y)
    for (int x = 7; x < 75; ++x) {
      COLORREF c = shot.At(x, y);
      yellow += GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) < 90 ? 1 : 0;
    }
  EXPECT_GT(yellow, 20);
  // The install button's face reaches its bottom rows: the hidden progress
  // bar above it shows nothing.
  COLORREF face = shot.At(30, 300);
  EXPECT_FALSE(Near(face, kPage1, 10));
  EXPECT_TRUE(Near(shot.At(30, 330), shot.At(30, 320), 40));
}

TEST(InstallerE2E, CloseLabelEndsTheProgramOnReleaseOnly) {
  SetupRun run;
  ASSERT_NE(run.Window(), nullptr);
  HWND close = run.Child("×");
  ASSERT_NE(close, nullptr);
  PostMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(run.StillRunning(1000));
  PostMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(run.ExitCode(), 0u);
}

// The folder browser: a folder picked in its tree becomes the label's text
// with the product's name; Cancel leaves the label.
TEST(InstallerE2E, FolderBrowserSetsTheChosenFolderAndCancelKeepsTheLabel) {
  std::string chosen = DesktopFolder() + "\\zzchosen";
  CreateDirectoryW(Wide(chosen).c_str(), nullptr);

  SetupRun run;
  HWND label = run.FolderLabel();
  ASSERT_NE(label, nullptr);
  std::string before = testdriver::GetTextOf(label);

  PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  HWND browser = testdriver::FindMessageBox(run.process(), nullptr, kWaitMs);
  ASSERT_NE(browser, nullptr);
  testdriver::PressButton(browser, IDCANCEL);
  ASSERT_TRUE(testdriver::WaitUntilGone(browser, kWaitMs));
  EXPECT_EQ(testdriver::GetTextOf(label), before);

  ASSERT_TRUE(ChooseInBrowser(run, label, "zzchosen"));
  EXPECT_EQ(Utf8(testdriver::GetTextOf(label)), Utf8(chosen + "\\" + kProduct));
  RemoveDirectoryW(Wide(chosen).c_str());
}

TEST(InstallerE2E, InstallsCreatesTheShortcutAndCleansUpOnNo) {
  std::string folder = FreshDefaultFolder();
  SetupRun run;
  ASSERT_NE(run.Window(), nullptr);
  HWND prompt = run.InstallToPrompt();
  ASSERT_NE(prompt, nullptr);
  SaveScreen("4-final-prompt");
  EXPECT_EQ(Utf8(testdriver::ReadMessageBoxText(prompt)), Utf8(kFinalPrompt));
  EXPECT_EQ(run.LogText(), "3.创建快捷方式..成功");
  EXPECT_TRUE(testdriver::IsWindowShown(testdriver::FindChildByClass(run.Window(), "msctls_progress32")));
  for (const char* file : kInstalledFiles) EXPECT_TRUE(ziptest::IsFile(folder + "\\" + file)) << Utf8(file);
  EXPECT_EQ(CompareFileTimes(folder), "");
  CoInitialize(nullptr);
  linktest::LinkInfo link = linktest::ReadLink(DesktopLink());
  CoUninitialize();
  EXPECT_TRUE(link.loaded);
  // The item list names the target whatever the code page; the raw path is
  // stored in the system's code page.
  EXPECT_EQ(Utf8(link.target), Utf8(folder + "\\VantrelCorvane.exe"));

  // While the prompt is up, the install button and the folder label ignore
  // the user: no second notice, no folder browser.
  PostMessageW(run.InstallButton(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 40));
  PostMessageW(run.InstallButton(), WM_LBUTTONUP, 0, MAKELPARAM(100, 40));
  PostMessageW(run.FolderLabel(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(testdriver::FindMessageBox(run.process(), "信息：", 1000), nullptr);

  testdriver::PressButton(prompt, IDNO);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  EXPECT_FALSE(ziptest::IsFile(folder.substr(0, 3) + "tool.zip"));
  // Installed files are writable (entries made on MS-DOS hosts come as
  // read-only and are set back to normal).
  EXPECT_EQ(GetFileAttributesW(Wide((folder + "\\VantrelCorvane.exe")).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  RemoveInstall(folder);
}

TEST(InstallerE2E, YesStartsTheProductFromItsFolder) {
  std::string folder = FreshDefaultFolder();
  SetupRun run;
  ASSERT_NE(run.Window(), nullptr);
  HWND prompt = run.InstallToPrompt();
  ASSERT_NE(prompt, nullptr);
  testdriver::PressButton(prompt, IDYES);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(EndStartedProduct());
  RemoveInstall(folder);
}

// A file of the product held open without sharing makes the extraction
// fail: the user is told and may retry once the file is free again.
TEST(InstallerE2E, FailedExtractionOffersRetryAndNeverReportsSuccess) {
  std::string folder = FreshDefaultFolder();
  std::string locked = folder + "\\VantrelCorvane.exe";
  HANDLE hold = LockProductExe(folder);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);

  SetupRun run;
  ASSERT_NE(run.Window(), nullptr);
  HWND failure = run.InstallToPrompt();
  ASSERT_NE(failure, nullptr);
  SaveScreen("3-extraction-failed");
  EXPECT_EQ(Utf8(testdriver::ReadMessageBoxText(failure)), Utf8(setuptest::kExtractFailed));
  EXPECT_NE(testdriver::FindChildById(failure, IDRETRY), nullptr);
  EXPECT_NE(testdriver::FindChildById(failure, IDCANCEL), nullptr);
  EXPECT_EQ(run.LogText(), "2.开始解压..");
  EXPECT_FALSE(ziptest::IsFile(DesktopLink()));

  CloseHandle(hold);
  testdriver::PressButton(failure, IDRETRY);
  testdriver::WaitUntilGone(failure, kWaitMs);
  HWND prompt = testdriver::FindMessageBox(run.process(), "温馨提示：", kWaitMs);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(Utf8(testdriver::ReadMessageBoxText(prompt)), Utf8(kFinalPrompt));
  EXPECT_EQ(ziptest::ReadBytes(locked).substr(0, 2), "MZ");
  testdriver::PressButton(prompt, IDNO);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  RemoveInstall(folder);
}

TEST(InstallerE2E, CancelAfterAFailedExtractionEndsAndRemovesTheArchive) {
  std::string folder = FreshDefaultFolder();
  HANDLE hold = LockProductExe(folder);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  SetupRun run;
  ASSERT_NE(run.Window(), nullptr);
  HWND failure = run.InstallToPrompt();
  ASSERT_NE(failure, nullptr);
  testdriver::PressButton(failure, IDCANCEL);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(testdriver::FindMessageBox(0, "温馨提示：", 0), nullptr);
  CloseHandle(hold);
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  EXPECT_FALSE(ziptest::IsFile(DesktopLink()));
  RemoveInstall(folder);
}

// With no usable temporary folder the archive goes to the drive root, under
// another name when the user already has a tool.zip there.
TEST(InstallerE2E, DriveRootArchiveNeverReplacesTheUsersToolZip) {
  std::string folder = FreshDefaultFolder();
  std::string root = folder.substr(0, 3);
  std::string users = root + "tool.zip";
  ASSERT_TRUE(ziptest::WriteBytes(users, "the user's own file"));

  SetupRun run(SETUP_EXE_PATH, SetupRun::kNoTempFolder);
  ASSERT_NE(run.Window(), nullptr);
  HWND prompt = run.InstallToPrompt();
  ASSERT_NE(prompt, nullptr);
  EXPECT_TRUE(ziptest::IsFile(root + "tool_1.zip"));
  EXPECT_TRUE(ziptest::IsFile(folder + "\\VantrelCorvane.exe"));
  testdriver::PressButton(prompt, IDNO);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(ziptest::IsFile(root + "tool_1.zip"));
  EXPECT_EQ(ziptest::ReadBytes(users), "the user's own file");
  DeleteFileW(Wide(users).c_str());
  RemoveInstall(folder);
}

TEST(InstallerE2E, CloseDuringTheFinalPromptEndsWithCode0) {
  std::string folder = FreshDefaultFolder();
  SetupRun run;
  ASSERT_NE(run.Window(), nullptr);
  ASSERT_NE(run.InstallToPrompt(), nullptr);
  HWND close = run.Child("×");
  ASSERT_NE(close, nullptr);
  PostMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(testdriver::FindTopWindow(0, kProduct, nullptr, 500), nullptr);
  DeleteFileW(Wide(TempArchive()).c_str());
  RemoveInstall(folder);
}

// A folder with a space, chosen in the browser: the install goes there and
// Yes starts the product by its quoted path, not a program planted at the
// first word ("zz.exe" beside "zz my apps").
TEST(InstallerE2E, FolderWithASpaceInstallsThereAndStartsTheProductQuoted) {
  std::string chosen = DesktopFolder() + "\\zz my apps";
  std::string planted = DesktopFolder() + "\\zz.exe";
  CreateDirectoryW(Wide(chosen).c_str(), nullptr);
  char own[MAX_PATH];
  GetModuleFileNameA(nullptr, own, MAX_PATH);
  std::string sample = std::string(own).substr(0, std::string(own).rfind('\\')) + "\\sample_target.exe";
  ASSERT_TRUE(CopyFileW(Wide(sample).c_str(), Wide(planted).c_str(), FALSE));

  SetupRun run;
  HWND label = run.FolderLabel();
  ASSERT_NE(label, nullptr);
  ASSERT_TRUE(ChooseInBrowser(run, label, "zz m"));
  std::string folder = chosen + "\\" + kProduct;
  ASSERT_EQ(Utf8(testdriver::GetTextOf(label)), Utf8(folder));

  HWND prompt = run.InstallToPrompt();
  ASSERT_NE(prompt, nullptr);
  EXPECT_TRUE(ziptest::IsFile(folder + "\\VantrelCorvane.exe"));
  testdriver::PressButton(prompt, IDYES);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(EndStartedProduct());
  EXPECT_EQ(testdriver::FindTopWindow(0, "驱动测试", nullptr, 0), nullptr);
  DeleteFileW(Wide(planted).c_str());
  ziptest::RemoveTree(chosen);
  DeleteFileW(Wide(DesktopLink()).c_str());
}

// Neither the temporary folder nor the drive root takes the archive: the
// write-failure text, exit 0, the folder untouched.
TEST(InstallerE2E, NoPlaceForTheArchiveGivesTheWriteFailureAndLeavesTheFolder) {
  std::string folder = FreshDefaultFolder();
  std::string root = folder.substr(0, 3);
  // Every name the drive root could take is the user's.
  std::vector<std::string> occupied;
  for (int n = 0; n < 1000; ++n) {
    std::string name = root + (n == 0 ? std::string("tool.zip") : "tool_" + std::to_string(n) + ".zip");
    ASSERT_TRUE(ziptest::WriteBytes(name, "user"));
    occupied.push_back(name);
  }
  SetupRun run(SETUP_EXE_PATH, SetupRun::kNoTempFolder);
  ASSERT_NE(run.Window(), nullptr);
  run.StartInstall();
  HWND box = testdriver::FindMessageBox(run.process(), "信息：", kWaitMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Utf8(testdriver::ReadMessageBoxText(box)),
            Utf8("写入失败！Windows7请以管理员身份运行，建议关闭杀毒，再重试\r\n《确定》后将关闭本安装程序"));
  testdriver::PressButton(box, IDOK);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(ziptest::IsFolder(folder));
  bool untouched = true;
  for (const std::string& name : occupied) {
    untouched = untouched && ziptest::ReadBytes(name) == "user";
    DeleteFileW(Wide(name).c_str());
  }
  EXPECT_TRUE(untouched);
}

TEST(InstallerE2E, BrandKeyWithoutARowEndsWithRuntimeError1) {
  SetupRun run(SETUP_NO_BRAND_EXE_PATH);
  HWND box = testdriver::FindMessageBox(run.process(), "错误", kWaitMs);
  ASSERT_NE(box, nullptr);
  std::string text = testdriver::ReadMessageBoxText(box);
  EXPECT_EQ(text.rfind("运行时出错!\r\n\r\n错误代码：1\r\n", 0), 0u) << Utf8(text);
  testdriver::PressButton(box, IDOK);
  EXPECT_EQ(run.ExitCode(), 0xFFFFFFFFu);
}

// The current user's shell folder `name` (e.g. "Desktop") points at another
// folder while it lives; the old values come back after.
class ShellFolderOverride {
 public:
  ShellFolderOverride(const wchar_t* name, const std::wstring& folder) : name_(name) {
    for (const wchar_t* key : kKeys) {
      wchar_t old[MAX_PATH] = {};
      DWORD size = sizeof old;
      bool had = RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, old, &size) ==
                 ERROR_SUCCESS;
      saved_.push_back(had ? std::wstring(old) : std::wstring());
      RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, folder.c_str(),
                      static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    }
  }
  ~ShellFolderOverride() {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i].empty()) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kKeys[i], name_);
      } else {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKeys[i], name_, REG_SZ, saved_[i].c_str(),
                        static_cast<DWORD>((saved_[i].size() + 1) * sizeof(wchar_t)));
      }
    }
  }

 private:
  static constexpr const wchar_t* kKeys[2] = {
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};
  const wchar_t* name_;
  std::vector<std::wstring> saved_;
};

// TMP and TEMP of the programs started while it lives.
class TempOverride {
 public:
  explicit TempOverride(const std::wstring& folder) {
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
      wchar_t old[MAX_PATH] = {};
      GetEnvironmentVariableW(name, old, MAX_PATH);
      saved_.push_back(old);
      SetEnvironmentVariableW(name, folder.c_str());
    }
  }
  ~TempOverride() {
    SetEnvironmentVariableW(L"TMP", saved_[0].empty() ? nullptr : saved_[0].c_str());
    SetEnvironmentVariableW(L"TEMP", saved_[1].empty() ? nullptr : saved_[1].c_str());
  }

 private:
  std::vector<std::wstring> saved_;
};

bool WideExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A user whose profile holds characters that GBK lacks (a Korean name): the
// desktop and the temporary folder lie under it. The install completes, the
// shortcut lands on that user's desktop and points at the product, and the
// archive is removed from that temporary folder.
TEST(InstallerE2E, ProfileOutsideGbkGetsItsShortcutAndInstall) {
  const std::wstring profile = L"C:\\users\\\uae40\ubbfc\uc218";  // 김민수
  const std::wstring desktop = profile + L"\\Desktop", temp = profile + L"\\Temp";
  for (const std::wstring& f : {profile, desktop, temp}) CreateDirectoryW(f.c_str(), nullptr);
  const std::wstring link = desktop + L"\\VantrelCorvane.lnk";
  DeleteFileW(link.c_str());
  std::string folder = FreshDefaultFolder();
  {
    ShellFolderOverride desktopOverride(L"Desktop", desktop);
    TempOverride tempOverride(temp + L"\\");
    SetupRun run;
    ASSERT_NE(run.Window(), nullptr);
    HWND prompt = run.InstallToPrompt();
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(run.LogText(), "3.创建快捷方式..成功");
    for (const char* file : kInstalledFiles) EXPECT_TRUE(ziptest::IsFile(folder + "\\" + file)) << Utf8(file);
    EXPECT_TRUE(WideExists(link));
    CoInitialize(nullptr);
    linktest::LinkInfo info = linktest::ReadLink(link);
    CoUninitialize();
    EXPECT_EQ(Utf8(info.target), Utf8(folder + "\\VantrelCorvane.exe"));
    testdriver::PressButton(prompt, IDNO);
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_FALSE(WideExists(temp + L"\\tool.zip"));
  }
  DeleteFileW(link.c_str());
  RemoveInstall(folder);
}

// setup.exe run with arguments to its end, watched every 10 ms for a
// visible window of its own.
struct SilentRun {
  DWORD exitCode = 0xDEAD;
  bool ended = false;
  bool showedWindow = false;
};

SilentRun RunSetupWith(const std::string& arguments) {
  std::string line;
  testdriver::AppendQuotedArgument(&line, SETUP_EXE_PATH);
  line += " " + arguments;
  testdriver::Process process = testdriver::StartProgram(line, "");
  SilentRun run;
  for (DWORD waited = 0; waited < kWaitMs && !run.ended; waited += 10) {
    run.showedWindow = run.showedWindow || testdriver::FindTopWindow(process.processId, nullptr, nullptr, 0);
    run.ended = testdriver::WaitForExit(process, 10, &run.exitCode) == testdriver::WaitResult::kExited;
  }
  if (!run.ended) testdriver::Kill(process);
  return run;
}

// /S /D=folder: installed there (a folder with a space and Chinese), the
// shortcut made, the archive removed, nothing shown, exit code 0.
TEST(InstallerE2E, SilentInstallGoesIntoTheGivenFolderWithoutAWindow) {
  const std::string folder = "C:\\静默 安装\\VantrelCorvane";
  RemoveInstall(folder);
  SilentRun run = RunSetupWith("/S /D=" + folder);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(run.showedWindow);
  for (const char* file : kInstalledFiles) EXPECT_TRUE(ziptest::IsFile(folder + "\\" + file)) << Utf8(file);
  CoInitialize(nullptr);
  linktest::LinkInfo link = linktest::ReadLink(DesktopLink());
  CoUninitialize();
  EXPECT_EQ(Utf8(link.target), Utf8(folder + "\\VantrelCorvane.exe"));
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  RemoveInstall(folder);
  ziptest::RemoveTree("C:\\静默 安装");
}

TEST(InstallerE2E, SilentInstallWithoutAFolderUsesTheDefaultOne) {
  std::string folder = FreshDefaultFolder();
  SilentRun run = RunSetupWith("/s");
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(run.showedWindow);
  for (const char* file : kInstalledFiles) EXPECT_TRUE(ziptest::IsFile(folder + "\\" + file)) << Utf8(file);
  EXPECT_TRUE(ziptest::IsFile(DesktopLink()));
  RemoveInstall(folder);
}

// A file that cannot be written is exit code 4, with nothing shown and the
// archive removed; a line it does not understand is code 1, also silently.
TEST(InstallerE2E, SilentFailuresEndWithTheirCodes) {
  std::string folder = FreshDefaultFolder();
  HANDLE locked = LockProductExe(folder);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  SilentRun run = RunSetupWith("/S /D=" + folder);
  CloseHandle(locked);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 4u);
  EXPECT_FALSE(run.showedWindow);
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  RemoveInstall(folder);

  SilentRun bad = RunSetupWith("/S /X");
  ASSERT_TRUE(bad.ended);
  EXPECT_EQ(bad.exitCode, 1u);
  EXPECT_FALSE(bad.showedWindow);
}

TEST(InstallerE2E, QuestionMarkShowsTheUsage) {
  std::string line;
  testdriver::AppendQuotedArgument(&line, SETUP_EXE_PATH);
  testdriver::Process process = testdriver::StartProgram(line + " /?", "");
  HWND box = testdriver::FindMessageBox(process, kTitle, kWaitMs);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(testdriver::ReadMessageBoxText(box).find("/S"), std::string::npos);
  testdriver::PressButton(box, IDOK);
  DWORD code = 0xDEAD;
  EXPECT_EQ(testdriver::WaitForExit(process, kWaitMs, &code), testdriver::WaitResult::kExited);
  EXPECT_EQ(code, 0u);
}

// --- What the install does not own ---

const char kDamaged[] = "安装程序已损坏！请重新下载后再安装\r\n《确定》后将关闭本安装程序";

// A copy of setup.exe with one byte of its payload archive flipped, as a
// download with a bad bit would arrive.
std::string DamagedCopy() {
  std::string image = ziptest::ReadBytes(SETUP_EXE_PATH);
  const uint32_t headers = ziptest::GetLe32(image, 0x3C);
  const uint16_t sectionCount = static_cast<uint8_t>(image[headers + 6]) | static_cast<uint8_t>(image[headers + 7]) << 8;
  const uint16_t optionalSize = static_cast<uint8_t>(image[headers + 20]) | static_cast<uint8_t>(image[headers + 21]) << 8;
  const size_t table = headers + 24 + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const size_t at = table + 40u * i;
    if (image.compare(at, 8, ".payload") != 0) continue;
    const uint32_t raw = ziptest::GetLe32(image, at + 20);
    const uint32_t archiveSize = ziptest::GetLe32(image, raw + 28);
    image[raw + 32 + archiveSize / 2] ^= 0x10;
    const std::string copy = ziptest::TempFolder() + "damaged-setup.exe";
    return ziptest::WriteBytes(copy, image) ? copy : "";
  }
  return "";
}

TEST(InstallerE2E, DamagedPayloadIsRefusedBeforeAnythingIsWritten) {
  const std::string folder = FreshDefaultFolder();
  const std::string damaged = DamagedCopy();
  ASSERT_FALSE(damaged.empty());
  {
    SetupRun run(damaged.c_str());
    ASSERT_NE(run.Window(), nullptr);
    run.StartInstall();
    HWND box = testdriver::FindMessageBox(run.process(), "信息：", kWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Utf8(testdriver::ReadMessageBoxText(box)), Utf8(kDamaged));
    testdriver::PressButton(box, IDOK);
    EXPECT_EQ(run.ExitCode(), 0u);
  }
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  EXPECT_FALSE(ziptest::IsFolder(folder));

  std::string line;
  testdriver::AppendQuotedArgument(&line, damaged);
  testdriver::Process silent = testdriver::StartProgram(line + " /S", "");
  DWORD code = 0xDEAD;
  EXPECT_EQ(testdriver::WaitForExit(silent, kWaitMs, &code), testdriver::WaitResult::kExited);
  EXPECT_EQ(code, 6u);
  EXPECT_FALSE(ziptest::IsFolder(folder));
  DeleteFileW(Wide(damaged).c_str());
}

// An installer whose payload is the demo product and 160 files of 1 MB of
// noise (it does not compress), packed by setup-pack.exe: its extraction
// lasts long enough to be interrupted. Made once and kept while it is newer
// than setup.exe.
std::string LargeSetup() {
  const std::string work = ziptest::TempFolder() + "large-setup";
  const std::string exe = work + "\\large-setup.exe";
  WIN32_FILE_ATTRIBUTE_DATA made, stub;
  if (GetFileAttributesExW(Wide(exe).c_str(), GetFileExInfoStandard, &made) &&
      GetFileAttributesExW(Wide(SETUP_EXE_PATH).c_str(), GetFileExInfoStandard, &stub) &&
      CompareFileTime(&made.ftLastWriteTime, &stub.ftLastWriteTime) > 0)
    return exe;
  ziptest::RemoveTree(work);
  const std::string product = work + "\\product";
  if (ExtractArchive(SETUP_PAYLOAD_ZIP_FILE, (product + "\\").c_str(), nullptr, nullptr) != kExtractSucceeded) return "";
  CreateDirectoryW(Wide(product + "\\noise").c_str(), nullptr);
  uint32_t state = 2463534242u;
  std::string block(1 << 20, '\0');
  for (int file = 0; file < 160; ++file) {
    for (size_t i = 0; i + 4 <= block.size(); i += 4) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      memcpy(&block[i], &state, 4);
    }
    char name[32];
    snprintf(name, sizeof name, "\\noise\\%03d.bin", file);
    if (!ziptest::WriteBytes(product + name, block)) return "";
  }
  std::string line;
  testdriver::AppendQuotedArgument(&line, SETUP_PACK_EXE_PATH);
  for (const std::string& argument : {std::string("--stub"), std::string(SETUP_EXE_PATH), std::string("--dir"),
                                      product, std::string("-o"), exe})
    testdriver::AppendQuotedArgument(&line, argument);
  testdriver::Process pack = testdriver::StartProgram(line, "");
  DWORD code = 0xDEAD;
  if (testdriver::WaitForExit(pack, 300000, &code) != testdriver::WaitResult::kExited || code != 0) return "";
  return exe;
}

// Waits until the extraction has written into folder, then presses "×".
void CloseWhileExtracting(SetupRun& run, const std::string& folder, const std::string& marker) {
  HWND close = run.Child("×");
  ASSERT_NE(close, nullptr);
  run.StartInstall();
  for (int i = 0; i < 1200 && !ziptest::IsFile(folder + "\\" + marker); ++i) Sleep(25);
  ASSERT_TRUE(ziptest::IsFile(folder + "\\" + marker));
  PostMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// "×" while the extraction runs: no further box, exit 0, neither archive
// left, and a first install leaves no folder (its parent included, when
// the install made that too); an earlier install keeps its folder and what
// the user put there.
TEST(InstallerE2E, CloseDuringTheExtractionCleansUpAndEndsWith0) {
  const std::string large = LargeSetup();
  ASSERT_FALSE(large.empty());
  const std::string folder = FreshDefaultFolder();
  const std::string parent = folder.substr(0, folder.rfind('\\'));
  ziptest::RemoveTree(parent);
  {
    SetupRun run(large.c_str());
    ASSERT_NE(run.Window(), nullptr);
    CloseWhileExtracting(run, folder, "noise\\000.bin");
    EXPECT_EQ(run.ExitCode(), 0u);
  }
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  EXPECT_FALSE(ziptest::IsFile(folder.substr(0, 3) + "tool.zip"));
  EXPECT_FALSE(ziptest::IsFolder(parent));

  CreateDirectoryW(Wide(parent).c_str(), nullptr);
  CreateDirectoryW(Wide(folder).c_str(), nullptr);
  ASSERT_TRUE(ziptest::WriteBytes(folder + "\\mine.txt", "the user's"));
  {
    SetupRun run(large.c_str());
    ASSERT_NE(run.Window(), nullptr);
    CloseWhileExtracting(run, folder, "noise\\000.bin");
    EXPECT_EQ(run.ExitCode(), 0u);
  }
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  EXPECT_EQ(ziptest::ReadBytes(folder + "\\mine.txt"), "the user's");
  for (const std::string& name : ziptest::ListFolder(folder + "\\noise"))
    EXPECT_EQ(name.find(".setup-part"), std::string::npos) << name;
  ziptest::RemoveTree(parent);
}

// A second setup program never writes into the folder the first installs
// into: clicked, it leaves without its notice; started, it leaves without
// its window; the first comes to the front and finishes its install.
TEST(InstallerE2E, SecondSetupIntoTheSameFolderShowsTheFirstAndLeaves) {
  const std::string folder = FreshDefaultFolder();
  SetupRun first;
  SetupRun second;
  ASSERT_NE(first.Window(), nullptr);
  ASSERT_NE(second.Window(), nullptr);
  HWND prompt = first.InstallToPrompt();
  ASSERT_NE(prompt, nullptr);

  PostMessageW(second.InstallButton(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 40));
  PostMessageW(second.InstallButton(), WM_LBUTTONUP, 0, MAKELPARAM(100, 40));
  EXPECT_EQ(second.ExitCode(), 0u);

  SetupRun third;
  EXPECT_EQ(third.ExitCode(), 0u);
  HWND front = GetForegroundWindow();
  EXPECT_TRUE(front == first.Window() || front == prompt) << front;

  EXPECT_EQ(Utf8(testdriver::ReadMessageBoxText(prompt)), Utf8(kFinalPrompt));
  testdriver::PressButton(prompt, IDNO);
  EXPECT_EQ(first.ExitCode(), 0u);
  for (const char* file : kInstalledFiles) EXPECT_TRUE(ziptest::IsFile(folder + "\\" + file)) << Utf8(file);
  RemoveInstall(folder);
}

}  // namespace
