#include "payload/archive_reader_win.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "frame/wide_text_win.h"
#include "payload/entry_rules.h"
#include "payload/unzip_position.h"
#include "unzip.h"

// The unzip library reads the archive through these functions, which work on
// the reader's file handle. The handle is opened by ArchiveReader::Open and
// handed over as the "opaque" pointer; from then on the library owns it and
// closes it through CloseHandleStream (also when it fails to open the
// archive).
struct ArchiveReaderIo {
  using Stream = ArchiveReader::HandleStream;

  static voidpf ZCALLBACK OpenHandleStream(voidpf opaque, const char*, int) {
    Stream* stream = static_cast<Stream*>(opaque);
    return stream->file ? stream : nullptr;
  }

  // Reads `size` bytes at `offset` straight from the file.
  static uint32_t ReadAt(Stream* stream, uint64_t offset, void* buf, uint32_t size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    if (!SetFilePointerEx(stream->file.get(), at, nullptr, FILE_BEGIN) ||
        !ReadFile(stream->file.get(), buf, size, &got, nullptr))
      return 0;
    return got;
  }

  static uLong ZCALLBACK ReadHandleStream(voidpf, voidpf s, void* buf, uLong size) {
    Stream* stream = static_cast<Stream*>(s);
    auto* out = static_cast<uint8_t*>(buf);
    if (stream->view) {
      if (stream->position >= stream->size) return 0;
      uint64_t left = stream->size - stream->position;
      uLong n = left < size ? static_cast<uLong>(left) : size;
      std::memcpy(out, stream->view + stream->position, n);
      stream->position += n;
      return n;
    }
    uLong done = 0;
    while (done < size) {
      uint64_t at = stream->position;
      if (at >= stream->bufferStart && at < stream->bufferStart + stream->bufferLength) {
        uint32_t offset = static_cast<uint32_t>(at - stream->bufferStart);
        uint32_t n = stream->bufferLength - offset;
        if (n > size - done) n = static_cast<uint32_t>(size - done);
        std::memcpy(out + done, stream->buffer + offset, n);
        done += n;
        stream->position += n;
        continue;
      }
      uint32_t want = static_cast<uint32_t>(size - done);
      if (want >= Stream::kBufferSize) {
        // Large reads (entry data) bypass the buffer.
        uint32_t got = ReadAt(stream, at, out + done, want);
        done += got;
        stream->position += got;
        break;
      }
      stream->bufferStart = at;
      stream->bufferLength = ReadAt(stream, at, stream->buffer, Stream::kBufferSize);
      if (stream->bufferLength == 0) break;
    }
    return done;
  }

  static uLong ZCALLBACK WriteHandleStream(voidpf, voidpf, const void*, uLong) {
    return 0;  // the archive is read only
  }

  static long ZCALLBACK TellHandleStream(voidpf, voidpf s) {
    Stream* stream = static_cast<Stream*>(s);
    if (stream->position > LONG_MAX) return -1;
    return static_cast<long>(stream->position);
  }

  static long ZCALLBACK SeekHandleStream(voidpf, voidpf s, uLong offset, int origin) {
    Stream* stream = static_cast<Stream*>(s);
    uint64_t base;
    switch (origin) {
      case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
      case ZLIB_FILEFUNC_SEEK_CUR: base = stream->position; break;
      case ZLIB_FILEFUNC_SEEK_END: base = stream->size; break;
      default: return -1;
    }
    stream->position = base + offset;
    return 0;
  }

  static int ZCALLBACK CloseHandleStream(voidpf, voidpf s) {
    Stream* stream = static_cast<Stream*>(s);
    if (stream->view) UnmapViewOfFile(stream->view);
    stream->view = nullptr;
    stream->mapping.Reset();
    stream->file.Reset();
    stream->bufferLength = 0;
    return 0;
  }

  static int ZCALLBACK TestHandleStream(voidpf, voidpf) { return 0; }
};

