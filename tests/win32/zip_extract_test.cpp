// The extraction engine and the ZIP unit's Extract command on real files
// under Wine. The unit tests create windows: run them with a display (Xvfb).
#include "payload/zip_extract_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "payload/entry_rules.h"
#include "payload/zip_unit_win.h"
#include "tests/win32/zip_test_support.h"

namespace {

using namespace ziptest;

// Records the percentages reported; answers false at event number stopAt and
// runs onEvent (when set) inside each report.
struct Recorder {
  std::vector<int> percents;
  int stopAt = -1;
  std::function<void(int percent)> onEvent;

  static bool Report(void* context, int32_t percent) {
    auto* self = static_cast<Recorder*>(context);
    self->percents.push_back(percent);
    if (self->onEvent) self->onEvent(percent);
    return static_cast<int>(self->percents.size()) - 1 != self->stopAt;
  }
};

// A file without READONLY, HIDDEN or SYSTEM. (Wine reports ARCHIVE for every
// file whose attributes were set to NORMAL, so that bit is not looked at.)
bool HasNormalAttributes(const std::string& path) {
  DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES &&
         (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
               FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

std::string WriteArchive(const ScratchFolder& scratch, const std::vector<Entry>& entries) {
  std::string path = scratch / "tool.zip";
  EXPECT_TRUE(WriteBytes(path, BuildArchive(entries).bytes));
  return path;
}

int RunExtract(const std::string& archive, const std::string& folder, Recorder* recorder) {
  return ExtractArchive(archive.c_str(), folder.c_str(), Recorder::Report, recorder);
}

std::vector<Entry> SixEntries() {
  Entry hidden = FileEntry("bin/setup.dat", "hidden system read-only", 0);
  hidden.externalAttributes = 0x27;
  Entry unix = FileEntry("share/a.ini", "[a]\r\nb=1\r\n");
  unix.externalAttributes = kUnixRegularFile;
  unix.versionMadeBy = 0x0314;
  return {FileEntry("readme.txt", "read me", 0), FolderEntry("share/"), unix,
          FolderEntry("bin/"), FileEntry("bin/产品.exe", LargeText(50000)), hidden};
}

TEST(ExtractArchiveTest, SixEntriesReportEachEntryThenHundred) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, SixEntries());
  std::string target = scratch / "new\\产品";
  Recorder recorder;
  EXPECT_EQ(RunExtract(archive, target, &recorder), kExtractSucceeded);
  EXPECT_EQ(recorder.percents, (std::vector<int>{0, 16, 33, 50, 66, 83, 100}));

  EXPECT_EQ(ReadBytes(target + "\\readme.txt"), "read me");
  EXPECT_EQ(ReadBytes(target + "\\share\\a.ini"), "[a]\r\nb=1\r\n");
  EXPECT_EQ(ReadBytes(target + "\\bin\\产品.exe"), LargeText(50000));
  for (const char* file : {"readme.txt", "share\\a.ini", "bin\\产品.exe", "bin\\setup.dat"}) {
    std::string path = target + "\\" + file;
    EXPECT_TRUE(HasNormalAttributes(path)) << file;
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) << file;
    EXPECT_EQ(FileTimeValue(data.ftLastWriteTime), ExpectedDosTimeAsUtc()) << file;
  }
}

TEST(ExtractArchiveTest, SecondRunOverwritesReadOnlyFilesAndKeepsExistingFolders) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, SixEntries());
  std::string target = scratch / "t";
  ASSERT_TRUE(CreateDirectoryW(Wide(target).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Wide((target + "\\share")).c_str(), nullptr));
  std::string old = target + "\\readme.txt";
  ASSERT_TRUE(WriteBytes(old, "an older, longer text"));
  ASSERT_TRUE(SetFileAttributesW(Wide(old).c_str(), FILE_ATTRIBUTE_READONLY));
  for (int run = 0; run < 2; ++run) {
    Recorder recorder;
    EXPECT_EQ(RunExtract(archive, target, &recorder), kExtractSucceeded) << run;
    EXPECT_EQ(recorder.percents.size(), 7u);
  }
  EXPECT_EQ(ReadBytes(old), "read me");
  EXPECT_TRUE(HasNormalAttributes(old));
}

