// Label painting arithmetic; see label_paint_rules.h.
#include "ui/label_paint_rules.h"

#include <algorithm>
#include <cstring>

#include "ui/label_record.h"

uint32_t LabelTextFormat(int32_t hAlign, int32_t wordWrap, int32_t vAlign) {
  uint32_t flags = kDtNoClip;
  switch (ClampChoice(hAlign, kMaxHAlign)) {
    case 1: flags |= kDtCenter; break;
    case 2: flags |= kDtRight; break;
    default: break;
  }
  if (wordWrap) return flags | kDtWordBreak | kDtVCenter;
  flags |= kDtSingleLine;
  switch (ClampChoice(vAlign, kMaxVAlign)) {
    case 0: return flags | kDtTop;
    case 1: return flags | kDtVCenter;
    default: return flags | kDtBottom;
  }
}

bool PrepareLabelFont(const std::vector<uint8_t>& blob, uint8_t out[kLogFontSize]) {
  if (blob.size() != kLogFontSize) return false;
  std::memcpy(out, blob.data(), kLogFontSize);
  out[kLogFontCharSet] = 1;        // DEFAULT_CHARSET
  out[kLogFontOutPrecision] = 0;   // OUT_DEFAULT_PRECIS
  out[kLogFontClipPrecision] = 0;  // CLIP_DEFAULT_PRECIS
  out[kLogFontQuality] = 2;        // PROOF_QUALITY
  out[kLogFontPitchAndFamily] = 0;
  out[kLogFontSize - 1] = 0;  // a face name of 32 bytes without its NUL would run on
  return true;
}

int TextEffectPasses(int32_t effect, uint32_t textColor, TextPass out[kMaxTextPasses]) {
  const uint32_t kWhite = ColorFromRgb(255, 255, 255);
  const uint32_t kBlack = ColorFromRgb(0, 0, 0);
  switch (ClampChoice(effect, kMaxTextEffect)) {
    case 1:
      out[0] = {kWhite, 1, 1};
      out[1] = {textColor, 0, 0};
      return 2;
    case 2:
      out[0] = {kWhite, 0, 0};
      out[1] = {textColor, 1, 1};
      return 2;
    case 3:
      out[0] = {kBlack, 2, 2};
      out[1] = {textColor, 0, 0};
      return 2;
    default:
      out[0] = {textColor, 0, 0};
      return 1;
  }
}

int UsableGradientColors(const uint32_t colors[3], uint32_t out[3]) {
  int count = 0;
  for (int i = 0; i < 3; ++i)
    if (colors[i] != kDefaultColor) out[count++] = colors[i];
  return count;
}

namespace {

uint32_t Channel(uint32_t colour, int shift) { return (colour >> shift) & 0xFF; }

uint32_t Mix(uint32_t a, uint32_t b, uint64_t pos, uint64_t span) {
  uint32_t result = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint64_t v = (uint64_t(Channel(a, shift)) * (span - pos) + uint64_t(Channel(b, shift)) * pos + span / 2) / span;
    result |= uint32_t(v) << shift;
  }
  return result;
}

}  // namespace

uint32_t GradientColorAt(const uint32_t* colors, int count, uint64_t pos, uint64_t span) {
  if (count <= 0) return 0;
  if (count == 1 || span == 0) return colors[0] & 0x00FFFFFF;
  pos = std::min(pos, span);
  const uint64_t segments = uint64_t(count - 1);
  // Position in units where each segment is `span` long.
  const uint64_t scaled = pos * segments;
  uint64_t segment = std::min(scaled / span, segments - 1);
  return Mix(colors[segment], colors[segment + 1], scaled - segment * span, span);
}

uint32_t GradientFrameRingColor(const uint32_t* colors, int count, int ring, int width) {
  if (width <= 1 || ring <= 0) return GradientColorAt(colors, count, 0, 0);
  return GradientColorAt(colors, count, uint64_t(std::min(ring, width - 1)), uint64_t(width - 1));
}

uint32_t GradientBackColorAt(int32_t mode, const uint32_t* colors, int count, int width, int height, int x,
                             int y) {
  const uint64_t spanX = uint64_t(std::max(width - 1, 1));
  const uint64_t spanY = uint64_t(std::max(height - 1, 1));
  const uint64_t fromLeft = uint64_t(std::clamp(x, 0, std::max(width - 1, 0)));
  const uint64_t fromTop = uint64_t(std::clamp(y, 0, std::max(height - 1, 0)));
  const uint64_t fromRight = uint64_t(std::max(width - 1, 0)) - fromLeft;
  const uint64_t fromBottom = uint64_t(std::max(height - 1, 0)) - fromTop;
  // Diagonals: the mean of the two axes' fractions, over a common span.
  auto diagonal = [&](uint64_t dx, uint64_t dy) {
    return GradientColorAt(colors, count, dx * spanY + dy * spanX, 2 * spanX * spanY);
  };
  switch (mode) {
    case 1: return GradientColorAt(colors, count, fromLeft, spanX);
    case 2: return GradientColorAt(colors, count, fromRight, spanX);
    case 3: return GradientColorAt(colors, count, fromTop, spanY);
    case 4: return GradientColorAt(colors, count, fromBottom, spanY);
    case 5: return diagonal(fromLeft, fromTop);
    case 6: return diagonal(fromRight, fromBottom);
    case 7: return diagonal(fromRight, fromTop);
    case 8: return diagonal(fromLeft, fromBottom);
    default: return GradientColorAt(colors, count, 0, 0);
  }
}

std::vector<PictureRect> GradientTiles(const PictureRect& box, const PictureRect& clip) {
  std::vector<PictureRect> tiles;
  const int left = std::max(box.x, clip.x);
  const int top = std::max(box.y, clip.y);
  const int right = std::min(int64_t(box.x) + box.width, int64_t(clip.x) + clip.width);
  const int bottom = std::min(int64_t(box.y) + box.height, int64_t(clip.y) + clip.height);
  if (left >= right || top >= bottom) return tiles;
  // First grid cells that meet the clipped area.
  const int firstColumn = (left - box.x) / kGradientTileSide;
  const int firstRow = (top - box.y) / kGradientTileSide;
  for (int cellY = box.y + firstRow * kGradientTileSide; cellY < bottom; cellY += kGradientTileSide) {
    for (int cellX = box.x + firstColumn * kGradientTileSide; cellX < right; cellX += kGradientTileSide) {
      PictureRect t;
      t.x = std::max(cellX, left);
      t.y = std::max(cellY, top);
      t.width = std::min(cellX + kGradientTileSide, right) - t.x;
      t.height = std::min(cellY + kGradientTileSide, bottom) - t.y;
      if (t.width > 0 && t.height > 0) tiles.push_back(t);
    }
  }
  return tiles;
}

void FillGradientTile(int32_t mode, const uint32_t* colors, int count, const PictureRect& box,
                      const PictureRect& tile, uint8_t* pixels) {
  for (int row = 0; row < tile.height; ++row) {
    for (int column = 0; column < tile.width; ++column) {
      uint32_t c = GradientBackColorAt(mode, colors, count, box.width, box.height, tile.x + column - box.x,
                                       tile.y + row - box.y);
      uint8_t* p = pixels + (size_t(row) * size_t(tile.width) + size_t(column)) * 4;
      p[0] = uint8_t(c >> 16);  // blue
      p[1] = uint8_t(c >> 8);   // green
      p[2] = uint8_t(c);        // red
      p[3] = 255;
    }
  }
}