namespace {

unzFile AsUnz(void* zip) { return static_cast<unzFile>(zip); }

FILETIME ToFileTime(bool present, uint64_t value) {
  FILETIME t = {};
  if (present) {
    t.dwLowDateTime = static_cast<DWORD>(value);
    t.dwHighDateTime = static_cast<DWORD>(value >> 32);
  }
  return t;
}

// Appended to a target's name while its entry is written.

void DeleteStaging(const std::wstring& staging) {
  SetFileAttributesW(staging.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(staging.c_str());
}

const FILETIME* TimeOrNull(const FILETIME& t) {
  return (t.dwLowDateTime == 0 && t.dwHighDateTime == 0) ? nullptr : &t;
}

LONGLONG FileTimeQuad(const FILETIME& t) {
  return static_cast<LONGLONG>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

// Largest archive read through a view: a 32-bit process keeps most of its
// address space for other uses; larger archives are read with ReadFile.
constexpr uint64_t kMaxView = sizeof(void*) > 4 ? UINT64_MAX : 768ull << 20;

// Largest local extra field a header can declare (a 16-bit length).
constexpr size_t kMaxExtraField = 0xFFFF;

}  // namespace

std::unique_ptr<ArchiveReader> ArchiveReader::Open(const char* path, uint32_t* code) {
  if (!path) {
    if (code) *code = kReaderOpenFailed;
    return nullptr;
  }
  return Open(WideFromGbk(path).c_str(), code);
}

std::unique_ptr<ArchiveReader> ArchiveReader::Open(const wchar_t* path, uint32_t* code) {
  if (code) *code = kReaderOpenFailed;
  if (!path) return nullptr;
  OwnedFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;

  std::unique_ptr<ArchiveReader> reader(new (std::nothrow) ArchiveReader());
  if (!reader) return nullptr;
  reader->stream_.file = std::move(file);
  LARGE_INTEGER size = {};
  if (GetFileSizeEx(reader->stream_.file.get(), &size)) reader->fileSize_ = static_cast<uint64_t>(size.QuadPart);
  reader->stream_.size = reader->fileSize_;
  // The whole file in one read-only view, when the address space has room;
  // the handle stays open beside it and keeps the sharing as it is.
  if (reader->fileSize_ > 0 && reader->fileSize_ <= kMaxView) {
    reader->stream_.mapping.Reset(
        CreateFileMappingW(reader->stream_.file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (reader->stream_.mapping) {
      reader->stream_.view = static_cast<const uint8_t*>(
          MapViewOfFile(reader->stream_.mapping.get(), FILE_MAP_READ, 0, 0, 0));
      if (!reader->stream_.view) reader->stream_.mapping.Reset();
    }
  }

  zlib_filefunc_def io = {};
  io.zopen_file = ArchiveReaderIo::OpenHandleStream;
  io.zread_file = ArchiveReaderIo::ReadHandleStream;
  io.zwrite_file = ArchiveReaderIo::WriteHandleStream;
  io.ztell_file = ArchiveReaderIo::TellHandleStream;
  io.zseek_file = ArchiveReaderIo::SeekHandleStream;
  io.zclose_file = ArchiveReaderIo::CloseHandleStream;
  io.zerror_file = ArchiveReaderIo::TestHandleStream;
  io.opaque = &reader->stream_;
  // The file is open already; the library's name goes to our open function,
  // which ignores it.
  reader->zip_ = unzOpen2("", &io);
  // Without a directory the library has normally closed the handle already;
  // close it here when it has not.
  if (!reader->zip_) ArchiveReaderIo::CloseHandleStream(nullptr, &reader->stream_);
  if (code) *code = kReaderOk;
  return reader;
}

ArchiveReader::~ArchiveReader() { Close(); }

void ArchiveReader::Close() {
  if (zip_) {
    unzCloseCurrentFile(AsUnz(zip_));
    unzClose(AsUnz(zip_));  // closes the file handle
    zip_ = nullptr;
  }
  ArchiveReaderIo::CloseHandleStream(nullptr, &stream_);
  haveSaved_ = false;
  currentEntry_ = -1;
}

uint32_t ArchiveReader::ReadPrefix(void* out, uint32_t size) {
  if (!zip_ || !out) return 0;
  if (size > fileSize_) size = static_cast<uint32_t>(fileSize_);
  if (stream_.view) {
    std::memcpy(out, stream_.view, size);
    return size;
  }
  return ArchiveReaderIo::ReadAt(&stream_, 0, out, size);
}

int32_t ArchiveReader::DeclaredEntryCount() const {
  if (!zip_) return 0;
  unz_global_info global = {};
  if (unzGetGlobalInfo(AsUnz(zip_), &global) != UNZ_OK) return 0;
  return global.number_entry > static_cast<uLong>(INT32_MAX)
             ? INT32_MAX
             : static_cast<int32_t>(global.number_entry);
}

bool ArchiveReader::PositionOn(int32_t index) { return MoveToEntry(AsUnz(zip_), &currentEntry_, index); }

uint32_t ArchiveReader::EntryInfo(int32_t index, ZipEntryInfo* out) {
  if (!zip_ || !out) return kReaderBadArgument;
  int32_t count = DeclaredEntryCount();
  if (index < -1 || index >= count) return kReaderBadArgument;
  unzFile zip = AsUnz(zip_);
  unzCloseCurrentFile(zip);
  if (index == -1) {
    *out = ZipEntryInfo{};
    out->index = count;
    return kReaderOk;
  }
  if (haveSaved_ && saved_.index == index) {
    *out = saved_;
    return kReaderOk;
  }
  if (!PositionOn(index)) return kReaderBadLocalHeader;

  ZipEntryInfo record = {};
  unz_file_info central = {};
  if (unzGetCurrentFileInfo(zip, &central, record.name, sizeof record.name, nullptr, 0,
                            nullptr, 0) != UNZ_OK)
    return kReaderBadLocalHeader;
  record.name[sizeof record.name - 1] = '\0';  // the library leaves a full buffer unterminated
  // Only stored and deflate are handled; the library would hand out other
  // methods' compressed bytes as if they were the file.
  if (central.compression_method != 0 && central.compression_method != Z_DEFLATED)
    return kReaderBadLocalHeader;

  // Opening the entry's data checks the local header against the central
  // record and locates the local extra field. Opened raw: the checks are the
  // same, without setting up an inflate that nothing here reads through.
  int method = 0, level = 0;
  if (unzOpenCurrentFile2(zip, &method, &level, 1) != UNZ_OK) return kReaderBadLocalHeader;
  // The data starts after the local name and extra field; a header whose
  // name or extra field would end past the file is corrupt.
  if (unzGetCurrentFileZStreamPos64(zip) > fileSize_) {
    unzCloseCurrentFile(zip);
    return kReaderBadLocalHeader;
  }
  int extraLength = unzGetLocalExtrafield(zip, nullptr, 0);
  if (extraLength < 0 || static_cast<size_t>(extraLength) > kMaxExtraField) {
    unzCloseCurrentFile(zip);
    return kReaderExtraFieldError;
  }
  if (extraLength > 0 &&
      unzGetLocalExtrafield(zip, extra_, static_cast<unsigned>(extraLength)) != extraLength) {
    unzCloseCurrentFile(zip);
    return kReaderExtraFieldError;
  }
  unzCloseCurrentFile(zip);

  record.index = index;
  record.nameLength = static_cast<uint32_t>(central.size_filename);
  record.utf8Name = (central.flag & kZipFlagUtf8Name) != 0;
  record.attributes = DeriveAttributes(static_cast<uint32_t>(central.external_fa));
  EntryTimes times = DeriveEntryTimes(static_cast<uint16_t>(central.dosDate >> 16),
                                      static_cast<uint16_t>(central.dosDate & 0xFFFF), extra_,
                                      static_cast<size_t>(extraLength));
  record.creationTime = ToFileTime(times.hasCreation, times.creation);
  record.lastAccessTime = ToFileTime(times.hasLastAccess, times.lastAccess);
  record.lastWriteTime = ToFileTime(times.hasLastWrite, times.lastWrite);
  record.compressedSize = static_cast<uint32_t>(central.compressed_size);
  record.uncompressedSize = static_cast<uint32_t>(central.uncompressed_size);

  saved_ = record;
  haveSaved_ = true;
  *out = record;
  return kReaderOk;
}

uint32_t ArchiveReader::ExtractToFile(int32_t index, const char* path) {
  if (!path) return kReaderBadArgument;
  return ExtractToFile(index, WideFromGbk(path).c_str());
}

uint32_t ArchiveReader::ExtractToFile(int32_t index, const wchar_t* path) {
  StagedEntry staged;
  uint32_t code = WriteStaged(index, path, &staged);
  if (code != kReaderOk) return code;
  code = CloseStaged(&staged);
  if (code != kReaderOk) return code;
  if (!MoveStaged(staged)) {
    // A target held open by another program, or a read-only one: it keeps its
    // content, and the caller may clear the attribute and try again.
    DiscardStaged(&staged);
    return kReaderOpenFailed;
  }
  return kReaderOk;
}

// The steps WriteStaged and PrepareStaged share: entry `index` checked and
// the library on it, *staged named and timed for it, *info its record.
uint32_t ArchiveReader::BeginStaged(int32_t index, const wchar_t* path, StagedEntry* staged, ZipEntryInfo* info) {
  staged->file.Reset();
  staged->placed = false;
  if (!zip_ || !path) return kReaderBadArgument;
  unzCloseCurrentFile(AsUnz(zip_));
  if (index < 0 || index >= DeclaredEntryCount()) return kReaderBadArgument;
  uint32_t code = EntryInfo(index, info);
  if (code != kReaderOk) return code;
  // A saved record may have been returned without moving the library.
  if (!PositionOn(index)) return kReaderBadLocalHeader;

  // A file that replaces another is written under a staging name beside its
  // target and moved over the target only once it is complete, closed and
  // timed: a failure or a crash never harms the file it was to replace. The
  // staging file of a crashed run is overwritten by the next. A new file is
  // written under its own name (CreateEntryFile), which saves a rename; a
  // failure deletes it again.
  staged->target = path;
  staged->staging = staged->target + kStagingSuffix;
  staged->creationTime = info->creationTime;
  staged->lastAccessTime = info->lastAccessTime;
  staged->lastWriteTime = info->lastWriteTime;
  return kReaderOk;
}

uint32_t ArchiveReader::PrepareStaged(int32_t index, const wchar_t* path, StagedEntry* staged, EntryData* data) {
  if (!staged || !data || !stream_.view) return kReaderBadArgument;
  ZipEntryInfo info;
  uint32_t code = BeginStaged(index, path, staged, &info);
  if (code != kReaderOk) return code;
  unzFile zip = AsUnz(zip_);
  unz_file_info central = {};
  if (unzGetCurrentFileInfo(zip, &central, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
    return kReaderBadLocalHeader;
  // Opened raw: the library checks the local header against the central
  // record and finds where the data starts, without setting up an inflate.
  int method = 0, level = 0;
  if (unzOpenCurrentFile2(zip, &method, &level, 1) != UNZ_OK) return kReaderBadLocalHeader;
  const uint64_t start = unzGetCurrentFileZStreamPos64(zip);
  unzCloseCurrentFile(zip);
  if (start > fileSize_) return kReaderBadLocalHeader;

  data->start = stream_.view + start;
  data->available = fileSize_ - start;
  data->compressedSize = static_cast<uint32_t>(central.compressed_size);
  data->uncompressedSize = static_cast<uint32_t>(central.uncompressed_size);
  data->crc = static_cast<uint32_t>(central.crc);
  data->method = static_cast<uint16_t>(central.compression_method);
  data->attributes = info.attributes;
  return kReaderOk;
}

uint32_t ArchiveReader::WriteStaged(int32_t index, const wchar_t* path, StagedEntry* staged) {
  if (!staged) return kReaderBadArgument;
  ZipEntryInfo info;
  uint32_t code = BeginStaged(index, path, staged, &info);
  if (code != kReaderOk) return code;
  unzFile zip = AsUnz(zip_);
  OwnedFile target(CreateEntryFile(staged, info.attributes));
  if (!target) return kReaderOpenFailed;

  bool error = unzOpenCurrentFile(zip) != UNZ_OK;
  uint64_t written = 0;
  while (!error) {
    int got = unzReadCurrentFile(zip, piece_, kPieceSize);
    if (got < 0) {
      error = true;
      break;
    }
    if (got == 0) break;
    DWORD put = 0;
    if (!WriteFile(target.get(), piece_, static_cast<DWORD>(got), &put, nullptr) ||
        put != static_cast<DWORD>(got)) {
      error = true;
      break;
    }
    written += put;
  }
  // The library checks the CRC-32 only when the whole declared size was
  // inflated, so a stream that ends early is caught by the byte count.
  int closeResult = unzCloseCurrentFile(zip);
  if (!error && (closeResult != UNZ_OK || written != info.uncompressedSize)) error = true;
  staged->file = std::move(target);
  if (error) {
    DiscardStaged(staged);
    return kReaderDataError;
  }
  return kReaderOk;
}

HANDLE ArchiveReader::CreateEntryFile(StagedEntry* staged, DWORD attributes) {
  HANDLE file =
      CreateFileW(staged->target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, attributes, nullptr);
  staged->placed = file != INVALID_HANDLE_VALUE;
  return staged->placed ? file : CreateStaging(staged->staging, attributes);
}

HANDLE ArchiveReader::CreateStaging(const std::wstring& staging, DWORD attributes) {
  HANDLE file = CreateFileW(staging.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, attributes, nullptr);
  if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  file = CreateFileW(staging.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED &&
      SetFileAttributesW(staging.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    file = CreateFileW(staging.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  }
  return file;
}

uint32_t ArchiveReader::CloseStaged(StagedEntry* staged) {
  if (!staged || !staged->file) return kReaderBadArgument;
  if (GetFileType(staged->file.get()) == FILE_TYPE_DISK) {
    if (staged->finalAttributes == 0) {
      SetFileTime(staged->file.get(), TimeOrNull(staged->creationTime), TimeOrNull(staged->lastAccessTime),
                  TimeOrNull(staged->lastWriteTime));
    } else {
      // Times and attributes in one request; a zero time (or change time)
      // leaves that time alone, as a null pointer does for SetFileTime.
      FILE_BASIC_INFO basic = {};
      basic.CreationTime.QuadPart = FileTimeQuad(staged->creationTime);
      basic.LastAccessTime.QuadPart = FileTimeQuad(staged->lastAccessTime);
      basic.LastWriteTime.QuadPart = FileTimeQuad(staged->lastWriteTime);
      basic.FileAttributes = staged->finalAttributes;
      SetFileInformationByHandle(staged->file.get(), FileBasicInfo, &basic, sizeof basic);
    }
  }
  // A close that fails (a full disk found late) fails the entry.
  if (!CloseHandle(staged->file.release())) {
    DeleteStaging(staged->placed ? staged->target : staged->staging);
    staged->placed = false;
    return kReaderDataError;
  }
  return kReaderOk;
}

bool ArchiveReader::MoveStaged(const StagedEntry& staged) {
  return staged.placed || MoveFileExW(staged.staging.c_str(), staged.target.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void ArchiveReader::DiscardStaged(StagedEntry* staged) {
  if (!staged) return;
  staged->file.Reset();
  if (staged->placed) {
    DeleteStaging(staged->target);
    staged->placed = false;
  } else if (!staged->staging.empty()) {
    DeleteStaging(staged->staging);
  }
}