// A killed run leaves a staging file behind; the next complete run removes
// those in the folders it writes into, also of entries it no longer has, and
// nothing else: a user's file and a folder with that ending stay.
TEST(ExtractArchiveTest, CompleteRunRemovesStagingFilesLeftBehind) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, {FileEntry("a.txt", "a"), FolderEntry("sub/"),
                                               FileEntry("sub/b.txt", "b")});
  std::string target = scratch / "t";
  ASSERT_TRUE(CreateDirectoryW(Wide(target).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Wide(target + "\\sub").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Wide(target + "\\kept.setup-part").c_str(), nullptr));
  for (const char* left : {"\\a.txt.setup-part", "\\old.dll.setup-part", "\\sub\\gone.txt.SETUP-PART"})
    ASSERT_TRUE(WriteBytes(target + left, "half"));
  // A killed run's staging file carries its entry's attributes, READONLY among them.
  for (const char* readOnly : {"\\old.dll.setup-part", "\\a.txt.setup-part"})
    ASSERT_TRUE(SetFileAttributesW(Wide(target + readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteBytes(target + "\\notes.setup-partial", "the user's"));
  Recorder recorder;
  EXPECT_EQ(RunExtract(archive, target, &recorder), kExtractSucceeded);
  std::vector<std::string> top = ListFolder(target);
  std::sort(top.begin(), top.end());
  EXPECT_EQ(top, (std::vector<std::string>{"a.txt", "kept.setup-part", "notes.setup-partial", "sub"}));
  EXPECT_EQ(ListFolder(target + "\\sub"), (std::vector<std::string>{"b.txt"}));
}

TEST(ExtractArchiveTest, AbsentArgumentsReportNothing) {
  Recorder recorder;
  EXPECT_EQ(ExtractArchive(nullptr, "C:\\x", Recorder::Report, &recorder), kExtractMissing);
  EXPECT_EQ(ExtractArchive("C:\\x.zip", nullptr, Recorder::Report, &recorder), kExtractMissing);
  EXPECT_TRUE(recorder.percents.empty());
}

// One row per way an extraction fails: the result, the reports and what the
// folder holds afterwards.
struct FailureRow {
  const char* what;
  // Writes the archive and anything else the row needs; returns the target.
  std::function<std::string(const ScratchFolder&, std::string* archive)> setUp;
  int result;
  std::vector<int> percents;
  std::function<void(const ScratchFolder&, const std::string& target)> check;
};

std::vector<FailureRow> FailureRows() {
  auto afterFirstFile = [](std::vector<Entry> tail) {
    std::vector<Entry> entries = {FileEntry("a.txt", "first")};
    entries.insert(entries.end(), tail.begin(), tail.end());
    return entries;
  };
  auto firstStays = [](const ScratchFolder&, const std::string& target) {
    EXPECT_EQ(ReadBytes(target + "\\a.txt"), "first");
  };
  auto emptyTarget = [](const ScratchFolder&, const std::string& target) {
    EXPECT_TRUE(IsFolder(target));
    EXPECT_TRUE(ListFolder(target).empty());
  };
  return {
      {"nothing at the archive path",
       [](const ScratchFolder& s, std::string* archive) {
         *archive = s / "none.zip";
         return s / "t";
       },
       kExtractMissing, {0},
       [](const ScratchFolder&, const std::string& target) { EXPECT_FALSE(IsFolder(target)); }},
      {"target folder cannot be created",
       [](const ScratchFolder& s, std::string* archive) {
         *archive = WriteArchive(s, {FileEntry("a.txt", "first")});
         return s / "made\\bad|name\\t";
       },
       kExtractFailed, {0},
       [](const ScratchFolder& s, const std::string&) {
         EXPECT_TRUE(IsFolder(s / "made"));
         EXPECT_TRUE(ListFolder(s / "made").empty());
       }},
      {"shorter than 32 bytes",
       [](const ScratchFolder& s, std::string* archive) {
         *archive = s / "tool.zip";
         WriteBytes(*archive, BuildArchive({FileEntry("a", "")}).bytes.substr(0, 31));
         return s / "t";
       },
       kExtractFailed, {0}, emptyTarget},
      {"no entries: begins with the end record",
       [](const ScratchFolder& s, std::string* archive) {
         *archive = s / "tool.zip";
         std::string bytes = BuildArchive({}).bytes;
         PutLe16(bytes, 20, 10);  // a comment makes it 32 bytes long
         WriteBytes(*archive, bytes + "0123456789");
         return s / "t";
       },
       kExtractFailed, {0}, emptyTarget},
      {"no readable directory",
       [](const ScratchFolder& s, std::string* archive) {
         *archive = s / "tool.zip";
         Archive a = BuildArchive({FileEntry("a.txt", "first")});
         WriteBytes(*archive, a.bytes.substr(0, a.central[0]));
         return s / "t";
       },
       kExtractFailed, {0}, emptyTarget},
      {"folder entry cannot be created",
       [=](const ScratchFolder& s, std::string* archive) {
         // A component longer than any file system allows.
         *archive = WriteArchive(s, afterFirstFile({FolderEntry(std::string(256, 'd') + "/")}));
         return s / "t";
       },
       kExtractFailed, {0, 100}, firstStays},
      {"file entry without its folder",
       [=](const ScratchFolder& s, std::string* archive) {
         *archive = WriteArchive(s, afterFirstFile({FileEntry("sub/b.txt", "second")}));
         return s / "t";
       },
       kExtractFailed, {0, 100},
       [=](const ScratchFolder& s, const std::string& target) {
         firstStays(s, target);
         EXPECT_FALSE(IsFolder(target + "\\sub"));
       }},
      {"inflate error inside a file entry",
       [=](const ScratchFolder& s, std::string* archive) {
         Archive a = BuildArchive(afterFirstFile({FileEntry("b.txt", LargeText(40000))}));
         a.bytes[a.data[1]] = 0x07;  // an invalid block type
         *archive = s / "tool.zip";
         WriteBytes(*archive, a.bytes);
         return s / "t";
       },
       kExtractFailed, {0, 100},
       [=](const ScratchFolder& s, const std::string& target) {
         firstStays(s, target);
         EXPECT_FALSE(IsFile(target + "\\b.txt")) << "no half-written file under its name";
         EXPECT_FALSE(IsFile(target + "\\b.txt.setup-part")) << "nor under the staging name";
       }},
      {"CRC-32 mismatch",
       [=](const ScratchFolder& s, std::string* archive) {
         Archive a = BuildArchive(afterFirstFile({FileEntry("b.txt", "second")}));
         a.bytes[a.local[1] + kLocalCrc] ^= 1;
         a.bytes[a.central[1] + kCentralCrc] ^= 1;
         *archive = s / "tool.zip";
         WriteBytes(*archive, a.bytes);
         return s / "t";
       },
       kExtractFailed, {0, 100}, firstStays},
      {"corrupt local header ends the archive before it",
       [=](const ScratchFolder& s, std::string* archive) {
         Archive a = BuildArchive(
             afterFirstFile({FileEntry("b.txt", "second"), FileEntry("c.txt", "third")}));
         a.bytes[a.local[2] + 3] = 5;
         *archive = s / "tool.zip";
         WriteBytes(*archive, a.bytes);
         return s / "t";
       },
       kExtractSucceeded, {0, 50, 100},
       [=](const ScratchFolder& s, const std::string& target) {
         firstStays(s, target);
         EXPECT_EQ(ReadBytes(target + "\\b.txt"), "second");
         EXPECT_FALSE(IsFile(target + "\\c.txt"));
       }},
  };
}

TEST(ExtractArchiveTest, Failures) {
  for (const FailureRow& row : FailureRows()) {
    SCOPED_TRACE(row.what);
    ScratchFolder scratch;
    std::string archive;
    std::string target = row.setUp(scratch, &archive);
    Recorder recorder;
    EXPECT_EQ(RunExtract(archive, target, &recorder), row.result);
    EXPECT_EQ(recorder.percents, row.percents);
    row.check(scratch, target);
  }
}

TEST(ExtractArchiveTest, UnsafeNamesFailTheWholeArchiveBeforeAnythingIsWritten) {
  const char* names[] = {"../evil.txt",  "..\\evil.txt", "/evil.txt",  "\\evil.txt",
                         "C:/evil.txt",  "a/../../evil.txt", "a:stream", "CON",
                         "sub/aux.txt",  "bad|name",     "..",          "a/.. /evil.txt"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    ScratchFolder scratch;
    std::string archive = WriteArchive(scratch, {FileEntry("fine.txt", "fine"),
                                                 FolderEntry("sub/"), FileEntry(name, "evil")});
    std::string root = scratch / "root";
    std::string target = root + "\\t";
    ASSERT_TRUE(CreateDirectoryW(Wide(root).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Wide(target).c_str(), nullptr));
    Recorder recorder;
    EXPECT_EQ(RunExtract(archive, target, &recorder), kExtractFailed);
    EXPECT_EQ(recorder.percents, (std::vector<int>{0}));
    EXPECT_TRUE(ListFolder(target).empty());
    EXPECT_EQ(ListFolder(root), (std::vector<std::string>{"t"}));
    std::vector<std::string> top = ListFolder(scratch.Path());
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"root", "tool.zip"}));
  }
}

