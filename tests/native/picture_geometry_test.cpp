// Picture placement for the picture box's display modes and the label's
// background-picture modes.
#include <gtest/gtest.h>

#include <string>

#include "ui/picture_geometry.h"

namespace {

bool Same(const PictureRect& a, const PictureRect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::string Text(const PictureRect& r) {
  return "{" + std::to_string(r.x) + ", " + std::to_string(r.y) + ", " + std::to_string(r.width) + " x " +
         std::to_string(r.height) + "}";
}

TEST(PictureGeometryTest, SinglePlacements) {
  struct Case {
    const char* what;
    PictureLayout layout;
    PictureRect box;
    int pictureWidth, pictureHeight;
    uint64_t count;
    PictureRect dest;
  };
  using L = PictureLayout;
  const Case cases[] = {
      {"natural, larger than the box", L::kNatural, {0, 0, 211, 211}, 424, 534, 1, {0, 0, 424, 534}},
      {"natural in an inner box", L::kNatural, {5, 6, 50, 50}, 10, 20, 1, {5, 6, 10, 20}},
      {"stretched distorts", L::kStretched, {0, 0, 211, 211}, 424, 534, 1, {0, 0, 211, 211}},
      {"stretched enlarges", L::kStretched, {0, 0, 250, 400}, 10, 10, 1, {0, 0, 250, 400}},
      {"fitted, smaller: centred unscaled", L::kFitted, {0, 0, 211, 211}, 100, 50, 1, {55, 80, 100, 50}},
      {"fitted, same size", L::kFitted, {0, 0, 30, 20}, 30, 20, 1, {0, 0, 30, 20}},
      {"fitted, taller than the box", L::kFitted, {0, 0, 211, 211}, 424, 534, 1, {22, 0, 167, 211}},
      {"fitted, wider only", L::kFitted, {0, 0, 211, 211}, 424, 100, 1, {0, 81, 211, 49}},
      {"fitted, higher only", L::kFitted, {0, 0, 200, 100}, 50, 400, 1, {94, 0, 12, 100}},
      {"fitted in an inner box", L::kFitted, {8, 8, 100, 100}, 200, 100, 1, {8, 33, 100, 50}},
      {"fitted shrinks a side to nothing", L::kFitted, {0, 0, 100, 100}, 10000, 1, 0, {}},
      {"box of width 0", L::kStretched, {0, 0, 0, 40}, 10, 10, 0, {}},
      {"box of width 0, natural", L::kNatural, {0, 0, 0, 40}, 10, 10, 0, {}},
      {"no picture", L::kFitted, {0, 0, 40, 40}, 0, 0, 0, {}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(PlacementCount(c.layout, c.box, c.pictureWidth, c.pictureHeight), c.count) << c.what;
    if (c.count == 0) continue;
    const PicturePlacement p = PlacementAt(c.layout, c.box, c.pictureWidth, c.pictureHeight, 0);
    EXPECT_TRUE(Same(p.dest, c.dest)) << c.what << ": " << Text(p.dest);
    EXPECT_TRUE(Same(p.source, PictureRect{0, 0, c.pictureWidth, c.pictureHeight})) << c.what;
  }
}

TEST(PictureGeometryTest, FittingFillsTheLimitingSideExactly) {
  // A scale factor in floating point can land a hair under the box side
  // and lose a pixel on truncation; the limiting side must be the box's.
  for (int w = 212; w < 1200; ++w) {
    for (int h : {1, 7, 100, 211, 333, 999}) {
      const PicturePlacement p = PlacementAt(PictureLayout::kFitted, PictureRect{0, 0, 211, 150}, w, h, 0);
      ASSERT_TRUE(p.dest.width == 211 || p.dest.height == 150) << w << " x " << h << ": " << Text(p.dest);
      ASSERT_LE(p.dest.width, 211);
      ASSERT_LE(p.dest.height, 150);
    }
  }
}

TEST(PictureGeometryTest, TilesRowByRow) {
  const PictureRect box{4, 2, 100, 50};
  ASSERT_EQ(PlacementCount(PictureLayout::kTiled, box, 30, 20), 12u);  // 4 columns, 3 rows
  const struct {
    uint64_t index;
    PictureRect dest;
  } tiles[] = {{0, {4, 2, 30, 20}}, {1, {34, 2, 30, 20}}, {5, {34, 22, 30, 20}}, {11, {94, 42, 30, 20}}};
  for (const auto& t : tiles) {
    EXPECT_TRUE(Same(PlacementAt(PictureLayout::kTiled, box, 30, 20, t.index).dest, t.dest)) << t.index;
  }
  EXPECT_EQ(PlacementCount(PictureLayout::kTiled, box, 100, 50), 1u);
  EXPECT_EQ(PlacementCount(PictureLayout::kTiled, box, 200, 200), 1u);
  EXPECT_EQ(PlacementCount(PictureLayout::kTiled, PictureRect{0, 0, 0, 5}, 1, 1), 0u);
}

}  // namespace
