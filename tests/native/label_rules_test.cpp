// The labels' stored records (defaults, versions, clamps, round trips) and
// the painting arithmetic they share (format flags, forced font fields,
// effect passes, gradient colours and tiles).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frame/byte_cursor.h"
#include "ui/label_paint_rules.h"
#include "ui/label_record.h"
#include "ui/trans_label_record.h"

namespace {

std::vector<uint8_t> Encoded(const LabelRecord& r) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(EncodeLabelRecord(r, &out));
  return out;
}
std::vector<uint8_t> Encoded(const TransLabelRecord& r) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(EncodeTransLabelRecord(r, &out));
  return out;
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

LabelRecord SampleLabel() {
  LabelRecord r;
  r.effect = 3;
  r.gradientBorderWidth = 12;
  r.borderStyle = 6;
  r.gradientBorderColors[1] = kDefaultColor;
  r.textColor = ColorFromRgb(255, 255, 0);
  r.backColor = ColorFromRgb(22, 131, 196);
  r.backPictureMode = 2;
  r.gradientBackMode = 7;
  r.gradientBackColors[0] = ColorFromRgb(1, 2, 3);
  r.hAlign = 2;
  r.vAlign = 0;
  r.wordWrap = 1;
  r.font = std::vector<uint8_t>(kLogFontSize, 0x11);
  r.backPicture = {'B', 'M', 1, 2, 3};
  r.caption = "安装目录：";
  r.dataSource = "源";
  r.dataColumn = "列";
  return r;
}

// Offsets of the label's fixed fields in the stored record.
constexpr size_t kLabelEffectAt = 4, kLabelWidthAt = 8, kLabelBorderAt = 12, kLabelPictureModeAt = 36,
                 kLabelBackModeAt = 40, kLabelHAlignAt = 56, kLabelVAlignAt = 60, kLabelWrapAt = 64,
                 kLabelFixedEnd = 68;

TEST(LabelRecord, EmptyRecordsGiveTheDefaults) {
  LabelRecord label;
  ASSERT_TRUE(DecodeLabelRecord(nullptr, 0, &label, nullptr));
  EXPECT_EQ(label.caption, "\xB1\xEA\xC7\xA9");  // "标签" in GBK
  EXPECT_EQ(label.effect, 0);
  EXPECT_EQ(label.borderStyle, 0);
  EXPECT_EQ(label.gradientBorderWidth, 8);
  const uint32_t greyWhiteGrey[3] = {0x808080, 0xFFFFFF, 0x808080};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(label.gradientBorderColors[i], greyWhiteGrey[i]);
    EXPECT_EQ(label.gradientBackColors[i], greyWhiteGrey[i]);
  }
  EXPECT_TRUE(label.font.empty());
  EXPECT_TRUE(label.backPicture.empty());
  EXPECT_EQ(label.textColor, 0u);
  EXPECT_EQ(label.backColor, 0xFF000000u);
  EXPECT_EQ(label.backPictureMode, 1);
  EXPECT_EQ(label.gradientBackMode, 0);
  EXPECT_EQ(label.hAlign, 0);
  EXPECT_EQ(label.wordWrap, 0);
  EXPECT_EQ(label.vAlign, 1);
  EXPECT_TRUE(label.dataSource.empty() && label.dataColumn.empty());

  TransLabelRecord trans;
  ASSERT_TRUE(DecodeTransLabelRecord(nullptr, 0, &trans, nullptr));
  EXPECT_EQ(trans.caption, "\xCD\xB8\xC3\xF7\xB1\xEA\xC7\xA9");  // "透明标签"
  EXPECT_EQ(trans.effect, 0);
  EXPECT_TRUE(trans.font.empty());
  EXPECT_EQ(trans.textColor, 0u);
  EXPECT_EQ(trans.hAlign, 0);
  EXPECT_EQ(trans.wordWrap, 0);
  EXPECT_EQ(trans.vAlign, 1);
}