// Names flagged as UTF-8 and names in GBK reach the disk as the same
// characters, also characters that GBK lacks; a UTF-8 name is held to the
// same rules.
TEST(ExtractArchiveTest, Utf8AndGbkNamesReachTheDiskAsTheirCharacters) {
  Entry utf8Folder = FolderEntry(u8"한국어/");
  utf8Folder.flags = kZipFlagUtf8Name;
  Entry utf8File = FileEntry(u8"한국어/설정.ini", "korean");
  utf8File.flags = kZipFlagUtf8Name;
  Entry utf8Chinese = FileEntry(u8"共享.txt", "utf-8 chinese");
  utf8Chinese.flags = kZipFlagUtf8Name;
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, {FileEntry("设置.ini", "gbk"), utf8Folder, utf8File, utf8Chinese});
  std::string target = scratch / "out";
  Recorder recorder;
  ASSERT_EQ(RunExtract(archive, target, &recorder), kExtractSucceeded);
  auto exists = [](const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; };
  const std::wstring out = Wide(target) + L"\\";
  EXPECT_TRUE(exists(out + L"\u8bbe\u7f6e.ini"));                       // 设置.ini
  EXPECT_TRUE(exists(out + L"\ud55c\uad6d\uc5b4\\\uc124\uc815.ini"));  // 한국어\설정.ini
  EXPECT_TRUE(exists(out + L"\u5171\u4eab.txt"));                       // 共享.txt
  EXPECT_EQ(ReadBytes(target + "\\共享.txt"), "utf-8 chinese");

  for (const char* name : {u8"中/../../evil.txt", "\xC0\xAF..\xC0\xAF" "evil.txt", u8"a/한:stream"}) {
    SCOPED_TRACE(name);
    ScratchFolder bad;
    Entry evil = FileEntry(name, "evil");
    evil.flags = kZipFlagUtf8Name;
    std::string badArchive = WriteArchive(bad, {FileEntry("fine.txt", "fine"), evil});
    std::string root = bad / "root";
    Recorder badRecorder;
    EXPECT_EQ(RunExtract(badArchive, root + "\\t", &badRecorder), kExtractFailed);
    EXPECT_TRUE(ListFolder(root + "\\t").empty());
    EXPECT_EQ(ListFolder(root), (std::vector<std::string>{"t"}));
  }
}

