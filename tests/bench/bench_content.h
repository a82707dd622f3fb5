// Content of the benchmarks' generated files: words from a small vocabulary
// mixed with runs of noise, compressible about 3:1, so that inflate does real
// work. Deterministic for a seed. Portable (host tools and Windows programs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::string MakeBenchContent(uint32_t seed, size_t size) {
  static const char* const kWords[] = {"setup ", "folder ", "archive ", "window ", "picture ",
                                       "install ", "program ", "data ", "0x1F ", "\r\n"};
  std::string s;
  s.reserve(size + 16);
  uint32_t x = seed * 2654435761u + 1;
  while (s.size() < size) {
    x = x * 1664525u + 1013904223u;
    if ((x >> 28) < 3) {
      for (int i = 0; i < 8; ++i) {
        x = x * 1664525u + 1013904223u;
        s.push_back(static_cast<char>(x >> 24));
      }
    } else {
      s += kWords[(x >> 16) % 10];
    }
  }
  s.resize(size);
  return s;
}
