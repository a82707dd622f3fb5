// Little-endian fields written into a byte buffer at a given place, as the
// packer's PE and resource writers need them. Host tools only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline void Put16(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  (*out)[at] = static_cast<uint8_t>(v);
  (*out)[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  Put16(out, at, v & 0xFFFF);
  Put16(out, at + 2, v >> 16);
}
