// Fuzz target: the archive reader's walk over a ZIP held in memory (unzip
// library through our I/O table, entry headers, entry rules, inflating into
// a bounded buffer), checked against the payload checker.
//
// Besides "no crash, no read outside the input, no runaway allocation", it
// checks: every visited entry has a safe name, a path inside the install
// folder, and (for a file) exactly its declared size and CRC-32; entries
// come in order; reading an entry again, out of order, describes it the
// same way; and an archive the payload checker calls installable is walked
// through every entry it declares (the checker exists to promise that the
// extraction will not stop early or refuse a name).
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "payload/archive_parse.h"
#include "tools/payload_zip_check.h"

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "archive_fuzz: %s\n", what);
  std::abort();
}

constexpr char kFolder[] = "D:\\Demo";
constexpr size_t kMaxEntryBytes = 1 << 20;
constexpr uint64_t kMaxTotalBytes = 4 << 20;

struct Visits {
  std::vector<ArchiveEntry> entries;
};

bool SameEntry(const ArchiveEntry& a, const ArchiveEntry& b) {
  return a.index == b.index && a.name == b.name && a.attributes == b.attributes && a.method == b.method &&
         a.crc == b.crc && a.compressedSize == b.compressedSize && a.uncompressedSize == b.uncompressedSize &&
         a.times.hasCreation == b.times.hasCreation && a.times.creation == b.times.creation &&
         a.times.hasLastAccess == b.times.hasLastAccess && a.times.lastAccess == b.times.lastAccess &&
         a.times.hasLastWrite == b.times.hasLastWrite && a.times.lastWrite == b.times.lastWrite;
}

bool Visit(void* context, const ArchiveEntry& entry, const char* path, const std::vector<uint8_t>& content) {
  Visits* visits = static_cast<Visits*>(context);
  if (entry.index != int32_t(visits->entries.size())) Broken("entries out of order");
  if (CheckEntryName(entry.name.data(), entry.name.size()) != EntryNameVerdict::kSafe) Broken("an unsafe name visited");
  const size_t folderLength = std::strlen(kFolder);
  if (std::strncmp(path, kFolder, folderLength) != 0 || path[folderLength] != '\\') Broken("a path outside the folder");
  if (entry.method != 0 && entry.method != 8) Broken("an entry of another method visited");
  if (entry.attributes & kFileAttributeDirectory) {
    if (!content.empty()) Broken("a folder with content");
  } else {
    if (content.size() != entry.uncompressedSize || content.size() > kMaxEntryBytes) Broken("content of the wrong size");
    const uLong crc = crc32(0L, content.data(), uInt(content.size()));
    if (uint32_t(crc) != entry.crc) Broken("content that fails its CRC-32");
  }
  visits->entries.push_back(entry);
  return true;
}

// Reads the visited entries again, last first, through a second reader.
void CheckRereading(const uint8_t* data, size_t size, const Visits& visits) {
  std::unique_ptr<MemoryArchive> archive = MemoryArchive::Open(data, size);
  if (!archive || !archive->HasDirectory()) Broken("a walked archive has no directory the second time");
  for (size_t i = visits.entries.size(); i-- > 0;) {
    ArchiveEntry again;
    if (archive->ReadEntry(int32_t(i), &again) != ArchiveError::kOk) Broken("an entry read once cannot be read again");
    if (!SameEntry(again, visits.entries[i])) Broken("an entry reads differently the second time");
  }
  ArchiveEntry beyond;
  if (archive->ReadEntry(archive->DeclaredEntryCount(), &beyond) != ArchiveError::kBadArgument ||
      archive->ReadEntry(-1, &beyond) != ArchiveError::kBadArgument) {
    Broken("an index out of range accepted");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Visits visits;
  const ArchiveWalk walk = WalkArchive(data, size, kFolder, kMaxEntryBytes, kMaxTotalBytes, Visit, &visits);
  if (walk.result == ArchiveWalkResult::kSucceeded && walk.failedEntry != -1) Broken("success names an entry");
  if ((walk.result == ArchiveWalkResult::kPathTooLong || walk.result == ArchiveWalkResult::kDataError ||
       walk.result == ArchiveWalkResult::kTooLarge) &&
      (walk.failedEntry < 0 || walk.failedEntry >= walk.entryCount)) {
    Broken("an entry failure names no counted entry");
  }
  if (walk.result == ArchiveWalkResult::kUnsafeName && walk.failedEntry < 0) Broken("an unsafe name without its entry");
  if (walk.result == ArchiveWalkResult::kUnsafeName && !visits.entries.empty()) Broken("entries visited before a name check failed");
  if (walk.result == ArchiveWalkResult::kSucceeded && int32_t(visits.entries.size()) != walk.entryCount) {
    Broken("a successful walk skipped entries");
  }
  if (!visits.entries.empty()) CheckRereading(data, size, visits);

  const ZipCheckResult check = CheckPayloadZip(data, size, "");
  if (check.problem == ZipProblem::kNone) {
    if (walk.result == ArchiveWalkResult::kNotAccepted || walk.result == ArchiveWalkResult::kNoDirectory ||
        walk.result == ArchiveWalkResult::kUnsafeName || walk.result == ArchiveWalkResult::kPathTooLong) {
      Broken("the checker passed an archive the extraction refuses");
    }
    std::unique_ptr<MemoryArchive> archive = MemoryArchive::Open(data, size);
    if (walk.entryCount != archive->DeclaredEntryCount()) {
      Broken("the checker passed an archive whose extraction stops early");
    }
  }
  return 0;
}
