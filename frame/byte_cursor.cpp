#include "frame/byte_cursor.h"

#include <cstring>

const char* CursorErrorText(CursorError error) {
  switch (error) {
    case CursorError::kNone: return "no error";
    case CursorError::kEndOfData: return "data ends inside the field";
    case CursorError::kLengthPastEnd: return "stored length runs past the end of the data";
    case CursorError::kNoTerminator: return "text has no terminating NUL";
    case CursorError::kBadVersion: return "record version 0";
    case CursorError::kVersionTooNew: return "record version newer than supported";
    case CursorError::kBadFontLength: return "font is not a 60-byte LOGFONTA";
    case CursorError::kTrailingBytes: return "bytes left after the last field";
    case CursorError::kBadValue: return "value not allowed";
  }
  return "unknown error";
}

ByteCursor::ByteCursor(const uint8_t* data, size_t size, size_t baseOffset)
    : data_(data), size_(data ? size : 0), base_(baseOffset) {}

bool ByteCursor::Fail(CursorError error, const char* field) {
  if (Ok()) {
    failure_.error = error;
    failure_.field = field;
    failure_.offset = base_ + pos_;
  }
  return false;
}

bool ByteCursor::Take(size_t count, CursorError error, const char* field, const uint8_t** at) {
  if (!Ok()) return false;
  if (count > Remaining()) return Fail(error, field);
  *at = data_ + pos_;
  pos_ += count;
  return true;
}

bool ByteCursor::ReadU8(uint8_t* value, const char* field) {
  const uint8_t* p;
  if (!Take(1, CursorError::kEndOfData, field, &p)) return false;
  *value = p[0];
  return true;
}

bool ByteCursor::ReadU16(uint16_t* value, const char* field) {
  const uint8_t* p;
  if (!Take(2, CursorError::kEndOfData, field, &p)) return false;
  *value = uint16_t(p[0] | (p[1] << 8));
  return true;
}

bool ByteCursor::ReadU32(uint32_t* value, const char* field) {
  const uint8_t* p;
  if (!Take(4, CursorError::kEndOfData, field, &p)) return false;
  *value = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  return true;
}

bool ByteCursor::ReadI32(int32_t* value, const char* field) {
  uint32_t u;
  if (!ReadU32(&u, field)) return false;
  *value = int32_t(u);
  return true;
}

bool ByteCursor::ReadCString(std::string* text, const char* field) {
  if (!Ok()) return false;
  const void* nul = std::memchr(data_ + pos_, 0, Remaining());
  if (!nul) return Fail(CursorError::kNoTerminator, field);
  size_t length = static_cast<const uint8_t*>(nul) - (data_ + pos_);
  text->assign(reinterpret_cast<const char*>(data_ + pos_), length);
  pos_ += length + 1;
  return true;
}

bool ByteCursor::ReadView(size_t count, const uint8_t** view, const char* field) {
  return Take(count, CursorError::kEndOfData, field, view);
}

bool ByteCursor::ReadLengthPrefixed(const uint8_t** bytes, uint32_t* length, const char* field) {
  if (!Ok()) return false;
  if (Remaining() < 4) return Fail(CursorError::kEndOfData, field);
  const uint8_t* p = data_ + pos_;
  uint32_t n = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  // Reported at the length word itself: that is the value that is wrong.
  if (n > Remaining() - 4) return Fail(CursorError::kLengthPastEnd, field);
  pos_ += 4 + size_t(n);
  *bytes = p + 4;
  *length = n;
  return true;
}

bool ByteCursor::ReadBlob(std::vector<uint8_t>* blob, const char* field) {
  const uint8_t* p;
  uint32_t length;
  if (!ReadLengthPrefixed(&p, &length, field)) return false;
  blob->assign(p, p + length);
  return true;
}

bool ByteCursor::ReadText(std::string* text, const char* field) {
  const uint8_t* p;
  uint32_t length;
  if (!ReadLengthPrefixed(&p, &length, field)) return false;
  text->assign(reinterpret_cast<const char*>(p), length);
  return true;
}

bool ByteCursor::Skip(size_t count, const char* field) {
  const uint8_t* p;
  return Take(count, CursorError::kEndOfData, field, &p);
}

bool ByteCursor::CheckCount(uint32_t count, size_t itemSize, const char* field) {
  if (!Ok()) return false;
  if (itemSize != 0 && count > Remaining() / itemSize) return Fail(CursorError::kLengthPastEnd, field);
  return true;
}

void ByteWriter::U8(uint8_t value) { out_.push_back(value); }

void ByteWriter::U16(uint16_t value) {
  out_.push_back(uint8_t(value));
  out_.push_back(uint8_t(value >> 8));
}

void ByteWriter::U32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out_.push_back(uint8_t(value >> shift));
}

void ByteWriter::I32(int32_t value) { U32(uint32_t(value)); }

void ByteWriter::Zeros(size_t count) { out_.insert(out_.end(), count, 0); }

void ByteWriter::Bytes(const void* data, size_t count) {
  if (count == 0) return;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  out_.insert(out_.end(), p, p + count);
}

void ByteWriter::CString(const std::string& text) {
  if (text.find('\0') != std::string::npos) ok_ = false;
  Bytes(text.data(), text.size());
  U8(0);
}

void ByteWriter::Blob(const uint8_t* data, size_t count) {
  if (count > UINT32_MAX) {
    ok_ = false;
    count = 0;
  }
  U32(uint32_t(count));
  Bytes(data, count);
}

void ByteWriter::Blob(const std::vector<uint8_t>& blob) { Blob(blob.data(), blob.size()); }

void ByteWriter::Text(const std::string& text) {
  Blob(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void ByteWriter::PatchU32(size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) out_.at(offset + i) = uint8_t(value >> (8 * i));
}

bool ReadRecordVersion(ByteCursor& cursor, uint32_t maxVersion, uint32_t* version) {
  uint32_t v;
  if (!cursor.ReadU32(&v, "version")) return false;
  if (v == 0) return cursor.Fail(CursorError::kBadVersion, "version");
  if (v > maxVersion) return cursor.Fail(CursorError::kVersionTooNew, "version");
  *version = v;
  return true;
}

bool ReadFontBlob(ByteCursor& cursor, std::vector<uint8_t>* font, const char* field) {
  std::vector<uint8_t> bytes;
  if (!cursor.ReadBlob(&bytes, field)) return false;
  if (!bytes.empty() && bytes.size() != kLogFontSize) return cursor.Fail(CursorError::kBadFontLength, field);
  *font = std::move(bytes);
  return true;
}

bool ExpectRecordEnd(ByteCursor& cursor) {
  if (!cursor.Ok()) return false;
  if (!cursor.AtEnd()) return cursor.Fail(CursorError::kTrailingBytes, "end of record");
  return true;
}
