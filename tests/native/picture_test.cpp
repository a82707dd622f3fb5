// Picture sniffing and decoding of BMP, ICO/CUR, PCX and JPEG files built
// here, damaged and hostile files, and flattening icons onto a colour.
// GIF has its own file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "tests/native/picture_test_support.h"
#include "ui/picture.h"

namespace {

using namespace picture_test;

// Four colours that 5- and 6-bit channels hold exactly.
const Rgba kColors[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}};

// ---------------------------------------------------------------------------
// Sniffing

TEST(SniffPictureTest, SignaturesAndNearMisses) {
  struct Case {
    Bytes bytes;
    PictureKind kind;
    const char* what;
  };
  const Case cases[] = {
      {{'B', 'M', 0, 0, 0, 0}, PictureKind::kBmp, "BMP"},
      {{'B', 'M', 0, 0, 0}, PictureKind::kNone, "BMP, five bytes"},
      {{'b', 'm', 0, 0, 0, 0}, PictureKind::kNone, "lower-case bm"},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10}, PictureKind::kJpeg, "JPEG"},
      {{0xFF, 0xD9, 0xFF, 0xE0, 0, 0x10}, PictureKind::kNone, "FF D9"},
      {{0, 0, 1, 0, 1, 0}, PictureKind::kIco, "ICO, one image"},
      {{0, 0, 1, 0, 0, 1}, PictureKind::kIco, "ICO, 256 images"},
      {{0, 0, 1, 0, 0, 0}, PictureKind::kNone, "ICO, no image"},
      {{0, 0, 2, 0, 3, 0}, PictureKind::kCur, "CUR"},
      {{0, 0, 2, 0, 0, 0}, PictureKind::kNone, "CUR, no image"},
      {{0, 0, 3, 0, 1, 0}, PictureKind::kNone, "type 3"},
      {{0, 1, 1, 0, 1, 0}, PictureKind::kNone, "reserved word not 0"},
      {{0, 0, 1, 1, 1, 0}, PictureKind::kNone, "type 0x0101"},
      {{'G', 'I', 'F', '8', '7', 'a'}, PictureKind::kGif, "GIF87a"},
      {{'G', 'I', 'F', '8', '9', 'a'}, PictureKind::kGif, "GIF89a"},
      {{'G', 'I', 'F', '8', '8', 'a'}, PictureKind::kNone, "GIF88a"},
      {{'G', 'I', 'F', '8', '9'}, PictureKind::kNone, "GIF89, five bytes"},
      {{0x0A, 5, 1, 8, 0, 0}, PictureKind::kPcx256, "PCX 8 bits, version 5"},
      {{0x0A, 0, 1, 8, 0, 0}, PictureKind::kPcx256, "PCX 8 bits, version 0"},
      {{0x0A, 6, 1, 8, 0, 0}, PictureKind::kNone, "PCX 8 bits, version 6"},
      {{0x0A, 5, 0, 8, 0, 0}, PictureKind::kNone, "PCX 8 bits, not RLE"},
      {{0x0A, 5, 1, 4, 0, 0}, PictureKind::kNone, "PCX 4 bits"},
      {{0x0A, 3, 1, 1, 0, 0}, PictureKind::kPcxMono, "PCX 1 bit, version 3"},
      {{0x0A, 5, 1, 1, 0, 0}, PictureKind::kNone, "PCX 1 bit, version 5"},
      {{0x0A, 3, 0, 1, 0, 0}, PictureKind::kNone, "PCX 1 bit, not RLE"},
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A}, PictureKind::kNone, "PNG"},
      {{}, PictureKind::kNone, "empty"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SniffPicture(c.bytes.data(), c.bytes.size()), c.kind) << c.what;
  }
  EXPECT_EQ(SniffPicture(nullptr, 100), PictureKind::kNone);
}

// ---------------------------------------------------------------------------
// BMP

constexpr int kBmpW = 5, kBmpH = 3;

int TestIndex(int x, int y, int colors) { return (x + 2 * y) % colors; }

