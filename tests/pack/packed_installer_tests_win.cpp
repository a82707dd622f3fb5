// A packed installer as Windows sees it: its version resource and icon read
// through the system's own calls, its checksum against imagehlp's, and a
// whole install driven as a user would drive it. The installer is one that
// tests/pack/packed_install.sh packs (and may sign) for another product
// than the build's; the environment names it:
//   PACKED_SETUP    the installer (a Windows path)
//   PACKED_PRODUCT  the product's name, PACKED_BRAND its brand key
//   PACKED_VERSION  the version it was packed with, a.b.c.d
//   PACKED_FILES    the product's files, "|"-separated, "\" in paths
#include <windows.h>
#include <imagehlp.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "installer/brand_table.h"
#include "tests/driver/test_driver.h"
#include "tests/win32/shell_link_support.h"
#include "tests/win32/zip_test_support.h"

namespace {

constexpr DWORD kWaitMs = 30000;

std::wstring WideEnv(const wchar_t* name) {
  wchar_t value[1024] = {};
  GetEnvironmentVariableW(name, value, 1024);
  return value;
}

// An environment variable in the ANSI code page. Read through the wide call:
// Wine's GetEnvironmentVariableA has been seen to drop a value's last
// two-byte character.
std::string Env(const wchar_t* name) {
  const std::wstring wide = WideEnv(name);
  char value[2048] = {};
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, value, sizeof value, nullptr, nullptr);
  return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t bar; (bar = text.find(separator, start)) != std::string::npos; start = bar + 1)
    parts.push_back(text.substr(start, bar - start));
  parts.push_back(text.substr(start));
  return parts;
}

std::string Utf8(const std::string& gbk) { return testdriver::GbkToUtf8(gbk); }

class PackedInstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    setup_ = Env(L"PACKED_SETUP");
    ASSERT_FALSE(setup_.empty()) << "PACKED_SETUP is not set";
    ASSERT_TRUE(ziptest::IsFile(setup_)) << Utf8(setup_);
  }
  std::string setup_;
};

// The string value of the installer's version resource, or "<none>".
std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) return L"<none>";
  return static_cast<const wchar_t*>(value);
}

TEST_F(PackedInstaller, VersionResourceNamesTheProductAndItsVersion) {
  const std::wstring path = WideEnv(L"PACKED_SETUP");
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const std::vector<std::string> parts = Split(Env(L"PACKED_VERSION"), '.');
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(fixed->dwFileVersionMS, (DWORD(std::stoul(parts[0])) << 16) | std::stoul(parts[1]));
  EXPECT_EQ(fixed->dwFileVersionLS, (DWORD(std::stoul(parts[2])) << 16) | std::stoul(parts[3]));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  EXPECT_EQ(VersionString(info, L"FileDescription"), L"安装程序");
  EXPECT_EQ(VersionString(info, L"ProductName"), WideEnv(L"PACKED_PRODUCT"));
  EXPECT_EQ(VersionString(info, L"FileVersion"), WideEnv(L"PACKED_VERSION"));
}

TEST_F(PackedInstaller, ApplicationIconHasA48x48Image) {
  EXPECT_EQ(ExtractIconExA(setup_.c_str(), -1, nullptr, nullptr, 0), 1u) << "icon groups";
  HMODULE module = LoadLibraryExA(setup_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_NE(group, nullptr);
  auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
  ASSERT_NE(directory, nullptr);
  const int id = LookupIconIdFromDirectoryEx(directory, TRUE, 48, 48, LR_DEFAULTCOLOR);
  ASSERT_GT(id, 0);
  HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));  // RT_ICON
  ASSERT_NE(image, nullptr);
  HICON icon = CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(module, image))),
                                        SizeofResource(module, image), TRUE, 0x00030000, 48, 48,
                                        LR_DEFAULTCOLOR);
  ASSERT_NE(icon, nullptr);
  ICONINFO iconInfo = {};
  ASSERT_TRUE(GetIconInfo(icon, &iconInfo));
  BITMAP bitmap = {};
  GetObjectA(iconInfo.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, 48);
  EXPECT_EQ(bitmap.bmHeight, 48);
  DeleteObject(iconInfo.hbmColor);
  DeleteObject(iconInfo.hbmMask);
  DestroyIcon(icon);
  FreeLibrary(module);
}

