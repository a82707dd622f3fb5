// GIF decoding: LZW data from a real encoder, frame composition with
// transparency and disposal, interlacing, and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "tests/native/picture_test_support.h"
#include "ui/picture.h"

namespace {

using namespace picture_test;

// A straightforward LZW encoder: the decoder's counterpart, clearing the
// table when it is full.
Bytes Lzw(const Bytes& indices, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  Bytes out;
  uint32_t bits = 0;
  int count = 0, width = minCodeSize + 1, next = clear + 2;
  auto emit = [&](int code) {
    bits |= uint32_t(code) << count;
    for (count += width; count >= 8; count -= 8, bits >>= 8) out.push_back(uint8_t(bits));
  };
  std::map<std::pair<int, int>, int> table;
  emit(clear);
  int w = indices.empty() ? -1 : indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    auto it = table.find({w, indices[i]});
    if (it != table.end()) {
      w = it->second;
      continue;
    }
    emit(w);
    table[{w, indices[i]}] = next++;
    if (next - 1 == (1 << width) && width < 12) ++width;
    if (next == 4096) {
      emit(clear);
      table.clear();
      next = clear + 2;
      width = minCodeSize + 1;
    }
    w = indices[i];
  }
  if (w >= 0) {
    emit(w);
    // The decoder adds an entry on reading that code, which may widen the
    // code that follows.
    if (++next - 1 == (1 << width) && width < 12) ++width;
  }
  emit(clear + 1);
  if (count > 0) out.push_back(uint8_t(bits));
  return out;
}

struct GifImage {
  int left, top, width, height;
  Bytes indices;  // in stored order (interlaced order when interlaced)
  int disposal = 0;
  int delay = 0;
  int transparent = -1;
  bool interlaced = false;
};

