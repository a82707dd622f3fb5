// Helpers shared by the picture decoding tests: little-endian writers for
// building files, reading decoded pixels back, and the test files in
// tests/data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "ui/picture.h"

namespace picture_test {

using Bytes = std::vector<uint8_t>;

struct Rgba {
  uint8_t r, g, b, a;
  bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

inline std::ostream& operator<<(std::ostream& os, const Rgba& c) {
  return os << "rgba(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << "," << int(c.a) << ")";
}

inline Rgba PixelAt(const DecodedPicture& p, int x, int y, size_t frame = 0) {
  const uint8_t* q = &p.frames[frame].pixels[(size_t(y) * p.width + x) * 4];
  return Rgba{q[2], q[1], q[0], q[3]};
}

inline void Le16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Le32(Bytes& b, uint32_t v) {
  Le16(b, v);
  Le16(b, v >> 16);
}
inline void PatchLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

inline bool Decodes(const Bytes& b, DecodedPicture* p) { return DecodePicture(b.data(), b.size(), p); }
inline bool Decodes(const Bytes& b) {
  DecodedPicture p;
  return Decodes(b, &p);
}
const Rgba kWhite{255, 255, 255, 255}, kClear{0, 0, 0, 0};

// The bytes of tests/data/<name> (the build passes the folder's path, as
// Wine sees it for the Windows builds); empty when it cannot be read.
inline Bytes ReadTestFile(const std::string& name) {
  Bytes bytes;
  FILE* f = std::fopen((std::string(SETUP_TEST_DATA_DIR) + "/" + name).c_str(), "rb");
  if (f == nullptr) return bytes;
  uint8_t buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

// FNV-1a over the first frame's pixel bytes.
inline uint64_t PixelHash(const DecodedPicture& p) {
  uint64_t hash = 14695981039346656037ull;
  for (uint8_t b : p.frames[0].pixels) hash = (hash ^ b) * 1099511628211ull;
  return hash;
}

}  // namespace picture_test
