// Run extraction for window shapes; see region_runs.h.
#include "ui/region_runs.h"

RegionRunExtractor::RegionRunExtractor(const uint8_t* pixels, int width, int height, size_t stride,
                                       uint32_t keyColor)
    : pixels_(pixels),
      width_(width > 0 ? width : 0),
      height_(height > 0 && width > 0 ? height : 0),
      stride_(stride),
      keyR_(uint8_t(keyColor)),
      keyG_(uint8_t(keyColor >> 8)),
      keyB_(uint8_t(keyColor >> 16)) {}

bool RegionRunExtractor::NextBatch(std::vector<RunRect>* batch) {
  batch->clear();
  batch->reserve(kRunBatchSize);
  // Scanning resumes where the previous batch stopped: at a run's end, so
  // a run is never split across batches.
  while (y_ < height_ && batch->size() < kRunBatchSize) {
    const uint8_t* row = pixels_ + size_t(y_) * stride_;
    auto isKey = [&](int x) {
      const uint8_t* p = row + size_t(x) * 4;
      return p[0] == keyB_ && p[1] == keyG_ && p[2] == keyR_;
    };
    int x = x_;
    while (x < width_ && isKey(x)) ++x;
    if (x < width_) {
      const int start = x;
      while (x < width_ && !isKey(x)) ++x;
      batch->push_back(RunRect{start, y_, x, y_ + 1});
    }
    if (x >= width_) {
      x_ = 0;
      ++y_;
    } else {
      x_ = x;
    }
  }
  return !batch->empty();
}
