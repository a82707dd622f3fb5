// Our JPEG decoder against the JPEG library it replaced (jpeg_reference.h):
// files the library's encoder makes in every layout we decode must give
// the same pixel bytes; damaged, cut and unsupported files must give no
// picture where the library failed or warned, and what we do accept must
// still match it byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "tests/native/jpeg_reference.h"
#include "tests/native/jpeg_test_files.h"
#include "tests/native/picture_test_support.h"
#include "ui/picture.h"

namespace {

using namespace picture_test;

struct Layout {
  int components = 3;              // 1 or 3
  J_COLOR_SPACE stored = JCS_YCbCr;  // colour space inside the file
  int sampling[3][2] = {{2, 2}, {1, 1}, {1, 1}};
  bool progressive = false;
  int quality = 75;
  bool baselineTables = true;      // quantisers clamped to 8 bits
  bool optimize = false;           // Huffman tables made for the picture
  int restartInterval = 0;         // in MCUs
  bool arithmetic = false;
  // A scan script of the encoder's own (sequential or progressive); empty
  // for its default.
  std::vector<jpeg_scan_info> script;
};

// Sequential scans, one per component.
std::vector<jpeg_scan_info> ScanPerComponent(int components) {
  std::vector<jpeg_scan_info> script;
  for (int c = 0; c < components; ++c) script.push_back(jpeg_scan_info{1, {c, 0, 0, 0}, 0, 63, 0, 0});
  return script;
}

// A picture with smooth gradients, hard edges and noise, so that large
// and small coefficients, clamping and every upsampling case occur.
uint8_t Sample(int x, int y, int c) {
  const unsigned noise = (unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ unsigned(c) * 83492791u) >> 7;
  const int edge = ((x / 5 + y / 3) & 1) ? 200 : 30;
  const int ramp = (x * 255) / 40 + (y * 3) + c * 60;
  switch ((x / 7 + y / 6 + c) % 3) {
    case 0: return uint8_t(edge);
    case 1: return uint8_t(ramp);
    default: return uint8_t(noise);
  }
}

Bytes Encode(const Layout& layout, int width, int height) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  err.output_message = [](j_common_ptr) {};  // quality 1 draws a caution about 16-bit tables
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = layout.components;
  cinfo.in_color_space = layout.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, layout.stored);
  jpeg_set_quality(&cinfo, layout.quality, layout.baselineTables ? TRUE : FALSE);
  for (int c = 0; c < layout.components; ++c) {
    cinfo.comp_info[c].h_samp_factor = layout.sampling[c][0];
    cinfo.comp_info[c].v_samp_factor = layout.sampling[c][1];
  }
  cinfo.optimize_coding = layout.optimize ? TRUE : FALSE;
  cinfo.restart_interval = JDIMENSION(layout.restartInterval);
  cinfo.arith_code = layout.arithmetic ? TRUE : FALSE;
  if (layout.progressive) jpeg_simple_progression(&cinfo);
  if (!layout.script.empty()) {
    cinfo.scan_info = layout.script.data();
    cinfo.num_scans = int(layout.script.size());
  }
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(size_t(width) * size_t(layout.components));
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = int(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < layout.components; ++c) row[size_t(x) * layout.components + c] = Sample(x, y, c);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

Layout Sampled(int yh, int yv, int cbh = 1, int cbv = 1, int crh = 1, int crv = 1) {
  Layout l;
  l.sampling[0][0] = yh, l.sampling[0][1] = yv;
  l.sampling[1][0] = cbh, l.sampling[1][1] = cbv;
  l.sampling[2][0] = crh, l.sampling[2][1] = crv;
  return l;
}

Layout Grey() {
  Layout l;
  l.components = 1;
  l.stored = JCS_GRAYSCALE;
  l.sampling[0][0] = l.sampling[0][1] = 1;
  return l;
}

template <typename Change>
Layout With(Layout l, Change change) {
  change(l);
  return l;
}

