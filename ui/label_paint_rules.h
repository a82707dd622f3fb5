// The arithmetic of label painting, shared by the label and the transparent
// label and kept apart from GDI so that it is tested natively: the DrawText
// format flags, the forced fields of a stored font, the passes of the text
// effects, and the colours and tiles of the gradient frame and background.
// Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame/byte_cursor.h"
#include "ui/picture_geometry.h"

// DrawText format flags, with the values of the Windows DT_ constants (the
// Windows side checks that they agree).
constexpr uint32_t kDtTop = 0x0000;
constexpr uint32_t kDtCenter = 0x0001;
constexpr uint32_t kDtRight = 0x0002;
constexpr uint32_t kDtVCenter = 0x0004;
constexpr uint32_t kDtBottom = 0x0008;
constexpr uint32_t kDtWordBreak = 0x0010;
constexpr uint32_t kDtSingleLine = 0x0020;
constexpr uint32_t kDtNoClip = 0x0100;
constexpr uint32_t kDtNoPrefix = 0x0800;

// The format of a label's text: DT_NOCLIP always; DT_CENTER for hAlign 1,
// DT_RIGHT for 2. With wordWrap set, DT_WORDBREAK | DT_VCENTER (DrawText
// applies vertical alignment to single lines only, so wrapped text starts at
// the top whatever vAlign says); otherwise DT_SINGLELINE and DT_TOP,
// DT_VCENTER or DT_BOTTOM for vAlign 0, 1, 2. Never DT_NOPREFIX: an
// ampersand underlines the next character. Out-of-range values are clamped.
uint32_t LabelTextFormat(int32_t hAlign, int32_t wordWrap, int32_t vAlign);

// Byte offsets in a LOGFONTA of the fields that painting forces.
constexpr size_t kLogFontCharSet = 23;
constexpr size_t kLogFontOutPrecision = 24;
constexpr size_t kLogFontClipPrecision = 25;
constexpr size_t kLogFontQuality = 26;
constexpr size_t kLogFontPitchAndFamily = 27;
constexpr size_t kLogFontFaceName = 28;

// Copies a stored font blob into out with character set DEFAULT_CHARSET (1),
// output and clip precision 0, quality PROOF_QUALITY (2), pitch and family 0
// and a NUL-terminated face name. False, leaving out untouched, when the
// blob is not exactly kLogFontSize bytes: the label then uses the default
// GUI font.
bool PrepareLabelFont(const std::vector<uint8_t>& blob, uint8_t out[kLogFontSize]);

// One drawing of the text: colour (COLORREF) and offset from the text
// rectangle.
struct TextPass {
  uint32_t color;
  int dx;
  int dy;
};
constexpr int kMaxTextPasses = 2;

// The drawings of effect (clamped to 0..3) in order, last one on top:
// 0 the text; 1 white at (+1, +1), then the text; 2 white at (0, 0), then the
// text at (+1, +1); 3 black at (+2, +2), then the text. Returns the count.
int TextEffectPasses(int32_t effect, uint32_t textColor, TextPass out[kMaxTextPasses]);

// --- Gradients ---------------------------------------------------------------

// The gradient colours in use: those of colors[0..2] that are not
// kDefaultColor, in order, copied to out. Fewer than two turn the gradient
// off.
int UsableGradientColors(const uint32_t colors[3], uint32_t out[3]);

// The colour at pos of span (0 <= pos <= span) along a gradient through
// count (2 or 3) colours spaced evenly: colors[0] at 0, colors[count-1] at
// span, channels interpolated linearly and rounded. span 0 gives colors[0].
uint32_t GradientColorAt(const uint32_t* colors, int count, uint64_t pos, uint64_t span);

// The colour of ring `ring` (0 = outermost) of a gradient frame `width`
// pixels wide: the first colour outside, the last one inside.
uint32_t GradientFrameRingColor(const uint32_t* colors, int count, int ring, int width);

// Background gradient directions (GradientBackMode): the first colour lies
// at the start, the last at the end.
//   1 left to right           2 right to left
//   3 top to bottom           4 bottom to top
//   5 top-left to bottom-right   6 bottom-right to top-left
//   7 top-right to bottom-left   8 bottom-left to top-right
// The colour of pixel (x, y) of a width x height gradient in direction mode
// (1..8; other values give colors[0]).
uint32_t GradientBackColorAt(int32_t mode, const uint32_t* colors, int count, int width, int height, int x, int y);

// Gradient backgrounds are painted a tile at a time so that the scratch
// bitmap stays small whatever the label's size.
constexpr int kGradientTileSide = 50;

// The tiles that cover box clipped to clip: the box's kGradientTileSide grid
// (from its top-left corner), each cell cut to box and clip, empty cells left
// out, row by row. Every tile is at most 50 x 50 pixels.
std::vector<PictureRect> GradientTiles(const PictureRect& box, const PictureRect& clip);

// Fills pixels (tile.width * tile.height pixels, B, G, R, 255, rows top
// down) with the part `tile` of a gradient in direction mode spanning box.
void FillGradientTile(int32_t mode, const uint32_t* colors, int count, const PictureRect& box,
                      const PictureRect& tile, uint8_t* pixels);
