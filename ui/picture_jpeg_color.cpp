// From component planes to pixels, as the library we used to link did it
// with its defaults.
//
// Upsampling, per component, by the ratio of the largest sampling factors
// to its own:
//   2:1 across (when the component is more than 2 samples wide) and 2:1 or
//     1:1 down, and 1:1 across with 2:1 down: a triangle filter, each
//     output sample 3/4 of the nearer input and 1/4 of the further one in
//     each filtered direction, with the library's rounding biases;
//   any other whole ratio: each sample repeated.
// At the picture's edges the filter sees the first or last real sample row
// or column once more beyond them (the padding of the last blocks is never
// used).
//
// Colour: grey as R = G = B; YCbCr with the library's 16-bit fixed-point
// factors; RGB as it stands.
#include <cstring>
#include <memory>

#include "ui/picture_decoders.h"
#include "ui/picture_jpeg.h"

namespace {

// Fixed-point factors of the colour conversion, times 2^16.
constexpr int kScaleBits = 16;
constexpr int32_t kHalf = 1 << (kScaleBits - 1);
constexpr int32_t Fix(double x) { return int32_t(x * (1 << kScaleBits) + 0.5); }
constexpr int32_t kCrToR = Fix(1.40200);
constexpr int32_t kCbToB = Fix(1.77200);
constexpr int32_t kCrToG = Fix(0.71414);
constexpr int32_t kCbToG = Fix(0.34414);

uint8_t Clamp(int value) { return uint8_t(value < 0 ? 0 : value > 255 ? 255 : value); }

// Fills out[0, frame.width) with component c's samples for pixel row y;
// sums needs room for the component's sample width.
void UpsampleRow(const JpegFrame& frame, const JpegComponent& c, int y, uint16_t* sums, uint8_t* out) {
  const int across = frame.maxH / c.h, down = frame.maxV / c.v;
  const int n = c.sampleWidth;
  const bool fancyAcross = across == 2 && down <= 2 && n > 2;
  const bool fancyDown = down == 2 && (across == 1 || fancyAcross);
  const int row = y / down;
  const uint8_t* nearer = c.SampleRow(row);
  if (!fancyAcross && !fancyDown) {
    if (across == 1) {
      std::memcpy(out, nearer, size_t(frame.width));
    } else {
      for (int x = 0; x < frame.width; ++x) out[x] = nearer[x / across];
    }
    return;
  }
  if (fancyDown) {
    // The even pixel row of a pair leans on the sample row above, the odd
    // one on the row below.
    int further = y & 1 ? row + 1 : row - 1;
    further = further < 0 ? 0 : further >= c.sampleHeight ? c.sampleHeight - 1 : further;
    const uint8_t* other = c.SampleRow(further);
    for (int x = 0; x < n; ++x) sums[x] = uint16_t(nearer[x] * 3 + other[x]);
  } else {
    for (int x = 0; x < n; ++x) sums[x] = nearer[x];
  }
  if (!fancyAcross) {
    const int bias = y & 1 ? 2 : 1;
    for (int x = 0; x < frame.width; ++x) out[x] = uint8_t((sums[x] + bias) >> 2);
    return;
  }
  // Across: the left sample of a pair leans on the column before, the
  // right one on the column after. Sums of two rows carry 4 more bits.
  const int shift = fancyDown ? 4 : 2;
  const int leftBias = fancyDown ? 8 : 1, rightBias = fancyDown ? 7 : 2;
  for (int i = 0, x = 0; i < n; ++i, x += 2) {
    const int here = sums[i] * 3;
    const int before = sums[i > 0 ? i - 1 : 0], after = sums[i + 1 < n ? i + 1 : i];
    out[x] = uint8_t((here + before + leftBias) >> shift);
    if (x + 1 < frame.width) out[x + 1] = uint8_t((here + after + rightBias) >> shift);
  }
}

}  // namespace

void JpegWritePixels(const JpegFrame& frame, uint8_t* pixels) {
  const int width = frame.width, count = frame.componentCount;
  // One row of each component, and the sums of the widest component row.
  const size_t rowSize = size_t(width);
  const std::unique_ptr<uint8_t[]> rows(new uint8_t[rowSize * kJpegMaxComponents]);
  const std::unique_ptr<uint16_t[]> sums(new uint16_t[rowSize]);
  uint8_t* out = pixels;
  for (int y = 0; y < frame.height; ++y) {
    for (int i = 0; i < count; ++i) UpsampleRow(frame, frame.components[i], y, sums.get(), rows.get() + rowSize * i);
    const uint8_t* c0 = rows.get();
    const uint8_t* c1 = c0 + rowSize;
    const uint8_t* c2 = c1 + rowSize;
    for (int x = 0; x < width; ++x, out += 4) {
      if (count == 1) {
        PutOpaque(out, c0[x], c0[x], c0[x]);
      } else if (frame.rgb) {
        PutOpaque(out, c0[x], c1[x], c2[x]);
      } else {
        const int luma = c0[x], cb = c1[x] - 128, cr = c2[x] - 128;
        PutOpaque(out, Clamp(luma + ((kCrToR * cr + kHalf) >> kScaleBits)),
                  Clamp(luma + ((kHalf - kCbToG * cb - kCrToG * cr) >> kScaleBits)),
                  Clamp(luma + ((kCbToB * cb + kHalf) >> kScaleBits)));
      }
    }
  }
}