TEST(ExtractArchiveTest, HandlerAnsweringFalseStopsAfterFirstEntry) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(
      scratch, {FileEntry("a.txt", "1"), FileEntry("b.txt", "2"), FileEntry("c.txt", "3")});
  Recorder recorder;
  recorder.stopAt = 0;
  EXPECT_EQ(RunExtract(archive, scratch / "t", &recorder), kExtractSucceeded);
  EXPECT_EQ(recorder.percents, (std::vector<int>{0}));
  EXPECT_EQ(ListFolder(scratch / "t"), (std::vector<std::string>{"a.txt"}));
  EXPECT_TRUE(DeleteFileW(Wide(archive).c_str())) << "the archive is closed after a stop";
}

TEST(ExtractArchiveTest, TargetHeldOpenWithoutWriteSharingFails) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(
      scratch, {FileEntry("a.txt", "1"), FileEntry("b.txt", "2"), FileEntry("c.txt", "3")});
  std::string target = scratch / "t";
  ASSERT_TRUE(CreateDirectoryW(Wide(target).c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(target + "\\b.txt", "running"));
  HANDLE held = CreateFileW(Wide((target + "\\b.txt")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Recorder recorder;
  EXPECT_EQ(RunExtract(archive, target, &recorder), kExtractFailed);
  CloseHandle(held);
  EXPECT_EQ(recorder.percents, (std::vector<int>{0, 100}));
  EXPECT_EQ(ReadBytes(target + "\\a.txt"), "1");
  EXPECT_EQ(ReadBytes(target + "\\b.txt"), "running");
  EXPECT_FALSE(IsFile(target + "\\b.txt.setup-part"));
  EXPECT_FALSE(IsFile(target + "\\c.txt"));
}

TEST(ExtractArchiveTest, TargetFolderSpellings) {
  // With or without a trailing "\", and ending in a GBK character whose
  // second byte is 0x5C: the entries land inside the folder each time.
  struct Spelling {
    std::string given;
    std::string folder;
  };
  const Spelling spellings[] = {{"plain", "plain"},
                                {"trailing\\", "trailing"},
                                {"目录\x81\x5C", "目录\x81\x5C"}};
  for (const Spelling& spelling : spellings) {
    SCOPED_TRACE(spelling.given);
    ScratchFolder scratch;
    std::string archive = WriteArchive(scratch, {FolderEntry("share/"),
                                                 FileEntry("share/a.ini", "ini"),
                                                 FileEntry("b.txt", "b")});
    Recorder recorder;
    ASSERT_EQ(RunExtract(archive, scratch / spelling.given, &recorder), kExtractSucceeded);
    std::string folder = scratch / spelling.folder;
    EXPECT_EQ(ReadBytes(folder + "\\share\\a.ini"), "ini");
    std::vector<std::string> inside = ListFolder(folder);
    std::sort(inside.begin(), inside.end());
    EXPECT_EQ(inside, (std::vector<std::string>{"b.txt", "share"}));
    EXPECT_EQ(ListFolder(scratch.Path()).size(), 2u) << "only the archive and the folder";
  }
}

TEST(ExtractArchiveTest, ArchiveCannotBeDeletedDuringTheClosingReport) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, {FileEntry("a.txt", "1")});
  Recorder recorder;
  int deleteTries = 0;
  recorder.onEvent = [&](int percent) {
    if (percent != 100) return;
    ++deleteTries;
    EXPECT_FALSE(DeleteFileW(Wide(archive).c_str()));
  };
  EXPECT_EQ(RunExtract(archive, scratch / "t", &recorder), kExtractSucceeded);
  EXPECT_EQ(deleteTries, 1);
  EXPECT_TRUE(DeleteFileW(Wide(archive).c_str()));
}

// --- Many entries: files are finished on worker threads while later
// entries are written; what the caller sees must not show it. ---

