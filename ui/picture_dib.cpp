// BMP files, and the device-independent bitmaps inside ICO and CUR files.
//
// A BMP file is a 14-byte file header (with the offset of the pixels) and
// a DIB: a header of 12 bytes (the old "core" layout) or 40 bytes and more,
// bit masks, a palette and the pixel rows, bottom-up unless the height is
// negative, each row padded to 4 bytes. An icon directory points at DIBs
// whose height counts the colour rows and the 1-bit AND mask rows together.
// Every decoder below checks that all the bytes it will read are there
// before it allocates the output.
#include <algorithm>
#include <cstring>

#include "ui/picture_decoders.h"

namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12, kInfoHeaderSize = 40, kV2HeaderSize = 52;
constexpr size_t kIconDirSize = 6, kIconEntrySize = 16;

struct DibLayout {
  int width = 0;
  int height = 0;  // rows of the image (for an icon, without the mask rows)
  bool topDown = false;
  int bitCount = 0;
  uint32_t compression = kBiRgb;
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue
  int paletteCount = 0;           // entries read into palette
  uint8_t palette[256][3] = {};   // r, g, b
};

// Reads the DIB header, bit masks and palette at dib[0, avail). On success
// *pixelStart is the offset just after the palette, where an icon's pixel
// rows begin. Icons (icon true) allow only uncompressed bottom-up rows.
bool ReadDibHeader(const uint8_t* dib, size_t avail, bool icon, DibLayout* layout, size_t* pixelStart) {
  if (avail < 4) return false;
  const uint32_t headerSize = ReadLe32(dib);
  int64_t width, height;
  uint32_t colorsUsed = 0;
  size_t paletteEntrySize = 4;
  size_t pos = headerSize;
  if (headerSize == kCoreHeaderSize) {
    if (avail < kCoreHeaderSize) return false;
    width = ReadLe16(dib + 4);
    height = ReadLe16(dib + 6);
    layout->bitCount = ReadLe16(dib + 10);
    paletteEntrySize = 3;
  } else if (headerSize >= kInfoHeaderSize && headerSize <= avail) {
    width = int32_t(ReadLe32(dib + 4));
    height = int32_t(ReadLe32(dib + 8));
    layout->bitCount = ReadLe16(dib + 14);
    layout->compression = ReadLe32(dib + 16);
    colorsUsed = ReadLe32(dib + 32);
    if (layout->compression == kBiBitfields) {
      const uint8_t* masks = dib + kInfoHeaderSize;
      if (headerSize < kV2HeaderSize) {  // the masks follow the header
        if (avail - pos < 12) return false;
        masks = dib + pos;
        pos += 12;
      }
      for (int i = 0; i < 3; ++i) layout->masks[i] = ReadLe32(masks + 4 * i);
    }
  } else {
    return false;
  }

  const int bits = layout->bitCount;
  switch (layout->compression) {
    case kBiRgb:
      if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
      if (bits == 16) {
        layout->masks[0] = 0x7C00, layout->masks[1] = 0x03E0, layout->masks[2] = 0x001F;
      } else if (bits == 32) {
        layout->masks[0] = 0xFF0000, layout->masks[1] = 0xFF00, layout->masks[2] = 0xFF;
      }
      break;
    case kBiRle8:
    case kBiRle4:
      if (icon || bits != (layout->compression == kBiRle8 ? 8 : 4)) return false;
      break;
    case kBiBitfields:
      if (icon || (bits != 16 && bits != 32)) return false;
      break;
    default:
      return false;
  }

  if (icon) {
    if (height <= 0) return false;
    height /= 2;
  } else if (height < 0) {
    if (layout->compression != kBiRgb && layout->compression != kBiBitfields) return false;
    layout->topDown = true;
    height = -height;
  }
  if (!PictureSizeAllowed(width, height)) return false;
  layout->width = int(width);
  layout->height = int(height);

  // Palette: colorsUsed entries, or all 2^bits of them when it is 0. Deeper
  // pixels may carry an unused palette; it matters only in an icon, where it
  // sits before the rows (a BMP file gives the rows' offset instead).
  uint64_t paletteCount = (bits <= 8 || icon) ? colorsUsed : 0;
  if (bits <= 8) {
    if (paletteCount == 0 || headerSize == kCoreHeaderSize) paletteCount = uint64_t(1) << bits;
    if (paletteCount > (uint64_t(1) << bits)) return false;
  }
  if (paletteCount > (avail - pos) / paletteEntrySize) return false;
  if (bits <= 8) {
    layout->paletteCount = int(paletteCount);
    for (int i = 0; i < layout->paletteCount; ++i) {
      const uint8_t* entry = dib + pos + size_t(i) * paletteEntrySize;
      layout->palette[i][0] = entry[2];
      layout->palette[i][1] = entry[1];
      layout->palette[i][2] = entry[0];
    }
  }
  *pixelStart = pos + size_t(paletteCount) * paletteEntrySize;
  return true;
}

