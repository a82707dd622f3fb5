// Bounded little-endian reading and writing of binary data, and the shared
// encoding of stored property records.
//
// ByteCursor reads from a {data, size} range it does not own. Every read
// first checks what is left; a read that does not fit fails, records a named
// error (the kind of failure, the field's name and its offset) and leaves its
// output untouched. Errors are sticky: after the first failure every further
// read fails too and the first error is kept, so a decoder may issue a run of
// reads and test the cursor once. Nothing is ever read outside the range.
//
// ByteWriter appends little-endian values to a std::vector<uint8_t> it owns.
//
// Property records (the kind-specific tail of every form unit record) are a
// 32-bit version word followed by 32-bit fields; colours are COLORREF values
// (0x00BBGGRR) with kDefaultColor standing for the default colour; pictures,
// fonts and other binary data are blobs (32-bit length, then the bytes;
// length 0 = none); texts are a 32-bit length followed by the bytes without a
// terminator. Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Why a read failed.
enum class CursorError {
  kNone = 0,
  kEndOfData,      // a fixed-size field runs past the end of the data
  kLengthPastEnd,  // a stored length or count asks for more than is left
  kNoTerminator,   // a NUL-terminated text has no NUL before the end
  kBadVersion,     // a property record's version word is 0
  kVersionTooNew,  // a property record's version is above the highest known
  kBadFontLength,  // a font blob that is neither empty nor a whole LOGFONTA
  kTrailingBytes,  // bytes left over after the last field of a record
  kBadValue,       // a field holds a value its format does not allow
};

// A short English description of the error ("data ends inside a field", ...).
const char* CursorErrorText(CursorError error);

// The first failure of a cursor: what went wrong, in which field (a static
// string given by the caller of the read) and at which offset (counted from
// the cursor's base, see ByteCursor's constructor).
struct CursorFailure {
  CursorError error = CursorError::kNone;
  const char* field = "";
  size_t offset = 0;
};

class ByteCursor {
 public:
  // Reads data[0, size). baseOffset is added to every reported offset, so a
  // cursor over a slice of a larger blob reports offsets in that blob.
  ByteCursor(const uint8_t* data, size_t size, size_t baseOffset = 0);

  bool Ok() const { return failure_.error == CursorError::kNone; }
  const CursorFailure& Failure() const { return failure_; }
  size_t Remaining() const { return size_ - pos_; }
  bool AtEnd() const { return pos_ == size_; }
  // Offset of the next byte to read, including the base offset.
  size_t Offset() const { return base_ + pos_; }

  // Each read returns false on failure (see above). field names the value in
  // error reports and must be a string that outlives the cursor.
  bool ReadU8(uint8_t* value, const char* field);
  bool ReadU16(uint16_t* value, const char* field);
  bool ReadU32(uint32_t* value, const char* field);
  bool ReadI32(int32_t* value, const char* field);
  // A NUL-terminated text; *text receives the bytes before the NUL, the
  // cursor moves past the NUL. kNoTerminator when no NUL is left.
  bool ReadCString(std::string* text, const char* field);
  // A 32-bit length, then that many bytes. kLengthPastEnd when fewer are left.
  bool ReadBlob(std::vector<uint8_t>* blob, const char* field);
  // A 32-bit length, then that many bytes of text without a terminator.
  bool ReadText(std::string* text, const char* field);
  // A view of the next count bytes (valid while the underlying data lives).
  bool ReadView(size_t count, const uint8_t** view, const char* field);
  bool Skip(size_t count, const char* field);
  // Checks, without moving, that count items of itemSize bytes each can still
  // follow; use it before reserving memory for a stored count.
  bool CheckCount(uint32_t count, size_t itemSize, const char* field);
  // Records a failure found by the caller (e.g. kBadValue); returns false.
  bool Fail(CursorError error, const char* field);

 private:
  bool Take(size_t count, CursorError error, const char* field, const uint8_t** at);
  bool ReadLengthPrefixed(const uint8_t** bytes, uint32_t* length, const char* field);

  const uint8_t* data_;
  size_t size_;
  size_t base_;
  size_t pos_ = 0;
  CursorFailure failure_;
};

class ByteWriter {
 public:
  void U8(uint8_t value);
  void U16(uint16_t value);
  void U32(uint32_t value);
  void I32(int32_t value);
  void Zeros(size_t count);
  void Bytes(const void* data, size_t count);
  // The bytes of text followed by a NUL. A text that itself holds a NUL
  // cannot be read back whole; it marks the writer as failed (see Ok).
  void CString(const std::string& text);
  // 32-bit length, then the bytes.
  void Blob(const std::vector<uint8_t>& blob);
  void Blob(const uint8_t* data, size_t count);
  // 32-bit length, then the bytes of text, no terminator.
  void Text(const std::string& text);
  // Overwrites 4 bytes at offset (which must lie inside what was written).
  void PatchU32(size_t offset, uint32_t value);

  size_t Size() const { return out_.size(); }
  const std::vector<uint8_t>& Data() const { return out_; }
  std::vector<uint8_t> Take() { return std::move(out_); }
  // False once a CString held a NUL or a length did not fit in 32 bits.
  bool Ok() const { return ok_; }

 private:
  std::vector<uint8_t> out_;
  bool ok_ = true;
};

// --- Property-record encoding ---------------------------------------------

// Stored colour meaning "the default colour" (the button-face colour).
constexpr uint32_t kDefaultColor = 0xFF000000;
// A stored font is a whole LOGFONTA: five 32-bit fields, eight bytes, a
// 32-byte face name.
constexpr size_t kLogFontSize = 60;

constexpr uint32_t ColorFromRgb(uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

// Reads the version word: kBadVersion for 0, kVersionTooNew above maxVersion.
bool ReadRecordVersion(ByteCursor& cursor, uint32_t maxVersion, uint32_t* version);
// A font blob: empty (no font) or exactly kLogFontSize bytes (kBadFontLength
// otherwise), so that users may copy it into a LOGFONTA without checking.
bool ReadFontBlob(ByteCursor& cursor, std::vector<uint8_t>* font, const char* field);
// Fails with kTrailingBytes when bytes are left after a record's last field.
bool ExpectRecordEnd(ByteCursor& cursor);