TEST(LabelRecord, RoundTripsBothVersionsAndVersionOneEndsAfterCaption) {
  LabelRecord v2 = SampleLabel();
  std::vector<uint8_t> bytes = Encoded(v2);
  LabelRecord back;
  ASSERT_TRUE(DecodeLabelRecord(bytes.data(), bytes.size(), &back, nullptr));
  EXPECT_TRUE(back == v2);

  LabelRecord v1 = v2;
  v1.version = 1;
  v1.dataSource.clear();
  v1.dataColumn.clear();
  std::vector<uint8_t> v1Bytes = Encoded(v1);
  // Version 1 stops after Caption: the two data-binding texts are missing.
  EXPECT_EQ(v1Bytes.size(), bytes.size() - (4 + 2) - (4 + 2));
  ASSERT_TRUE(DecodeLabelRecord(v1Bytes.data(), v1Bytes.size(), &back, nullptr));
  EXPECT_TRUE(back == v1);

  // The same bytes claiming version 2 lack the data-binding texts...
  std::vector<uint8_t> claimsV2 = v1Bytes;
  PutU32(claimsV2, 0, 2);
  CursorFailure failure;
  EXPECT_FALSE(DecodeLabelRecord(claimsV2.data(), claimsV2.size(), &back, &failure));
  EXPECT_EQ(failure.error, CursorError::kEndOfData);
  EXPECT_STREQ(failure.field, "DataSource");
  // ...and version-2 bytes claiming version 1 have bytes left over.
  std::vector<uint8_t> claimsV1 = bytes;
  PutU32(claimsV1, 0, 1);
  EXPECT_FALSE(DecodeLabelRecord(claimsV1.data(), claimsV1.size(), &back, &failure));
  EXPECT_EQ(failure.error, CursorError::kTrailingBytes);

  TransLabelRecord trans;
  trans.effect = 2;
  trans.textColor = 0xFFFFFF;
  trans.hAlign = 1;
  trans.vAlign = 2;
  trans.wordWrap = 1;
  trans.caption = "×";
  std::vector<uint8_t> transBytes = Encoded(trans);
  TransLabelRecord transBack;
  ASSERT_TRUE(DecodeTransLabelRecord(transBytes.data(), transBytes.size(), &transBack, nullptr));
  EXPECT_TRUE(transBack == trans);
}