uint64_t RowStride(int width, int bits) { return (uint64_t(width) * uint64_t(bits) + 31) / 32 * 4; }

// Bytes the uncompressed rows take; the last row need not carry its padding.
uint64_t PixelBytes(const DibLayout& layout) {
  return RowStride(layout.width, layout.bitCount) * uint64_t(layout.height - 1) +
         (uint64_t(layout.width) * uint64_t(layout.bitCount) + 7) / 8;
}

void PutIndex(const DibLayout& layout, unsigned index, uint8_t* out) {
  if (int(index) < layout.paletteCount) {
    PutOpaque(out, layout.palette[index][0], layout.palette[index][1], layout.palette[index][2]);
  } else {
    PutOpaque(out, 0, 0, 0);
  }
}

// One channel of a masked pixel, scaled to 0..255.
uint8_t MaskedChannel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!(mask & (1u << shift))) ++shift;
  const uint32_t top = mask >> shift;
  int width = 0;
  while (width < 32 && (top >> width) != 0) ++width;
  const uint32_t v = (value & mask) >> shift;
  if (width >= 8) return uint8_t(v >> (width - 8));
  const uint32_t most = (1u << width) - 1;
  return uint8_t((v * 255 + most / 2) / most);
}

void DecodeRow(const DibLayout& layout, const uint8_t* src, uint8_t* out) {
  const int bits = layout.bitCount;
  for (int x = 0; x < layout.width; ++x, out += 4) {
    switch (bits) {
      case 1:
        PutIndex(layout, (src[x >> 3] >> (7 - (x & 7))) & 1, out);
        break;
      case 4:
        PutIndex(layout, (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4, out);
        break;
      case 8:
        PutIndex(layout, src[x], out);
        break;
      case 24:
        PutOpaque(out, src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        break;
      default: {  // 16 and 32 bits through the masks
        const uint32_t value = bits == 16 ? ReadLe16(src + 2 * x) : ReadLe32(src + 4 * x);
        PutOpaque(out, MaskedChannel(value, layout.masks[0]), MaskedChannel(value, layout.masks[1]),
                  MaskedChannel(value, layout.masks[2]));
        break;
      }
    }
  }
}

size_t OutRow(const DibLayout& layout, int y) {
  return size_t(layout.topDown ? y : layout.height - 1 - y) * size_t(layout.width) * 4;
}

void DecodeRows(const DibLayout& layout, const uint8_t* rows, std::vector<uint8_t>* pixels) {
  const size_t stride = size_t(RowStride(layout.width, layout.bitCount));
  for (int y = 0; y < layout.height; ++y) DecodeRow(layout, rows + size_t(y) * stride, &(*pixels)[OutRow(layout, y)]);
}

// RLE8 / RLE4 rows from data[0, size); pixels the stream skips stay black.
// Fails when the data ends before the end-of-bitmap code and before the
// last row is done.
bool DecodeRle(const DibLayout& layout, const uint8_t* data, size_t size, std::vector<uint8_t>* pixels) {
  const bool rle4 = layout.compression == kBiRle4;
  for (size_t i = 3; i < pixels->size(); i += 4) (*pixels)[i] = 255;
  int64_t x = 0, y = 0;
  auto put = [&](unsigned index) {
    if (x < layout.width && y < layout.height) PutIndex(layout, index, &(*pixels)[OutRow(layout, int(y)) + size_t(x) * 4]);
    ++x;
  };
  size_t pos = 0;
  while (y < layout.height) {
    if (size - pos < 2) return false;
    const unsigned count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) put(rle4 ? ((i & 1) ? value & 0x0F : value >> 4) : value);
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // move right and up
      if (size - pos < 2) return false;
      x += data[pos];
      y += data[pos + 1];
      pos += 2;
    } else {  // value literal pixels, padded to an even number of bytes
      const size_t bytes = rle4 ? (value + 1) / 2 : value;
      const size_t padded = bytes + (bytes & 1);
      if (size - pos < padded) return false;
      for (unsigned i = 0; i < value; ++i) {
        put(rle4 ? ((i & 1) ? data[pos + i / 2] & 0x0F : data[pos + i / 2] >> 4) : data[pos + i]);
      }
      pos += padded;
    }
  }
  return true;
}

