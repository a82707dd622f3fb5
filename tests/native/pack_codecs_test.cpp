// The codecs under setup-pack: resource sections, icon files, version
// numbers, and the archive of a product folder (read back with the unzip
// library, an independent reader).
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <utime.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/native/pe_test_support.h"
#include "tools/folder_archive.h"
#include "tools/icon_resources.h"
#include "tools/payload_zip_check.h"
#include "tools/pe_resources.h"
#include "tools/version_info.h"

namespace {

using Bytes = std::vector<uint8_t>;

Resource Make(ResourceKey type, ResourceKey name, uint16_t language, const std::string& data,
              uint32_t codePage = 0) {
  Resource r;
  r.type = type;
  r.name = name;
  r.language = ResourceKey::Id(language);
  r.codePage = codePage;
  r.data.assign(data.begin(), data.end());
  return r;
}

ResourceKey Named(const std::u16string& name) { return ResourceKey{true, 0, name}; }

ResourceError Read(const Bytes& section, uint32_t rva, std::vector<Resource>* out) {
  CursorFailure where;
  Bytes exact(section);  // exact size for the sanitizers
  return ReadResources(exact.data(), exact.size(), rva, out, &where);
}

TEST(PeResources, WrittenInDirectoryOrderAndReadBack) {
  const std::vector<Resource> given = {
      Make(ResourceKey::Id(16), ResourceKey::Id(1), 0x0804, "version", 1200),
      Make(ResourceKey::Id(3), ResourceKey::Id(2), 0, "icon two"),
      Make(Named(u"SKIN"), Named(u"logo"), 0x409, "named"),
      Make(ResourceKey::Id(3), ResourceKey::Id(1), 0, "icon one"),
      Make(Named(u"SKIN"), Named(u"Back"), 0x409, "back"),
      Make(ResourceKey::Id(3), ResourceKey::Id(1), 0x409, "icon one, English"),
      Make(ResourceKey::Id(3), ResourceKey::Id(1), 0, "a second copy is dropped"),
  };
  const uint32_t rva = 0x7000;
  const Bytes section = WriteResources(given, rva);
  std::vector<Resource> read;
  ASSERT_EQ(Read(section, rva, &read), ResourceError::kNone);
  // Named types and names first, names without regard to case, then numbers.
  const char* order[] = {"back", "named", "icon one", "icon one, English", "icon two", "version"};
  ASSERT_EQ(read.size(), 6u);
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(std::string(read[i].data.begin(), read[i].data.end()), order[i]);
  }
  EXPECT_EQ(read[0].name.name, u"Back");
  EXPECT_EQ(read[3].language.id, 0x409);
  EXPECT_EQ(read[5].codePage, 1200u);
  // Every data entry's address is 8-byte aligned.
  for (const Resource& r : read) {
    const auto at = std::search(section.begin(), section.end(), r.data.begin(), r.data.end()) - section.begin();
    EXPECT_EQ((rva + at) % 8, 0u);
  }
  EXPECT_EQ(WriteResources(read, rva), section) << "the same resources give the same bytes";
}

TEST(PeResources, MalformedSectionsAreRefused) {
  const uint32_t rva = 0x5000;
  const Bytes good = WriteResources({Make(ResourceKey::Id(24), Named(u"M"), 0x409, "<assembly/>")}, rva);
  // Layout of that section: root table (0), type table (0x18), name table
  // (0x30), data entry (0x48), the name string (0x58), the data (0x60).
  const struct {
    const char* what;
    size_t at;
    uint32_t value;
    ResourceError expected;
  } cases[] = {
      {"entry count past the end", 0x0C, 0x00100000, ResourceError::kBadDirectory},
      {"subdirectory past the end", 0x14, 0x80001000, ResourceError::kBadDirectory},
      {"name table pointing back at the root", 0x2C, 0x80000000, ResourceError::kLoop},
      {"a leaf at the type level", 0x14, 0x00000048, ResourceError::kTooDeep},
      {"a directory at the language level", 0x44, 0x80000018, ResourceError::kTooDeep},
      {"name past the end", 0x28, 0x80000FFF, ResourceError::kBadName},
      {"data before the section", 0x48, 0x4FF0, ResourceError::kDataOutside},
      {"data past the section", 0x4C, 0x1000, ResourceError::kDataOutside},
  };
  std::vector<Resource> read;
  ASSERT_EQ(Read(good, rva, &read), ResourceError::kNone);
  for (const auto& c : cases) {
    Bytes bad = good;
    petest::Put32(&bad, c.at, c.value);
    EXPECT_EQ(Read(bad, rva, &read), c.expected) << c.what;
  }
}

