// Runs of non-key pixels for window shapes, and their batching.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/region_runs.h"

namespace {

constexpr uint32_t kKey = 0x00FF00FF;  // magenta as a COLORREF

// Builds a 32-bit top-down buffer from rows of '.' (key colour), '#'
// (black) and 'x' (key colour but a different unused fourth byte), with
// extra padding bytes after each row that are not the key colour.
struct Pixels {
  explicit Pixels(const std::vector<std::string>& rows, size_t padding = 0)
      : width(rows.empty() ? 0 : int(rows[0].size())), height(int(rows.size())), stride(width * 4 + padding) {
    bytes.assign(stride * height, 0x11);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        uint8_t* p = &bytes[y * stride + x * 4];
        const char c = rows[y][x];
        if (c == '#') {
          p[0] = p[1] = p[2] = p[3] = 0;
        } else {  // B, G, R of magenta
          p[0] = 0xFF, p[1] = 0, p[2] = 0xFF, p[3] = c == 'x' ? 0x7F : 0;
        }
      }
    }
  }
  int width, height;
  size_t stride;
  std::vector<uint8_t> bytes;
};

std::vector<RunRect> AllRuns(const Pixels& px, uint32_t key, size_t* batches = nullptr) {
  RegionRunExtractor extractor(px.bytes.data(), px.width, px.height, px.stride, key);
  std::vector<RunRect> all, batch;
  size_t count = 0;
  while (extractor.NextBatch(&batch)) {
    EXPECT_LE(batch.size(), kRunBatchSize);
    EXPECT_FALSE(batch.empty());
    all.insert(all.end(), batch.begin(), batch.end());
    ++count;
  }
  EXPECT_TRUE(batch.empty());
  EXPECT_FALSE(extractor.NextBatch(&batch)) << "stays finished";
  if (batches) *batches = count;
  return all;
}

std::string Describe(const std::vector<RunRect>& runs) {
  std::string s;
  for (const RunRect& r : runs) {
    s += "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
  }
  return s;
}

TEST(RegionRunsTest, RunsOfNonKeyPixels) {
  struct Case {
    const char* what;
    std::vector<std::string> rows;
    std::string runs;
  };
  const Case cases[] = {
      {"all key colour", {"....", "...."}, ""},
      {"fourth byte ignored", {"x.x.", ".x.x"}, ""},
      {"no key colour", {"###", "###"}, "[0,0-3,1)[0,1-3,2)"},
      {"runs at both edges", {"#..##", ".#.#."}, "[0,0-1,1)[3,0-5,1)[1,1-2,2)[3,1-4,2)"},
      {"single pixel", {"...", ".#.", "..."}, "[1,1-2,2)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Describe(AllRuns(Pixels(c.rows), kKey)), c.runs) << c.what;
    EXPECT_EQ(Describe(AllRuns(Pixels(c.rows, 8), kKey)), c.runs) << c.what << ", padded rows";
  }
  EXPECT_EQ(Describe(AllRuns(Pixels({"#.#"}), 0x77000000 | kKey)), "[0,0-1,1)[2,0-3,1)") << "top byte of the key";
  EXPECT_EQ(Describe(AllRuns(Pixels({"#.#"}), 0)), "[1,0-2,1)") << "black as the key";
}

TEST(RegionRunsTest, EmptyBuffersGiveNoRuns) {
  const Pixels px({"###"});
  for (const auto& size : {std::pair<int, int>{0, 1}, {3, 0}, {-1, 1}, {3, -5}}) {
    RegionRunExtractor extractor(px.bytes.data(), size.first, size.second, px.stride, kKey);
    std::vector<RunRect> batch{RunRect{1, 2, 3, 4}};
    EXPECT_FALSE(extractor.NextBatch(&batch));
    EXPECT_TRUE(batch.empty());
  }
}

TEST(RegionRunsTest, BatchesHoldAtMost2000Runs) {
  // Rows of "#.#.#." give three runs each.
  const struct {
    int rows;
    size_t batches;
  } cases[] = {{1, 1}, {666, 1}, {667, 2}, {1334, 3}};
  for (const auto& c : cases) {
    const Pixels px(std::vector<std::string>(c.rows, "#.#.#."));
    size_t batches = 0;
    const std::vector<RunRect> runs = AllRuns(px, kKey, &batches);
    EXPECT_EQ(batches, c.batches) << c.rows;
    ASSERT_EQ(runs.size(), size_t(c.rows) * 3);
    for (size_t i = 0; i < runs.size(); ++i) {
      const RunRect& r = runs[i];
      ASSERT_EQ(r.top, int(i / 3));
      ASSERT_EQ(r.bottom, r.top + 1);
      ASSERT_EQ(r.left, int(i % 3) * 2);
      ASSERT_EQ(r.right, r.left + 1);
    }
  }
  // Exactly 2000 runs: 2000 one-pixel rows fill one batch.
  size_t batches = 0;
  EXPECT_EQ(AllRuns(Pixels(std::vector<std::string>(2000, ".#")), kKey, &batches).size(), 2000u);
  EXPECT_EQ(batches, 1u);
}

}  // namespace