// n files "f000.dat"... of differing sizes and contents, some with
// READONLY, HIDDEN and SYSTEM from their archive, in a folder "sub/" after
// the first tenth of them.
std::vector<Entry> ManyFiles(int n) {
  std::vector<Entry> entries;
  for (int i = 0; i < n; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%sf%03d.dat", i > n / 10 ? "sub/" : "", i);
    std::string data = std::to_string(i) + ":" + LargeText(static_cast<size_t>(i * 397 % 5000));
    Entry e = FileEntry(name, data, i % 3 == 0 ? 0 : 8);
    if (i % 4 == 1) e.externalAttributes = 0x27;
    entries.push_back(e);
    if (i == n / 10) entries.push_back(FolderEntry("sub/"));
  }
  return entries;
}

std::string EntryPath(const std::string& target, const Entry& e) {
  std::string path = target + "\\" + e.name;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.back() == '\\') path.pop_back();
  return path;
}

// Every percentage the reports of entries 0..last-1 give, in order.
std::vector<int> ReportsOfFirst(size_t last, size_t count) {
  std::vector<int> percents;
  for (size_t i = 0; i < last; ++i) percents.push_back(static_cast<int>(i * 100 / count));
  return percents;
}

// Every file in and below folder whose name ends in ".setup-part".
std::vector<std::string> StagingFilesIn(const std::string& folder) {
  std::vector<std::string> found;
  for (const std::string& name : ListFolder(folder)) {
    std::string path = folder + "\\" + name;
    if (IsFolder(path)) {
      for (const std::string& inner : StagingFilesIn(path)) found.push_back(inner);
    } else if (name.size() > 11 && name.compare(name.size() - 11, 11, ".setup-part") == 0) {
      found.push_back(path);
    }
  }
  return found;
}

TEST(ExtractArchiveTest, ManyFilesArriveWithContentsTimesAndNormalAttributes) {
  ScratchFolder scratch;
  const std::vector<Entry> entries = ManyFiles(300);
  std::string archive = WriteArchive(scratch, entries);
  std::string target = scratch / "t";
  // The second run replaces the first run's files, made read-only here.
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    Recorder recorder;
    // When the closing report is made every file is in place.
    std::vector<std::string> missingAtHundred;
    recorder.onEvent = [&](int percent) {
      if (percent != 100) return;
      for (const Entry& e : entries) {
        std::string path = EntryPath(target, e);
        if (e.externalAttributes != 0x10 && ReadBytes(path) != e.data) missingAtHundred.push_back(path);
      }
    };
    ASSERT_EQ(RunExtract(archive, target, &recorder), kExtractSucceeded);
    std::vector<int> expected = ReportsOfFirst(entries.size(), entries.size());
    expected.push_back(100);
    EXPECT_EQ(recorder.percents, expected);
    EXPECT_TRUE(missingAtHundred.empty()) << missingAtHundred.front();
    for (const Entry& e : entries) {
      if (e.externalAttributes == 0x10) continue;
      std::string path = EntryPath(target, e);
      EXPECT_EQ(ReadBytes(path), e.data) << e.name;
      EXPECT_TRUE(HasNormalAttributes(path)) << e.name;
      WIN32_FILE_ATTRIBUTE_DATA data;
      ASSERT_TRUE(GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) << e.name;
      EXPECT_EQ(FileTimeValue(data.ftLastWriteTime), ExpectedDosTimeAsUtc()) << e.name;
      if (run == 0) SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    EXPECT_TRUE(StagingFilesIn(target).empty());
  }
  EXPECT_TRUE(DeleteFileW(Wide(archive).c_str())) << "the archive is closed on return";
}

