#include "payload/zip_extract_win.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frame/wide_text_win.h"
#include "payload/archive_reader_win.h"
#include "payload/entry_finisher_win.h"
#include "payload/entry_rules.h"

namespace {

// Signature of a local file header, "PK" 03 04.
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr DWORD kAcceptanceBlockSize = 32;
// Archives with fewer entries are finished on the calling thread.
constexpr int32_t kEntriesForWorkers = 24;

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

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

uint32_t ReadLe32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The acceptance test on the first 32 bytes: they must be read whole and
// begin with a local file header whose name length (bytes 26-27) is at least
// 1. An archive with no entries, or anything that is not a ZIP file starting
// with an entry, fails here.
bool PassesAcceptanceTest(ArchiveReader* reader) {
  uint8_t block[kAcceptanceBlockSize];
  if (reader->ReadPrefix(block, sizeof block) != sizeof block) return false;
  uint32_t nameLength = block[26] | (block[27] << 8);
  return ReadLe32(block) == kLocalHeaderSignature && nameLength >= 1;
}

EntryNameEncoding EncodingOf(const ZipEntryInfo& info) {
  return info.utf8Name ? EntryNameEncoding::kUtf8 : EntryNameEncoding::kGbk;
}

bool IsEntryNameSafe(const ZipEntryInfo& info) {
  return info.nameLength <= kMaxEntryNameLength &&
         CheckEntryName(info.name, info.nameLength, EncodingOf(info)) == EntryNameVerdict::kSafe;
}

// The entry's path under folder, in UTF-16: the folder, "\" unless it ends
// in one, then the name (decoded as its flag says) with "/" turned into
// "\". False when a UTF-8 name does not decode.
bool EntryTargetPath(const std::wstring& folder, const ZipEntryInfo& info, std::wstring* path) {
  std::wstring name;
  if (info.utf8Name) {
    if (!WideFromUtf8(info.name, info.nameLength, &name)) return false;
  } else {
    name = WideFromGbk(info.name, info.nameLength);
  }
  for (wchar_t& c : name) {
    if (c == L'/') c = L'\\';
  }
  *path = folder;
  if (path->empty() || path->back() != L'\\') *path += L'\\';
  *path += name;
  return true;
}

// Creates path and every missing folder above it, from the root down, and
// adds each folder it made to *created (when given).
bool CreateWideFolderWithParents(const std::wstring& path, std::vector<std::wstring>* created = nullptr) {
  std::wstring folder = path;
  if (folder.empty()) return false;
  if (folder.back() != L'\\') folder += L'\\';
  // A UNC path's server and share are no folders to make: start past them.
  size_t from = 0;
  if (folder.compare(0, 2, L"\\\\") == 0) {
    from = folder.find(L'\\', 2);
    if (from != std::wstring::npos) from = folder.find(L'\\', from + 1);
    if (from == std::wstring::npos) return false;
  }
  for (size_t end = folder.find(L'\\', from); end != std::wstring::npos; end = folder.find(L'\\', end + 1)) {
    if (end == 0 || folder[end - 1] == L':') continue;  // the root of a drive
    std::wstring prefix = folder.substr(0, end);
    if (!PathExists(prefix)) {
      if (!CreateDirectoryW(prefix.c_str(), nullptr)) return false;
      if (created) created->push_back(prefix);
    }
  }
  return true;
}

// A folder to extract into: nothing when anything exists at path, else the
// folder and every missing one above it (added to *created when given). The
// folder alone is tried first: its parent is there in all but odd cases.
bool MakeFolder(const std::wstring& path, std::vector<std::wstring>* created = nullptr) {
  if (CreateDirectoryW(path.c_str(), nullptr)) {
    if (created) created->push_back(path);
    return true;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS || PathExists(path)) return true;
  return CreateWideFolderWithParents(path, created);
}

// Removes the staging files a killed run left in the folders this archive
// writes into: those of entries that replaced an existing file were
// replaced by now, those of entries written in place and of entries the
// archive no longer has are still there. Only names that end in the staging
// suffix are touched (a pattern also matches short names).
void RemoveLeftStagingFiles(std::vector<std::wstring> folders) {
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  const size_t suffixLength = wcslen(kStagingSuffix);
  for (const std::wstring& folder : folders) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*" + kStagingSuffix).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      const size_t length = wcslen(found.cFileName);
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || length <= suffixLength ||
          _wcsicmp(found.cFileName + length - suffixLength, kStagingSuffix) != 0)
        continue;
      const std::wstring path = folder + L"\\" + found.cFileName;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
}

}  // namespace

