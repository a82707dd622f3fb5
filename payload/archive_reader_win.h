// ArchiveReader: the layer between the ZIP unit and the unzip library. It
// describes an archive entry in Windows terms (ZipEntryInfo) and writes one
// entry to a file. The archive is read through a Win32 file handle held open
// for reading, with read sharing only, from Open to Close: while a reader is
// open, another open of the archive for writing, or its deletion, fails. The
// file is read through a read-only view of it mapped from that handle when
// the view can be made.
//
// Windows only. Not thread-safe: one reader belongs to one Extract call.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "frame/handles_win.h"

// What a file being written is called until it is complete: its target's
// name with this ending, beside the target.
constexpr wchar_t kStagingSuffix[] = L".setup-part";

// Result codes of the reader's operations.
constexpr uint32_t kReaderOk = 0x00000000;
constexpr uint32_t kReaderOpenFailed = 0x00000200;     // archive or target file not opened/created
constexpr uint32_t kReaderDataError = 0x00000400;      // reading, inflating, checking or writing entry data
constexpr uint32_t kReaderBadLocalHeader = 0x00000700; // corrupt local header or unsupported method
constexpr uint32_t kReaderExtraFieldError = 0x00000800;  // the local extra field could not be read whole
constexpr uint32_t kReaderBadArgument = 0x00010000;    // no archive, or index out of range

// Size of the name field, terminating NUL included.
constexpr size_t kEntryNameBufferSize = 260;

// One entry as the reader describes it.
struct ZipEntryInfo {
  int32_t index;  // from 0, in central-directory order
  // The stored name ("/" separators), NUL-terminated: GBK, or UTF-8 when
  // utf8Name is set (general-purpose flag bit 11). A stored name of
  // kEntryNameBufferSize bytes or more is cut to 259 bytes; nameLength tells.
  char name[kEntryNameBufferSize];
  uint32_t nameLength;  // the stored name's full length in bytes
  bool utf8Name;
  uint32_t attributes;  // Windows file attributes derived from the external attributes
  // FILETIMEs from the central DOS date and time (taken as UTC), each replaced
  // by the time a "UT" block of the local extra field carries. A time that
  // cannot be derived (invalid DOS date, no "UT" value) is zero and is left
  // alone when the file is written.
  FILETIME lastAccessTime;
  FILETIME creationTime;
  FILETIME lastWriteTime;
  uint32_t compressedSize;    // from the central record
  uint32_t uncompressedSize;  // from the central record
};

// An entry being written, under its target's name when that was free, else
// under its staging name until it is complete.
struct StagedEntry {
  OwnedFile file;        // open for writing until CloseStaged
  std::wstring staging;  // the target's path plus ".setup-part"
  std::wstring target;
  FILETIME creationTime;    // zero: left alone
  FILETIME lastAccessTime;
  FILETIME lastWriteTime;
  // Attributes CloseStaged gives the file together with its times; 0 keeps
  // those it was created with (the entry's).
  uint32_t finalAttributes = 0;
  // The file is at its target, which did not exist before: written there
  // from the start (CreateEntryFile). Its removal restores what was there.
  bool placed = false;
};

// Where an entry's data lies in the reader's view of the archive, with what
// is needed to write and check it away from the reader (EntryWriter).
struct EntryData {
  const uint8_t* start = nullptr;  // first byte of the entry's data
  uint64_t available = 0;          // bytes from start to the end of the file
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint32_t crc = 0;
  uint16_t method = 0;         // 0 stored, 8 deflate
  uint32_t attributes = 0;     // the file is created with these
};

class ArchiveReader {
 public:
  // open: opens the archive with CreateFileW (GENERIC_READ, FILE_SHARE_READ,
  // OPEN_EXISTING) and reads its central directory. Returns null and sets
  // *code (when given) to kReaderOpenFailed when the file cannot be opened.
  // When the file opens but holds no readable directory, a reader is still
  // returned, HasDirectory() is false and every EntryInfo call fails with
  // kReaderBadArgument. The caller owns the reader; destroying it closes it.
  static std::unique_ptr<ArchiveReader> Open(const wchar_t* path, uint32_t* code = nullptr);
  // The same for a GBK path.
  static std::unique_ptr<ArchiveReader> Open(const char* path, uint32_t* code = nullptr);

  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  bool HasDirectory() const { return zip_ != nullptr; }
  // Copies the first `size` bytes of the archive to out; returns how many
  // were copied (fewer when the file is shorter, 0 without a directory).
  uint32_t ReadPrefix(void* out, uint32_t size);
  // Number of entries the directory declares (0 without a directory).
  int32_t DeclaredEntryCount() const;

  // entryInfo: fills *out for entry `index`.
  //   kReaderOk              *out filled. Index -1 fills in only the number of
  //                          entries, in out->index, everything else zero.
  //   kReaderBadArgument     no directory, index below -1 or not below the
  //                          number of entries
  //   kReaderBadLocalHeader  the central record or the local header cannot be
  //                          read or disagrees with the central record (sizes,
  //                          CRC, method, name length), the name or extra field
  //                          runs past the end of the file, or the method is
  //                          neither stored (0) nor deflate (8)
  //   kReaderExtraFieldError the local extra field could not be read whole
  // The record of the last successful call is kept and returned again for the
  // same index without touching the file.
  uint32_t EntryInfo(int32_t index, ZipEntryInfo* out);