TEST(LabelRecord, RejectsBadVersionsAndShortRecordsAndKeepsTheOutput) {
  const std::vector<uint8_t> label = Encoded(SampleLabel());
  const std::vector<uint8_t> trans = Encoded(TransLabelRecord());
  struct Case {
    bool isLabel;
    std::vector<uint8_t> bytes;
    CursorError error;
    const char* what;
  };
  auto withVersion = [](std::vector<uint8_t> b, uint32_t v) { PutU32(b, 0, v); return b; };
  auto cut = [](const std::vector<uint8_t>& b, size_t n) { return std::vector<uint8_t>(b.begin(), b.begin() + n); };
  std::vector<uint8_t> longFont = label;
  PutU32(longFont, kLabelFixedEnd, 0x7FFFFFFF);
  const Case cases[] = {
      {true, withVersion(label, 0), CursorError::kBadVersion, "label version 0"},
      {true, withVersion(label, 3), CursorError::kVersionTooNew, "label version 3"},
      {false, withVersion(trans, 2), CursorError::kVersionTooNew, "transparent label version 2"},
      {false, withVersion(trans, 0), CursorError::kBadVersion, "transparent label version 0"},
      {true, cut(label, 2), CursorError::kEndOfData, "label cut inside the version"},
      {true, cut(label, 30), CursorError::kEndOfData, "label cut inside the colours"},
      {true, cut(label, label.size() - 1), CursorError::kLengthPastEnd, "label cut inside DataColumn"},
      {true, longFont, CursorError::kLengthPastEnd, "font length past the end"},
      {false, cut(trans, trans.size() - 1), CursorError::kLengthPastEnd, "transparent label cut in Caption"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CursorFailure failure;
    if (c.isLabel) {
      LabelRecord out;
      out.caption = "unchanged";
      EXPECT_FALSE(DecodeLabelRecord(c.bytes.data(), c.bytes.size(), &out, &failure));
      EXPECT_EQ(out.caption, "unchanged");
    } else {
      TransLabelRecord out;
      out.caption = "unchanged";
      EXPECT_FALSE(DecodeTransLabelRecord(c.bytes.data(), c.bytes.size(), &out, &failure));
      EXPECT_EQ(out.caption, "unchanged");
    }
    EXPECT_EQ(failure.error, c.error);
  }
  LabelRecord bad;
  bad.version = 3;
  std::vector<uint8_t> out = {1};
  EXPECT_FALSE(EncodeLabelRecord(bad, &out));
  EXPECT_TRUE(out.empty());
}

TEST(LabelRecord, ClampsStoredValuesIntoTheirRanges) {
  std::vector<uint8_t> b = Encoded(SampleLabel());
  PutU32(b, kLabelEffectAt, 9);
  PutU32(b, kLabelWidthAt, 1);  // a frame narrower than 5 pixels is 5 pixels wide
  PutU32(b, kLabelBorderAt, uint32_t(-2));
  PutU32(b, kLabelPictureModeAt, 3);
  PutU32(b, kLabelBackModeAt, 100);
  PutU32(b, kLabelHAlignAt, uint32_t(-1));
  PutU32(b, kLabelVAlignAt, 7);
  PutU32(b, kLabelWrapAt, 5);
  LabelRecord r;
  ASSERT_TRUE(DecodeLabelRecord(b.data(), b.size(), &r, nullptr));
  EXPECT_EQ(r.effect, 3);
  EXPECT_EQ(r.gradientBorderWidth, 5);
  EXPECT_EQ(r.borderStyle, 0);
  EXPECT_EQ(r.backPictureMode, 2);
  EXPECT_EQ(r.gradientBackMode, 8);
  EXPECT_EQ(r.hAlign, 0);
  EXPECT_EQ(r.vAlign, 2);
  EXPECT_EQ(r.wordWrap, 1);
  EXPECT_EQ(ClampGradientBorderWidth(1), 5);
  EXPECT_EQ(ClampGradientBorderWidth(40), 40);

  // A font blob of another length is kept as stored (painting ignores it).
  TransLabelRecord t;
  t.font = {1, 2, 3};
  t.effect = -4;
  std::vector<uint8_t> tb = Encoded(t);
  TransLabelRecord tr;
  ASSERT_TRUE(DecodeTransLabelRecord(tb.data(), tb.size(), &tr, nullptr));
  EXPECT_EQ(tr.font, t.font);
  EXPECT_EQ(tr.effect, 0);
}

// ---------------------------------------------------------------------------

TEST(LabelPaintRules, FormatFlagsFollowAlignmentAndWrapping) {
  struct Case {
    int hAlign, wordWrap, vAlign;
    uint32_t flags;
  };
  const Case cases[] = {
      {0, 0, 0, kDtNoClip | kDtSingleLine | kDtTop},
      {1, 0, 1, kDtNoClip | kDtCenter | kDtSingleLine | kDtVCenter},
      {2, 0, 2, kDtNoClip | kDtRight | kDtSingleLine | kDtBottom},
      // Wrapped text: vertical alignment is not applied, it starts at the top.
      {0, 1, 2, kDtNoClip | kDtWordBreak | kDtVCenter},
      {2, 1, 0, kDtNoClip | kDtRight | kDtWordBreak | kDtVCenter},
      {5, 0, -3, kDtNoClip | kDtRight | kDtSingleLine | kDtTop},  // clamped
  };
  for (const Case& c : cases) {
    uint32_t flags = LabelTextFormat(c.hAlign, c.wordWrap, c.vAlign);
    EXPECT_EQ(flags, c.flags) << c.hAlign << " " << c.wordWrap << " " << c.vAlign;
    EXPECT_EQ(flags & kDtNoPrefix, 0u);
  }
}

TEST(LabelPaintRules, StoredFontGetsItsForcedFields) {
  std::vector<uint8_t> blob(kLogFontSize);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = uint8_t(0xA0 + i);
  blob[21] = 1;  // underline
  uint8_t font[kLogFontSize];
  ASSERT_TRUE(PrepareLabelFont(blob, font));
  EXPECT_EQ(font[kLogFontCharSet], 1);
  EXPECT_EQ(font[kLogFontOutPrecision], 0);
  EXPECT_EQ(font[kLogFontClipPrecision], 0);
  EXPECT_EQ(font[kLogFontQuality], 2);
  EXPECT_EQ(font[kLogFontPitchAndFamily], 0);
  EXPECT_EQ(font[21], 1);
  EXPECT_EQ(0, std::memcmp(font, blob.data(), 23));  // height .. strike-out as stored
  EXPECT_EQ(0, std::memcmp(font + 28, blob.data() + 28, 31));
  EXPECT_EQ(font[59], 0);

  uint8_t untouched[kLogFontSize] = {};
  EXPECT_FALSE(PrepareLabelFont(std::vector<uint8_t>(59), untouched));
  EXPECT_FALSE(PrepareLabelFont({}, untouched));
  for (uint8_t b : untouched) EXPECT_EQ(b, 0);
}

TEST(LabelPaintRules, EffectsDrawTheirCopiesBeforeTheText) {
  const uint32_t text = ColorFromRgb(10, 20, 30);
  const uint32_t white = 0xFFFFFF, black = 0;
  struct Case {
    int effect;
    std::vector<TextPass> passes;
  };
  const Case cases[] = {
      {0, {{text, 0, 0}}},
      {1, {{white, 1, 1}, {text, 0, 0}}},
      {2, {{white, 0, 0}, {text, 1, 1}}},
      {3, {{black, 2, 2}, {text, 0, 0}}},
      {-1, {{text, 0, 0}}},
      {8, {{black, 2, 2}, {text, 0, 0}}},
  };
  for (const Case& c : cases) {
    TextPass passes[kMaxTextPasses];
    int n = TextEffectPasses(c.effect, text, passes);
    ASSERT_EQ(size_t(n), c.passes.size()) << c.effect;
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(passes[i].color, c.passes[i].color) << c.effect << " pass " << i;
      EXPECT_EQ(passes[i].dx, c.passes[i].dx);
      EXPECT_EQ(passes[i].dy, c.passes[i].dy);
    }
  }
}

