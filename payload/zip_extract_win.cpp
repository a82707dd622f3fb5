#include "payload/zip_extract_win.h"

#include <windows.h>

#include <memory>

#include "frame/handles_win.h"
#include "payload/archive_reader_win.h"
#include "payload/entry_rules.h"

namespace {

// Room for a folder and an entry name of up to MAX_PATH bytes each. Longer
// paths fail at the file system call, as Windows' ANSI calls do.
constexpr size_t kPathBufferSize = 2 * MAX_PATH + 2;

// Signature of a local file header, "PK" 03 04.
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr DWORD kAcceptanceBlockSize = 32;

// The state of one ExtractArchive call.
struct ExtractionContext {
  ExtractProgressFn progress = nullptr;
  void* progressContext = nullptr;
  bool stopFlag = false;
  int32_t entryCount = 0;
  int32_t currentIndex = 0;

  void ReportProgress() {
    if (!progress) return;
    if (!progress(progressContext, ExtractProgressPercent(currentIndex, entryCount)))
      stopFlag = true;
  }
};

bool PathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

uint32_t ReadLe32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The acceptance test on the first 32 bytes: they must be read whole and
// begin with a local file header whose name length (bytes 26-27) is at least
// 1. An archive with no entries, or anything that is not a ZIP file starting
// with an entry, fails here.
bool PassesAcceptanceTest(const char* archivePath) {
  OwnedFile file(CreateFileA(archivePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  uint8_t block[kAcceptanceBlockSize];
  DWORD got = 0;
  if (!ReadFile(file.get(), block, sizeof block, &got, nullptr) || got != sizeof block) return false;
  uint32_t nameLength = block[26] | (block[27] << 8);
  return ReadLe32(block) == kLocalHeaderSignature && nameLength >= 1;
}

bool IsEntryNameSafe(const ZipEntryInfo& info) {
  return info.nameLength <= kMaxEntryNameLength &&
         CheckEntryName(info.name, info.nameLength) == EntryNameVerdict::kSafe;
}

}  // namespace

bool CreateFolderWithParents(const char* path) {
  char folder[kPathBufferSize];
  if (!path || !BuildFolderPath(path, folder, sizeof folder)) return false;
  for (size_t n = NextFolderPrefix(folder, 0); n != 0; n = NextFolderPrefix(folder, n)) {
    char kept = folder[n];
    folder[n] = '\0';
    bool ok = PathExists(folder) || CreateDirectoryA(folder, nullptr);
    folder[n] = kept;
    if (!ok) return false;
  }
  return true;
}

int ExtractArchive(const char* archivePath, const char* folder, ExtractProgressFn progress,
                   void* context) {
  if (!archivePath || !folder) return kExtractMissing;

  ExtractionContext extraction;
  extraction.progress = progress;
  extraction.progressContext = context;
  std::unique_ptr<ArchiveReader> reader;

  // Every failure reports once (0 before the count pass has finished, 100
  // after it) with the archive still open, then closes it.
  auto fail = [&](int result) {
    extraction.currentIndex = extraction.entryCount;
    extraction.ReportProgress();
    if (reader) reader->Close();
    return result;
  };

  if (!PathExists(archivePath)) return fail(kExtractMissing);
  if (!PathExists(folder) && !CreateFolderWithParents(folder)) return fail(kExtractFailed);
  if (!PassesAcceptanceTest(archivePath)) return fail(kExtractFailed);

  reader = ArchiveReader::Open(archivePath);
  if (!reader || !reader->HasDirectory()) return fail(kExtractFailed);

  // Count pass: every entry up to the first unreadable one, each name checked
  // before anything is written.
  ZipEntryInfo info;
  int32_t count = 0;
  while (reader->EntryInfo(count, &info) == kReaderOk) {
    if (!IsEntryNameSafe(info)) return fail(kExtractFailed);
    ++count;
  }
  extraction.entryCount = count;

  char path[kPathBufferSize];
  for (int32_t i = 0;; ++i) {
    if (i >= extraction.entryCount || reader->EntryInfo(i, &info) != kReaderOk) {
      extraction.currentIndex = extraction.entryCount;
      extraction.ReportProgress();
      reader->Close();
      return kExtractSucceeded;
    }
    if (!BuildEntryPath(folder, info.name, path, sizeof path)) return fail(kExtractFailed);
    if (info.attributes & kFileAttributeDirectory) {
      if (!PathExists(path) && !CreateFolderWithParents(path)) return fail(kExtractFailed);
    } else {
      // A read-only file from an earlier run refuses CREATE_ALWAYS: it is
      // made writable and tried once more. The entry's own READONLY (every
      // MS-DOS-made entry has it) is cleared again afterwards.
      uint32_t code = reader->ExtractToFile(i, path);
      if (code == kReaderOpenFailed) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        code = reader->ExtractToFile(i, path);
      }
      if (code != kReaderOk) return fail(kExtractFailed);
      SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    }
    extraction.currentIndex = i;
    extraction.ReportProgress();
    if (extraction.stopFlag) {
      reader->Close();
      return kExtractSucceeded;
    }
  }
}
