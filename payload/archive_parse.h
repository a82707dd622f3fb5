// Reading a ZIP archive held in memory with the unzip library, entry by
// entry, the way the installer's archive reader and extraction walk an
// archive on disk: the same header checks, the same entry rules
// (entry_rules.h) and the same order, but nothing is written anywhere.
// Entry contents are inflated into memory with a bound on their size.
//
// Portable: no Windows header. The archive bytes are not copied; they must
// outlive the reader. Not thread-safe: one reader belongs to one caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "payload/entry_rules.h"

// Results of the reader's operations.
enum class ArchiveError {
  kOk = 0,
  kBadArgument,      // no directory, or an index out of range
  kBadLocalHeader,   // the central record or local header cannot be read or
                     // disagree, the local name or extra field ends past the
                     // archive, or the method is neither stored nor deflate
  kExtraFieldError,  // the local extra field could not be read whole
  kDataError,        // reading or inflating failed, or the bytes produced do
                     // not match the declared size or CRC-32
  kTooLarge,         // the entry declares or produces more than the bound
};

// One entry as the reader describes it.
struct ArchiveEntry {
  int32_t index = -1;         // from 0, in central-directory order
  std::string name;           // the stored name, whole (GBK, "/" separators; may hold NULs)
  uint32_t attributes = 0;    // DeriveAttributes of the external attributes
  EntryTimes times = {};      // DeriveEntryTimes of the DOS time and the local extra field
  uint16_t method = 0;        // 0 stored or 8 deflate (others are refused)
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
};

class MemoryArchive {
 public:
  // Opens data[0, size) and reads its central directory. Returns null only
  // when memory runs out. When the bytes hold no readable directory, a
  // reader is still returned with HasDirectory() false.
  static std::unique_ptr<MemoryArchive> Open(const uint8_t* data, size_t size);

  ~MemoryArchive();
  MemoryArchive(const MemoryArchive&) = delete;
  MemoryArchive& operator=(const MemoryArchive&) = delete;

  bool HasDirectory() const { return zip_ != nullptr; }
  // Number of entries the directory declares (0 without a directory).
  int32_t DeclaredEntryCount() const;

  // Describes entry `index`: kOk with *out filled, kBadArgument,
  // kBadLocalHeader or kExtraFieldError (see ArchiveError). *out is changed
  // only on success. Entries are reached by walking forward from the
  // current one, so reading them in order is cheapest.
  ArchiveError ReadEntry(int32_t index, ArchiveEntry* out);

  // Replaces *content with the inflated bytes of entry `index`. kTooLarge
  // when the entry declares more than maxBytes, before anything is
  // inflated; kDataError when inflating fails or what comes out differs
  // from the declared size or CRC-32 (content then holds what was read);
  // and every error of ReadEntry.
  ArchiveError ReadEntryData(int32_t index, size_t maxBytes, std::vector<uint8_t>* content);

 private:
  MemoryArchive() = default;
  bool PositionOn(int32_t index);

  // The archive as the unzip library reads it through its I/O table.
  struct MemoryStream {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    bool open = false;
  };

  MemoryStream stream_;
  void* zip_ = nullptr;        // unzFile
  int32_t currentEntry_ = -1;  // the library's current entry, -1 unknown

  friend struct MemoryArchiveIo;
};

// What a walk over a whole archive came to.
enum class ArchiveWalkResult {
  kSucceeded = 0,   // every readable entry visited (entries from the first
                    // one with a corrupt header on are left out, as the
                    // extraction leaves them), or the visitor asked to stop
  kNotAccepted,     // the first 32 bytes are not a local header naming an entry
  kNoDirectory,     // the unzip library found no central directory
  kUnsafeName,      // an entry name fails CheckEntryName; nothing was visited
  kPathTooLong,     // folder + entry name do not fit a path buffer
  kDataError,       // an entry's data could not be read whole and intact
  kTooLarge,        // an entry, or all of them together, exceed the limits
};

// Called once per entry in archive order with the entry, its target path
// (BuildEntryPath under the walk's folder) and, for a file, its whole
// content (empty for a folder). Returning false ends the walk there with
// kSucceeded.
using ArchiveVisitFn = bool (*)(void* context, const ArchiveEntry& entry, const char* path,
                                const std::vector<uint8_t>& content);

struct ArchiveWalk {
  ArchiveWalkResult result = ArchiveWalkResult::kSucceeded;
  int32_t entryCount = 0;    // entries the count pass read (the extraction's count)
  int32_t failedEntry = -1;  // the entry a failure is about, or -1
  uint64_t totalBytes = 0;   // content bytes read
};

// Walks data[0, size) as the extraction does: the acceptance test of the
// first 32 bytes, the directory, a count pass that reads every entry header
// up to the first unreadable one and checks every name before anything is
// visited, then each counted entry in order. folder stands for the install
// folder (GBK, need not end in "\"). maxEntryBytes bounds one entry's
// content and maxTotalBytes the sum of all (kTooLarge past either).
// visit may be null.
ArchiveWalk WalkArchive(const uint8_t* data, size_t size, const char* folder, size_t maxEntryBytes,
                        uint64_t maxTotalBytes, ArchiveVisitFn visit, void* context);
