#include "payload/archive_parse.h"

#include <climits>
#include <cstring>
#include <new>

#include "payload/unzip_position.h"
#include "unzip.h"

// The unzip library reads the archive through these functions, which serve
// it from the reader's memory stream. The stream is handed over as the
// "opaque" pointer and returned as the library's file handle.
struct MemoryArchiveIo {
  using Stream = MemoryArchive::MemoryStream;

  static voidpf ZCALLBACK Open(voidpf opaque, const void*, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    Stream* stream = static_cast<Stream*>(opaque);
    stream->position = 0;
    stream->open = true;
    return stream;
  }

  static uLong ZCALLBACK Read(voidpf, voidpf s, void* buf, uLong size) {
    Stream* stream = static_cast<Stream*>(s);
    if (stream->position >= stream->size) return 0;
    size_t n = stream->size - stream->position;
    if (n > size) n = size;
    std::memcpy(buf, stream->data + stream->position, n);
    stream->position += n;
    return static_cast<uLong>(n);
  }

  static uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) {
    return 0;  // the archive is read only
  }

  static ZPOS64_T ZCALLBACK Tell(voidpf, voidpf s) { return static_cast<Stream*>(s)->position; }

  // Positions past the end are refused, as a read there could give nothing.
  static long ZCALLBACK Seek(voidpf, voidpf s, ZPOS64_T offset, int origin) {
    Stream* stream = static_cast<Stream*>(s);
    uint64_t base;
    switch (origin) {
      case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
      case ZLIB_FILEFUNC_SEEK_CUR: base = stream->position; break;
      case ZLIB_FILEFUNC_SEEK_END: base = stream->size; break;
      default: return -1;
    }
    if (offset > stream->size - base) return -1;  // base <= size always holds
    stream->position = static_cast<size_t>(base + offset);
    return 0;
  }

  static int ZCALLBACK Close(voidpf, voidpf s) {
    static_cast<Stream*>(s)->open = false;
    return 0;
  }

  static int ZCALLBACK Error(voidpf, voidpf) { return 0; }
};

namespace {

unzFile AsUnz(void* zip) { return static_cast<unzFile>(zip); }

// Largest local extra field a header can declare (a 16-bit length).
constexpr size_t kMaxExtraField = 0xFFFF;
// Room for a folder and an entry name of up to 260 bytes each, as the
// extraction's path buffer has.
constexpr size_t kPathBufferSize = 2 * 260 + 2;
constexpr size_t kPieceSize = 16384;

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr size_t kAcceptanceBlockSize = 32;

// The extraction's acceptance test: 32 bytes that begin with a local file
// header whose name length (bytes 26-27) is at least 1.
bool PassesAcceptanceTest(const uint8_t* data, size_t size) {
  if (size < kAcceptanceBlockSize) return false;
  const uint32_t signature = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t(data[3]) << 24);
  const uint32_t nameLength = data[26] | (data[27] << 8);
  return signature == kLocalHeaderSignature && nameLength >= 1;
}

bool IsEntryNameSafe(const ArchiveEntry& entry) {
  return entry.name.size() <= kMaxEntryNameLength &&
         CheckEntryName(entry.name.data(), entry.name.size()) == EntryNameVerdict::kSafe;
}

}  // namespace

std::unique_ptr<MemoryArchive> MemoryArchive::Open(const uint8_t* data, size_t size) {
  std::unique_ptr<MemoryArchive> archive(new (std::nothrow) MemoryArchive());
  if (!archive) return nullptr;
  archive->stream_.data = data;
  archive->stream_.size = data ? size : 0;

  zlib_filefunc64_def io = {};
  io.zopen64_file = MemoryArchiveIo::Open;
  io.zread_file = MemoryArchiveIo::Read;
  io.zwrite_file = MemoryArchiveIo::Write;
  io.ztell64_file = MemoryArchiveIo::Tell;
  io.zseek64_file = MemoryArchiveIo::Seek;
  io.zclose_file = MemoryArchiveIo::Close;
  io.zerror_file = MemoryArchiveIo::Error;
  io.opaque = &archive->stream_;
  // The library hands the path to the open function only; ours ignores it.
  archive->zip_ = unzOpen2_64("memory", &io);
  return archive;
}