  // extractToFile: writes entry `index` to `path` when nothing is there
  // yet, else to `path + ".setup-part"` (CreateEntryFile, with the entry's
  // attributes), sets its times when it is a disk file, closes it and, unless
  // written in place, moves it over `path` (MoveFileExW, replacing,
  // write-through). Creates no folders.
  //   kReaderOk              written and in place
  //   kReaderOpenFailed      the file could not be created, or the move
  //                          failed (the target is held open or read-only);
  //                          the target is unchanged, no staging file is left
  //   kReaderDataError       a read, inflate, write or close error, fewer bytes
  //                          than the entry's size, or a CRC-32 mismatch; the
  //                          target is unchanged (a new one is deleted
  //                          again), no staging file is left
  //   and every error code of EntryInfo for the index.
  uint32_t ExtractToFile(int32_t index, const wchar_t* path);
  // The same for a GBK path.
  uint32_t ExtractToFile(int32_t index, const char* path);

  // extractToFile in steps, for a caller that finishes files on other
  // threads while this reader goes on to the next entry.
  //
  // WriteStaged: the first step: creates the entry's file (CreateEntryFile),
  // writes the entry's data and checks it, and hands the still open file over
  // in *staged.
  //   kReaderOk              *staged holds the open, complete file
  //   kReaderOpenFailed      the file could not be created
  //   kReaderDataError       as for extractToFile; no staging file is left
  //   and every error code of EntryInfo for the index.
  // On any result but kReaderOk *staged holds no file.
  uint32_t WriteStaged(int32_t index, const wchar_t* path, StagedEntry* staged);
  // PrepareStaged: the first step without writing: checks entry `index` as
  // WriteStaged does before it writes (its record and its local header),
  // fills in *staged's target, staging name and times, and *data with where
  // the entry's bytes lie in the view, for an EntryWriter on another thread.
  // The data stays valid until the reader is closed. Results as for
  // WriteStaged, never kReaderOpenFailed or kReaderDataError, and
  // kReaderBadArgument also when the archive is not read through a view.
  uint32_t PrepareStaged(int32_t index, const wchar_t* path, StagedEntry* staged, EntryData* data);
  bool HasView() const { return stream_.view != nullptr; }
  // CreateStaging: opens the staging file for writing, created with
  // `attributes`. A new file is asked for first and an existing one replaced
  // only when there is one (left by a killed run; a READONLY attribute it
  // carries is cleared first): replacing truncates, and a file system may
  // then push the data to disk at the close, which a new file leaves to the
  // system's own write-back (ext4 does so under Wine, which truncates every
  // file it opens to replace). INVALID_HANDLE_VALUE when it cannot be opened.
  static HANDLE CreateStaging(const std::wstring& staging, DWORD attributes);
  // CreateEntryFile: opens the file an entry is written to, created with
  // `attributes`: its target itself when nothing is there yet
  // (staged->placed set: the file is where it belongs from the start, and
  // its removal restores what was there), else its staging file
  // (CreateStaging), so that an existing file stays whole until its
  // replacement is complete.
  static HANDLE CreateEntryFile(StagedEntry* staged, DWORD attributes);
  // CloseStaged: sets the times, and finalAttributes when given, in one call
  // on the open file (a disk file only), then closes it; a staging file is
  // left for MoveStaged. A close that fails deletes the file, wherever it is,
  // and gives kReaderDataError. Touches no reader: any thread may call it.
  static uint32_t CloseStaged(StagedEntry* staged);
  // MoveStaged: moves the closed staging file over its target (replacing,
  // write-through); true at once for a file already placed. False when the
  // move fails; the staging file then stays for another try or for
  // DiscardStaged. Any thread.
  static bool MoveStaged(const StagedEntry& staged);
  // DiscardStaged: closes the file if still open and deletes it: the staging
  // file, or the target a placed file is at.
  static void DiscardStaged(StagedEntry* staged);

  // close: closes any open entry data and the archive with its file handle.
  // Later calls fail with kReaderBadArgument. Safe to call twice.
  void Close();

 private:
  ArchiveReader() = default;
  bool PositionOn(int32_t index);
  uint32_t BeginStaged(int32_t index, const wchar_t* path, StagedEntry* staged, ZipEntryInfo* info);
  uint32_t ReadLocalExtraField(uint8_t** field, uint32_t* length);

  // The archive file as the unzip library reads it: the handle and either a
  // view of the whole file or a read buffer. With the view every read is a
  // copy from memory. Without one (the view could not be made, e.g. no
  // address space for it, or an empty file) the file is read with ReadFile:
  // the library reads its headers a few bytes at a time and seeks before
  // every read; serving those from one buffered block saves two system calls
  // per field.
  struct HandleStream {
    OwnedFile file;
    OwnedKernelHandle mapping;
    const uint8_t* view = nullptr;  // the file's bytes, size of them
    uint64_t size = 0;         // the file's size at open
    uint64_t position = 0;     // where the library's next read starts
    uint64_t bufferStart = 0;  // file offset of buffer[0]
    uint32_t bufferLength = 0; // valid bytes in buffer
    static constexpr uint32_t kBufferSize = 16384;
    uint8_t buffer[kBufferSize];
  };

  HandleStream stream_;
  void* zip_ = nullptr;      // unzFile
  uint64_t fileSize_ = 0;
  int32_t currentEntry_ = -1;  // the unzip library's current entry, -1 unknown
  bool haveSaved_ = false;
  ZipEntryInfo saved_ = {};
  // Entry data is inflated into this and written from it: a large piece
  // means few WriteFile calls for a large file.
  static constexpr size_t kPieceSize = 256 * 1024;
  uint8_t piece_[kPieceSize];
  uint8_t extra_[0xFFFF];            // the local extra field of the entry asked for

  friend struct ArchiveReaderIo;
};