// A target held open without sharing refuses its replacement only when the
// finished file is moved over it, on a worker, after later entries have been
// written. The result, the reports and the folder are still those of a
// failure at that entry: the entries before it in place, the target as it
// was, nothing after it, no staging file.
TEST(ExtractArchiveTest, RefusedMoveOfOneOfManyEntriesFailsAtThatEntry) {
  const std::vector<Entry> entries = ManyFiles(60);
  for (size_t held : {size_t{0}, size_t{3}, size_t{30}, entries.size() - 2, entries.size() - 1}) {
    SCOPED_TRACE(held);
    ASSERT_NE(entries[held].externalAttributes, 0x10u);
    ScratchFolder scratch;
    std::string archive = WriteArchive(scratch, entries);
    std::string target = scratch / "t";
    ASSERT_TRUE(CreateFolderWithParents((target + "\\sub").c_str()));
    std::string heldPath = EntryPath(target, entries[held]);
    ASSERT_TRUE(WriteBytes(heldPath, "running"));
    HANDLE handle = CreateFileW(Wide(heldPath).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    Recorder recorder;
    EXPECT_EQ(RunExtract(archive, target, &recorder), kExtractFailed);
    CloseHandle(handle);
    std::vector<int> expected = ReportsOfFirst(held, entries.size());
    expected.push_back(100);
    EXPECT_EQ(recorder.percents, expected);
    for (size_t i = 0; i < entries.size(); ++i) {
      const Entry& e = entries[i];
      if (e.externalAttributes == 0x10) continue;
      std::string path = EntryPath(target, e);
      if (i < held) {
        EXPECT_EQ(ReadBytes(path), e.data) << e.name;
      } else if (i == held) {
        EXPECT_EQ(ReadBytes(path), "running");
      } else {
        EXPECT_FALSE(IsFile(path)) << e.name;
      }
    }
    EXPECT_TRUE(StagingFilesIn(target).empty());
    EXPECT_TRUE(DeleteFileW(Wide(archive).c_str())) << "the archive is closed on return";
  }
}

// Among many entries the data is written and checked on the workers, several
// entries at once. Damaged data found there (a CRC-32 that does not match,
// or a deflate stream that breaks) is still that entry's failure: the
// entries before it in place, nothing of it or after it, no staging file.
TEST(ExtractArchiveTest, DamagedDataOfOneOfManyEntriesFailsAtThatEntry) {
  const std::vector<Entry> entries = ManyFiles(60);
  for (bool breakStream : {false, true}) {
    for (size_t damaged : {size_t{1}, size_t{30}, size_t{44}, entries.size() - 1}) {
      ASSERT_NE(entries[damaged].externalAttributes, 0x10u);
      if (breakStream && entries[damaged].method != 8) continue;
      SCOPED_TRACE(std::to_string(damaged) + (breakStream ? " stream" : " crc"));
      ScratchFolder scratch;
      Archive built = BuildArchive(entries);
      if (breakStream) {
        for (size_t k = 0; k < 8; ++k) built.bytes[built.data[damaged] + k] ^= 0x5A;
      } else {
        const uint32_t crc = GetLe32(built.bytes, built.central[damaged] + kCentralCrc) ^ 1u;
        PutLe32(built.bytes, built.central[damaged] + kCentralCrc, crc);
        PutLe32(built.bytes, built.local[damaged] + kLocalCrc, crc);
      }
      std::string archive = scratch / "tool.zip";
      ASSERT_TRUE(WriteBytes(archive, built.bytes));
      std::string target = scratch / "t";
      Recorder recorder;
      EXPECT_EQ(RunExtract(archive, target, &recorder), kExtractFailed);
      std::vector<int> expected = ReportsOfFirst(damaged, entries.size());
      expected.push_back(100);
      EXPECT_EQ(recorder.percents, expected);
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].externalAttributes == 0x10) continue;
        std::string path = EntryPath(target, entries[i]);
        if (i < damaged) {
          EXPECT_EQ(ReadBytes(path), entries[i].data) << entries[i].name;
        } else {
          EXPECT_FALSE(IsFile(path)) << entries[i].name;
        }
      }
      EXPECT_TRUE(StagingFilesIn(target).empty());
      EXPECT_TRUE(DeleteFileW(Wide(archive).c_str())) << "the archive is closed on return";
    }
  }
}

// Folders of entries behind a refused move are made while that entry waits
// for its move; the failure takes them away again, as if never reached.
TEST(ExtractArchiveTest, RefusedMoveLeavesNoFolderOfLaterEntries) {
  std::vector<Entry> entries;
  for (int i = 0; i < 30; ++i) {
    entries.push_back(FileEntry("f" + std::to_string(i) + ".txt", LargeText(static_cast<size_t>(100 + i))));
    if (i == 5) entries.push_back(FolderEntry("late/"));
    if (i == 6) entries.push_back(FolderEntry("late/deeper/"));
    if (i > 6) entries.push_back(FileEntry("late/deeper/g" + std::to_string(i) + ".txt", "g"));
  }
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, entries);
  std::string target = scratch / "t";
  ASSERT_TRUE(CreateFolderWithParents(target.c_str()));
  ASSERT_TRUE(WriteBytes(target + "\\f2.txt", "running"));
  HANDLE handle = CreateFileW(Wide(target + "\\f2.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  Recorder recorder;
  EXPECT_EQ(RunExtract(archive, target, &recorder), kExtractFailed);
  CloseHandle(handle);
  EXPECT_EQ(recorder.percents, (std::vector<int>{0, static_cast<int>(100 / entries.size()), 100}));
  std::vector<std::string> left = ListFolder(target);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"f0.txt", "f1.txt", "f2.txt"}));
}