// An icon file of the given images (width, height, bit count in the entry,
// whether the image is a PNG).
struct TestImage {
  uint8_t width, height;
  uint16_t bitCount;
  bool png;
};

Bytes IconFile(const std::vector<TestImage>& images) {
  Bytes file(6 + 16 * images.size(), 0);
  petest::Put16(&file, 2, 1);
  petest::Put16(&file, 4, static_cast<uint32_t>(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    Bytes image;
    if (images[i].png) {
      image = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
               0, 0, 1, 0, 0, 0, 1, 0, 8, 6, 0, 0, 0};  // 256 x 256, 8 bits, RGBA
    } else {
      image.assign(40 + 64, 0);
      petest::Put32(&image, 0, 40);
      petest::Put16(&image, 12, 1);
      petest::Put16(&image, 14, 32);
    }
    const size_t entry = 6 + 16 * i;
    file[entry] = images[i].width;
    file[entry + 1] = images[i].height;
    petest::Put16(&file, entry + 6, images[i].bitCount);
    petest::Put32(&file, entry + 8, static_cast<uint32_t>(image.size()));
    petest::Put32(&file, entry + 12, static_cast<uint32_t>(file.size()));
    file.insert(file.end(), image.begin(), image.end());
  }
  return file;
}

IconError ReadIcon(const Bytes& file, std::vector<IconImage>* images) {
  CursorFailure where;
  Bytes exact(file);
  return ReadIconFile(exact.data(), exact.size(), images, &where);
}

TEST(IconResources, EveryImageBecomesAnIconListedByTheGroup) {
  std::vector<IconImage> images;
  ASSERT_EQ(ReadIcon(IconFile({{16, 16, 32, false}, {48, 48, 0, false}, {0, 0, 0, true}}), &images),
            IconError::kNone);
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[1].bitCount, 32) << "taken from the bitmap's header";
  EXPECT_EQ(images[2].bitCount, 32) << "taken from the PNG's header";

  const std::vector<Resource> resources = IconResources(images);
  ASSERT_EQ(resources.size(), 4u);
  const Resource& group = resources.back();
  EXPECT_EQ(group.type.id, kResourceGroupIcon);
  EXPECT_EQ(group.name.id, 1);
  ASSERT_EQ(group.data.size(), 6u + 3 * 14);
  for (size_t i = 0; i < 3; ++i) {
    const uint8_t* entry = group.data.data() + 6 + 14 * i;
    EXPECT_EQ(resources[i].type.id, kResourceIcon);
    EXPECT_EQ(entry[12] | (entry[13] << 8), resources[i].name.id) << "the group names icon " << i;
    EXPECT_EQ(entry[8] | (entry[9] << 8), static_cast<int>(resources[i].data.size()));
    EXPECT_EQ(entry[0], images[i].width);
  }
}

TEST(IconResources, UnusableIconFilesAreRefused) {
  std::vector<IconImage> images;
  Bytes notIcon = IconFile({{48, 48, 32, false}});
  notIcon[2] = 2;  // a cursor file
  EXPECT_EQ(ReadIcon(notIcon, &images), IconError::kNotAnIcon);
  EXPECT_EQ(ReadIcon(IconFile({}), &images), IconError::kNoImages);
  EXPECT_EQ(ReadIcon(IconFile({{32, 32, 32, false}}), &images), IconError::kNo48);
  Bytes outside = IconFile({{48, 48, 32, false}});
  petest::Put32(&outside, 6 + 8, 0x10000);
  EXPECT_EQ(ReadIcon(outside, &images), IconError::kImageOutside);
  Bytes directoryCut = IconFile({{48, 48, 32, false}});
  petest::Put16(&directoryCut, 4, 200);
  EXPECT_EQ(ReadIcon(directoryCut, &images), IconError::kBadDirectory);
  Bytes notBitmap = IconFile({{48, 48, 32, false}});
  petest::Put32(&notBitmap, 6 + 16, 12);  // an OS/2 bitmap header
  EXPECT_EQ(ReadIcon(notBitmap, &images), IconError::kBadImage);
}

