#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "payload/crc32.h"

namespace {

uint32_t ZlibCrc(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), data, static_cast<uInt>(size)));
}

TEST(Crc32, MatchesZlibWholeAndInPiecesAtEveryAlignment) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc32Update(0, check, sizeof check), 0xCBF43926u);
  EXPECT_EQ(Crc32Update(0, nullptr, 0), 0u);

  std::mt19937 random(7);
  std::vector<uint8_t> data(70000);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  // Every length and start offset around the eight-byte step, then long runs.
  for (size_t start = 0; start < 9; ++start) {
    for (size_t length = 0; length < 40; ++length)
      ASSERT_EQ(Crc32Update(0, data.data() + start, length), ZlibCrc(data.data() + start, length))
          << start << " " << length;
  }
  EXPECT_EQ(Crc32Update(0, data.data() + 3, data.size() - 3), ZlibCrc(data.data() + 3, data.size() - 3));
  // Continued over pieces of odd sizes, as the installer feeds it.
  uint32_t pieces = 0;
  for (size_t at = 0, step = 1; at < data.size(); at += step, step = step * 3 % 1021 + 1) {
    const size_t n = std::min(step, data.size() - at);
    pieces = Crc32Update(pieces, data.data() + at, n);
  }
  EXPECT_EQ(pieces, ZlibCrc(data.data(), data.size()));
}

}  // namespace