MemoryArchive::~MemoryArchive() {
  if (zip_) {
    unzCloseCurrentFile(AsUnz(zip_));
    unzClose(AsUnz(zip_));
  }
}

int32_t MemoryArchive::DeclaredEntryCount() const {
  if (!zip_) return 0;
  unz_global_info64 global = {};
  if (unzGetGlobalInfo64(AsUnz(zip_), &global) != UNZ_OK) return 0;
  return global.number_entry > static_cast<ZPOS64_T>(INT32_MAX) ? INT32_MAX
                                                                : static_cast<int32_t>(global.number_entry);
}

bool MemoryArchive::PositionOn(int32_t index) { return MoveToEntry(AsUnz(zip_), &currentEntry_, index); }

ArchiveError MemoryArchive::ReadEntry(int32_t index, ArchiveEntry* out) {
  if (!zip_ || !out || index < 0 || index >= DeclaredEntryCount()) return ArchiveError::kBadArgument;
  unzFile zip = AsUnz(zip_);
  unzCloseCurrentFile(zip);
  if (!PositionOn(index)) return ArchiveError::kBadLocalHeader;

  unz_file_info64 central = {};
  if (unzGetCurrentFileInfo64(zip, &central, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return ArchiveError::kBadLocalHeader;
  }
  // The name may hold NULs: it is taken by its stored length, with room for
  // the NUL the library adds.
  std::vector<char> name(static_cast<size_t>(central.size_filename) + 1);
  if (unzGetCurrentFileInfo64(zip, &central, name.data(), name.size(), nullptr, 0, nullptr, 0) != UNZ_OK) {
    return ArchiveError::kBadLocalHeader;
  }
  // Only stored and deflate are handled; the library would hand out other
  // methods' compressed bytes as if they were the file.
  if (central.compression_method != 0 && central.compression_method != Z_DEFLATED) {
    return ArchiveError::kBadLocalHeader;
  }
  // Opening the entry's data checks the local header against the central
  // record and locates the local extra field.
  if (unzOpenCurrentFile(zip) != UNZ_OK) return ArchiveError::kBadLocalHeader;
  // The data starts after the local name and extra field; a header whose
  // name or extra field would end past the archive is corrupt.
  if (unzGetCurrentFileZStreamPos64(zip) > stream_.size) {
    unzCloseCurrentFile(zip);
    return ArchiveError::kBadLocalHeader;
  }
  const int extraLength = unzGetLocalExtrafield(zip, nullptr, 0);
  if (extraLength < 0 || static_cast<size_t>(extraLength) > kMaxExtraField) {
    unzCloseCurrentFile(zip);
    return ArchiveError::kExtraFieldError;
  }
  std::vector<uint8_t> extra(static_cast<size_t>(extraLength));
  if (extraLength > 0 &&
      unzGetLocalExtrafield(zip, extra.data(), static_cast<unsigned>(extraLength)) != extraLength) {
    unzCloseCurrentFile(zip);
    return ArchiveError::kExtraFieldError;
  }
  unzCloseCurrentFile(zip);

  ArchiveEntry entry;
  entry.index = index;
  entry.name.assign(name.data(), static_cast<size_t>(central.size_filename));
  entry.attributes = DeriveAttributes(static_cast<uint32_t>(central.external_fa));
  entry.times = DeriveEntryTimes(static_cast<uint16_t>(central.dosDate >> 16),
                                 static_cast<uint16_t>(central.dosDate & 0xFFFF), extra.data(), extra.size());
  entry.method = static_cast<uint16_t>(central.compression_method);
  entry.crc = static_cast<uint32_t>(central.crc);
  entry.compressedSize = static_cast<uint32_t>(central.compressed_size);
  entry.uncompressedSize = static_cast<uint32_t>(central.uncompressed_size);
  *out = std::move(entry);
  return ArchiveError::kOk;
}

ArchiveError MemoryArchive::ReadEntryData(int32_t index, size_t maxBytes, std::vector<uint8_t>* content) {
  if (!content) return ArchiveError::kBadArgument;
  content->clear();
  ArchiveEntry entry;
  const ArchiveError error = ReadEntry(index, &entry);
  if (error != ArchiveError::kOk) return error;
  if (entry.uncompressedSize > maxBytes) return ArchiveError::kTooLarge;

  unzFile zip = AsUnz(zip_);
  if (unzOpenCurrentFile(zip) != UNZ_OK) return ArchiveError::kDataError;
  bool failed = false;
  uint8_t piece[kPieceSize];
  for (;;) {
    const int got = unzReadCurrentFile(zip, piece, sizeof piece);
    if (got < 0) {
      failed = true;
      break;
    }
    if (got == 0) break;
    // The library stops at the declared size, so this only guards the bound.
    if (static_cast<size_t>(got) > maxBytes - content->size()) {
      unzCloseCurrentFile(zip);
      return ArchiveError::kTooLarge;
    }
    content->insert(content->end(), piece, piece + got);
  }
  // The library checks the CRC-32 only when the whole declared size was
  // inflated, so a stream that ends early is caught by the byte count.
  const int closeResult = unzCloseCurrentFile(zip);
  if (failed || closeResult != UNZ_OK || content->size() != entry.uncompressedSize) {
    return ArchiveError::kDataError;
  }
  return ArchiveError::kOk;
}

ArchiveWalk WalkArchive(const uint8_t* data, size_t size, const char* folder, size_t maxEntryBytes,
                        uint64_t maxTotalBytes, ArchiveVisitFn visit, void* context) {
  ArchiveWalk walk;
  auto fail = [&walk](ArchiveWalkResult result, int32_t entry) {
    walk.result = result;
    walk.failedEntry = entry;
    return walk;
  };
  if (!data || !PassesAcceptanceTest(data, size)) return fail(ArchiveWalkResult::kNotAccepted, -1);
  std::unique_ptr<MemoryArchive> archive = MemoryArchive::Open(data, size);
  if (!archive || !archive->HasDirectory()) return fail(ArchiveWalkResult::kNoDirectory, -1);

  // Count pass: every entry up to the first unreadable one, each name
  // checked before anything is visited.
  ArchiveEntry entry;
  const int32_t declared = archive->DeclaredEntryCount();
  int32_t count = 0;
  while (count < declared && archive->ReadEntry(count, &entry) == ArchiveError::kOk) {
    if (!IsEntryNameSafe(entry)) return fail(ArchiveWalkResult::kUnsafeName, count);
    ++count;
  }
  walk.entryCount = count;

  char path[kPathBufferSize];
  std::vector<uint8_t> content;
  for (int32_t i = 0; i < count; ++i) {
    if (archive->ReadEntry(i, &entry) != ArchiveError::kOk) break;
    if (!BuildEntryPath(folder ? folder : "", entry.name.c_str(), path, sizeof path)) {
      return fail(ArchiveWalkResult::kPathTooLong, i);
    }
    content.clear();
    if ((entry.attributes & kFileAttributeDirectory) == 0) {
      const ArchiveError error = archive->ReadEntryData(i, maxEntryBytes, &content);
      if (error == ArchiveError::kTooLarge) return fail(ArchiveWalkResult::kTooLarge, i);
      if (error != ArchiveError::kOk) return fail(ArchiveWalkResult::kDataError, i);
      if (content.size() > maxTotalBytes - walk.totalBytes) return fail(ArchiveWalkResult::kTooLarge, i);
      walk.totalBytes += content.size();
    }
    if (visit && !visit(context, entry, path, content)) break;
  }
  return walk;
}