// Applies an icon's transparency: the alpha channel of a 32-bit image when
// any of its pixels has a non-zero alpha, otherwise the AND mask (1 =
// transparent) when the data holds it. mask may be null (no mask).
void ApplyIconTransparency(const DibLayout& layout, const uint8_t* colorRows, const uint8_t* mask,
                           std::vector<uint8_t>* pixels) {
  const size_t colorStride = size_t(RowStride(layout.width, layout.bitCount));
  bool useAlpha = false;
  if (layout.bitCount == 32) {
    for (int y = 0; y < layout.height && !useAlpha; ++y) {
      const uint8_t* row = colorRows + size_t(y) * colorStride;
      for (int x = 0; x < layout.width; ++x) {
        if (row[4 * x + 3] != 0) {
          useAlpha = true;
          break;
        }
      }
    }
  }
  const size_t maskStride = size_t(RowStride(layout.width, 1));
  for (int y = 0; y < layout.height; ++y) {
    uint8_t* out = &(*pixels)[OutRow(layout, y)];
    for (int x = 0; x < layout.width; ++x, out += 4) {
      uint8_t alpha = 255;
      if (useAlpha) {
        alpha = colorRows[size_t(y) * colorStride + 4 * size_t(x) + 3];
      } else if (mask != nullptr && ((mask[size_t(y) * maskStride + (x >> 3)] >> (7 - (x & 7))) & 1)) {
        alpha = 0;
      }
      out[3] = alpha;
      if (alpha == 0) out[0] = out[1] = out[2] = 0;
    }
  }
}

// Decodes the icon image at data[offset, offset + length), clipped to the
// file. Returns false for PNG images and anything that does not decode.
bool DecodeIconImage(const uint8_t* data, size_t size, uint32_t offset, uint32_t length, DecodedPicture* picture) {
  if (offset >= size) return false;
  const uint8_t* dib = data + offset;
  const size_t avail = std::min<size_t>(length, size - offset);
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (avail >= 8 && std::memcmp(dib, kPngSignature, 8) == 0) return false;
  DibLayout layout;
  size_t pixelStart = 0;
  if (!ReadDibHeader(dib, avail, true, &layout, &pixelStart)) return false;
  const uint64_t colorBytes = RowStride(layout.width, layout.bitCount) * uint64_t(layout.height);
  if (colorBytes > avail - pixelStart) return false;
  const uint64_t maskBytes = RowStride(layout.width, 1) * uint64_t(layout.height);
  const uint8_t* colorRows = dib + pixelStart;
  const uint8_t* mask = maskBytes <= avail - pixelStart - colorBytes ? colorRows + colorBytes : nullptr;

  picture->frames.assign(1, PictureFrame());
  std::vector<uint8_t>& pixels = picture->frames[0].pixels;
  pixels.resize(size_t(layout.width) * size_t(layout.height) * 4);
  DecodeRows(layout, colorRows, &pixels);
  ApplyIconTransparency(layout, colorRows, mask, &pixels);
  picture->width = layout.width;
  picture->height = layout.height;
  return true;
}

}  // namespace

bool DecodeBmpFile(const uint8_t* data, size_t size, DecodedPicture* picture) {
  if (size < kFileHeaderSize) return false;
  const uint32_t pixelOffset = ReadLe32(data + 10);
  DibLayout layout;
  size_t paletteEnd = 0;
  if (!ReadDibHeader(data + kFileHeaderSize, size - kFileHeaderSize, false, &layout, &paletteEnd)) return false;
  if (pixelOffset < kFileHeaderSize || pixelOffset >= size) return false;
  const uint8_t* rows = data + pixelOffset;
  const size_t avail = size - pixelOffset;
  const bool rle = layout.compression == kBiRle8 || layout.compression == kBiRle4;
  if (!rle && PixelBytes(layout) > avail) return false;

  picture->frames.assign(1, PictureFrame());
  std::vector<uint8_t>& pixels = picture->frames[0].pixels;
  pixels.resize(size_t(layout.width) * size_t(layout.height) * 4);
  if (rle) {
    if (!DecodeRle(layout, rows, avail, &pixels)) return false;
  } else {
    DecodeRows(layout, rows, &pixels);
  }
  picture->width = layout.width;
  picture->height = layout.height;
  return true;
}

bool DecodeIconFile(const uint8_t* data, size_t size, DecodedPicture* picture) {
  if (size < kIconDirSize) return false;
  const size_t count = ReadLe16(data + 4);
  if (count == 0 || count > (size - kIconDirSize) / kIconEntrySize) return false;

  // Order the entries by the size the directory announces (0 means 256),
  // then by bits per pixel, earlier entries first among equals: each as one
  // key of falling area, falling bits and rising index, sorted upwards.
  std::vector<uint64_t> order;
  order.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + kIconDirSize + i * kIconEntrySize;
    const uint64_t w = entry[0] ? entry[0] : 256, h = entry[1] ? entry[1] : 256;
    // For a cursor the bits field holds the hot spot; its DIB decides anyway.
    const uint64_t bits = ReadLe16(entry + 6);
    order.push_back(((0x10000 - w * h) << 32) | ((0xFFFF - bits) << 16) | i);
  }
  std::sort(order.begin(), order.end());
  for (uint64_t key : order) {
    const uint8_t* entry = data + kIconDirSize + (key & 0xFFFF) * kIconEntrySize;
    if (DecodeIconImage(data, size, ReadLe32(entry + 12), ReadLe32(entry + 8), picture)) return true;
  }
  return false;
}