TEST_F(PackedInstaller, ChecksumIsTheOneWindowsComputes) {
  DWORD inHeader = 0, computed = 0;
  ASSERT_EQ(MapFileAndCheckSumA(setup_.c_str(), &inHeader, &computed), static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_NE(inHeader, 0u);
  EXPECT_EQ(inHeader, computed);
}

bool DriveDHasRoom() {
  ULARGE_INTEGER available, total, free;
  return GetDiskFreeSpaceExA("d:", &available, &total, &free) && free.QuadPart / 1048576 >= 1000;
}

std::string DesktopLink(const std::string& product) {
  char desktop[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE);
  return std::string(desktop) + "\\" + product + ".lnk";
}

// A started installer, ended when a test leaves it running.
struct InstallerRun {
  explicit InstallerRun(testdriver::Process p) : process(std::move(p)) {}
  ~InstallerRun() {
    if (process.IsStarted() &&
        testdriver::WaitForExit(process, 0, nullptr) != testdriver::WaitResult::kExited) {
      testdriver::Kill(process);
    }
  }
  testdriver::Process process;
};

// The packed installer from start to exit: its brand's default folder, the
// notice, the extraction of the product's files, the shortcut, No at the
// final prompt.
TEST_F(PackedInstaller, InstallsItsProductIntoItsBrandsFolder) {
  const std::string product = Env(L"PACKED_PRODUCT");
  const BrandProfile* brand = FindBrandProfile(std::stoi(Env(L"PACKED_BRAND")));
  ASSERT_NE(brand, nullptr);
  const std::string folder = std::string(DriveDHasRoom() ? "D:\\" : "C:\\") + brand->folderName + product;
  ziptest::RemoveTree(folder);
  DeleteFileA(DesktopLink(product).c_str());

  std::string line;
  testdriver::AppendQuotedArgument(&line, setup_);
  InstallerRun run(testdriver::StartProgram(line, ""));
  ASSERT_TRUE(run.process.IsStarted());
  HWND window = testdriver::FindTopWindow(run.process, "安装程序", nullptr, kWaitMs);
  ASSERT_NE(window, nullptr);
  // The folder label, and the install button: 220 x 80 at (14, 255) in the
  // window's client area.
  HWND label = nullptr, button = nullptr;
  std::string texts;
  for (HWND child : testdriver::ListDescendants(window)) {
    RECT r;
    GetWindowRect(child, &r);
    POINT p = {r.left, r.top};
    ScreenToClient(window, &p);
    const std::string text = testdriver::GetTextOf(child);
    texts += " \"" + Utf8(text) + "\"";
    if (text == folder) label = child;
    if (r.right - r.left == 220 && r.bottom - r.top == 80 && std::abs(p.x - 14) <= 2 && std::abs(p.y - 255) <= 2)
      button = child;
  }
  ASSERT_NE(label, nullptr) << "no label showing " << Utf8(folder) << ", only" << texts;
  ASSERT_NE(button, nullptr);

  PostMessageA(button, WM_MOUSEMOVE, 0, MAKELPARAM(100, 40));
  PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 40));
  PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(100, 40));
  HWND notice = testdriver::FindMessageBox(run.process, "信息：", kWaitMs);
  ASSERT_NE(notice, nullptr);
  testdriver::PressButton(notice, IDOK);
  HWND prompt = testdriver::FindMessageBox(run.process, "温馨提示：", kWaitMs);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(testdriver::ReadMessageBoxText(prompt).rfind("安装完成！", 0), 0u);
  for (const std::string& file : Split(Env(L"PACKED_FILES"), '|')) {
    EXPECT_TRUE(ziptest::IsFile(folder + "\\" + file)) << Utf8(file);
  }
  CoInitialize(nullptr);
  linktest::LinkInfo link = linktest::ReadLink(DesktopLink(product));
  CoUninitialize();
  EXPECT_EQ(Utf8(link.path), Utf8(folder + "\\" + product + ".exe"));

  testdriver::PressButton(prompt, IDNO);
  DWORD code = 0xDEAD;
  EXPECT_EQ(testdriver::WaitForExit(run.process, kWaitMs, &code), testdriver::WaitResult::kExited);
  EXPECT_EQ(code, 0u);
  ziptest::RemoveTree(folder);
  DeleteFileA(DesktopLink(product).c_str());
}

}  // namespace