bool CreateFolderWithParents(const char* path) {
  return path && CreateWideFolderWithParents(WideFromGbk(path));
}

int ExtractArchive(const char* archivePath, const char* folder, ExtractProgressFn progress,
                   void* context) {
  if (!archivePath || !folder) return kExtractMissing;
  const std::wstring wideArchive = WideFromGbk(archivePath);
  const std::wstring wideFolder = WideFromGbk(folder);

  ExtractionContext extraction;
  extraction.progress = progress;
  extraction.progressContext = context;
  std::unique_ptr<ArchiveReader> reader;
  // File entries are checked here in archive order, then written, timed,
  // closed and moved into place by the finisher's workers, several at once
  // (read from the archive's view); without workers or a view, this thread
  // writes each one and the workers finish it. Each entry is reported once
  // it is in place, in archive order, so the reports and what a failure or a
  // stop leaves on disk are those of finishing every entry before the next.
  std::unique_ptr<EntryFinisher> finisher;

  // Every failure reports once (0 before the count pass has finished, 100
  // after it) with the archive still open, then closes it. Entries behind a
  // failed one are discarded, never moved into place.
  auto fail = [&](int result) {
    if (finisher) finisher->Cancel();
    extraction.currentIndex = extraction.entryCount;
    extraction.ReportProgress();
    if (reader) reader->Close();
    return result;
  };
  // A stop request: entries behind the one whose report asked for it are
  // discarded.
  auto stop = [&]() {
    if (finisher) finisher->Cancel();
    reader->Close();
    return kExtractSucceeded;
  };
  enum class Flow { kGoOn, kFailed, kStopped };
  // How a failed or stopped extraction ends.
  auto end = [&](Flow flow) { return flow == Flow::kStopped ? stop() : fail(kExtractFailed); };
  // Reports one entry taken from the finisher.
  auto report = [&](int32_t index, uint32_t code) {
    if (code != kReaderOk) return Flow::kFailed;
    extraction.currentIndex = index;
    extraction.ReportProgress();
    if (extraction.stopFlag) return Flow::kStopped;
    finisher->AllowNextMove();
    return Flow::kGoOn;
  };
  // Reports the finished entries in order: all of those in flight with
  // wait, else those finished already.
  auto reportFinished = [&](bool wait) {
    int32_t index;
    uint32_t code;
    while (finisher && finisher->TakeFinished(wait, &index, &code)) {
      Flow flow = report(index, code);
      if (flow != Flow::kGoOn) return flow;
    }
    return Flow::kGoOn;
  };

  if (!PathExists(wideArchive)) return fail(kExtractMissing);
  // A folder made now holds nothing from an earlier run: no staging files
  // to look for when the extraction is through.
  std::vector<std::wstring> rootMade;
  if (!MakeFolder(wideFolder, &rootMade)) return fail(kExtractFailed);
  // The archive is opened once, for the acceptance test and the rest.
  reader = ArchiveReader::Open(wideArchive.c_str());
  if (!reader || !reader->HasDirectory() || !PassesAcceptanceTest(reader.get())) return fail(kExtractFailed);

  // Count pass: every entry up to the first unreadable one, each name checked
  // before anything is written.
  ZipEntryInfo info;
  int32_t count = 0;
  std::wstring path;
  std::vector<std::wstring> targetFolders;
  while (reader->EntryInfo(count, &info) == kReaderOk) {
    if (!IsEntryNameSafe(info) || !EntryTargetPath(wideFolder, info, &path)) return fail(kExtractFailed);
    if (rootMade.empty() && !(info.attributes & kFileAttributeDirectory))
      targetFolders.push_back(path.substr(0, path.rfind(L'\\')));
    ++count;
  }
  extraction.entryCount = count;

  for (int32_t i = 0;; ++i) {
    if (i >= extraction.entryCount || reader->EntryInfo(i, &info) != kReaderOk) {
      Flow flow = reportFinished(true);
      if (flow != Flow::kGoOn) return end(flow);
      if (rootMade.empty()) RemoveLeftStagingFiles(std::move(targetFolders));
      extraction.currentIndex = extraction.entryCount;
      extraction.ReportProgress();
      reader->Close();
      return kExtractSucceeded;
    }
    if (!EntryTargetPath(wideFolder, info, &path)) return fail(kExtractFailed);
    if (!finisher) {
      // Starting threads costs more than a handful of files gain by them.
      unsigned workers = extraction.entryCount >= kEntriesForWorkers ? EntryFinisher::WorkersForThisMachine() : 0;
      finisher = std::make_unique<EntryFinisher>(workers);
    }
    // An entry for the same target, or for a file where this one needs a
    // folder, is finished first; so is the oldest when too many are in flight.
    bool mustWait = finisher->Pending(path);
    while (mustWait || finisher->InFlight() >= EntryFinisher::kMaxInFlight) {
      int32_t index;
      uint32_t code;
      if (!finisher->TakeFinished(true, &index, &code)) break;
      Flow flow = report(index, code);
      if (flow != Flow::kGoOn) return end(flow);
      mustWait = mustWait && finisher->Pending(path);
    }
    if (info.attributes & kFileAttributeDirectory) {
      // The folder is made at once and reported in its turn; should an entry
      // before it fail or be stopped at, the finisher removes the folders
      // made here again.
      std::vector<std::wstring> created;
      if (!MakeFolder(path, &created)) {
        // The entries before it are reported first, as they were in place.
        Flow flow = reportFinished(true);
        return end(flow == Flow::kGoOn ? Flow::kFailed : flow);
      }
      finisher->SubmitMade(i, std::move(created));
    } else if (finisher->Threaded() && reader->HasView()) {
      // Checked here, in archive order; written, closed and, unless written
      // in place, moved by the workers, several entries at once.
      StagedEntry staged;
      EntryData data;
      uint32_t code = reader->PrepareStaged(i, path.c_str(), &staged, &data);
      if (code != kReaderOk) {
        Flow flow = reportFinished(true);
        return end(flow == Flow::kGoOn ? Flow::kFailed : flow);
      }
      // Made with the attributes every file of the install ends with
      // (FILE_ATTRIBUTE_NORMAL), not with the entry's: nothing to change
      // at its close but the times.
      data.attributes = FILE_ATTRIBUTE_NORMAL;
      finisher->SubmitWrite(i, std::move(staged), data);
    } else {
      // A read-only file from an earlier run (the target, or the staging
      // file a killed run left with its entry's READONLY) may refuse the
      // staging file's creation: both are made writable and tried once more.
      StagedEntry staged;
      uint32_t code = reader->WriteStaged(i, path.c_str(), &staged);
      if (code == kReaderOpenFailed) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesW((path + kStagingSuffix).c_str(), FILE_ATTRIBUTE_NORMAL);
        code = reader->WriteStaged(i, path.c_str(), &staged);
      }
      if (code != kReaderOk) {
        Flow flow = reportFinished(true);
        return end(flow == Flow::kGoOn ? Flow::kFailed : flow);
      }
      // The entry's own READONLY (every MS-DOS-made entry has it), HIDDEN
      // and SYSTEM are cleared with its times, before it is moved into place.
      staged.finalAttributes = FILE_ATTRIBUTE_NORMAL;
      finisher->Submit(i, std::move(staged));
    }
    Flow flow = reportFinished(false);
    if (flow != Flow::kGoOn) return end(flow);
  }
}
