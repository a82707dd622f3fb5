#include "payload/archive_parse.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

struct TestEntry {
  std::string name;
  uint32_t attributes;  // external attributes
  std::string data;
  bool deflate = false;
  std::string localExtra = "";
};

void Put16(std::string* b, uint32_t v) {
  b->push_back(static_cast<char>(v & 0xFF));
  b->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Set32(std::string* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string RawDeflate(const std::string& data) {
  z_stream z = {};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

constexpr uint32_t kDosTime = 0x4CA18B61;  // 2018-05-01 17:27:02

// A well-formed archive; local[i] is the offset of entry i's local header.
struct Built {
  std::string bytes;
  std::vector<size_t> local;
};

Built Build(const std::vector<TestEntry>& entries) {
  Built z;
  std::string& b = z.bytes;
  std::vector<std::string> packed;
  std::vector<uint32_t> crcs;
  for (const TestEntry& e : entries) {
    packed.push_back(e.deflate ? RawDeflate(e.data) : e.data);
    crcs.push_back(static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()))));
    z.local.push_back(b.size());
    Put32(&b, 0x04034B50);
    Put16(&b, 20);
    Put16(&b, 0);
    Put16(&b, e.deflate ? 8 : 0);
    Put32(&b, kDosTime);
    Put32(&b, crcs.back());
    Put32(&b, static_cast<uint32_t>(packed.back().size()));
    Put32(&b, static_cast<uint32_t>(e.data.size()));
    Put16(&b, static_cast<uint32_t>(e.name.size()));
    Put16(&b, static_cast<uint32_t>(e.localExtra.size()));
    b += e.name + e.localExtra + packed.back();
  }
  const size_t directoryStart = b.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    const TestEntry& e = entries[i];
    Put32(&b, 0x02014B50);
    Put16(&b, 0x001F);
    Put16(&b, 20);
    Put16(&b, 0);
    Put16(&b, e.deflate ? 8 : 0);
    Put32(&b, kDosTime);
    Put32(&b, crcs[i]);
    Put32(&b, static_cast<uint32_t>(packed[i].size()));
    Put32(&b, static_cast<uint32_t>(e.data.size()));
    Put16(&b, static_cast<uint32_t>(e.name.size()));
    Put16(&b, 0);
    Put16(&b, 0);
    Put16(&b, 0);
    Put16(&b, 0);
    Put32(&b, e.attributes);
    Put32(&b, static_cast<uint32_t>(z.local[i]));
    b += e.name;
  }
  const size_t end = b.size();
  Put32(&b, 0x06054B50);
  Put32(&b, 0);
  Put16(&b, static_cast<uint32_t>(entries.size()));
  Put16(&b, static_cast<uint32_t>(entries.size()));
  Put32(&b, static_cast<uint32_t>(end - directoryStart));
  Put32(&b, static_cast<uint32_t>(directoryStart));
  Put16(&b, 0);
  return z;
}

// A "UT" block with the last write time only.
std::string UtBlock(uint32_t seconds) {
  std::string b = "UT";
  Put16(&b, 5);
  b.push_back(1);
  Put32(&b, seconds);
  return b;
}

struct Seen {
  std::vector<ArchiveEntry> entries;
  std::vector<std::string> paths;
  std::vector<std::string> contents;
};

bool Record(void* context, const ArchiveEntry& entry, const char* path, const std::vector<uint8_t>& content) {
  Seen* seen = static_cast<Seen*>(context);
  seen->entries.push_back(entry);
  seen->paths.push_back(path);
  seen->contents.emplace_back(content.begin(), content.end());
  return true;
}

ArchiveWalk Walk(const std::string& bytes, Seen* seen, size_t maxEntry = 1 << 20) {
  // An exact-size copy, so that ASan sees any read past the end.
  std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  return WalkArchive(exact.data(), exact.size(), "D:\\Inst", maxEntry, 1 << 20, Record, seen);
}

const std::string kText = "The quick brown fox jumps over the lazy dog. The quick brown fox jumps again.";

std::vector<TestEntry> Shipped() {
  return {{"docs/", 0x10, ""},
          {"docs/readme.txt", 0x20, kText, true, UtBlock(1700000000)},
          {"demo.exe", 0x20, "MZ\x90"}};
}

TEST(WalkArchive, ValidArchiveVisitsEveryEntryWithPathsContentAndTimes) {
  Seen seen;
  const ArchiveWalk walk = Walk(Build(Shipped()).bytes, &seen);
  ASSERT_EQ(walk.result, ArchiveWalkResult::kSucceeded);
  EXPECT_EQ(walk.entryCount, 3);
  EXPECT_EQ(walk.totalBytes, kText.size() + 3);
  ASSERT_EQ(seen.entries.size(), 3u);
  EXPECT_EQ(seen.paths[0], "D:\\Inst\\docs\\");
  EXPECT_EQ(seen.paths[1], "D:\\Inst\\docs\\readme.txt");
  EXPECT_EQ(seen.paths[2], "D:\\Inst\\demo.exe");
  EXPECT_NE(seen.entries[0].attributes & kFileAttributeDirectory, 0u);
  EXPECT_EQ(seen.contents[0], "");
  EXPECT_EQ(seen.entries[1].method, 8);
  EXPECT_EQ(seen.contents[1], kText);
  EXPECT_EQ(seen.contents[2], "MZ\x90");
  // The "UT" block replaces the last write time only; the others come from
  // the DOS time.
  EXPECT_EQ(seen.entries[1].times.lastWrite, UnixTimeToFileTime64(1700000000));
  uint64_t dos = 0;
  ASSERT_TRUE(DosDateTimeToFileTime64(kDosTime >> 16, kDosTime & 0xFFFF, &dos));
  EXPECT_EQ(seen.entries[1].times.creation, dos);
  EXPECT_EQ(seen.entries[2].times.lastWrite, dos);
}

