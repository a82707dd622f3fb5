// EntryWriter: writes an entry's data from the archive's view into its
// staging file, as ArchiveReader::WriteStaged does from the reader, but
// without the reader: the finisher's workers write several entries at once
// while the extracting thread checks the next ones. Each writer keeps its
// own inflate state and output buffer and is used by one thread at a time.
//
// Windows only.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>

#include "payload/archive_reader_win.h"

class EntryWriter {
 public:
  EntryWriter();
  ~EntryWriter();
  EntryWriter(const EntryWriter&) = delete;
  EntryWriter& operator=(const EntryWriter&) = delete;

  // Creates the entry's file (ArchiveReader::CreateEntryFile, with
  // data.attributes), writes the entry's bytes and checks them against its
  // size and CRC-32; a deflated entry is inflated from at most its
  // compressed size, and only its declared size is ever written.
  //   kReaderOk          staged->file holds the open, complete file
  //   kReaderOpenFailed  the file could not be created, even after clearing
  //                      the attributes of a staging file a killed run left
  //   kReaderDataError   corrupt or short data, a CRC-32 mismatch or a write
  //                      error; the file is deleted again
  uint32_t Write(const EntryData& data, StagedEntry* staged);

 private:
  bool Inflate(const EntryData& data, HANDLE file, uint32_t* crc);
  bool Copy(const EntryData& data, HANDLE file, uint32_t* crc);

  static constexpr size_t kPieceSize = 256 * 1024;
  std::unique_ptr<uint8_t[]> piece_;
  z_stream stream_ = {};
  bool streamReady_ = false;
};
