// The portable half of building a window shape from a picture: finding,
// row by row, the horizontal runs of pixels that are not the key colour.
// The Windows half turns each batch of run rectangles into a region
// (ExtCreateRegion) and ORs it into the result (CombineRgn). Portable: no
// Windows header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One run: the pixels [left, right) of row top, so bottom is top + 1. The
// layout is that of a Win32 RECT, so a batch can be copied as it is into
// the rectangle array of an RGNDATA.
struct RunRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};
static_assert(sizeof(RunRect) == 16, "RunRect must match RECT");

// At most this many rectangles go into one region before it is combined.
constexpr size_t kRunBatchSize = 2000;

// Walks a 32-bit top-down pixel buffer (bytes B, G, R, X per pixel; X is
// ignored) and hands out its runs in batches of at most kRunBatchSize, in
// order: rows from the top, runs from the left. A pixel is the key colour
// when its red, green and blue equal those of keyColor, a COLORREF
// (0x00BBGGRR; the top byte is ignored). The buffer is not owned and must
// outlive the extractor; stride is the distance between rows in bytes (at
// least width * 4). A width or height of 0 or below gives no runs.
class RegionRunExtractor {
 public:
  RegionRunExtractor(const uint8_t* pixels, int width, int height, size_t stride, uint32_t keyColor);

  // Replaces *batch with the next runs (1..kRunBatchSize of them) and
  // returns true; returns false, with *batch empty, once all are handed out.
  // A picture that is all key colour gives no batch at all.
  bool NextBatch(std::vector<RunRect>* batch);

 private:
  const uint8_t* pixels_;
  int width_;
  int height_;
  size_t stride_;
  uint8_t keyR_, keyG_, keyB_;
  int y_ = 0;  // next row to scan
  int x_ = 0;  // next column to scan in row y_
};
