// CRC-32 as ZIP and zlib compute it (reflected polynomial 0xEDB88320,
// initial and final XOR with 0xFFFFFFFF). Portable.
//
// The Windows builds route zlib's crc32 and crc32_z here (crc32_zlib_win.cpp):
// the same checksums, with tables computed at the first call rather than
// 5 KB of stored ones in the setup program.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues crc over data[0, size): Crc32Update(0, ...) starts a new one,
// and a checksum may be taken in pieces. Thread-safe.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);