const uint8_t kGifPalette[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

Bytes MakeGif(int width, int height, const std::vector<GifImage>& images, bool globalTable = true) {
  Bytes f = {'G', 'I', 'F', '8', '9', 'a'};
  Le16(f, width);
  Le16(f, height);
  f.insert(f.end(), {uint8_t(globalTable ? 0x81 : 0), 0, 0});
  if (globalTable) {
    for (const auto& c : kGifPalette) f.insert(f.end(), c, c + 3);
  }
  for (const GifImage& im : images) {
    f.insert(f.end(), {0x21, 0xF9, 4, uint8_t((im.disposal << 2) | (im.transparent >= 0 ? 1 : 0))});
    Le16(f, im.delay);
    f.insert(f.end(), {uint8_t(im.transparent >= 0 ? im.transparent : 0), 0});
    f.push_back(0x2C);
    Le16(f, im.left);
    Le16(f, im.top);
    Le16(f, im.width);
    Le16(f, im.height);
    f.push_back(im.interlaced ? 0x40 : 0);
    f.push_back(2);
    const Bytes data = Lzw(im.indices, 2);
    for (size_t at = 0; at < data.size(); at += 255) {
      const size_t n = std::min<size_t>(255, data.size() - at);
      f.push_back(uint8_t(n));
      f.insert(f.end(), data.begin() + at, data.begin() + at + n);
    }
    f.push_back(0);
  }
  f.push_back(0x3B);
  return f;
}

Rgba GifColor(int i) { return Rgba{kGifPalette[i][0], kGifPalette[i][1], kGifPalette[i][2], 255}; }

TEST(GifTest, ComposesFramesWithTransparencyAndDisposal) {
  // Frame 1 fills the 3 x 2 canvas; frame 2 (disposal 2) draws one pixel
  // over it with index 0 transparent; frame 3 (disposal 3) draws at (2, 1);
  // frame 4 draws nothing visible, showing what frames 2 and 3 left.
  const std::vector<GifImage> images = {
      {0, 0, 3, 2, {0, 1, 2, 3, 0, 1}, 1, 5},
      {1, 0, 2, 1, {0, 3}, 2, 0, 0},
      {2, 1, 1, 1, {2}, 3, 7},
      {0, 0, 1, 1, {0}, 1, 1, 0},
  };
  DecodedPicture p;
  ASSERT_TRUE(Decodes(MakeGif(3, 2, images), &p));
  EXPECT_EQ(p.kind, PictureKind::kGif);
  ASSERT_EQ(p.frames.size(), 4u);
  const uint32_t delays[] = {5, kGifDefaultDelay, 7, 1};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(p.frames[i].delay, delays[i]) << i;
  EXPECT_EQ(PixelAt(p, 1, 0, 0), GifColor(1));
  EXPECT_EQ(PixelAt(p, 1, 0, 1), GifColor(1)) << "transparent index keeps the canvas";
  EXPECT_EQ(PixelAt(p, 2, 0, 1), GifColor(3));
  EXPECT_EQ(PixelAt(p, 2, 0, 2), kClear) << "disposal 2 cleared the frame rectangle";
  EXPECT_EQ(PixelAt(p, 1, 0, 2), kClear);
  EXPECT_EQ(PixelAt(p, 2, 1, 2), GifColor(2));
  EXPECT_EQ(PixelAt(p, 2, 1, 3), GifColor(1)) << "disposal 3 restored the pixel";
  EXPECT_EQ(PixelAt(p, 0, 0, 3), GifColor(0));
}

TEST(GifTest, LzwRunsTableGrowthAndInterlace) {
  // Long runs use codes before they are in the table; 256 x 256 noisy
  // pixels fill the 12-bit table and make the encoder clear it.
  const int side = 256;
  Bytes indices(side * side);
  uint32_t seed = 12345;
  for (size_t i = 0; i < indices.size(); ++i) {
    seed = seed * 1103515245 + 12345;
    indices[i] = i < 1000 ? 3 : uint8_t((seed >> 16) & 3);
  }
  DecodedPicture p;
  ASSERT_TRUE(Decodes(MakeGif(side, side, {{0, 0, side, side, indices}}), &p));
  for (int i = 0; i < side * side; i += 7) ASSERT_EQ(PixelAt(p, i % side, i / side), GifColor(indices[i])) << i;

  // Interlaced 1 x 10: stored rows 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  Bytes stored;
  for (int row : order) stored.push_back(uint8_t(row % 4));
  GifImage interlaced{0, 0, 1, 10, stored};
  interlaced.interlaced = true;
  ASSERT_TRUE(Decodes(MakeGif(1, 10, {interlaced}), &p));
  for (int y = 0; y < 10; ++y) EXPECT_EQ(PixelAt(p, 0, y), GifColor(y % 4)) << y;
}

TEST(GifTest, DamagedFilesGiveNoPictureOrKeepWholeFrames) {
  const std::vector<GifImage> two = {{0, 0, 2, 2, {0, 1, 2, 3}}, {0, 0, 2, 2, {3, 3, 3, 3}}};
  const Bytes good = MakeGif(2, 2, two);
  DecodedPicture p;
  ASSERT_TRUE(Decodes(good, &p));
  ASSERT_EQ(p.frames.size(), 2u);

  Bytes cut = good;
  cut.resize(cut.size() - 4);  // inside the second image's data
  ASSERT_TRUE(Decodes(cut, &p));
  EXPECT_EQ(p.frames.size(), 1u) << "the whole first frame stays";

  struct Case {
    const char* what;
    Bytes bytes;
  };
  Bytes badCode = MakeGif(2, 2, {{0, 0, 2, 2, {0}}});
  badCode[13 + 12 + 8 + 10 + 2] = 0x3C;  // clear (4), then code 7, not yet defined
  Bytes badMinCode = good;
  badMinCode[13 + 12 + 8 + 10] = 12;
  const Case cases[] = {
      {"cut inside the first image", Bytes(good.begin(), good.begin() + 13 + 12 + 8 + 8)},
      {"cut inside the colour table", Bytes(good.begin(), good.begin() + 20)},
      {"no colour table", MakeGif(2, 2, two, false)},
      {"canvas 0 wide", MakeGif(0, 2, two)},
      {"undefined code", badCode},
      {"minimum code size 12", badMinCode},
      {"no image", MakeGif(2, 2, {})},
  };
  for (const Case& c : cases) EXPECT_FALSE(Decodes(c.bytes)) << c.what;
}

}  // namespace
