// GIF files: a logical screen (the canvas), an optional global colour
// table, then blocks up to the trailer: extensions (of which the graphic
// control extension matters: disposal, delay, transparent index) and
// images (position, size, optional local colour table, interlace flag, and
// LZW-compressed colour indices carried in length-prefixed sub-blocks).
//
// Each image is drawn onto the canvas and the canvas is then copied out as
// one frame. The LZW decoder writes straight into the canvas, so a frame
// costs no memory beyond the canvas copies, which are counted against
// kMaxPicturePixels; its work is bounded by the compressed data, since
// every code yields at most 4096 pixels.
#include <algorithm>
#include <cstring>
#include <vector>

#include "ui/picture_decoders.h"

namespace {

constexpr size_t kScreenDescriptorEnd = 13;
constexpr size_t kImageDescriptorSize = 10;
constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;

enum Disposal { kDisposeNone = 0, kDisposeKeep = 1, kDisposeBackground = 2, kDisposePrevious = 3 };

struct GraphicControl {
  int disposal = kDisposeNone;
  uint32_t delay = 0;
  bool hasTransparent = false;
  uint8_t transparentIndex = 0;
};

struct ColorTable {
  const uint8_t* rgb = nullptr;  // count entries of r, g, b
  unsigned count = 0;
};

// Reads a colour table of 2 << (packed & 7) entries at *pos when the
// packed flag 0x80 is set.
bool ReadColorTable(const uint8_t* data, size_t size, size_t* pos, uint8_t packed, ColorTable* table) {
  if (!(packed & 0x80)) return true;
  const unsigned count = 2u << (packed & 7);
  if (size - *pos < size_t(count) * 3) return false;
  table->rgb = data + *pos;
  table->count = count;
  *pos += size_t(count) * 3;
  return true;
}

// Moves *pos past a chain of sub-blocks and its zero-length terminator.
bool SkipSubBlocks(const uint8_t* data, size_t size, size_t* pos) {
  while (true) {
    if (*pos >= size) return false;
    const size_t length = data[(*pos)++];
    if (length == 0) return true;
    if (size - *pos < length) return false;
    *pos += length;
  }
}

// Reads LZW codes, least significant bit first, from a chain of sub-blocks
// that SkipSubBlocks has already found whole.
class CodeReader {
 public:
  CodeReader(const uint8_t* data, size_t pos) : data_(data), pos_(pos) {}

  // False when the chain has no more bits for a whole code.
  bool Read(int width, unsigned* code) {
    while (bitCount_ < width) {
      if (blockLeft_ == 0) {
        if (ended_) return false;
        blockLeft_ = data_[pos_++];
        if (blockLeft_ == 0) {
          ended_ = true;
          return false;
        }
      }
      bits_ |= uint32_t(data_[pos_++]) << bitCount_;
      bitCount_ += 8;
      --blockLeft_;
    }
    *code = bits_ & ((1u << width) - 1);
    bits_ >>= width;
    bitCount_ -= width;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t pos_;
  size_t blockLeft_ = 0;
  bool ended_ = false;
  uint32_t bits_ = 0;
  int bitCount_ = 0;
};

// Where the next pixel of an image goes, in the order the data gives them
// (row by row, or in the four interlace passes).
class PixelCursor {
 public:
  PixelCursor(int width, int height, bool interlaced)
      : width_(width), height_(height), interlaced_(interlaced), done_(width == 0 || height == 0) {}
  bool Done() const { return done_; }
  int X() const { return x_; }
  int Y() const { return y_; }
  void Advance() {
    if (++x_ < width_) return;
    x_ = 0;
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    y_ += interlaced_ ? kStep[pass_] : 1;
    while (interlaced_ && y_ >= height_ && pass_ < 3) y_ = kStart[++pass_];
    if (y_ >= height_) done_ = true;
  }

