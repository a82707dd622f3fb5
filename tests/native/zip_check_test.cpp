#include "tools/payload_zip_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct TestEntry {
  std::string name;
  uint32_t attributes;  // external attributes
  std::string data;     // stored as is
  uint16_t method = 0;
  uint16_t flags = 0;
};

// A small archive built in memory, with the offsets a test may patch.
struct Built {
  std::string bytes;
  std::vector<size_t> local;
  std::vector<size_t> central;
  size_t end = 0;
};

constexpr uint32_t kCrc = 0x12345678;  // the checker compares CRCs, never computes them

void Put16(std::string* b, uint32_t v) {
  b->push_back(static_cast<char>(v & 0xFF));
  b->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Set16(std::string* b, size_t at, uint32_t v) {
  (*b)[at] = static_cast<char>(v & 0xFF);
  (*b)[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Set32(std::string* b, size_t at, uint32_t v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}

Built Build(const std::vector<TestEntry>& entries, const std::string& centralExtra = "") {
  Built z;
  std::string& b = z.bytes;
  for (const TestEntry& e : entries) {
    z.local.push_back(b.size());
    Put32(&b, 0x04034B50);
    Put16(&b, 20);
    Put16(&b, e.flags);
    Put16(&b, e.method);
    Put32(&b, 0x4CA18B61);  // 2018-05-01 17:27:02
    Put32(&b, kCrc);
    Put32(&b, static_cast<uint32_t>(e.data.size()));
    Put32(&b, static_cast<uint32_t>(e.data.size()));
    Put16(&b, static_cast<uint32_t>(e.name.size()));
    Put16(&b, 0);
    b += e.name + e.data;
  }
  const size_t directoryStart = b.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    const TestEntry& e = entries[i];
    z.central.push_back(b.size());
    Put32(&b, 0x02014B50);
    Put16(&b, 0x001F);
    Put16(&b, 20);
    Put16(&b, e.flags);
    Put16(&b, e.method);
    Put32(&b, 0x4CA18B61);
    Put32(&b, kCrc);
    Put32(&b, static_cast<uint32_t>(e.data.size()));
    Put32(&b, static_cast<uint32_t>(e.data.size()));
    Put16(&b, static_cast<uint32_t>(e.name.size()));
    Put16(&b, static_cast<uint32_t>(centralExtra.size()));
    Put16(&b, 0);  // comment length
    Put16(&b, 0);  // disk
    Put16(&b, 0);  // internal attributes
    Put32(&b, e.attributes);
    Put32(&b, static_cast<uint32_t>(z.local[i]));
    b += e.name + centralExtra;
  }
  z.end = b.size();
  Put32(&b, 0x06054B50);
  Put16(&b, 0);
  Put16(&b, 0);
  Put16(&b, static_cast<uint32_t>(entries.size()));
  Put16(&b, static_cast<uint32_t>(entries.size()));
  Put32(&b, static_cast<uint32_t>(z.end - directoryStart));
  Put32(&b, static_cast<uint32_t>(directoryStart));
  Put16(&b, 2);
  b += "ok";
  return z;
}

// Replaces the end record's comment (the archive's last bytes).
void SetComment(Built* z, const std::string& comment) {
  z->bytes.resize(z->end + 22);
  Set16(&z->bytes, z->end + 20, static_cast<uint32_t>(comment.size()));
  z->bytes += comment;
}

ZipCheckResult Check(const std::string& bytes, const std::string& product) {
  // An exact-size copy, so that ASan sees any read past the end.
  std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  return CheckPayloadZip(exact.data(), exact.size(), product);
}

const TestEntry kFolder{"share/", 0x10, ""};
const TestEntry kInside{"share/a.ini", 0x20, "[a]"};
const TestEntry kProduct{"Prod.exe", 0x20, "MZ"};

std::vector<TestEntry> Shipped() { return {kProduct, kFolder, kInside}; }

TEST(CheckPayloadZip, Table) {
  using Patch = std::function<void(Built*)>;
  const Patch none = [](Built*) {};
  struct Case {
    const char* what;
    std::vector<TestEntry> entries;
    Patch patch;
    std::string product;
    ZipProblem expected;
    int index;
  } const cases[] = {
      {"shipped shape", Shipped(), none, "Prod", ZipProblem::kNone, -1},
      {"product name compared without ASCII case", {{"pROD.EXE", 0x20, ""}}, none, "Prod",
       ZipProblem::kNone, -1},
      {"GBK product name", {{"安装测试.exe", 0x20, ""}}, none, "安装测试", ZipProblem::kNone, -1},
      // Names compare as the characters they encode: a GBK folder holds a
      // file named in UTF-8, and a UTF-8 product name is the product.
      {"GBK folder, UTF-8 file", {{"共享/", 0x10, ""}, {u8"共享/设置.ini", 0x20, "", 0, 0x800}, kProduct}, none,
       "Prod", ZipProblem::kNone, -1},
      {"UTF-8 product name", {{u8"安装测试.exe", 0x20, "", 0, 0x800}}, none, "安装测试", ZipProblem::kNone, -1},
      {"UTF-8 name outside GBK", {{u8"한국/", 0x10, "", 0, 0x800}, {u8"한국/a.txt", 0x20, "", 0, 0x800}, kProduct},
       none, "Prod", ZipProblem::kNone, -1},
      {"folder entry supplies its parents",
       {{"a/b/", 0x10, ""}, {"a/x", 0x20, ""}, kProduct}, none, "Prod", ZipProblem::kNone, -1},
      {"folder names compared without ASCII case", {{"Share/", 0x10, ""}, kInside, kProduct},
       none, "Prod", ZipProblem::kNone, -1},
      {"GBK trail 0x5C is no separator",
       {{"\x95\x5C" "a", 0x20, ""}, {"\x95\x5C/", 0x10, ""}, {"\x95\x5C/b", 0x20, ""}, kProduct},
       none, "Prod", ZipProblem::kNone, -1},
      {"Unix folder attribute", {{"share/", 0x41ED0000, ""}, kInside, kProduct}, none, "Prod",
       ZipProblem::kNone, -1},

      {"product missing", {kFolder, kInside}, none, "Prod", ZipProblem::kMissingProduct, -1},
      {"product only inside a folder", {kFolder, {"share/Prod.exe", 0x20, ""}}, none, "Prod",
       ZipProblem::kMissingProduct, -1},
      {"file before its folder entry", {kProduct, kInside, kFolder}, none, "Prod",
       ZipProblem::kMissingFolderEntry, 1},
      {"backslash path without folder entry", {{"share\\a.ini", 0x20, ""}, kProduct}, none,
       "Prod", ZipProblem::kMissingFolderEntry, 0},
      {"encrypted entry", {kProduct, {"b.dll", 0x20, "xx", 0, 1}}, none, "Prod",
       ZipProblem::kEncrypted, 1},
      {"strong encryption", {{"b.dll", 0x20, "xx", 0, 0x40}, kProduct}, none, "Prod",
       ZipProblem::kEncrypted, 0},
      {"bzip2 method", {kProduct, {"b.dll", 0x20, "xx", 12}}, none, "Prod",
       ZipProblem::kUnsupportedMethod, 1},
      {"UTF-8 name that is not UTF-8", {kProduct, {"\xE5\xAE", 0x20, "", 0, 0x800}}, none,
       "Prod", ZipProblem::kUnsafeName, 1},
      {"UTF-8 name hiding a parent part from GBK", {kProduct, {"\xE4\xB8\xAD/../../x", 0x20, "", 0, 0x800}},
       none, "Prod", ZipProblem::kUnsafeName, 1},
      {"parent component", {{"../evil.exe", 0x20, ""}, kProduct}, none, "Prod",
       ZipProblem::kUnsafeName, 0},
      {"drive prefix", {kProduct, {"C:/evil.exe", 0x20, ""}}, none, "Prod",
       ZipProblem::kUnsafeName, 1},
      {"NUL inside a name", {kProduct, {std::string("a\0b", 3), 0x20, ""}}, none, "Prod",
       ZipProblem::kUnsafeName, 1},
      {"slash name without directory attribute", {{"share/", 0x20, ""}, kProduct}, none, "Prod",
       ZipProblem::kFolderShape, 0},
      {"directory attribute without slash", {{"share", 0x10, ""}, kProduct}, none, "Prod",
       ZipProblem::kFolderShape, 0},

      {"end record on disk 1", Shipped(), [](Built* z) { Set16(&z->bytes, z->end + 4, 1); },
       "Prod", ZipProblem::kMultiDisk, -1},
      {"entry on disk 1", Shipped(), [](Built* z) { Set16(&z->bytes, z->central[2] + 34, 1); },
       "Prod", ZipProblem::kMultiDisk, 2},
      {"ZIP64 directory offset", Shipped(),
       [](Built* z) { Set32(&z->bytes, z->end + 16, 0xFFFFFFFF); }, "Prod", ZipProblem::kZip64,
       -1},
      {"ZIP64 size marker", Shipped(),
       [](Built* z) { Set32(&z->bytes, z->central[1] + 24, 0xFFFFFFFF); }, "Prod",
       ZipProblem::kZip64, 1},
      // Its end record starts the file, where the unzip library never looks.
      {"empty archive", {}, none, "Prod", ZipProblem::kNoEndRecord, -1},
      {"data before the first local header", Shipped(),
       [](Built* z) { z->bytes.insert(0, "MZ"); }, "Prod", ZipProblem::kNotLocalHeaderFirst, -1},
      {"comment length beyond the file", Shipped(),
       [](Built* z) { Set16(&z->bytes, z->end + 20, 3); }, "Prod", ZipProblem::kNoEndRecord,
       -1},
      // The unzip library takes the last end signature of the file's last
      // 64 KiB - 1 bytes, even one without room for its record after it.
      {"end signature in the comment's last bytes", Shipped(),
       [](Built* z) { SetComment(z, std::string("ok PK\x05\x06", 7) + std::string(10, 'c')); }, "Prod",
       ZipProblem::kNoEndRecord, -1},
      {"end record out of the library's reach", Shipped(),
       [](Built* z) { SetComment(z, std::string(0xFFFF - 10, 'c')); }, "Prod", ZipProblem::kNoEndRecord, -1},
      {"longest comment the library reaches", Shipped(),
       [](Built* z) { SetComment(z, std::string(0xFFFF - 22, 'c')); }, "Prod", ZipProblem::kNone, -1},
      {"ZIP64 locator in the comment", Shipped(),
       [](Built* z) {
         // A ZIP64 end record signature at comment offset 0, then a locator of
         // disk 0 of 1 pointing at it.
         const size_t record = z->end + 22;
         std::string comment = std::string("PK\x06\x06", 4) + std::string("PK\x06\x07", 4);
         Put32(&comment, 0);
         Put32(&comment, static_cast<uint32_t>(record));
         Put32(&comment, 0);
         Put32(&comment, 1);
         SetComment(z, comment);
       },
       "Prod", ZipProblem::kZip64, -1},
      {"ZIP64 locator cut by the file's end", Shipped(),
       [](Built* z) { SetComment(z, std::string("PK\x06\x07\0\0", 6)); }, "Prod", ZipProblem::kZip64, -1},
      {"directory size off by one", Shipped(),
       [](Built* z) { Set32(&z->bytes, z->end + 12, z->end - z->central[0] - 1); }, "Prod",
       ZipProblem::kBadCentralDirectory, -1},
      {"more entries counted than recorded", Shipped(),
       [](Built* z) {
         Set16(&z->bytes, z->end + 8, 4);
         Set16(&z->bytes, z->end + 10, 4);
       },
       "Prod", ZipProblem::kBadCentralDirectory, 3},
      {"central name running past the directory", Shipped(),
       [](Built* z) { Set16(&z->bytes, z->central[2] + 28, 200); }, "Prod",
       ZipProblem::kBadCentralDirectory, 2},
      {"local name differs", Shipped(), [](Built* z) { z->bytes[z->local[2] + 30] = 'S'; },
       "Prod", ZipProblem::kBadLocalHeader, 2},
      {"local size differs", Shipped(), [](Built* z) { Set32(&z->bytes, z->local[0] + 18, 1); },
       "Prod", ZipProblem::kBadLocalHeader, 0},
      {"local method differs", Shipped(), [](Built* z) { Set16(&z->bytes, z->local[0] + 8, 8); },
       "Prod", ZipProblem::kBadLocalHeader, 0},
      {"local extra runs into the directory", Shipped(),
       [](Built* z) { Set16(&z->bytes, z->local[2] + 28, 0xFFFF); }, "Prod",
       ZipProblem::kBadLocalHeader, 2},
      {"data runs into the directory", Shipped(),
       [](Built* z) {
         Set32(&z->bytes, z->local[2] + 18, 0x1000);
         Set32(&z->bytes, z->central[2] + 20, 0x1000);
       },
       "Prod", ZipProblem::kBadLocalHeader, 2},
      {"local offset past the entries", Shipped(),
       [](Built* z) { Set32(&z->bytes, z->central[1] + 42, 0x7FFFFFFF); }, "Prod",
       ZipProblem::kBadLocalHeader, 1},
  };
  for (const Case& c : cases) {
    Built z = Build(c.entries);
    c.patch(&z);
    const ZipCheckResult r = Check(z.bytes, c.product);
    EXPECT_EQ(r.problem, c.expected) << c.what << ": " << ZipProblemText(r.problem) << " ("
                                     << r.detail << ")";
    EXPECT_EQ(r.entryIndex, c.index) << c.what;
  }
}

TEST(CheckPayloadZip, ReportsTheUnsafeNameAndMissingFolder) {
  ZipCheckResult r = Check(Build({{"a/.. /x", 0x20, ""}}).bytes, "Prod");
  EXPECT_EQ(r.problem, ZipProblem::kUnsafeName);
  EXPECT_EQ(r.nameVerdict, EntryNameVerdict::kParentComponent);
  EXPECT_EQ(r.entryName, "a/.. /x");

  r = Check(Build({{"x/", 0x10, ""}, {"x/y/z.txt", 0x20, ""}}).bytes, "Prod");
  EXPECT_EQ(r.problem, ZipProblem::kMissingFolderEntry);
  EXPECT_EQ(r.entryName, "x/y/z.txt");
  EXPECT_NE(r.detail.find("x/y/"), std::string::npos);

  r = Check(Build({kFolder}).bytes, "安装");
  EXPECT_EQ(r.problem, ZipProblem::kMissingProduct);
  EXPECT_EQ(r.entryName, "安装.exe");
}

TEST(CheckPayloadZip, Zip64ExtraFieldRefusedOthersIgnored) {
  std::string zip64;
  Put16(&zip64, 0x0001);
  Put16(&zip64, 0);
  EXPECT_EQ(Check(Build(Shipped(), zip64).bytes, "Prod").problem, ZipProblem::kZip64);
  std::string ntfs;
  Put16(&ntfs, 0x000A);
  Put16(&ntfs, 32);
  ntfs.append(32, '\0');
  EXPECT_EQ(Check(Build(Shipped(), ntfs).bytes, "Prod").problem, ZipProblem::kNone);
}

// Every truncation and every single-byte corruption is judged without reading
// outside the buffer (ASan), and no truncation passes.
TEST(CheckPayloadZip, DamagedArchivesStayInBounds) {
  const std::string good = Build(Shipped()).bytes;
  ASSERT_EQ(Check(good, "Prod").problem, ZipProblem::kNone);
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_NE(Check(good.substr(0, n), "Prod").problem, ZipProblem::kNone) << n;
  }
  for (size_t i = 0; i < good.size(); ++i) {
    for (char value : {'\0', '\x7F', '\xFF'}) {
      std::string damaged = good;
      damaged[i] = value;
      Check(damaged, "Prod");
    }
  }
}

}  // namespace