TEST(FileVersion, ParsedFromOneToFourNumbers) {
  const struct {
    const char* text;
    const char* expected;  // null: refused
  } cases[] = {
      {"1.2.3.4", "1.2.3.4"}, {"7", "7.0.0.0"},      {"2.5", "2.5.0.0"},   {"65535.0.0.65535", "65535.0.0.65535"},
      {"1.2.3.4.5", nullptr}, {"65536", nullptr},    {"1..2", nullptr},    {"", nullptr},
      {"1.2.", nullptr},      {"v1.2", nullptr},     {"-1", nullptr},      {"1.2.3.4 ", nullptr},
  };
  for (const auto& c : cases) {
    FileVersion v;
    const bool ok = ParseFileVersion(c.text, &v);
    EXPECT_EQ(ok, c.expected != nullptr) << c.text;
    if (ok && c.expected) {
      EXPECT_EQ(FormatFileVersion(v), c.expected) << c.text;
    }
  }
  FileVersion v;
  ParseFileVersion("4.3.2.1", &v);
  FileVersion back;
  ASSERT_TRUE(ReadFixedFileVersion(BuildVersionResource(v, {u"Product", u"Setup"}), &back));
  EXPECT_EQ(FormatFileVersion(back), "4.3.2.1");
  EXPECT_FALSE(ReadFixedFileVersion(Bytes(40, 0), &back));
}

TEST(FolderArchive, DosTimesOfUnixTimes) {
  const struct {
    int64_t seconds;
    uint32_t expected;
  } cases[] = {
      {1525195622, 0x4CA18B61},  // 2018-05-01 17:27:02
      {1525195623, 0x4CA18B61},  // an odd second rounds down
      {951782400, (20u << 25) | (2u << 21) | (29u << 16)},   // 2000-02-29 00:00:00
      {315532800, (1u << 21) | (1u << 16)},                  // 1980-01-01: the first
      {0, (1u << 21) | (1u << 16)},                          // 1970: clamped to it
      {-86400, (1u << 21) | (1u << 16)},
      {4354819198, (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u},  // 2107-12-31 23:59:58
      {4354819199 + 86400, (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u},
  };
  for (const auto& c : cases) EXPECT_EQ(DosDateTimeOfUnixTime(c.seconds), c.expected) << c.seconds;
}

class FolderArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/folder_archive_test.XXXXXX";
    root_ = mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }

  void Add(const std::string& name, const std::string& content, int64_t time) {
    const std::string path = root_ + "/" + name;
    std::system(("mkdir -p \"$(dirname '" + path + "')\"").c_str());
    std::ofstream(path, std::ios::binary) << content;
    Touch(name, time);
  }
  void Folder(const std::string& name, int64_t time) {
    std::system(("mkdir -p '" + root_ + "/" + name + "'").c_str());
    Touch(name, time);
  }
  void Touch(const std::string& name, int64_t time) {
    utimbuf times{static_cast<time_t>(time), static_cast<time_t>(time)};
    utime((root_ + "/" + name).c_str(), &times);
  }
  bool Archive(Bytes* zip, std::string* error) {
    std::vector<FolderItem> items;
    if (!ListFolderTree(root_, &items, error)) return false;
    return MakeFolderArchive(items, zip, error);
  }

  std::string root_;
};

struct ReadEntry {
  std::string name;
  uint32_t flags, method, dosDate, external;
  std::string data;
};

std::vector<ReadEntry> Unzip(const Bytes& zip, const std::string& path) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(zip.data()), zip.size());
  std::vector<ReadEntry> entries;
  unzFile f = unzOpen64(path.c_str());
  if (!f) return entries;
  for (int rc = unzGoToFirstFile(f); rc == UNZ_OK; rc = unzGoToNextFile(f)) {
    unz_file_info64 info;
    char name[512];
    unzGetCurrentFileInfo64(f, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    ReadEntry e{name, static_cast<uint32_t>(info.flag), static_cast<uint32_t>(info.compression_method),
                static_cast<uint32_t>(info.dosDate), static_cast<uint32_t>(info.external_fa), ""};
    unzOpenCurrentFile(f);
    char buffer[4096];
    for (int n; (n = unzReadCurrentFile(f, buffer, sizeof buffer)) > 0;) e.data.append(buffer, n);
    EXPECT_EQ(unzCloseCurrentFile(f), UNZ_OK) << "CRC of " << name;
    entries.push_back(e);
  }
  unzClose(f);
  return entries;
}

