// The core commands that touch files and processes, called in this process.
#include "frame/core_commands.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "frame/blocks.h"

namespace {

std::string TempPath(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + name;
}

std::string ReadAll(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[256];
  DWORD n = 0;
  ReadFile(h, buffer, sizeof buffer, &n, nullptr);
  CloseHandle(h);
  return std::string(buffer, n);
}

ArgValue Call(CommandFn fn, std::initializer_list<ArgValue> args) {
  ArgValue result = {};
  fn(&result, static_cast<int>(args.size()), args.begin());
  return result;
}

TEST(WriteBytesToFile, ReplacesANormalFileWithAllArraysInOrder) {
  std::string path = TempPath("write_normal.bin");
  void* old = NewByteArray("old content that is longer", 26);
  ASSERT_EQ(Call(CmdWriteBytesToFile, {MakeText(path.c_str()), MakeBytes(old)}).i32, 1);
  void* a = NewByteArray("new ", 4);
  void* empty = NewByteArray(nullptr, 0);
  void* b = NewByteArray("data", 4);
  ArgValue r = Call(CmdWriteBytesToFile,
                    {MakeText(path.c_str()), MakeBytes(a), MakeBytes(empty), MakeBytes(b)});
  EXPECT_EQ(r.tag, kTagBool);
  EXPECT_EQ(r.i32, 1);
  EXPECT_EQ(ReadAll(path), "new data");
  for (void* block : {old, a, empty, b}) FreeBlock(block);
  DeleteFileA(path.c_str());
}

TEST(WriteBytesToFile, ReadOnlyFileAndEmptyPathGiveFalse) {
  std::string path = TempPath("write_readonly.bin");
  void* data = NewByteArray("keep", 4);
  ASSERT_EQ(Call(CmdWriteBytesToFile, {MakeText(path.c_str()), MakeBytes(data)}).i32, 1);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  void* other = NewByteArray("lost", 4);
  EXPECT_EQ(Call(CmdWriteBytesToFile, {MakeText(path.c_str()), MakeBytes(other)}).i32, 0);
  EXPECT_EQ(ReadAll(path), "keep");
  EXPECT_EQ(Call(CmdWriteBytesToFile, {MakeText(""), MakeBytes(other)}).i32, 0);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
  FreeBlock(data);
  FreeBlock(other);
}

TEST(RemoveFile, ReportsWhetherTheFileWasDeleted) {
  std::string path = TempPath("remove_me.txt");
  void* data = NewByteArray("x", 1);
  Call(CmdWriteBytesToFile, {MakeText(path.c_str()), MakeBytes(data)});
  FreeBlock(data);
  EXPECT_EQ(Call(CmdRemoveFile, {MakeText(path.c_str())}).i32, 1);
  EXPECT_EQ(Call(CmdRemoveFile, {MakeText(path.c_str())}).i32, 0);
}

TEST(RunProgram, StartsAProcessAndWaitsWhenAsked) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string folder(self);
  folder = folder.substr(0, folder.find_last_of('\\'));
  std::string marker = folder + "\\touched.txt";
  DeleteFileA(marker.c_str());
  std::string line = "\"" + folder + "\\frame_probe.exe\" touch";
  ArgValue r = Call(CmdRunProgram, {MakeText(line.c_str()), MakeBool(true), MakeInt(9)});
  EXPECT_EQ(r.tag, kTagBool);
  EXPECT_EQ(r.i32, 1);
  EXPECT_EQ(ReadAll(marker), "yes");
  DeleteFileA(marker.c_str());

  EXPECT_EQ(Call(CmdRunProgram, {MakeText("no_such_program_here.exe")}).i32, 0);
}

}  // namespace
