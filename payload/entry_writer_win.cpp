#include "payload/entry_writer_win.h"

#include <windows.h>

#include <new>

EntryWriter::EntryWriter() : piece_(new (std::nothrow) uint8_t[kPieceSize]) {}

EntryWriter::~EntryWriter() {
  if (streamReady_) inflateEnd(&stream_);
}

uint32_t EntryWriter::Write(const EntryData& data, StagedEntry* staged) {
  if (!staged || !piece_) return kReaderDataError;
  OwnedFile file(ArchiveReader::CreateEntryFile(staged, data.attributes));
  if (!file) return kReaderOpenFailed;
  uint32_t crc = 0;
  const bool written = data.method == 0 ? Copy(data, file.get(), &crc) : Inflate(data, file.get(), &crc);
  staged->file = std::move(file);
  if (!written || crc != data.crc) {
    ArchiveReader::DiscardStaged(staged);
    return kReaderDataError;
  }
  return kReaderOk;
}

namespace {

bool WriteAll(HANDLE file, const uint8_t* bytes, uint32_t size) {
  DWORD put = 0;
  return size == 0 || (WriteFile(file, bytes, size, &put, nullptr) && put == size);
}

}  // namespace

// Stored data: the declared size, taken straight from the view.
bool EntryWriter::Copy(const EntryData& data, HANDLE file, uint32_t* crc) {
  if (data.uncompressedSize > data.compressedSize || data.uncompressedSize > data.available) return false;
  const uint8_t* at = data.start;
  uint32_t left = data.uncompressedSize;
  uLong sum = crc32(0, nullptr, 0);
  while (left > 0) {
    const uint32_t n = left < kPieceSize ? left : static_cast<uint32_t>(kPieceSize);
    sum = crc32(sum, at, n);
    if (!WriteAll(file, at, n)) return false;
    at += n;
    left -= n;
  }
  *crc = static_cast<uint32_t>(sum);
  return true;
}

// Deflated data: inflated until the declared size is out; a stream that
// ends before it, fails, or needs more than the compressed size is an error.
bool EntryWriter::Inflate(const EntryData& data, HANDLE file, uint32_t* crc) {
  if (!streamReady_) {
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) return false;
    streamReady_ = true;
  } else if (inflateReset(&stream_) != Z_OK) {
    return false;
  }
  const uint64_t input = data.compressedSize < data.available ? data.compressedSize : data.available;
  stream_.next_in = const_cast<Bytef*>(data.start);
  stream_.avail_in = static_cast<uInt>(input);
  uint32_t left = data.uncompressedSize;
  uLong sum = crc32(0, nullptr, 0);
  while (left > 0) {
    const uint32_t want = left < kPieceSize ? left : static_cast<uint32_t>(kPieceSize);
    stream_.next_out = piece_.get();
    stream_.avail_out = want;
    const int status = inflate(&stream_, Z_NO_FLUSH);
    const uint32_t got = want - stream_.avail_out;
    if (status != Z_OK && status != Z_STREAM_END) return false;
    if (got == 0) return false;  // the stream ended, or its input ran out, short of the size
    sum = crc32(sum, piece_.get(), got);
    if (!WriteAll(file, piece_.get(), got)) return false;
    left -= got;
  }
  *crc = static_cast<uint32_t>(sum);
  return true;
}
