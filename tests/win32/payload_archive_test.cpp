// The payload archive in a program's product section: the block found
// there, and the tool.zip file the install sequence writes from it with
// WriteBytesToFile. setup-pack packs this program with the same ZIP as
// setup.exe; PAYLOAD_ZIP_FILE names that ZIP (a Wine path) so the bytes can
// be compared with the source.
#include "payload/payload_archive.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/blocks.h"
#include "frame/core_commands.h"

namespace {

const char kZipSignature[] = "PK\x03\x04";

// The whole file, or an empty string when it cannot be read.
std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD done = 0;
  size_t at = 0;
  while (at < bytes.size() &&
         ReadFile(file, &bytes[at], static_cast<DWORD>(bytes.size() - at), &done, nullptr) &&
         done > 0) {
    at += done;
  }
  CloseHandle(file);
  bytes.resize(at);
  return bytes;
}

class PayloadArchiveTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gExpected = ReadWholeFile(PAYLOAD_ZIP_FILE); }

  static std::string gExpected;
};

std::string PayloadArchiveTest::gExpected;

TEST_F(PayloadArchiveTest, ConstantIsTheZipByteForByteInsideTheConstantRange) {
  ASSERT_GT(gExpected.size(), 22u) << "cannot read " << PAYLOAD_ZIP_FILE;
  ASSERT_NE(PayloadArchiveBlock(), nullptr) << "no product section";
  // The record setup-pack wrote with its defaults.
  EXPECT_EQ(ThisProgramProduct()->brandKey, 0);
  EXPECT_EQ(ThisProgramProduct()->productIndex, 22);
  uint32_t header[2];
  std::memcpy(header, PayloadArchiveBlock(), sizeof header);
  EXPECT_EQ(header[0], 1u);
  EXPECT_EQ(header[1], gExpected.size());

  const uint8_t* data = nullptr;
  uint32_t len = 0;
  ASSERT_TRUE(ViewByteArray(PayloadArchiveBlock(), &data, &len));
  ASSERT_EQ(len, gExpected.size());
  EXPECT_EQ(std::memcmp(data, gExpected.data(), len), 0);

  const uint8_t* rangeEnd = nullptr;
  ASSERT_TRUE(FindConstantRange(PayloadArchiveBlock(), &rangeEnd));
  EXPECT_LE(data + len, rangeEnd);
}

TEST_F(PayloadArchiveTest, WrittenToolZipEqualsTheArchive) {
  ASSERT_FALSE(gExpected.empty()) << "cannot read " << PAYLOAD_ZIP_FILE;
  char temp[MAX_PATH];
  ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
  // As in the install sequence: the temporary folder already ends in "\",
  // and "\tool.zip" is appended, doubling the backslash.
  const std::string path = std::string(temp) + "\\tool.zip";
  DeleteFileA(path.c_str());

  ArgValue args[] = {MakeText(path.c_str()), MakeBytes(PayloadArchiveBlock())};
  ArgValue result = {};
  CmdWriteBytesToFile(&result, 2, args);
  EXPECT_EQ(result.tag, kTagBool);
  EXPECT_EQ(result.i32, 1);

  const std::string written = ReadWholeFile(path);
  DeleteFileA(path.c_str());
  ASSERT_EQ(written.size(), gExpected.size());
  EXPECT_EQ(written.compare(0, 4, kZipSignature, 4), 0);
  EXPECT_TRUE(written == gExpected) << "tool.zip differs from " << PAYLOAD_ZIP_FILE;
}

}  // namespace
