// GetSpecialFolder and CreateShortcut under Wine: the folders with their
// trailing separator, refused selectors, links read back through the shell,
// the ".lnk" rule and a thread without COM.
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "frame/blocks.h"
#include "frame/program_frame_win.h"
#include "payload/shell_commands_win.h"
#include "tests/win32/shell_link_support.h"
#include "tests/win32/zip_test_support.h"

namespace {

class ShellCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ShellLibraryNotify(kNotifyFrameEntry, reinterpret_cast<intptr_t>(&FrameService), 0), 0);
    CoInitialize(nullptr);
  }
  void TearDown() override { CoUninitialize(); }

  // The folder of a selector, "<null>" for no block.
  static std::string Folder(int selector) {
    ArgValue arg = MakeInt(selector), result{};
    GetSpecialFolder(&result, 1, &arg);
    if (!result.text) return "<null>";
    std::string s = result.text;
    FreeBlock(const_cast<char*>(result.text));
    return s;
  }

  static int Shortcut(const std::string& name, const std::string& target) {
    ArgValue args[2] = {MakeText(name.c_str()), MakeText(target.c_str())}, result{};
    CreateShortcut(&result, 2, args);
    return result.i32;
  }

  static linktest::LinkInfo ReadLink(const std::string& file) { return linktest::ReadLink(file); }
};

TEST_F(ShellCommandsTest, SpecialFoldersEndInASeparator) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  EXPECT_EQ(Folder(11), std::string(temp));
  std::string desktop = Folder(3);
  ASSERT_NE(desktop, "<null>");
  EXPECT_EQ(desktop.back(), '\\');
  EXPECT_TRUE(ziptest::IsFolder(desktop));
  char windows[MAX_PATH], system[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_EQ(Folder(9), std::string(windows) + "\\");
  EXPECT_EQ(Folder(10), std::string(system) + "\\");
  for (int selector = 1; selector <= 8; ++selector) {
    std::string f = Folder(selector);
    if (f != "<null>") {
      EXPECT_EQ(f.back(), '\\') << selector;
    }
  }
  EXPECT_EQ(Folder(0), "<null>");
  EXPECT_EQ(Folder(12), "<null>");
  EXPECT_EQ(Folder(-1), "<null>");
  // The temporary archive path of the installer has a doubled separator; the
  // file system takes it as one.
  ziptest::ScratchFolder scratch;
  std::string doubled = scratch.Path() + "\\\\tool.zip";
  ASSERT_TRUE(ziptest::WriteBytes(doubled, "zip"));
  EXPECT_EQ(ziptest::ReadBytes(scratch / "tool.zip"), "zip");
}

TEST_F(ShellCommandsTest, LinksAreSavedWithTheLnkRule) {
  ziptest::ScratchFolder scratch;
  std::string target = scratch / "VantrelCorvane.exe";
  ASSERT_TRUE(ziptest::WriteBytes(target, "MZ"));

  EXPECT_EQ(Shortcut(scratch / "VantrelCorvane", target), 1);
  linktest::LinkInfo plain = ReadLink(scratch / "VantrelCorvane.lnk");
  ASSERT_TRUE(plain.loaded);
  EXPECT_EQ(plain.path, target);
  // The file stores SW_SHOW (the loader reports anything but 1, 3 and 7 as 1).
  std::string bytes = ziptest::ReadBytes(scratch / "VantrelCorvane.lnk");
  ASSERT_GE(bytes.size(), 64u);
  EXPECT_EQ(ziptest::GetLe32(bytes, 60), static_cast<uint32_t>(SW_SHOW));
  EXPECT_EQ(plain.description, "");
  EXPECT_EQ(plain.arguments, "");
  EXPECT_EQ(plain.workingFolder, "");
  EXPECT_FALSE(ziptest::IsFile(scratch / "VantrelCorvane"));

  // A "." in a folder part does not count; one in the file-name part does.
  std::string dotted = scratch / "j.smith";
  CreateDirectoryA(dotted.c_str(), nullptr);
  EXPECT_EQ(Shortcut(dotted + "\\App", target), 1);
  EXPECT_TRUE(ReadLink(dotted + "\\App.lnk").loaded);
  EXPECT_EQ(Shortcut(scratch / "Named.lnk", target), 1);
  EXPECT_TRUE(ReadLink(scratch / "Named.lnk").loaded);
  EXPECT_FALSE(ziptest::IsFile(scratch / "Named.lnk.lnk"));

  // An existing link is overwritten; a missing target is not checked.
  EXPECT_EQ(Shortcut(scratch / "VantrelCorvane", scratch / "Other.exe"), 1);
  EXPECT_EQ(ReadLink(scratch / "VantrelCorvane.lnk").path, scratch / "Other.exe");

  // Five arguments: description, arguments and working folder are set.
  std::string fullName = scratch / "Full";
  ArgValue args[5] = {MakeText(fullName.c_str()), MakeText(target.c_str()), MakeText("说明"),
                      MakeText("-x"), MakeText(scratch.Path().c_str())};
  ArgValue result{};
  CreateShortcut(&result, 5, args);
  EXPECT_EQ(result.i32, 1);
  linktest::LinkInfo full = ReadLink(scratch / "Full.lnk");
  EXPECT_EQ(full.description, "说明");
  EXPECT_EQ(full.arguments, "-x");
  EXPECT_EQ(full.workingFolder, scratch.Path());
}

struct NoComWork {
  std::string name;
  int result;
};
DWORD WINAPI NoComThread(void* p) {
  auto* work = static_cast<NoComWork*>(p);
  ArgValue args[2] = {MakeText(work->name.c_str()), MakeText("C:\\x.exe")}, result{};
  CreateShortcut(&result, 2, args);
  work->result = result.i32;
  return 0;
}

TEST_F(ShellCommandsTest, FailuresGiveZero) {
  ziptest::ScratchFolder scratch;
  EXPECT_EQ(Shortcut(scratch / "no such folder\\App", "C:\\x.exe"), 0);
  EXPECT_EQ(Shortcut(std::string(257, 'a'), "C:\\x.exe"), 0);  // too long with ".lnk"
  // A thread that never initialised COM gets 0 and writes nothing.
  NoComWork work{scratch / "NoCom", -1};
  HANDLE thread = CreateThread(nullptr, 0, NoComThread, &work, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(work.result, 0);
  EXPECT_FALSE(ziptest::IsFile(scratch / "NoCom.lnk"));
}

}  // namespace
