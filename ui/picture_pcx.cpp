// PCX files: a 128-byte header, run-length encoded scan lines, and for
// 256-colour files a palette in the last 769 bytes (0x0C, then 256 r, g, b
// triples). A byte of 0xC0 or more holds a repeat count in its low six bits
// for the byte that follows; any other byte stands for itself. Runs may go
// on from one scan line into the next. We decode one plane of 8 bits
// (palette), three planes of 8 bits (red, green and blue lines one after
// the other; such files share the 256-colour signature), or one plane of
// 1 bit (0 black, 1 white: the 1-bit signature is version 3, which carries
// no palette).
#include <vector>

#include "ui/picture_decoders.h"

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteBlockSize = 769;
constexpr uint8_t kPaletteMarker = 0x0C;
// Two bytes of data give at most 63 bytes of scan line.
constexpr uint64_t kMaxExpansion = 32;

class RunDecoder {
 public:
  RunDecoder(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // Fills line[0, count); false when the data ends first.
  bool Fill(uint8_t* line, size_t count) {
    size_t i = 0;
    while (i < count) {
      if (repeat_ == 0) {
        if (pos_ >= size_) return false;
        const uint8_t byte = data_[pos_++];
        if (byte >= 0xC0) {
          if (pos_ >= size_) return false;
          repeat_ = byte & 0x3F;  // may be 0: a run that emits nothing
          value_ = data_[pos_++];
          continue;
        }
        repeat_ = 1;
        value_ = byte;
      }
      line[i++] = value_;
      --repeat_;
    }
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  unsigned repeat_ = 0;
  uint8_t value_ = 0;
};

}  // namespace

bool DecodePcx(const uint8_t* data, size_t size, DecodedPicture* picture) {
  if (size < kHeaderSize) return false;
  const int bits = data[3];
  const int planes = data[65];
  if (!(bits == 8 && (planes == 1 || planes == 3)) && !(bits == 1 && planes == 1)) return false;
  const int64_t width = int64_t(ReadLe16(data + 8)) - ReadLe16(data + 4) + 1;
  const int64_t height = int64_t(ReadLe16(data + 10)) - ReadLe16(data + 6) + 1;
  if (!PictureSizeAllowed(width, height)) return false;
  const size_t bytesPerLine = ReadLe16(data + 66);
  if (uint64_t(bytesPerLine) * 8 < uint64_t(width) * uint64_t(bits)) return false;

  size_t dataEnd = size;
  const uint8_t* palette = nullptr;
  if (bits == 8 && planes == 1) {
    if (size < kHeaderSize + kPaletteBlockSize || data[size - kPaletteBlockSize] != kPaletteMarker) return false;
    dataEnd = size - kPaletteBlockSize;
    palette = data + dataEnd + 1;
  }
  const size_t encodedSize = dataEnd - kHeaderSize;
  const size_t lineBytes = bytesPerLine * size_t(planes);
  if (uint64_t(lineBytes) * uint64_t(height) > kMaxExpansion * uint64_t(encodedSize)) return false;

  const int w = int(width), h = int(height);
  picture->frames.assign(1, PictureFrame());
  std::vector<uint8_t>& pixels = picture->frames[0].pixels;
  pixels.resize(size_t(w) * size_t(h) * 4);
  std::vector<uint8_t> line(lineBytes);
  RunDecoder runs(data + kHeaderSize, encodedSize);
  for (int y = 0; y < h; ++y) {
    if (!runs.Fill(line.data(), line.size())) return false;
    uint8_t* out = &pixels[size_t(y) * size_t(w) * 4];
    for (int x = 0; x < w; ++x, out += 4) {
      if (planes == 3) {
        PutOpaque(out, line[x], line[bytesPerLine + x], line[2 * bytesPerLine + x]);
      } else if (bits == 8) {
        const uint8_t* rgb = palette + size_t(line[x]) * 3;
        PutOpaque(out, rgb[0], rgb[1], rgb[2]);
      } else {
        const uint8_t level = ((line[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
        PutOpaque(out, level, level, level);
      }
    }
  }
  picture->width = w;
  picture->height = h;
  return true;
}