 private:
  int width_, height_;
  bool interlaced_;
  bool done_;
  int x_ = 0, y_ = 0, pass_ = 0;
};

struct ImageDraw {
  std::vector<uint8_t>* canvas;
  int canvasWidth, canvasHeight;
  int left, top;
  ColorTable colors;
  GraphicControl control;
};

void DrawIndex(const ImageDraw& draw, const PixelCursor& cursor, unsigned index) {
  const int x = draw.left + cursor.X(), y = draw.top + cursor.Y();
  if (x >= draw.canvasWidth || y >= draw.canvasHeight) return;
  if (draw.control.hasTransparent && index == draw.control.transparentIndex) return;
  uint8_t* out = &(*draw.canvas)[(size_t(y) * size_t(draw.canvasWidth) + size_t(x)) * 4];
  if (index < draw.colors.count) {
    const uint8_t* rgb = draw.colors.rgb + index * 3;
    PutOpaque(out, rgb[0], rgb[1], rgb[2]);
  } else {
    PutOpaque(out, 0, 0, 0);
  }
}

// Decodes one image's LZW data into the canvas. False on a code the table
// cannot hold; data that ends early leaves the remaining pixels unchanged.
bool DecodeLzw(CodeReader* reader, int minCodeSize, const ImageDraw& draw, PixelCursor* cursor) {
  uint16_t prefix[kMaxCodes];
  uint8_t suffix[kMaxCodes];
  uint8_t stack[kMaxCodes + 1];
  const unsigned clear = 1u << minCodeSize, endOfData = clear + 1;
  unsigned next = clear + 2;
  int width = minCodeSize + 1;
  int prev = -1;
  uint8_t prevFirst = 0;
  unsigned code;
  while (!cursor->Done() && reader->Read(width, &code)) {
    if (code == clear) {
      next = clear + 2;
      width = minCodeSize + 1;
      prev = -1;
      continue;
    }
    if (code == endOfData) break;
    size_t depth = 0;
    unsigned walk = code;
    if (code >= next) {
      // Only the code about to be added may be used early (its string is
      // the previous one plus that one's first byte), and never first.
      if (code != next || prev < 0) return false;
      stack[depth++] = prevFirst;
      walk = unsigned(prev);
    }
    while (walk >= clear) {
      stack[depth++] = suffix[walk];
      walk = prefix[walk];
    }
    stack[depth++] = uint8_t(walk);
    const uint8_t first = uint8_t(walk);
    while (depth > 0 && !cursor->Done()) {
      DrawIndex(draw, *cursor, stack[--depth]);
      cursor->Advance();
    }
    if (prev >= 0 && next < kMaxCodes) {
      prefix[next] = uint16_t(prev);
      suffix[next] = first;
      ++next;
      if (next == (1u << width) && width < kMaxCodeBits) ++width;
    }
    prev = int(code);
    prevFirst = first;
  }
  return true;
}

// Parses a graphic control extension's sub-blocks starting at *pos (just
// after the label) and moves past them.
bool ReadGraphicControl(const uint8_t* data, size_t size, size_t* pos, GraphicControl* control) {
  if (size - *pos >= 5 && data[*pos] >= 4) {
    const uint8_t* block = data + *pos + 1;
    control->disposal = (block[0] >> 2) & 7;
    control->hasTransparent = block[0] & 1;
    control->delay = ReadLe16(block + 1);
    control->transparentIndex = block[3];
  }
  return SkipSubBlocks(data, size, pos);
}

class GifDecoder {
 public:
  GifDecoder(const uint8_t* data, size_t size, DecodedPicture* picture)
      : data_(data), size_(size), picture_(picture) {}

