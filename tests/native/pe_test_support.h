// Test support: small PE images laid out as the mingw linker lays out a
// stripped program (headers in 0x400 bytes, file alignment 0x200, section
// alignment 0x1000), and such an image mapped as the loader maps it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace petest {

struct Section {
  std::string name;
  std::vector<uint8_t> data;
  uint32_t characteristics = 0x40000040;  // initialized data, readable
  int directory = -1;                     // the data directory pointing at it
};

struct ImageLayout {
  bool pe32Plus = true;
  uint32_t lfanew = 0x80;
  std::vector<Section> sections;
};

inline void Put16(std::vector<uint8_t>* b, size_t at, uint32_t v) {
  (*b)[at] = static_cast<uint8_t>(v);
  (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>* b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
inline uint32_t Align(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;

// Offsets of the optional header's fields and of the data directories.
inline size_t OptionalHeader(const std::vector<uint8_t>& image) { return Get32(image, 0x3C) + 24; }
inline size_t DirectoryAt(const std::vector<uint8_t>& image, int index) {
  const size_t optional = OptionalHeader(image);
  return optional + (image[optional + 1] == 0x02 ? 112 : 96) + 8 * index;
}

inline std::vector<uint8_t> MakeImage(const ImageLayout& layout) {
  const uint32_t optionalSize = layout.pe32Plus ? 240 : 224;
  std::vector<uint8_t> image(0x400, 0);
  image[0] = 'M';
  image[1] = 'Z';
  Put32(&image, 0x3C, layout.lfanew);
  const size_t nt = layout.lfanew;
  Put32(&image, nt, 0x00004550);
  Put16(&image, nt + 4, layout.pe32Plus ? 0x8664 : 0x014C);
  Put16(&image, nt + 6, static_cast<uint32_t>(layout.sections.size()));
  Put16(&image, nt + 20, optionalSize);
  Put16(&image, nt + 22, 0x0022);
  const size_t optional = nt + 24;
  Put16(&image, optional, layout.pe32Plus ? 0x020B : 0x010B);
  Put32(&image, optional + 32, kSectionAlignment);
  Put32(&image, optional + 36, kFileAlignment);
  Put32(&image, optional + 60, 0x400);  // SizeOfHeaders
  Put16(&image, optional + 68, 2);      // GUI
  Put16(&image, optional + 70, layout.pe32Plus ? 0x0160 : 0x0140);
  Put32(&image, optional + (layout.pe32Plus ? 108 : 92), 16);
  uint32_t rva = kSectionAlignment, initialized = 0;
  for (size_t i = 0; i < layout.sections.size(); ++i) {
    const Section& s = layout.sections[i];
    const size_t entry = optional + optionalSize + 40 * i;
    const uint32_t size = static_cast<uint32_t>(s.data.size());
    const uint32_t rawSize = Align(size, kFileAlignment);
    std::memcpy(&image[entry], s.name.data(), s.name.size());
    Put32(&image, entry + 8, size);
    Put32(&image, entry + 12, rva);
    Put32(&image, entry + 16, rawSize);
    Put32(&image, entry + 20, static_cast<uint32_t>(image.size()));
    Put32(&image, entry + 36, s.characteristics);
    if (s.directory >= 0) {
      Put32(&image, DirectoryAt(image, s.directory), rva);
      Put32(&image, DirectoryAt(image, s.directory) + 4, size);
    }
    if (s.characteristics & 0x40) initialized += rawSize;
    image.insert(image.end(), s.data.begin(), s.data.end());
    image.resize(image.size() + (rawSize - size), 0);
    rva += Align(size, kSectionAlignment);
  }
  Put32(&image, optional + 8, initialized);
  Put32(&image, optional + 56, rva);
  return image;
}

// The image as the loader maps it: headers, then each section at its RVA.
inline std::vector<uint8_t> MapImage(const std::vector<uint8_t>& file) {
  const size_t optional = OptionalHeader(file);
  std::vector<uint8_t> mapped(Get32(file, optional + 56), 0);
  std::memcpy(mapped.data(), file.data(), Get32(file, optional + 60));
  const size_t nt = Get32(file, 0x3C);
  const size_t count = file[nt + 6] | (file[nt + 7] << 8);
  const size_t table = optional + (file[nt + 20] | (file[nt + 21] << 8));
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = table + 40 * i;
    const uint32_t size = Get32(file, entry + 8), rva = Get32(file, entry + 12);
    const uint32_t rawSize = Get32(file, entry + 16), raw = Get32(file, entry + 20);
    std::memcpy(mapped.data() + rva, file.data() + raw, size < rawSize ? size : rawSize);
  }
  return mapped;
}

// Bytes of a given length and pattern.
inline std::vector<uint8_t> Filler(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

}  // namespace petest