TEST(LabelPaintRules, GradientColoursRunThroughTheUsableColours) {
  const uint32_t red = ColorFromRgb(255, 0, 0), blue = ColorFromRgb(0, 0, 255), grey = 0x808080;
  uint32_t usable[3];
  const uint32_t withDefault[3] = {red, kDefaultColor, blue};
  ASSERT_EQ(UsableGradientColors(withDefault, usable), 2);
  EXPECT_EQ(usable[0], red);
  EXPECT_EQ(usable[1], blue);
  const uint32_t oneLeft[3] = {kDefaultColor, kDefaultColor, grey};
  EXPECT_EQ(UsableGradientColors(oneLeft, usable), 1);

  const uint32_t two[2] = {red, blue};
  EXPECT_EQ(GradientColorAt(two, 2, 0, 10), red);
  EXPECT_EQ(GradientColorAt(two, 2, 10, 10), blue);
  EXPECT_EQ(GradientColorAt(two, 2, 5, 10), ColorFromRgb(128, 0, 128));  // rounded halfway
  const uint32_t three[3] = {red, 0xFFFFFF, blue};
  EXPECT_EQ(GradientColorAt(three, 3, 50, 100), 0xFFFFFFu);  // the middle colour in the middle
  EXPECT_EQ(GradientColorAt(three, 3, 25, 100), ColorFromRgb(255, 128, 128));
  EXPECT_EQ(GradientColorAt(three, 3, 100, 100), blue);

  // Frame: first colour outside, last colour inside.
  EXPECT_EQ(GradientFrameRingColor(three, 3, 0, 9), red);
  EXPECT_EQ(GradientFrameRingColor(three, 3, 4, 9), 0xFFFFFFu);
  EXPECT_EQ(GradientFrameRingColor(three, 3, 8, 9), blue);
}