  bool Run() {
    if (size_ < kScreenDescriptorEnd) return false;
    width_ = ReadLe16(data_ + 6);
    height_ = ReadLe16(data_ + 8);
    if (!PictureSizeAllowed(width_, height_)) return false;
    size_t pos = kScreenDescriptorEnd;
    if (!ReadColorTable(data_, size_, &pos, data_[10], &global_)) return false;
    canvas_.assign(size_t(width_) * size_t(height_) * 4, 0);
    picture_->width = width_;
    picture_->height = height_;

    GraphicControl control;
    while (pos < size_ && picture_->frames.size() < kMaxGifFrames) {
      const uint8_t introducer = data_[pos++];
      if (introducer == 0x3B) break;  // trailer
      if (introducer == 0x21) {
        if (pos >= size_) break;
        const uint8_t label = data_[pos++];
        const bool ok = label == 0xF9 ? ReadGraphicControl(data_, size_, &pos, &control)
                                      : SkipSubBlocks(data_, size_, &pos);
        if (!ok) break;
      } else if (introducer == 0x2C) {
        if (!DecodeImage(&pos, control)) break;
        control = GraphicControl();
      } else {
        break;  // not a block: the rest is unreadable
      }
    }
    return !picture_->frames.empty();
  }

 private:
  // Draws the image at *pos onto the canvas, emits a frame and applies the
  // disposal. False when the image is damaged or the budget is spent.
  bool DecodeImage(size_t* pos, const GraphicControl& control) {
    if (size_ - *pos < kImageDescriptorSize) return false;
    const uint8_t* descriptor = data_ + *pos;
    const int left = ReadLe16(descriptor), top = ReadLe16(descriptor + 2);
    const int width = ReadLe16(descriptor + 4), height = ReadLe16(descriptor + 6);
    const uint8_t packed = descriptor[8];
    *pos += 9;
    ColorTable colors = global_;
    if (!ReadColorTable(data_, size_, pos, packed, &colors) || colors.count == 0) return false;
    if (*pos >= size_) return false;
    const int minCodeSize = data_[(*pos)++];
    if (minCodeSize < 1 || minCodeSize > 8) return false;
    const size_t chainStart = *pos;
    if (!SkipSubBlocks(data_, size_, pos)) return false;

    const uint64_t framePixels = uint64_t(width_) * uint64_t(height_);
    if (framePixels > kMaxPicturePixels - pixelsUsed_) return false;
    pixelsUsed_ += framePixels;

    // The image's rectangle clipped to the canvas: all it can change.
    const int clipRight = std::min(left + width, width_), clipBottom = std::min(top + height, height_);
    const size_t rowBytes = clipRight > left ? size_t(clipRight - left) * 4 : 0;
    std::vector<uint8_t> saved;
    if (control.disposal == kDisposePrevious) {
      for (int y = top; y < clipBottom; ++y) {
        const auto row = canvas_.begin() + RowOffset(y, left);
        saved.insert(saved.end(), row, row + rowBytes);
      }
    }
    const ImageDraw draw{&canvas_, width_, height_, left, top, colors, control};
    CodeReader reader(data_, chainStart);
    PixelCursor cursor(width, height, (packed & 0x40) != 0);
    if (!DecodeLzw(&reader, minCodeSize, draw, &cursor)) return false;

    PictureFrame frame;
    frame.pixels = canvas_;
    frame.delay = control.delay ? control.delay : kGifDefaultDelay;
    picture_->frames.push_back(std::move(frame));

    for (int y = top; y < clipBottom && rowBytes > 0; ++y) {
      if (control.disposal == kDisposeBackground) {
        std::memset(&canvas_[RowOffset(y, left)], 0, rowBytes);
      } else if (control.disposal == kDisposePrevious) {
        std::memcpy(&canvas_[RowOffset(y, left)], &saved[size_t(y - top) * rowBytes], rowBytes);
      }
    }
    return true;
  }

  size_t RowOffset(int y, int x) const { return (size_t(y) * size_t(width_) + size_t(x)) * 4; }

  const uint8_t* data_;
  size_t size_;
  DecodedPicture* picture_;
  int width_ = 0, height_ = 0;
  ColorTable global_;
  std::vector<uint8_t> canvas_;
  uint64_t pixelsUsed_ = 0;
};

}  // namespace

bool DecodeGif(const uint8_t* data, size_t size, DecodedPicture* picture) {
  return GifDecoder(data, size, picture).Run();
}