// Both decoders on the same bytes: the same verdict, and when it is a
// picture, the same size and pixel bytes.
::testing::AssertionResult SameAsReference(const Bytes& file, bool* decoded = nullptr) {
  DecodedPicture ours, theirs;
  const bool ok = DecodePicture(file.data(), file.size(), &ours);
  const bool reference = ReferenceDecodeJpeg(file.data(), file.size(), &theirs);
  if (decoded != nullptr) *decoded = ok;
  if (ok != reference) {
    return ::testing::AssertionFailure() << "ours " << (ok ? "decodes" : "fails") << ", the library "
                                         << (reference ? "decodes" : "fails");
  }
  if (!ok) return ::testing::AssertionSuccess();
  if (ours.width != theirs.width || ours.height != theirs.height) {
    return ::testing::AssertionFailure() << "size " << ours.width << "x" << ours.height << " vs " << theirs.width
                                         << "x" << theirs.height;
  }
  const Bytes& a = ours.frames[0].pixels;
  const Bytes& b = theirs.frames[0].pixels;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) {
      const size_t pixel = i / 4;
      return ::testing::AssertionFailure() << "pixel (" << pixel % size_t(ours.width) << ", " << pixel / size_t(ours.width)
                                           << ") byte " << i % 4 << ": " << int(a[i]) << " vs " << int(b[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

// Position of the first marker `code` at or after `from`, or npos.
size_t FindMarker(const Bytes& b, uint8_t code, size_t from = 0) {
  for (size_t i = from; i + 1 < b.size(); ++i) {
    if (b[i] == 0xFF && b[i + 1] == code) return i;
  }
  return std::string::npos;
}

// A marker segment with the given body.
Bytes Segment(uint8_t code, const Bytes& body) {
  Bytes s = {0xFF, code, uint8_t((body.size() + 2) >> 8), uint8_t(body.size() + 2)};
  s.insert(s.end(), body.begin(), body.end());
  return s;
}

Bytes InsertAt(Bytes b, size_t at, const Bytes& what) {
  b.insert(b.begin() + long(at), what.begin(), what.end());
  return b;
}

struct LayoutCase {
  const char* name;
  Layout layout;
};

const std::vector<LayoutCase>& LayoutCases() {
  static const std::vector<LayoutCase> cases = {
      {"4:2:0", Sampled(2, 2)},
      {"4:4:4", Sampled(1, 1)},
      {"4:2:2", Sampled(2, 1)},
      {"4:4:0", Sampled(1, 2)},
      {"4:1:1", Sampled(4, 1)},
      {"4:1:0", Sampled(4, 2)},
      {"luma 3x2", Sampled(3, 2)},
      {"chroma 1x2 under luma 2x2", Sampled(2, 2, 1, 2, 1, 2)},
      {"chroma 2x1 under luma 2x2", Sampled(2, 2, 2, 1, 2, 1)},
      {"Cb wider than luma", Sampled(1, 1, 2, 2, 1, 1)},
      {"mixed chroma", Sampled(2, 2, 1, 1, 2, 1)},
      {"grey", Grey()},
      {"grey sampled 2x2", With(Grey(), [](Layout& l) { l.sampling[0][0] = l.sampling[0][1] = 2; })},
      {"RGB stored (Adobe transform 0)", With(Sampled(1, 1), [](Layout& l) { l.stored = JCS_RGB; })},
      {"RGB stored 2x1", With(Sampled(2, 1), [](Layout& l) { l.stored = JCS_RGB; })},
      {"progressive 4:2:0", With(Sampled(2, 2), [](Layout& l) { l.progressive = true; })},
      {"progressive 4:4:4", With(Sampled(1, 1), [](Layout& l) { l.progressive = true; })},
      {"progressive 4:2:2", With(Sampled(2, 1), [](Layout& l) { l.progressive = true; })},
      {"progressive grey", With(Grey(), [](Layout& l) { l.progressive = true; })},
      {"progressive RGB", With(Sampled(1, 1), [](Layout& l) { l.stored = JCS_RGB, l.progressive = true; })},
      {"restart every MCU", With(Sampled(2, 2), [](Layout& l) { l.restartInterval = 1; })},
      {"restart every 3 MCUs, 4:4:4", With(Sampled(1, 1), [](Layout& l) { l.restartInterval = 3; })},
      {"restart every 2, grey", With(Grey(), [](Layout& l) { l.restartInterval = 2; })},
      {"restart every 2, progressive",
       With(Sampled(2, 2), [](Layout& l) { l.restartInterval = 2, l.progressive = true; })},
      {"a scan per component", With(Sampled(2, 2), [](Layout& l) { l.script = ScanPerComponent(3); })},
      {"a scan per component, restarts",
       With(Sampled(2, 1), [](Layout& l) { l.script = ScanPerComponent(3), l.restartInterval = 5; })},
      {"quality 1, 16-bit quantisers", With(Sampled(2, 2), [](Layout& l) { l.quality = 1, l.baselineTables = false; })},
      {"quality 1, progressive, 16-bit",
       With(Sampled(1, 1), [](Layout& l) { l.quality = 1, l.baselineTables = false, l.progressive = true; })},
      {"quality 100", With(Sampled(1, 1), [](Layout& l) { l.quality = 100; })},
      {"quality 100, progressive", With(Sampled(2, 2), [](Layout& l) { l.quality = 100, l.progressive = true; })},
      {"optimised tables", With(Sampled(2, 2), [](Layout& l) { l.optimize = true; })},
  };
  return cases;
}

TEST(JpegDecoderTest, MatchesTheLibraryInEveryLayoutAndSize) {
  // Sizes around block and MCU edges, and slivers.
  const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 5}, {4, 4}, {5, 3}, {16, 16}, {17, 15}, {33, 31}, {70, 43}};
  for (const LayoutCase& c : LayoutCases()) {
    for (const auto& size : sizes) {
      const Bytes file = Encode(c.layout, size[0], size[1]);
      bool decoded = false;
      EXPECT_TRUE(SameAsReference(file, &decoded)) << c.name << ", " << size[0] << "x" << size[1];
      EXPECT_TRUE(decoded) << c.name << ", " << size[0] << "x" << size[1];
    }
  }
}

// Progressions of other shapes than the encoder's default: random bands
// and successive-approximation depths, DC refinements last, every
// coefficient complete in the end.
TEST(JpegDecoderTest, RandomProgressionsMatchTheLibrary) {
  unsigned seed = 7;
  auto next = [&seed](unsigned n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  for (int round = 0; round < 12; ++round) {
    Layout layout = round % 3 == 0 ? Grey() : Sampled(1 + round % 2, 1 + round / 2 % 2);
    const int components = layout.components, dcBits = int(next(4));
    std::vector<jpeg_scan_info>& script = layout.script;
    script.push_back({components, {0, 1, 2, 0}, 0, 0, 0, dcBits});
    for (int c = 0; c < components; ++c) {
      for (int first = 1; first <= 63;) {
        const int last = first + int(next(64 - first)), bits = int(next(4));
        script.push_back({1, {c}, first, last, 0, bits});
        for (int b = bits; b > 0; --b) script.push_back({1, {c}, first, last, b, b - 1});
        first = last + 1;
      }
    }
    for (int b = dcBits; b > 0; --b) script.push_back({components, {0, 1, 2, 0}, 0, 0, b, b - 1});
    const Bytes file = Encode(layout, 29, 19);
    ASSERT_NE(FindMarker(file, 0xC2), std::string::npos);
    bool decoded = false;
    EXPECT_TRUE(SameAsReference(file, &decoded)) << "round " << round;
    EXPECT_TRUE(decoded) << "round " << round;
  }
}

// The installer's own skin pictures.
TEST(JpegDecoderTest, SkinPicturesMatchTheLibrary) {
  for (const char* name : {"close_hover", "close_normal", "close_pressed", "done", "install_hover", "install_normal",
                           "logo_flame", "logo_reflect"}) {
    const Bytes file = ReadTestFile(std::string("../../assets/skin/") + name + ".jpg");
    ASSERT_FALSE(file.empty()) << name;
    bool decoded = false;
    EXPECT_TRUE(SameAsReference(file, &decoded)) << name;
    EXPECT_TRUE(decoded) << name;
  }
}

// The table the portable file test (run on Windows too) holds ours to.
TEST(JpegDecoderTest, TheTestFilesTableIsTheLibrarys) {
  for (const JpegTestFile& file : kJpegTestFiles) {
    const Bytes bytes = ReadTestFile(std::string("jpeg/") + file.name);
    ASSERT_FALSE(bytes.empty()) << file.name;
    DecodedPicture p;
    const bool decoded = ReferenceDecodeJpeg(bytes.data(), bytes.size(), &p);
    EXPECT_EQ(decoded, file.width != 0) << file.name;
    if (!decoded) continue;
    EXPECT_EQ(p.width, file.width) << file.name;
    EXPECT_EQ(p.height, file.height) << file.name;
    EXPECT_EQ(PixelHash(p), file.hash) << file.name << ": 0x" << std::hex << PixelHash(p);
  }
}

// --- Damaged and unsupported files ------------------------------------------

TEST(JpegDecoderTest, EveryCutFailsCleanly) {
  const Layout layouts[] = {Sampled(2, 2), With(Sampled(2, 1), [](Layout& l) { l.progressive = true; }),
                            With(Grey(), [](Layout& l) { l.restartInterval = 1; })};
  for (const Layout& layout : layouts) {
    const Bytes file = Encode(layout, 19, 13);
    ASSERT_TRUE(Decodes(file));
    for (size_t length = 0; length < file.size(); ++length) {
      const Bytes cut(file.begin(), file.begin() + long(length));
      EXPECT_FALSE(Decodes(cut)) << "cut at " << length << " of " << file.size();
    }
  }
}

// Every byte of small files changed in turn: the process lives, and what
// still decodes matches the library.
TEST(JpegDecoderTest, ChangedBytesAgreeWithTheLibrary) {
  const Layout layouts[] = {Sampled(2, 2), With(Sampled(1, 2), [](Layout& l) { l.progressive = true; }),
                            With(Sampled(2, 1), [](Layout& l) { l.restartInterval = 2; })};
  int accepted = 0;
  for (const Layout& layout : layouts) {
    const Bytes file = Encode(layout, 21, 11);
    for (size_t i = 2; i < file.size(); ++i) {
      for (uint8_t change : {uint8_t(0x01), uint8_t(0x10), uint8_t(0x80), uint8_t(0xFF)}) {
        Bytes changed = file;
        changed[i] ^= change;
        DecodedPicture ours, theirs;
        if (!DecodePicture(changed.data(), changed.size(), &ours)) continue;
        ++accepted;
        // The library may accept more (see FewerFilesThanTheLibrary), but
        // never less, and never other pixels.
        bool decoded;
        EXPECT_TRUE(SameAsReference(changed, &decoded)) << "byte " << i << " ^ " << int(change);
      }
    }
  }
  EXPECT_GT(accepted, 100);  // changes inside coded data mostly still decode
}

enum Expect { kPicture, kNoPicture, kOursFails };

struct DamageCase {
  const char* what;
  Expect expect;
  std::function<Bytes(const Bytes&)> damage;
};

// kPicture and kNoPicture: the library agrees. kOursFails: the library
// decodes the file; these are the files we refuse on purpose.
TEST(JpegDecoderTest, DamagedAndUnusualFiles) {
  const Bytes good = Encode(Sampled(2, 2), 24, 16);
  const Bytes restarts = Encode(With(Sampled(1, 1), [](Layout& l) { l.restartInterval = 1; }), 24, 16);
  const size_t sos = FindMarker(good, 0xDA), eoi = FindMarker(good, 0xD9, sos);
  const size_t sof = FindMarker(good, 0xC0), app0 = FindMarker(good, 0xE0);
  const size_t rst1 = FindMarker(restarts, 0xD1);
  auto patch = [](const Bytes& b, size_t at, std::initializer_list<uint8_t> bytes) {
    Bytes c = b;
    for (uint8_t v : bytes) c[at++] = v;
    return c;
  };
  // The JFIF marker hidden as APP1, so that the colours follow other hints.
  const Bytes noJfif = patch(good, app0 + 1, {0xE1});
  const Bytes adobe = Segment(0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0});
  const DamageCase cases[] = {
      // Markers and segments.
      {"no EOI", kNoPicture, [&](const Bytes& b) { return Bytes(b.begin(), b.begin() + long(eoi)); }},
      {"data after EOI", kPicture, [&](const Bytes& b) { return InsertAt(b, b.size(), {1, 2, 3}); }},
      {"fill bytes before EOI", kPicture, [&](const Bytes& b) { return InsertAt(b, eoi, {0xFF, 0xFF}); }},
      {"restart marker after the scan", kPicture, [&](const Bytes& b) { return InsertAt(b, eoi, {0xFF, 0xD0}); }},
      {"FF 00 after the scan", kOursFails, [&](const Bytes& b) { return InsertAt(b, eoi, {0xFF, 0x00}); }},
      {"a junk byte after the scan", kOursFails, [&](const Bytes& b) { return InsertAt(b, eoi, {0x00}); }},
      {"junk before a marker", kNoPicture, [&](const Bytes& b) { return InsertAt(b, sos, {0x00}); }},
      {"second scan after one with every component", kNoPicture,
       [&](const Bytes& b) { return InsertAt(b, eoi, Bytes(b.begin() + long(sos), b.begin() + long(eoi))); }},
      {"scan before the frame", kNoPicture, [&](const Bytes& b) { return patch(b, sof + 1, {0xFE}); }},
      {"EOI before the scan", kNoPicture, [&](const Bytes& b) { return InsertAt(b, sos, {0xFF, 0xD9}); }},
      {"second SOI", kNoPicture, [&](const Bytes& b) { return InsertAt(b, sos, {0xFF, 0xD8}); }},
      {"reserved marker", kNoPicture, [&](const Bytes& b) { return InsertAt(b, sos, Segment(0xF0, {1, 2})); }},
      {"comment and APP2", kPicture,
       [&](const Bytes& b) { return InsertAt(InsertAt(b, sos, Segment(0xFE, {'h', 'i'})), sos, Segment(0xE2, {0})); }},
      {"comment of length 0", kPicture, [&](const Bytes& b) { return InsertAt(b, sos, {0xFF, 0xFE, 0, 0}); }},
      {"DNL", kPicture, [&](const Bytes& b) { return InsertAt(b, sos, Segment(0xDC, {0, 16})); }},
      {"lone TEM and RST", kPicture, [&](const Bytes& b) { return InsertAt(b, sos, {0xFF, 0x01, 0xFF, 0xD3}); }},
      {"Huffman segment too long", kNoPicture, [&](const Bytes& b) { return patch(b, FindMarker(b, 0xC4) + 3, {0x20}); }},
      {"quantisation segment too short", kNoPicture,
       [&](const Bytes& b) { return patch(b, FindMarker(b, 0xDB) + 3, {0x42}); }},
      {"restart interval segment of length 5", kNoPicture,
       [&](const Bytes& b) { return InsertAt(b, sos, Segment(0xDD, {0, 1, 0})); }},
      {"arithmetic conditioning, valid", kPicture,
       [&](const Bytes& b) { return InsertAt(b, sos, Segment(0xCC, {0x00, 0x10})); }},
      {"arithmetic conditioning, L above U", kNoPicture,
       [&](const Bytes& b) { return InsertAt(b, sos, Segment(0xCC, {0x00, 0x02})); }},
      {"arithmetic conditioning, odd length", kNoPicture,
       [&](const Bytes& b) { return InsertAt(b, sos, Segment(0xCC, {0x00})); }},
      // Colours.
      {"JFIF version 2", kNoPicture, [&](const Bytes& b) { return patch(b, app0 + 9, {2}); }},
      {"Adobe transform 0 without JFIF", kPicture, [&](const Bytes&) { return InsertAt(noJfif, sos, adobe); }},
      {"Adobe transform 2 without JFIF", kNoPicture, [&](const Bytes&) {
         Bytes a = adobe;
         a.back() = 2;
         return InsertAt(noJfif, sos, a);
       }},
      {"Adobe transform 2 after the first scan", kPicture, [&](const Bytes&) {
         Bytes a = adobe;
         a.back() = 2;
         return InsertAt(noJfif, FindMarker(noJfif, 0xD9, sos), a);
       }},
      {"ids R, G, B without JFIF", kPicture, [&](const Bytes&) {
         const Bytes ids = patch(patch(patch(noJfif, sof + 10, {'R'}), sof + 13, {'G'}), sof + 16, {'B'});
         return patch(patch(patch(ids, sos + 5, {'R'}), sos + 7, {'G'}), sos + 9, {'B'});
       }},
      // Frames.
      {"12-bit samples", kNoPicture, [&](const Bytes& b) { return patch(b, sof + 4, {12}); }},
      {"lossless frame", kNoPicture, [&](const Bytes& b) { return patch(b, sof + 1, {0xC3}); }},
      {"hierarchical frame", kNoPicture, [&](const Bytes& b) { return patch(b, sof + 1, {0xC5}); }},
      {"width 0", kNoPicture, [&](const Bytes& b) { return patch(b, sof + 7, {0, 0}); }},
      {"20000 x 20000", kNoPicture, [&](const Bytes& b) { return patch(b, sof + 5, {0x4E, 0x20, 0x4E, 0x20}); }},
      {"sampling factor 5", kNoPicture, [&](const Bytes& b) { return patch(b, sof + 11, {0x51}); }},
      {"sampling ratio 3:2", kNoPicture, [&](const Bytes& b) { return patch(patch(b, sof + 11, {0x31}), sof + 14, {0x21}); }},
      {"quantisation slot 5", kNoPicture, [&](const Bytes& b) { return patch(b, sof + 12, {5}); }},
      // Scans.
      {"unknown component", kNoPicture, [&](const Bytes& b) { return patch(b, sos + 5, {9}); }},
      {"components out of order", kNoPicture, [&](const Bytes& b) { return patch(b, sos + 5, {2, 0, 1}); }},
      {"Huffman slot 4", kNoPicture, [&](const Bytes& b) { return patch(b, sos + 6, {0x40}); }},
      {"undefined Huffman table", kNoPicture, [&](const Bytes& b) { return patch(b, sos + 6, {0x22}); }},
      {"sequential scan with Se 62", kNoPicture, [&](const Bytes& b) { return patch(b, sos + 12, {62}); }},
      {"a marker inside coded data", kNoPicture, [&](const Bytes& b) { return InsertAt(b, sos + 20, {0xFF, 0xD9}); }},
      {"restart interval without restart markers", kNoPicture,
       [&](const Bytes& b) { return InsertAt(b, sos, Segment(0xDD, {0, 1})); }},
      {"restart markers in order", kPicture, [&](const Bytes&) { return restarts; }},
      {"a restart marker missing", kNoPicture, [&](const Bytes&) {
         Bytes c = restarts;
         c.erase(c.begin() + long(rst1), c.begin() + long(rst1) + 2);
         return c;
       }},
      {"restart markers out of turn", kNoPicture, [&](const Bytes&) { return patch(restarts, rst1 + 1, {0xD2}); }},
      // The library counted junk in coded data only where it had not read
      // ahead to the marker already.
      {"junk before a restart marker", kOursFails, [&](const Bytes&) { return InsertAt(restarts, rst1, {0x55}); }},
      {"fill bytes before a restart marker", kPicture, [&](const Bytes&) { return InsertAt(restarts, rst1, {0xFF}); }},
      // The library took FF FF 00 as a data byte FF (but see BitReader).
      {"FF FF 00 in coded data", kOursFails, [&](const Bytes&) {
         const Bytes b = Encode(With(Sampled(1, 1), [](Layout& l) { l.quality = 100; }), 40, 40);
         for (size_t at = FindMarker(b, 0xDA) + 14; at + 1 < b.size(); ++at) {
           if (b[at] == 0xFF && b[at + 1] == 0) return InsertAt(b, at, {0xFF});
         }
         return Bytes();
       }},
      // Coding we do not decode.
      {"arithmetic coding", kOursFails,
       [&](const Bytes&) { return Encode(With(Sampled(2, 2), [](Layout& l) { l.arithmetic = true; }), 8, 8); }},
      {"no Huffman tables (the library's built-in ones)", kOursFails, [&](const Bytes& b) {
         Bytes c = b;
         for (size_t at; (at = FindMarker(c, 0xC4)) != std::string::npos;) {
           c.erase(c.begin() + long(at), c.begin() + long(at) + 2 + (c[at + 2] << 8 | c[at + 3]));
         }
         return c;
       }},
  };
  for (const DamageCase& c : cases) {
    const Bytes file = c.damage(good);
    ASSERT_FALSE(file.empty()) << c.what;
    if (c.expect == kOursFails) {
      EXPECT_FALSE(Decodes(file)) << c.what;
      continue;
    }
    bool decoded = false;
    EXPECT_TRUE(SameAsReference(file, &decoded)) << c.what;
    EXPECT_EQ(decoded, c.expect == kPicture) << c.what;
  }
}

// A progressive file whose AC scans of Y stop at coefficient 5: the library
// estimated the missing coefficients of every block from its neighbours
// ("block smoothing"); we give no picture. With the band complete the same
// script decodes alike.
TEST(JpegDecoderTest, IncompleteProgressionGivesNoPicture) {
  Layout layout = Sampled(2, 2);
  layout.script = {{3, {0, 1, 2, 0}, 0, 0, 0, 0}, {1, {0}, 1, 5, 0, 0}, {1, {1}, 1, 63, 0, 0}, {1, {2}, 1, 63, 0, 0}};
  Bytes file = Encode(layout, 24, 24);
  DecodedPicture reference;
  EXPECT_TRUE(ReferenceDecodeJpeg(file.data(), file.size(), &reference));
  EXPECT_FALSE(Decodes(file));
  layout.script[1].Se = 63;
  bool decoded = false;
  EXPECT_TRUE(SameAsReference(Encode(layout, 24, 24), &decoded));
  EXPECT_TRUE(decoded);
}

// The library stopped after 500 scans. A first DC scan may be repeated
// (it sends no refinement), so a file of many scans is easy to make.
TEST(JpegDecoderTest, AtMost500Scans) {
  Layout layout = Grey();
  layout.script = {{1, {0}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}};
  const Bytes file = Encode(layout, 16, 16);
  const size_t first = FindMarker(file, 0xDA), second = FindMarker(file, 0xDA, first + 2);
  const Bytes dcScan(file.begin() + long(first), file.begin() + long(second));
  for (int scans : {500, 501}) {
    Bytes many = file;
    for (int i = 2; i < scans; ++i) many = InsertAt(many, first, dcScan);
    bool decoded = false;
    EXPECT_TRUE(SameAsReference(many, &decoded)) << scans;
    EXPECT_EQ(decoded, scans == 500) << scans;
  }
}

}  // namespace
