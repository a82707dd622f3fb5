// ArchiveReader against archives built in the test, on real files (Wine).
#include "payload/archive_reader_win.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/win32/zip_test_support.h"

namespace {

using namespace ziptest;

std::string WriteArchive(const ScratchFolder& scratch, const Archive& archive,
                         const char* name = "a.zip") {
  std::string path = scratch / name;
  EXPECT_TRUE(WriteBytes(path, archive.bytes));
  return path;
}

uint64_t DosFileTime(uint16_t date, uint16_t time) {
  FILETIME ft = {};
  EXPECT_TRUE(DosDateTimeToFileTime(date, time, &ft));
  return FileTimeValue(ft);
}

TEST(ArchiveReaderTest, OpenOfMissingFileGivesNoReader) {
  ScratchFolder scratch;
  uint32_t code = 0;
  EXPECT_EQ(ArchiveReader::Open((scratch / "none.zip").c_str(), &code), nullptr);
  EXPECT_EQ(code, kReaderOpenFailed);
}

TEST(ArchiveReaderTest, FileWithoutDirectoryHoldsNoArchiveAndIsReleased) {
  ScratchFolder scratch;
  Archive archive = BuildArchive({FileEntry("a.txt", "abc")});
  archive.bytes.resize(archive.central[0]);  // keep the entry, drop the directory
  std::string path = WriteArchive(scratch, archive);
  uint32_t code = 1;
  auto reader = ArchiveReader::Open(path.c_str(), &code);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(code, kReaderOk);
  EXPECT_FALSE(reader->HasDirectory());
  ZipEntryInfo info;
  EXPECT_EQ(reader->EntryInfo(0, &info), kReaderBadArgument);
  EXPECT_EQ(reader->ExtractToFile(0, (scratch / "x").c_str()), kReaderBadArgument);
  EXPECT_TRUE(DeleteFileA(path.c_str())) << "the handle should be closed already";
}

TEST(ArchiveReaderTest, EntryInfoDescribesEachEntry) {
  ScratchFolder scratch;
  Entry dos = FileEntry("readme.txt", "hello", 0);
  dos.externalAttributes = 0x27;  // READONLY|HIDDEN|SYSTEM|ARCHIVE
  Entry unix = FileEntry("share/a.ini", LargeText(20000));
  unix.externalAttributes = kUnixRegularFile;
  unix.versionMadeBy = 0x0314;
  unix.localExtra = UtBlockWithLastWrite(1600000000);
  Entry folder = FolderEntry("share/");
  folder.externalAttributes = kUnixFolder;
  std::string path = WriteArchive(scratch, BuildArchive({dos, unix, folder}));
  auto reader = ArchiveReader::Open(path.c_str());
  ASSERT_TRUE(reader && reader->HasDirectory());
  EXPECT_EQ(reader->DeclaredEntryCount(), 3);

  ZipEntryInfo info;
  ASSERT_EQ(reader->EntryInfo(0, &info), kReaderOk);
  EXPECT_EQ(info.index, 0);
  EXPECT_STREQ(info.name, "readme.txt");
  EXPECT_EQ(info.nameLength, 10u);
  EXPECT_EQ(info.attributes, 0x80u | 0x20 | 0x02 | 0x01 | 0x04);
  EXPECT_EQ(info.compressedSize, 5u);
  EXPECT_EQ(info.uncompressedSize, 5u);
  uint64_t dosTime = DosFileTime(kDosDate, kDosTime);
  EXPECT_EQ(dosTime, ExpectedDosTimeAsUtc());
  EXPECT_EQ(FileTimeValue(info.lastWriteTime), dosTime);
  EXPECT_EQ(FileTimeValue(info.lastAccessTime), dosTime);
  EXPECT_EQ(FileTimeValue(info.creationTime), dosTime);

  ASSERT_EQ(reader->EntryInfo(1, &info), kReaderOk);
  EXPECT_STREQ(info.name, "share/a.ini");
  EXPECT_EQ(info.attributes, 0x80u) << "Unix owner-write set: not read-only";
  EXPECT_EQ(info.uncompressedSize, 20000u);
  EXPECT_LT(info.compressedSize, 20000u);
  // 2020-09-13 12:26:40 UTC from the "UT" block; the others stay DOS times.
  EXPECT_EQ(FileTimeValue(info.lastWriteTime), 116444736000000000ull + 16000000000000000ull);
  EXPECT_EQ(FileTimeValue(info.lastAccessTime), dosTime);
  EXPECT_EQ(FileTimeValue(info.creationTime), dosTime);

  ASSERT_EQ(reader->EntryInfo(2, &info), kReaderOk);
  EXPECT_EQ(info.attributes, 0x90u);
}

TEST(ArchiveReaderTest, IndexesOutsideTheDirectoryAreBadArguments) {
  ScratchFolder scratch;
  std::string path = WriteArchive(
      scratch, BuildArchive({FileEntry("a", "1"), FileEntry("b", "2"), FileEntry("c", "3")}));
  auto reader = ArchiveReader::Open(path.c_str());
  ASSERT_NE(reader, nullptr);
  ZipEntryInfo info;
  EXPECT_EQ(reader->EntryInfo(3, &info), kReaderBadArgument);
  EXPECT_EQ(reader->EntryInfo(-2, &info), kReaderBadArgument);
  EXPECT_EQ(reader->ExtractToFile(3, (scratch / "x").c_str()), kReaderBadArgument);
  EXPECT_EQ(reader->ExtractToFile(-1, (scratch / "x").c_str()), kReaderBadArgument);
  ASSERT_EQ(reader->EntryInfo(-1, &info), kReaderOk);
  EXPECT_EQ(info.index, 3);
  EXPECT_EQ(info.name[0], '\0');

  // Backwards, forwards and repeated indexes all land on the right entry.
  for (int index : {2, 0, 1, 1, 2, 0}) {
    ASSERT_EQ(reader->EntryInfo(index, &info), kReaderOk) << index;
    EXPECT_EQ(info.index, index);
    EXPECT_EQ(info.name, std::string(1, static_cast<char>('a' + index)));
  }
  reader->Close();
  EXPECT_EQ(reader->EntryInfo(0, &info), kReaderBadArgument);
}

TEST(ArchiveReaderTest, ExtractWritesDataAttributesAndTimes) {
  ScratchFolder scratch;
  std::string large = LargeText(100000);
  Entry stored = FileEntry("stored.txt", "stored bytes", 0);
  Entry deflated = FileEntry("deflated.txt", large);
  deflated.externalAttributes = kUnixRegularFile;
  deflated.localExtra = UtBlockWithLastWrite(1600000000);
  std::string path = WriteArchive(scratch, BuildArchive({stored, deflated}));
  auto reader = ArchiveReader::Open(path.c_str());
  ASSERT_NE(reader, nullptr);

  ASSERT_EQ(reader->ExtractToFile(1, (scratch / "deflated.txt").c_str()), kReaderOk);
  ASSERT_EQ(reader->ExtractToFile(0, (scratch / "stored.txt").c_str()), kReaderOk);
  EXPECT_EQ(ReadBytes(scratch / "deflated.txt"), large);
  EXPECT_EQ(ReadBytes(scratch / "stored.txt"), "stored bytes");
  // The reader creates the file with the entry's attributes: an MS-DOS entry
  // is read-only until the extractor clears it.
  EXPECT_TRUE(GetFileAttributesA((scratch / "stored.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(GetFileAttributesA((scratch / "deflated.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA((scratch / "stored.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(FileTimeValue(data.ftLastWriteTime), ExpectedDosTimeAsUtc());
  EXPECT_EQ(FileTimeValue(data.ftCreationTime), ExpectedDosTimeAsUtc());
  ASSERT_TRUE(
      GetFileAttributesExA((scratch / "deflated.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(FileTimeValue(data.ftLastWriteTime), 116444736000000000ull + 16000000000000000ull);
}

// The steps of extractToFile one by one: the data is under the staging name
// while the file is open and the target untouched until the move; the final
// attributes come with the times; a discarded entry leaves nothing.
TEST(ArchiveReaderTest, StagedStepsKeepTheTargetUntilTheMove) {
  ScratchFolder scratch;
  Entry hidden = FileEntry("hidden.txt", LargeText(40000));
  hidden.externalAttributes = 0x27;  // read-only, hidden, system
  std::string path = WriteArchive(scratch, BuildArchive({hidden, FileEntry("b.txt", "bee", 0)}));
  auto reader = ArchiveReader::Open(path.c_str());
  ASSERT_NE(reader, nullptr);
  const std::string target = scratch / "hidden.txt";
  ASSERT_TRUE(WriteBytes(target, "old"));

  StagedEntry staged;
  ASSERT_EQ(reader->WriteStaged(0, Wide(target).c_str(), &staged), kReaderOk);
  EXPECT_TRUE(IsFile(target + ".setup-part"));
  EXPECT_EQ(ReadBytes(target), "old");
  // The next entry can be written while the first is still open.
  StagedEntry second;
  ASSERT_EQ(reader->WriteStaged(1, Wide(scratch / "b.txt").c_str(), &second), kReaderOk);
  ArchiveReader::DiscardStaged(&second);
  EXPECT_FALSE(IsFile(scratch / "b.txt.setup-part"));
  EXPECT_FALSE(IsFile(scratch / "b.txt"));

  staged.finalAttributes = FILE_ATTRIBUTE_NORMAL;
  ASSERT_EQ(ArchiveReader::CloseStaged(&staged), kReaderOk);
  EXPECT_EQ(ReadBytes(target), "old");
  ASSERT_TRUE(ArchiveReader::MoveStaged(staged));
  EXPECT_FALSE(IsFile(target + ".setup-part"));
  EXPECT_EQ(ReadBytes(target), LargeText(40000));
  DWORD attributes = GetFileAttributesW(Wide(target).c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(Wide(target).c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(FileTimeValue(data.ftLastWriteTime), ExpectedDosTimeAsUtc());
  EXPECT_EQ(FileTimeValue(data.ftCreationTime), ExpectedDosTimeAsUtc());

  // An entry that cannot be written hands back no file.
  EXPECT_EQ(reader->WriteStaged(0, Wide(scratch / "missing\\x.txt").c_str(), &staged), kReaderOpenFailed);
  EXPECT_FALSE(staged.file);
  EXPECT_EQ(reader->WriteStaged(2, Wide(scratch / "c.txt").c_str(), &staged), kReaderBadArgument);
}

// A file whose target is new is written there from the start, and closing
// it only times it; discarding it removes it again. A target that exists
// stays untouched until the move, and the staging file a killed run left
// beside it is replaced.
TEST(ArchiveReaderTest, NewTargetsAreWrittenInPlaceExistingOnesStaged) {
  ScratchFolder scratch;
  std::string path = WriteArchive(scratch, BuildArchive({FileEntry("a.txt", LargeText(30000))}));
  auto reader = ArchiveReader::Open(path.c_str());
  ASSERT_NE(reader, nullptr);

  const std::string fresh = scratch / "fresh.txt";
  StagedEntry placed;
  ASSERT_EQ(reader->WriteStaged(0, Wide(fresh).c_str(), &placed), kReaderOk);
  EXPECT_TRUE(placed.placed);
  EXPECT_FALSE(IsFile(fresh + ".setup-part"));
  placed.finalAttributes = FILE_ATTRIBUTE_NORMAL;
  ASSERT_EQ(ArchiveReader::CloseStaged(&placed), kReaderOk);
  EXPECT_TRUE(placed.placed);
  EXPECT_EQ(ReadBytes(fresh), LargeText(30000));
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(Wide(fresh).c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(FileTimeValue(data.ftLastWriteTime), ExpectedDosTimeAsUtc());
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(ArchiveReader::MoveStaged(placed));
  EXPECT_EQ(ReadBytes(fresh), LargeText(30000));
  ArchiveReader::DiscardStaged(&placed);
  EXPECT_FALSE(IsFile(fresh));

  const std::string existing = scratch / "existing.txt";
  ASSERT_TRUE(WriteBytes(existing, "old"));
  ASSERT_TRUE(WriteBytes(existing + ".setup-part", "left by a killed run"));
  StagedEntry waiting;
  ASSERT_EQ(reader->WriteStaged(0, Wide(existing).c_str(), &waiting), kReaderOk);
  EXPECT_FALSE(waiting.placed);
  ASSERT_EQ(ArchiveReader::CloseStaged(&waiting), kReaderOk);
  EXPECT_FALSE(waiting.placed);
  EXPECT_EQ(ReadBytes(existing), "old");
  ASSERT_TRUE(ArchiveReader::MoveStaged(waiting));
  EXPECT_EQ(ReadBytes(existing), LargeText(30000));
  EXPECT_FALSE(IsFile(existing + ".setup-part"));
}

TEST(ArchiveReaderTest, ExtractCreatesNoFolders) {
  ScratchFolder scratch;
  std::string path = WriteArchive(scratch, BuildArchive({FileEntry("a.txt", "abc")}));
  auto reader = ArchiveReader::Open(path.c_str());
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->ExtractToFile(0, (scratch / "missing\\a.txt").c_str()), kReaderOpenFailed);
  EXPECT_FALSE(IsFolder(scratch / "missing"));
}

TEST(ArchiveReaderTest, ArchiveIsHeldWithReadSharingUntilClose) {
  ScratchFolder scratch;
  std::string path = WriteArchive(scratch, BuildArchive({FileEntry("a.txt", "abc")}));
  auto reader = ArchiveReader::Open(path.c_str());
  ASSERT_NE(reader, nullptr);
  HANDLE reading = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reading, INVALID_HANDLE_VALUE);
  CloseHandle(reading);
  HANDLE writing = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writing, INVALID_HANDLE_VALUE);
  if (writing != INVALID_HANDLE_VALUE) CloseHandle(writing);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  reader->Close();
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(ArchiveReaderTest, OverlongNameIsCutAndItsLengthKept) {
  ScratchFolder scratch;
  std::string name(300, 'n');
  std::string path = WriteArchive(scratch, BuildArchive({FileEntry(name, "x")}));
  auto reader = ArchiveReader::Open(path.c_str());
  ASSERT_NE(reader, nullptr);
  ZipEntryInfo info;
  ASSERT_EQ(reader->EntryInfo(0, &info), kReaderOk);
  EXPECT_EQ(info.nameLength, 300u);
  EXPECT_EQ(std::string(info.name), name.substr(0, 259));
}

// One damaged single-entry archive per row: what entryInfo and extractToFile
// report, and whether extractToFile leaves a file behind.
struct DamageRow {
  const char* what;
  uint16_t method;
  std::function<void(Archive&)> damage;
  uint32_t infoCode;
  uint32_t extractCode;
};

const std::string kRowData = "The quick brown fox jumps over the lazy dog. The quick brown fox.";

std::vector<DamageRow> DamageRows() {
  auto both32 = [](size_t local, size_t central, std::function<uint32_t(uint32_t)> change) {
    return [=](Archive& a) {
      PutLe32(a.bytes, a.local[0] + local, change(GetLe32(a.bytes, a.local[0] + local)));
      PutLe32(a.bytes, a.central[0] + central, change(GetLe32(a.bytes, a.central[0] + central)));
    };
  };
  return {
      {"intact deflate", 8, [](Archive&) {}, kReaderOk, kReaderOk},
      {"intact stored", 0, [](Archive&) {}, kReaderOk, kReaderOk},
      {"local signature broken", 8,
       [](Archive& a) { a.bytes[a.local[0] + 3] = 5; }, kReaderBadLocalHeader,
       kReaderBadLocalHeader},
      {"local CRC differs from central", 8,
       [](Archive& a) { a.bytes[a.local[0] + kLocalCrc] ^= 1; }, kReaderBadLocalHeader,
       kReaderBadLocalHeader},
      {"local compressed size differs", 8,
       [](Archive& a) { a.bytes[a.local[0] + kLocalCompressed] ^= 1; }, kReaderBadLocalHeader,
       kReaderBadLocalHeader},
      {"local size differs", 0,
       [](Archive& a) { a.bytes[a.local[0] + kLocalSize] ^= 1; }, kReaderBadLocalHeader,
       kReaderBadLocalHeader},
      {"local name length differs", 8,
       [](Archive& a) { PutLe16(a.bytes, a.local[0] + kLocalNameLength, 6); },
       kReaderBadLocalHeader, kReaderBadLocalHeader},
      {"local method differs", 8,
       [](Archive& a) { PutLe16(a.bytes, a.local[0] + kLocalMethod, 0); }, kReaderBadLocalHeader,
       kReaderBadLocalHeader},
      {"method 12 in both records", 8,
       [](Archive& a) {
         PutLe16(a.bytes, a.local[0] + kLocalMethod, 12);
         PutLe16(a.bytes, a.central[0] + kCentralMethod, 12);
       },
       kReaderBadLocalHeader, kReaderBadLocalHeader},
      {"local extra field runs past the file", 8,
       [](Archive& a) { PutLe16(a.bytes, a.local[0] + kLocalExtraLength, 0xFFFF); },
       kReaderBadLocalHeader, kReaderBadLocalHeader},
      {"name runs past the file in both records", 8,
       [](Archive& a) {
         PutLe16(a.bytes, a.local[0] + kLocalNameLength, 0xF000);
         PutLe16(a.bytes, a.central[0] + kCentralNameLength, 0xF000);
       },
       kReaderBadLocalHeader, kReaderBadLocalHeader},
      {"invalid deflate block", 8, [](Archive& a) { a.bytes[a.data[0]] = 0x07; }, kReaderOk,
       kReaderDataError},
      {"CRC mismatch, deflate", 8, both32(kLocalCrc, kCentralCrc, [](uint32_t v) { return v ^ 1; }),
       kReaderOk, kReaderDataError},
      {"CRC mismatch, stored", 0, both32(kLocalCrc, kCentralCrc, [](uint32_t v) { return v ^ 1; }),
       kReaderOk, kReaderDataError},
      {"stream ends before the declared size", 8,
       both32(kLocalSize, kCentralSize, [](uint32_t v) { return v + 10; }), kReaderOk,
       kReaderDataError},
      {"stored data shorter than the declared size", 0,
       both32(kLocalSize, kCentralSize, [](uint32_t v) { return v + 10; }), kReaderOk,
       kReaderDataError},
  };
}

TEST(ArchiveReaderTest, DamagedArchives) {
  for (const DamageRow& row : DamageRows()) {
    SCOPED_TRACE(row.what);
    ScratchFolder scratch;
    Archive archive = BuildArchive({FileEntry("fox.txt", kRowData, row.method)});
    row.damage(archive);
    std::string path = WriteArchive(scratch, archive);
    auto reader = ArchiveReader::Open(path.c_str());
    ASSERT_TRUE(reader && reader->HasDirectory());
    ZipEntryInfo info;
    EXPECT_EQ(reader->EntryInfo(0, &info), row.infoCode);
    std::string target = scratch / "fox.txt";
    EXPECT_EQ(reader->ExtractToFile(0, target.c_str()), row.extractCode);
    if (row.extractCode == kReaderOk) {
      EXPECT_EQ(ReadBytes(target), kRowData);
    }
    // A failed entry leaves no file, under its name or the staging one.
    EXPECT_EQ(IsFile(target), row.extractCode == kReaderOk);
    EXPECT_FALSE(IsFile(target + ".setup-part"));
  }
}

}  // namespace