// A stop asked for in the report of entry k leaves exactly entries 0..k on
// disk, though later ones may have been written already.
TEST(ExtractArchiveTest, StopInTheMiddleOfManyEntriesKeepsOnlyThoseReported) {
  const std::vector<Entry> entries = ManyFiles(60);
  for (int stopAt : {2, 7, 40}) {
    SCOPED_TRACE(stopAt);
    ScratchFolder scratch;
    std::string archive = WriteArchive(scratch, entries);
    std::string target = scratch / "t";
    Recorder recorder;
    recorder.stopAt = stopAt;
    EXPECT_EQ(RunExtract(archive, target, &recorder), kExtractSucceeded);
    EXPECT_EQ(recorder.percents, ReportsOfFirst(static_cast<size_t>(stopAt) + 1, entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
      const Entry& e = entries[i];
      std::string path = EntryPath(target, e);
      if (static_cast<int>(i) <= stopAt) {
        if (e.externalAttributes == 0x10) {
          EXPECT_TRUE(IsFolder(path));
        } else {
          EXPECT_EQ(ReadBytes(path), e.data) << e.name;
        }
      } else {
        EXPECT_EQ(GetFileAttributesW(Wide(path).c_str()), INVALID_FILE_ATTRIBUTES) << e.name;
      }
    }
    EXPECT_TRUE(StagingFilesIn(target).empty());
    EXPECT_TRUE(DeleteFileW(Wide(archive).c_str())) << "the archive is closed after a stop";
  }
}

// Entries naming one target (also in other case) land in archive order: the
// last one wins. A file entry whose name is a later entry's folder fails
// that later entry, as it would one entry at a time.
TEST(ExtractArchiveTest, EntriesForTheSameTargetLandInArchiveOrder) {
  ScratchFolder scratch;
  std::vector<Entry> entries;
  for (int i = 0; i < 20; ++i) {
    entries.push_back(FileEntry(i % 2 ? "Same.txt" : "same.TXT", "version " + std::to_string(i)));
    entries.push_back(FileEntry("other" + std::to_string(i) + ".txt", LargeText(3000)));
  }
  std::string archive = WriteArchive(scratch, entries);
  std::string target = scratch / "t";
  Recorder recorder;
  ASSERT_EQ(RunExtract(archive, target, &recorder), kExtractSucceeded);
  EXPECT_EQ(ReadBytes(target + "\\same.txt"), "version 19");
  EXPECT_EQ(ListFolder(target).size(), 21u);

  ScratchFolder clash;
  std::string clashArchive = WriteArchive(
      clash, {FileEntry("a.txt", "1"), FileEntry("d", "a file"), FileEntry("d/b.txt", "2"), FileEntry("c.txt", "3")});
  Recorder clashRecorder;
  EXPECT_EQ(RunExtract(clashArchive, clash / "t", &clashRecorder), kExtractFailed);
  EXPECT_EQ(clashRecorder.percents, (std::vector<int>{0, 25, 100}));
  EXPECT_EQ(ReadBytes(clash / "t\\d"), "a file");
  EXPECT_FALSE(IsFile(clash / "t\\c.txt"));
  EXPECT_TRUE(StagingFilesIn(clash / "t").empty());
}

// --- The ZIP unit: Extract through a FrameService test double. ---

struct FakeFrame {
  HWND unitWindow = nullptr;
  std::vector<EventRecord> events;
  std::vector<UnitRef> destroyed;
  std::vector<UnitRef> lookups;
  int answerZeroAt = -1;  // the handler returns 0 at this event
  bool deliver = true;
};
FakeFrame* gFake = nullptr;

intptr_t FakeFrameService(int code, intptr_t a1, intptr_t a2, intptr_t) {
  switch (code) {
    case kFsRequireUnitObject:
      gFake->lookups.push_back({static_cast<uint32_t>(a1), static_cast<uint32_t>(a2)});
      return reinterpret_cast<intptr_t>(gFake->unitWindow);
    case kFsRaiseEvent: {
      auto* record = reinterpret_cast<EventRecord*>(a1);
      gFake->events.push_back(*record);
      if (!gFake->deliver) return 0;
      if (static_cast<int>(gFake->events.size()) - 1 == gFake->answerZeroAt) {
        record->hasResult = 1;
        record->result = 0;
      }
      return 1;
    }
    case kFsUnitDestroyed:
      gFake->destroyed.push_back({static_cast<uint32_t>(a1), static_cast<uint32_t>(a2)});
      return 0;
    default:
      return 0;
  }
}

constexpr uint32_t kWindowId = 0x52010001;
constexpr uint32_t kUnitId = 0x16010019;

class ZipUnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gFake = &fake_;
    ASSERT_EQ(ZipLibraryNotify(kNotifyFrameEntry, reinterpret_cast<intptr_t>(&FakeFrameService), 0),
              0);
    parent_ = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 250, 400, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    fake_.unitWindow = CreateZipUnitWindow(parent_, 0, 0x19, 0, 0, 32, 32, kWindowId, kUnitId);
    ASSERT_NE(fake_.unitWindow, nullptr);
  }
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
    ZipLibraryNotify(kNotifyFrameEntry, 0, 0);
    gFake = nullptr;
  }

  ArgValue CallExtract(int argCount, const std::string& archive, const std::string& folder) {
    ArgValue args[3] = {};
    UnitRef unit = {kWindowId, kUnitId};
    std::memcpy(args[0].raw, &unit, sizeof unit);
    args[0].tag = kTagZipUnit;
    args[1] = MakeText(archive.c_str());
    args[2] = MakeText(folder.c_str());
    ArgValue result = {};
    Extract(&result, argCount, args);
    return result;
  }

  std::vector<int> Percents() const {
    std::vector<int> p;
    for (const EventRecord& e : fake_.events) p.push_back(e.args[0]);
    return p;
  }

  FakeFrame fake_;
  HWND parent_ = nullptr;
};