TEST(WalkArchive, TruncatedArchivesAreRefusedWithoutVisits) {
  const std::string whole = Build(Shipped()).bytes;
  const struct {
    size_t size;
    ArchiveWalkResult expected;
  } cases[] = {
      {0, ArchiveWalkResult::kNotAccepted},
      {31, ArchiveWalkResult::kNotAccepted},
      {32, ArchiveWalkResult::kNoDirectory},
      {whole.size() / 2, ArchiveWalkResult::kNoDirectory},
      {whole.size() - 22 - 5, ArchiveWalkResult::kNoDirectory},  // no end record, the last central one cut
  };
  for (const auto& c : cases) {
    Seen seen;
    EXPECT_EQ(Walk(whole.substr(0, c.size), &seen).result, c.expected) << "cut at " << c.size;
    EXPECT_TRUE(seen.entries.empty()) << "cut at " << c.size;
  }
}

TEST(WalkArchive, HostileNamesRefuseTheWholeArchive) {
  const char* const names[] = {"../evil.txt", "a/../../evil.txt", "/etc/passwd", "C:evil", "docs/CON.txt",
                               "a:stream", "..\\evil"};
  for (const char* name : names) {
    std::vector<TestEntry> entries = Shipped();
    entries.push_back({name, 0x20, "x"});
    Seen seen;
    const ArchiveWalk walk = Walk(Build(entries).bytes, &seen);
    EXPECT_EQ(walk.result, ArchiveWalkResult::kUnsafeName) << name;
    EXPECT_EQ(walk.failedEntry, 3) << name;
    EXPECT_TRUE(seen.entries.empty()) << name;
  }
  // A NUL inside the stored name is not cut off before the check.
  std::vector<TestEntry> entries = {{std::string("ok\0/../../x", 11), 0x20, "x"}};
  Seen seen;
  EXPECT_EQ(Walk(Build(entries).bytes, &seen).result, ArchiveWalkResult::kUnsafeName);
}

TEST(WalkArchive, DamagedEntriesEndTheWalkAsTheExtractionDoes) {
  // A local header that disagrees with the central record ends the archive
  // before that entry, and the walk still succeeds.
  Built built = Build(Shipped());
  Set32(&built.bytes, built.local[2] + 14, 0xDEADBEEF);  // local CRC
  Seen seen;
  ArchiveWalk walk = Walk(built.bytes, &seen);
  EXPECT_EQ(walk.result, ArchiveWalkResult::kSucceeded);
  EXPECT_EQ(walk.entryCount, 2);
  EXPECT_EQ(seen.entries.size(), 2u);

  // Content that fails its CRC-32 is a data error at that entry.
  built = Build(Shipped());
  built.bytes[built.local[2] + 30 + 8] ^= 1;  // "demo.exe" is 8 bytes; flip its first data byte
  seen = Seen();
  walk = Walk(built.bytes, &seen);
  EXPECT_EQ(walk.result, ArchiveWalkResult::kDataError);
  EXPECT_EQ(walk.failedEntry, 2);
  EXPECT_EQ(seen.entries.size(), 2u);

  // An entry larger than the bound is refused before it is inflated.
  seen = Seen();
  walk = Walk(Build(Shipped()).bytes, &seen, 10);
  EXPECT_EQ(walk.result, ArchiveWalkResult::kTooLarge);
  EXPECT_EQ(walk.failedEntry, 1);
}

TEST(MemoryArchive, EntriesReadInAnyOrderDescribeTheSame) {
  const std::string bytes = Build(Shipped()).bytes;
  std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  std::unique_ptr<MemoryArchive> archive = MemoryArchive::Open(exact.data(), exact.size());
  ASSERT_TRUE(archive && archive->HasDirectory());
  ASSERT_EQ(archive->DeclaredEntryCount(), 3);
  ArchiveEntry last, first, lastAgain;
  ASSERT_EQ(archive->ReadEntry(2, &last), ArchiveError::kOk);
  ASSERT_EQ(archive->ReadEntry(0, &first), ArchiveError::kOk);
  ASSERT_EQ(archive->ReadEntry(2, &lastAgain), ArchiveError::kOk);
  EXPECT_EQ(first.name, "docs/");
  EXPECT_EQ(last.name, "demo.exe");
  EXPECT_EQ(lastAgain.name, last.name);
  EXPECT_EQ(lastAgain.crc, last.crc);
  EXPECT_EQ(archive->ReadEntry(3, &last), ArchiveError::kBadArgument);
  EXPECT_EQ(archive->ReadEntry(-1, &last), ArchiveError::kBadArgument);
  std::vector<uint8_t> content;
  EXPECT_EQ(archive->ReadEntryData(1, 1 << 20, &content), ArchiveError::kOk);
  EXPECT_EQ(std::string(content.begin(), content.end()), kText);

  std::unique_ptr<MemoryArchive> none = MemoryArchive::Open(exact.data(), 100);
  ASSERT_TRUE(none);
  EXPECT_FALSE(none->HasDirectory());
  EXPECT_EQ(none->DeclaredEntryCount(), 0);
  EXPECT_EQ(none->ReadEntry(0, &last), ArchiveError::kBadArgument);
}

}  // namespace