TEST(LabelPaintRules, EachBackgroundDirectionRunsFromItsStartCornerToItsEnd) {
  const uint32_t first = ColorFromRgb(200, 0, 0), last = ColorFromRgb(0, 0, 200);
  const uint32_t colors[2] = {first, last};
  const int w = 31, h = 17;
  struct Corner {
    int x, y;
  };
  const Corner tl{0, 0}, tr{w - 1, 0}, bl{0, h - 1}, br{w - 1, h - 1};
  struct Case {
    int mode;
    Corner start, end;
  };
  const Case cases[] = {{1, tl, tr}, {2, tr, tl}, {3, tl, bl}, {4, bl, tl},
                        {5, tl, br}, {6, br, tl}, {7, tr, bl}, {8, bl, tr}};
  for (const Case& c : cases) {
    EXPECT_EQ(GradientBackColorAt(c.mode, colors, 2, w, h, c.start.x, c.start.y), first) << c.mode;
    EXPECT_EQ(GradientBackColorAt(c.mode, colors, 2, w, h, c.end.x, c.end.y), last) << c.mode;
  }
  // Horizontal gradients do not change down a column.
  EXPECT_EQ(GradientBackColorAt(1, colors, 2, w, h, 10, 0), GradientBackColorAt(1, colors, 2, w, h, 10, h - 1));
}

TEST(LabelPaintRules, GradientTilesAreAtMostFiftySquareAndCoverTheClippedBox) {
  const PictureRect box{3, 4, 173, 121};
  const PictureRect clips[] = {{0, 0, 1000, 1000}, {60, 70, 47, 90}, {170, 120, 100, 100}, {500, 0, 10, 10}};
  for (const PictureRect& clip : clips) {
    std::vector<PictureRect> tiles = GradientTiles(box, clip);
    int left = std::max(box.x, clip.x), top = std::max(box.y, clip.y);
    int right = std::min(box.x + box.width, clip.x + clip.width);
    int bottom = std::min(box.y + box.height, clip.y + clip.height);
    int64_t expectedArea = right > left && bottom > top ? int64_t(right - left) * (bottom - top) : 0;
    int64_t area = 0;
    for (const PictureRect& t : tiles) {
      EXPECT_GT(t.width, 0);
      EXPECT_GT(t.height, 0);
      EXPECT_LE(t.width, kGradientTileSide);
      EXPECT_LE(t.height, kGradientTileSide);
      EXPECT_GE(t.x, left);
      EXPECT_GE(t.y, top);
      EXPECT_LE(t.x + t.width, right);
      EXPECT_LE(t.y + t.height, bottom);
      // A tile never crosses a line of the box's 50-pixel grid.
      EXPECT_EQ((t.x - box.x) / kGradientTileSide, (t.x + t.width - 1 - box.x) / kGradientTileSide);
      EXPECT_EQ((t.y - box.y) / kGradientTileSide, (t.y + t.height - 1 - box.y) / kGradientTileSide);
      area += int64_t(t.width) * t.height;
    }
    // Grid cells do not overlap, so equal areas mean the clipped box is covered.
    EXPECT_EQ(area, expectedArea);
  }

  // A tile's pixels are the gradient's pixels at the tile's place.
  const uint32_t colors[3] = {0x0000FF, 0x00FF00, 0xFF0000};
  const PictureRect tile{53, 54, 50, 50};
  std::vector<uint8_t> pixels(size_t(tile.width) * tile.height * 4);
  FillGradientTile(5, colors, 3, box, tile, pixels.data());
  for (int y : {0, 17, 49}) {
    for (int x : {0, 31, 49}) {
      uint32_t c = GradientBackColorAt(5, colors, 3, box.width, box.height, tile.x - box.x + x, tile.y - box.y + y);
      const uint8_t* p = &pixels[(size_t(y) * tile.width + x) * 4];
      EXPECT_EQ(p[0], uint8_t(c >> 16));
      EXPECT_EQ(p[1], uint8_t(c >> 8));
      EXPECT_EQ(p[2], uint8_t(c));
      EXPECT_EQ(p[3], 255);
    }
  }
}

}  // namespace