TEST_F(ZipUnitTest, NotificationsAreAnswered) {
  EXPECT_EQ(ZipLibraryNotify(kNotifyProgramEnd, 0, 0), 0);
  for (int code : {0, 2, 5, 7}) EXPECT_EQ(ZipLibraryNotify(code, 0, 0), -1) << code;
}

TEST_F(ZipUnitTest, WindowCarriesStylesAndReportsItsDestruction) {
  HWND w = CreateZipUnitWindow(parent_, WS_VISIBLE, 0x21, 5, 6, 20, 10, kWindowId, 0x16010021);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE)) & (WS_VISIBLE | kZipUnitStyle),
            static_cast<DWORD>(WS_VISIBLE | kZipUnitStyle));
  EXPECT_EQ(GetClassLongA(w, GCL_STYLE) & CS_DBLCLKS, static_cast<DWORD>(CS_DBLCLKS));
  EXPECT_EQ(GetDlgCtrlID(w), 0x21);
  EXPECT_EQ(GetParent(w), parent_);
  DestroyWindow(w);
  ASSERT_EQ(fake_.destroyed.size(), 1u);
  EXPECT_EQ(fake_.destroyed[0].windowId, kWindowId);
  EXPECT_EQ(fake_.destroyed[0].unitId, 0x16010021u);
}

TEST_F(ZipUnitTest, ExtractRaisesExtractProgressWithTheUnitsIds) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, {FileEntry("a.txt", "1"), FileEntry("b.txt", "2")});
  ArgValue result = CallExtract(3, archive, scratch / "t");
  EXPECT_EQ(result.tag, kTagInt);
  EXPECT_EQ(result.i32, 1);
  ASSERT_EQ(fake_.lookups.size(), 1u);
  EXPECT_EQ(fake_.lookups[0].windowId, kWindowId);
  EXPECT_EQ(fake_.lookups[0].unitId, kUnitId);
  EXPECT_EQ(Percents(), (std::vector<int>{0, 50, 100}));
  for (const EventRecord& e : fake_.events) {
    EXPECT_EQ(e.windowId, kWindowId);
    EXPECT_EQ(e.unitId, kUnitId);
    EXPECT_EQ(e.eventNumber, kEventExtractProgress);
    EXPECT_EQ(e.argCount, 1);
  }
}

TEST_F(ZipUnitTest, HandlerReturningZeroStops) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, {FileEntry("a.txt", "1"), FileEntry("b.txt", "2")});
  fake_.answerZeroAt = 0;
  EXPECT_EQ(CallExtract(3, archive, scratch / "t").i32, 1);
  EXPECT_EQ(Percents(), (std::vector<int>{0}));
  EXPECT_FALSE(IsFile(scratch / "t\\b.txt"));
}

TEST_F(ZipUnitTest, UndeliveredEventsOrADestroyedWindowDoNotStop) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, {FileEntry("a.txt", "1"), FileEntry("b.txt", "2")});
  fake_.deliver = false;
  fake_.answerZeroAt = 0;
  EXPECT_EQ(CallExtract(3, archive, scratch / "t").i32, 1);
  EXPECT_EQ(Percents(), (std::vector<int>{0, 50, 100}));

  fake_.events.clear();
  DestroyWindow(fake_.unitWindow);
  EXPECT_EQ(CallExtract(3, archive, scratch / "t2").i32, 1);
  EXPECT_TRUE(fake_.events.empty());
  EXPECT_EQ(ReadBytes(scratch / "t2\\b.txt"), "2");
}

TEST_F(ZipUnitTest, AbsentArgumentsGiveMinusOne) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, {FileEntry("a.txt", "1")});
  EXPECT_EQ(CallExtract(2, archive, scratch / "t").i32, -1);
  EXPECT_EQ(CallExtract(0, archive, scratch / "t").i32, -1);
  EXPECT_TRUE(fake_.events.empty());
  EXPECT_EQ(CallExtract(3, "", scratch / "t").i32, -1) << "an empty path names nothing";
  EXPECT_EQ(Percents(), (std::vector<int>{0}));
}

TEST_F(ZipUnitTest, WithoutTheFrameEntryNoEventIsRaised) {
  ScratchFolder scratch;
  std::string archive = WriteArchive(scratch, {FileEntry("a.txt", "1")});
  ZipLibraryNotify(kNotifyFrameEntry, 0, 0);
  EXPECT_EQ(CallExtract(3, archive, scratch / "t").i32, 1);
  EXPECT_TRUE(fake_.lookups.empty());
  EXPECT_TRUE(fake_.events.empty());
}

}  // namespace