// A 5 x 3 BMP of kColors in the given layout.
Bytes MakeBmp(int bits, uint32_t compression, bool topDown) {
  const int colors = bits == 1 ? 2 : 4;
  Bytes dib;
  Le32(dib, 40);
  Le32(dib, kBmpW);
  Le32(dib, uint32_t(topDown ? -kBmpH : kBmpH));
  Le16(dib, 1);
  Le16(dib, bits);
  Le32(dib, compression);
  for (int i = 0; i < 5; ++i) Le32(dib, 0);
  if (compression == 3) {  // 5-6-5 for 16 bits; red in the low byte for 32
    Le32(dib, bits == 16 ? 0xF800 : 0x0000FF);
    Le32(dib, bits == 16 ? 0x07E0 : 0x00FF00);
    Le32(dib, bits == 16 ? 0x001F : 0xFF0000);
  }
  if (bits <= 8) {
    for (int i = 0; i < (1 << bits); ++i) {
      const Rgba c = i < colors ? kColors[i] : Rgba{9, 9, 9, 0};
      dib.insert(dib.end(), {c.b, c.g, c.r, 0});
    }
  }
  const size_t pixelOffset = 14 + dib.size();
  for (int row = 0; row < kBmpH; ++row) {
    const int y = topDown ? row : kBmpH - 1 - row;
    if (compression == 1 || compression == 2) {  // one run per pixel
      for (int x = 0; x < kBmpW; ++x) {
        const int i = TestIndex(x, y, colors);
        dib.insert(dib.end(), {1, uint8_t(compression == 1 ? i : i << 4)});
      }
      dib.insert(dib.end(), {0, 0});
      continue;
    }
    Bytes line((kBmpW * bits + 31) / 32 * 4, 0);
    for (int x = 0; x < kBmpW; ++x) {
      const int i = TestIndex(x, y, colors);
      const Rgba c = kColors[i];
      if (bits == 1) line[x / 8] |= uint8_t(i << (7 - x % 8));
      if (bits == 4) line[x / 2] |= uint8_t(x % 2 ? i : i << 4);
      if (bits == 8) line[x] = uint8_t(i);
      if (bits == 16) {
        const uint16_t v = compression == 3 ? ((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3)
                                            : ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
        line[2 * x] = uint8_t(v);
        line[2 * x + 1] = uint8_t(v >> 8);
      }
      if (bits == 24) line[3 * x] = c.b, line[3 * x + 1] = c.g, line[3 * x + 2] = c.r;
      if (bits == 32) line[4 * x] = c.b, line[4 * x + 1] = c.g, line[4 * x + 2] = c.r;
      if (bits == 32 && compression == 3) std::swap(line[4 * x], line[4 * x + 2]);
    }
    dib.insert(dib.end(), line.begin(), line.end());
  }
  if (compression == 1 || compression == 2) dib.insert(dib.end(), {0, 1});
  Bytes file = {'B', 'M'};
  Le32(file, uint32_t(14 + dib.size()));
  Le32(file, 0);
  Le32(file, uint32_t(pixelOffset));
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

TEST(BmpTest, DecodesEveryLayout) {
  struct Case {
    int bits;
    uint32_t compression;
    bool topDown;
  };
  const Case cases[] = {{1, 0, false}, {4, 0, false}, {8, 0, false},  {16, 0, false}, {24, 0, false},
                        {32, 0, false}, {24, 0, true}, {8, 0, true},   {16, 3, false}, {32, 3, true},
                        {8, 1, false},  {4, 2, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, compression " << c.compression << (c.topDown ? ", top-down" : ""));
    DecodedPicture p;
    ASSERT_TRUE(Decodes(MakeBmp(c.bits, c.compression, c.topDown), &p));
    EXPECT_EQ(p.kind, PictureKind::kBmp);
    ASSERT_EQ(p.width, kBmpW);
    ASSERT_EQ(p.height, kBmpH);
    ASSERT_EQ(p.frames.size(), 1u);
    for (int y = 0; y < kBmpH; ++y) {
      for (int x = 0; x < kBmpW; ++x) EXPECT_EQ(PixelAt(p, x, y), kColors[TestIndex(x, y, c.bits == 1 ? 2 : 4)]);
    }
  }
}

TEST(BmpTest, RleEscapesSkipAndCopy) {
  // 4 x 2, RLE8: bottom row "move 1 right", then 3 literal pixels (1, 2,
  // 3, padded to an even length); top row: a run of three 3s, then end of
  // bitmap.
  Bytes b = MakeBmp(8, 1, false);
  b.resize(14 + 40 + 256 * 4);
  PatchLe32(b, 18, 4);
  PatchLe32(b, 22, 2);
  b.insert(b.end(), {0, 2, 1, 0, 0, 3, 1, 2, 3, 0, 0, 0, 3, 3, 0, 1});
  DecodedPicture p;
  ASSERT_TRUE(Decodes(b, &p));
  const Rgba black{0, 0, 0, 255};
  const Rgba expected[2][4] = {{kColors[3], kColors[3], kColors[3], black}, {black, kColors[1], kColors[2], kColors[3]}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(p, x, y), expected[y][x]) << x << "," << y;
  }
}

TEST(BmpTest, DamagedFilesGiveNoPicture) {
  struct Case {
    const char* what;
    void (*damage)(Bytes&);
  };
  const Case cases[] = {
      {"last row cut", [](Bytes& b) { b.resize(b.size() - 9); }},
      {"pixel offset past the end", [](Bytes& b) { PatchLe32(b, 10, uint32_t(b.size())); }},
      {"pixel offset inside the file header", [](Bytes& b) { PatchLe32(b, 10, 4); }},
      {"width 0", [](Bytes& b) { PatchLe32(b, 18, 0); }},
      {"height 0", [](Bytes& b) { PatchLe32(b, 22, 0); }},
      {"height INT_MIN", [](Bytes& b) { PatchLe32(b, 22, 0x80000000u); }},
      {"width above the side limit", [](Bytes& b) { PatchLe32(b, 18, kMaxPictureSide + 1); }},
      {"8192 x 8192 without the data", [](Bytes& b) { PatchLe32(b, 18, 8192), PatchLe32(b, 22, 8192); }},
      {"2 bits per pixel", [](Bytes& b) { b[28] = 2; }},
      {"JPEG compression", [](Bytes& b) { b[30] = 4; }},
      {"header size 20", [](Bytes& b) { PatchLe32(b, 14, 20); }},
      {"header larger than the file", [](Bytes& b) { PatchLe32(b, 14, 4000); }},
      {"more colours than 8 bits hold", [](Bytes& b) { PatchLe32(b, 46, 257); }},
      {"palette past the end", [](Bytes& b) { b.resize(14 + 40 + 100); }},
  };
  for (const Case& c : cases) {
    Bytes b = MakeBmp(8, 0, false);
    c.damage(b);
    DecodedPicture p;
    EXPECT_FALSE(Decodes(b, &p)) << c.what;
    EXPECT_TRUE(p.kind == PictureKind::kNone && p.frames.empty() && p.width == 0) << c.what;
  }
  Bytes rle = MakeBmp(8, 1, false);
  rle.resize(rle.size() - 4);  // neither the last row's end nor end of bitmap
  EXPECT_FALSE(Decodes(rle)) << "RLE cut short";
  EXPECT_FALSE(Decodes(MakeBmp(8, 1, true))) << "top-down RLE";
}

// ---------------------------------------------------------------------------
// ICO and CUR

struct IconImage {
  int width, height, bits;
  std::vector<Rgba> pixels;        // top-down
  std::vector<bool> masked;        // AND mask, top-down; empty = none set
  bool png = false;                // store a PNG signature instead
};

Bytes MakeIconDib(const IconImage& im) {
  Bytes d;
  if (im.png) return Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0};
  Le32(d, 40);
  Le32(d, im.width);
  Le32(d, im.height * 2);
  Le16(d, 1);
  Le16(d, im.bits);
  for (int i = 0; i < 6; ++i) Le32(d, 0);
  const int stride = (im.width * im.bits + 31) / 32 * 4;
  for (int y = im.height - 1; y >= 0; --y) {
    Bytes line(stride, 0);
    for (int x = 0; x < im.width; ++x) {
      const Rgba c = im.pixels[y * im.width + x];
      uint8_t* q = &line[x * im.bits / 8];
      q[0] = c.b, q[1] = c.g, q[2] = c.r;
      if (im.bits == 32) q[3] = c.a;
    }
    d.insert(d.end(), line.begin(), line.end());
  }
  const int maskStride = (im.width + 31) / 32 * 4;
  for (int y = im.height - 1; y >= 0; --y) {
    Bytes line(maskStride, 0);
    for (int x = 0; x < im.width; ++x) {
      if (!im.masked.empty() && im.masked[y * im.width + x]) line[x / 8] |= uint8_t(0x80 >> (x % 8));
    }
    d.insert(d.end(), line.begin(), line.end());
  }
  return d;
}

Bytes MakeIcon(int type, const std::vector<IconImage>& images) {
  Bytes f;
  Le16(f, 0);
  Le16(f, type);
  Le16(f, uint32_t(images.size()));
  Bytes body;
  for (const IconImage& im : images) {
    const Bytes dib = MakeIconDib(im);
    f.insert(f.end(), {uint8_t(im.width), uint8_t(im.height), 0, 0});
    Le16(f, 1);
    Le16(f, im.bits);
    Le32(f, uint32_t(dib.size()));
    Le32(f, uint32_t(6 + 16 * images.size() + body.size()));
    body.insert(body.end(), dib.begin(), dib.end());
  }
  f.insert(f.end(), body.begin(), body.end());
  return f;
}

IconImage Solid(int side, int bits, Rgba c) {
  return IconImage{side, side, bits, std::vector<Rgba>(size_t(side) * side, c), {}};
}

TEST(IconTest, AlphaChannelOrAndMask) {
  // A 32-bit image with any non-zero alpha uses its alpha; otherwise, and
  // for fewer bits, the AND mask (set = transparent) decides.
  const std::vector<bool> mask = {false, true, false, true};
  const Rgba c{10, 20, 30, 255}, half{0, 255, 0, 128};
  struct Case {
    int type, bits;
    std::vector<Rgba> pixels;
    std::vector<Rgba> expected;
  };
  const Case cases[] = {
      {1, 32, {c, half, {1, 2, 3, 0}, c}, {c, half, kClear, c}},
      {1, 32, {{10, 20, 30, 0}, {5, 5, 5, 0}, {10, 20, 30, 0}, {5, 5, 5, 0}}, {c, kClear, c, kClear}},
      {2, 24, {c, c, c, c}, {c, kClear, c, kClear}},
  };
  for (const Case& t : cases) {
    DecodedPicture p;
    ASSERT_TRUE(Decodes(MakeIcon(t.type, {IconImage{2, 2, t.bits, t.pixels, mask}}), &p)) << t.bits;
    EXPECT_EQ(p.kind, t.type == 1 ? PictureKind::kIco : PictureKind::kCur);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(PixelAt(p, i % 2, i / 2), t.expected[i]) << t.bits << ", pixel " << i;
  }
}

TEST(IconTest, FlattensOntoWhite) {
  DecodedPicture p;
  ASSERT_TRUE(Decodes(MakeIcon(1, {IconImage{3, 1, 32, {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 0}}, {}}}), &p));
  FlattenOntoColor(&p, 0x00FFFFFF);
  EXPECT_EQ(PixelAt(p, 0, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(PixelAt(p, 1, 0), (Rgba{127, 255, 127, 255}));
  EXPECT_EQ(PixelAt(p, 2, 0), kWhite);
}

TEST(IconTest, ChoosesTheLargestImageThatDecodes) {
  const IconImage small = Solid(2, 32, Rgba{1, 1, 1, 255});
  const IconImage large24 = Solid(4, 24, Rgba{2, 2, 2, 255});
  const IconImage large32 = Solid(4, 32, Rgba{3, 3, 3, 255});
  IconImage png = Solid(8, 32, Rgba{4, 4, 4, 255});
  png.png = true;
  struct Case {
    std::vector<IconImage> images;
    int side;
    uint8_t level;
  };
  const Case cases[] = {{{small, large24}, 4, 2}, {{large24, large32, small}, 4, 3}, {{png, small}, 2, 1}};
  for (const Case& c : cases) {
    DecodedPicture p;
    ASSERT_TRUE(Decodes(MakeIcon(1, c.images), &p));
    EXPECT_EQ(p.width, c.side);
    EXPECT_EQ(PixelAt(p, 0, 0).r, c.level);
  }
  EXPECT_FALSE(Decodes(MakeIcon(1, {png}))) << "PNG only";
}

TEST(IconTest, DamagedFilesGiveNoPicture) {
  const Bytes good = MakeIcon(1, {Solid(4, 24, Rgba{5, 5, 5, 255})});
  ASSERT_TRUE(Decodes(good));
  struct Case {
    const char* what;
    void (*damage)(Bytes&);
  };
  const Case cases[] = {
      {"directory longer than the file", [](Bytes& b) { b[4] = 200; }},
      {"image offset past the end", [](Bytes& b) { PatchLe32(b, 18, 100000); }},
      {"image length too short", [](Bytes& b) { PatchLe32(b, 14, 40); }},
      {"colour rows cut", [](Bytes& b) { b.resize(6 + 16 + 40 + 20); }},
      {"negative height", [](Bytes& b) { PatchLe32(b, 22 + 8, uint32_t(-8)); }},
      {"RLE compression", [](Bytes& b) { b[22 + 16] = 1; }},
  };
  for (const Case& c : cases) {
    Bytes b = good;
    c.damage(b);
    EXPECT_FALSE(Decodes(b)) << c.what;
  }
}

// ---------------------------------------------------------------------------
// PCX

// RLE-encodes lines as one stream, so runs may cross line ends.
Bytes MakePcx(int bits, int width, int height, const Bytes& lines, int bytesPerLine, bool palette) {
  Bytes f(128, 0);
  f[0] = 0x0A, f[1] = bits == 8 ? 5 : 3, f[2] = 1, f[3] = uint8_t(bits);
  f[8] = uint8_t(width - 1), f[10] = uint8_t(height - 1);
  f[65] = 1, f[66] = uint8_t(bytesPerLine);
  for (size_t i = 0; i < lines.size();) {
    size_t n = 1;
    while (i + n < lines.size() && lines[i + n] == lines[i] && n < 63) ++n;
    if (n > 1 || lines[i] >= 0xC0) f.push_back(uint8_t(0xC0 | n));
    f.push_back(lines[i]);
    i += n;
  }
  if (palette) {
    f.push_back(0x0C);
    for (int i = 0; i < 256; ++i) f.insert(f.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
  }
  return f;
}

TEST(PcxTest, DecodesPaletteTrueColourAndMonochrome) {
  // 3 x 2 in lines of 4 bytes; the run of 0xC5 crosses into the next line.
  const Bytes lines = {7, 0xC5, 0xC5, 0xC5, 0xC5, 1, 200, 9};
  DecodedPicture p;
  ASSERT_TRUE(Decodes(MakePcx(8, 3, 2, lines, 4, true), &p));
  EXPECT_EQ(p.kind, PictureKind::kPcx256);
  ASSERT_EQ(p.width, 3);
  ASSERT_EQ(p.height, 2);
  EXPECT_EQ(PixelAt(p, 0, 0), (Rgba{7, 248, 3, 255}));
  EXPECT_EQ(PixelAt(p, 1, 0), (Rgba{0xC5, 255 - 0xC5, 0xC5 / 2, 255}));
  EXPECT_EQ(PixelAt(p, 0, 1), (Rgba{0xC5, 255 - 0xC5, 0xC5 / 2, 255}));
  EXPECT_EQ(PixelAt(p, 2, 1), (Rgba{200, 55, 100, 255}));

  // Three planes: red, green and blue lines in turn.
  Bytes rgb = MakePcx(8, 2, 1, {10, 20, 30, 40, 50, 60}, 2, false);
  rgb[65] = 3;
  ASSERT_TRUE(Decodes(rgb, &p));
  EXPECT_EQ(PixelAt(p, 1, 0), (Rgba{20, 40, 60, 255}));

  ASSERT_TRUE(Decodes(MakePcx(1, 10, 1, {0xA5, 0x80}, 2, false), &p));
  EXPECT_EQ(p.kind, PictureKind::kPcxMono);
  const Rgba black{0, 0, 0, 255};
  const Rgba expected[10] = {kWhite, black, kWhite, black, black, kWhite, black, kWhite, kWhite, black};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(PixelAt(p, x, 0), expected[x]) << x;
}

TEST(PcxTest, DamagedFilesGiveNoPicture) {
  const Bytes lines(8, 3);
  Bytes noMarker = MakePcx(8, 3, 2, lines, 4, true);
  noMarker[noMarker.size() - 769] = 0x0B;
  Bytes planes = MakePcx(8, 3, 2, lines, 4, true);
  planes[65] = 2;
  Bytes huge = MakePcx(8, 3, 2, lines, 4, true);
  huge[8] = huge[10] = 0x3F, huge[9] = huge[11] = 0x1F;  // 8000 x 8000 from a few bytes
  huge[66] = 0x40, huge[67] = 0x1F;
  Bytes reversed = MakePcx(8, 3, 2, lines, 4, true);
  reversed[4] = 5;  // xmin after xmax
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"no palette", MakePcx(8, 3, 2, lines, 4, false)},
      {"palette marker wrong", noMarker},
      {"data ends early", MakePcx(8, 3, 2, Bytes(5, 3), 4, true)},
      {"lines shorter than the width", MakePcx(8, 3, 2, Bytes(4, 3), 2, true)},
      {"two planes", planes},
      {"huge size, little data", huge},
      {"xmin after xmax", reversed},
  };
  for (const Case& c : cases) EXPECT_FALSE(Decodes(c.bytes)) << c.what;
}

// ---------------------------------------------------------------------------
// JPEG: files the JPEG library's encoder made (tests/data/jpeg); the
// decoder's own tests are picture_jpeg_test.cpp and picture_jpeg_files_test.cpp.

bool Near(const Rgba& a, const Rgba& b) {
  return std::abs(a.r - b.r) <= 4 && std::abs(a.g - b.g) <= 4 && std::abs(a.b - b.b) <= 4 && a.a == b.a;
}

TEST(JpegTest, DecodesColourGreyAndProgressive) {
  // 32 x 16, quality 100: the left half one colour, the right half another.
  struct Case {
    const char* file;
    Rgba left, right;
  };
  const Case cases[] = {
      {"jpeg/halves.jpg", {40, 100, 160, 255}, {220, 140, 60, 255}},
      {"jpeg/halves_progressive.jpg", {40, 100, 160, 255}, {220, 140, 60, 255}},
      {"jpeg/halves_grey.jpg", {40, 40, 40, 255}, {220, 220, 220, 255}},
  };
  for (const Case& c : cases) {
    DecodedPicture p;
    ASSERT_TRUE(Decodes(ReadTestFile(c.file), &p)) << c.file;
    EXPECT_EQ(p.kind, PictureKind::kJpeg);
    ASSERT_EQ(p.width, 32);
    ASSERT_EQ(p.height, 16);
    EXPECT_TRUE(Near(PixelAt(p, 2, 3), c.left)) << PixelAt(p, 2, 3);
    EXPECT_TRUE(Near(PixelAt(p, 29, 12), c.right)) << PixelAt(p, 29, 12);
  }
}

TEST(JpegTest, DamagedFilesGiveNoPictureAndTheProcessLives) {
  const Bytes good = ReadTestFile("jpeg/halves.jpg");
  ASSERT_TRUE(Decodes(good));
  for (size_t length = 6; length < good.size(); ++length) {
    ASSERT_FALSE(Decodes(Bytes(good.begin(), good.begin() + length))) << "cut at " << length;
  }
  Bytes garbage = good;
  for (size_t i = 2; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 37);
  EXPECT_FALSE(Decodes(garbage));
  EXPECT_FALSE(Decodes(ReadTestFile("jpeg/cmyk.jpg"))) << "CMYK";

  // A frame header claiming 20000 x 20000.
  Bytes huge = good;
  for (size_t i = 2; i + 8 < huge.size(); ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = huge[i + 7] = 0x4E;
      huge[i + 6] = huge[i + 8] = 0x20;
      break;
    }
  }
  EXPECT_FALSE(Decodes(huge));
}

}  // namespace