TEST_F(FolderArchiveTest, SortedFoldersFirstWithGbkOrUtf8NamesAndFileTimes) {
  const int64_t t = 1525195622;  // 2018-05-01 17:27:02 UTC
  Add("VantrelCorvane.exe", std::string(3000, 'x'), t);
  // File names in UTF-8, as Linux keeps them (narrow literals here are GBK).
  Add(u8"share/设置.ini", "[a]\r\n", t - 3600);
  Add(u8"share/a-😀.txt", "utf-8", t);
  std::string noise;
  uint32_t x = 2463534242u;  // xorshift: bytes deflate cannot shrink
  for (int i = 0; i < 4000; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noise.push_back(static_cast<char>(x >> 24));
  }
  Add("b/noise.bin", noise, t);
  Folder("empty", t);
  Folder("share", t - 7200);
  Folder("b", t);
  Bytes zip;
  std::string error;
  ASSERT_TRUE(Archive(&zip, &error)) << error;

  const std::vector<ReadEntry> entries = Unzip(zip, root_ + ".zip");
  std::remove((root_ + ".zip").c_str());
  const std::vector<std::string> names = {"VantrelCorvane.exe", "b/", "b/noise.bin", "empty/", "share/",
                                          u8"share/a-😀.txt", "share/\xC9\xE8\xD6\xC3.ini"};
  ASSERT_EQ(entries.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(entries[i].name, names[i]) << i;
  EXPECT_EQ(entries[0].method, 8u) << "text deflated";
  EXPECT_EQ(entries[0].data, std::string(3000, 'x'));
  EXPECT_EQ(entries[0].dosDate, 0x4CA18B61u);
  EXPECT_EQ(entries[2].method, 0u) << "noise stored";
  EXPECT_EQ(entries[2].data, noise);
  EXPECT_EQ(entries[4].dosDate, DosDateTimeOfUnixTime(t - 7200)) << "a folder's own time";
  EXPECT_EQ(entries[4].external, 0x10u);
  EXPECT_EQ(entries[6].external, 0x20u);
  EXPECT_EQ(entries[6].flags, 0u) << "GBK name";
  EXPECT_EQ(entries[5].flags, 0x800u) << "no GBK form: UTF-8";
  EXPECT_EQ(entries[6].data, "[a]\r\n");

  // The installer's checks accept the archive, the UTF-8 name included.
  const ZipCheckResult check = CheckPayloadZip(zip.data(), zip.size(), "VantrelCorvane");
  EXPECT_EQ(check.problem, ZipProblem::kNone);
}

TEST_F(FolderArchiveTest, SameContentAndTimesGiveTheSameBytes) {
  Add("z.txt", "z", 1600000000);
  Add("a/b.txt", "b", 1600000000);
  Folder("a", 1600000000);
  Bytes first, second;
  std::string error;
  ASSERT_TRUE(Archive(&first, &error)) << error;
  // Made again in the other order, with the same times.
  std::system(("rm -rf '" + root_ + "'/*").c_str());
  Folder("a", 1600000000);
  Add("a/b.txt", "b", 1600000000);
  Add("z.txt", "z", 1600000000);
  Touch("a", 1600000000);
  ASSERT_TRUE(Archive(&second, &error)) << error;
  EXPECT_EQ(first, second);
  EXPECT_EQ(CheckPayloadZip(first.data(), first.size(), "").problem, ZipProblem::kNone);
}

TEST_F(FolderArchiveTest, NamesThatWindowsTakesForOneAndEmptyFoldersAreRefused) {
  Bytes zip;
  std::string error;
  EXPECT_FALSE(Archive(&zip, &error));
  EXPECT_EQ(error, "the folder is empty");
  Add("Readme.txt", "1", 1600000000);
  Add("README.txt", "2", 1600000000);
  EXPECT_FALSE(Archive(&zip, &error));
  EXPECT_EQ(error, "\"README.txt\" and \"Readme.txt\" differ only in case: on Windows they are one file");
}

}  // namespace
