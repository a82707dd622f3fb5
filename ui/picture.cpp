// Picture kind by signature, and the dispatch to the per-format decoders.
#include "ui/picture.h"

#include <cstring>
#include <exception>

#include "ui/picture_decoders.h"

PictureKind SniffPicture(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 6) return PictureKind::kNone;
  if (data[0] == 'B' && data[1] == 'M') return PictureKind::kBmp;
  if (data[0] == 0xFF && data[1] == 0xD8) return PictureKind::kJpeg;
  if (data[0] == 0 && data[1] == 0 && data[3] == 0 && ReadLe16(data + 4) > 0) {
    if (data[2] == 1) return PictureKind::kIco;
    if (data[2] == 2) return PictureKind::kCur;
  }
  if (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0) return PictureKind::kGif;
  if (data[0] == 0x0A && data[1] <= 5 && data[2] == 1 && data[3] == 8) return PictureKind::kPcx256;
  if (data[0] == 0x0A && data[1] == 3 && data[2] == 1 && data[3] == 1) return PictureKind::kPcxMono;
  return PictureKind::kNone;
}

namespace {

bool DecodeKind(PictureKind kind, const uint8_t* data, size_t size, DecodedPicture* picture) {
  switch (kind) {
    case PictureKind::kBmp:
      return DecodeBmpFile(data, size, picture);
    case PictureKind::kJpeg:
      return DecodeJpeg(data, size, picture);
    case PictureKind::kIco:
    case PictureKind::kCur:
      return DecodeIconFile(data, size, picture);
    case PictureKind::kGif:
      return DecodeGif(data, size, picture);
    case PictureKind::kPcx256:
    case PictureKind::kPcxMono:
      return DecodePcx(data, size, picture);
    case PictureKind::kNone:
      break;
  }
  return false;
}

// The decoders promise this shape; checking it here keeps a decoder's slip
// from reaching code that copies frames into bitmaps.
bool WellFormed(const DecodedPicture& picture) {
  if (!PictureSizeAllowed(picture.width, picture.height) || picture.frames.empty()) return false;
  const size_t frameBytes = size_t(picture.width) * size_t(picture.height) * 4;
  for (const PictureFrame& frame : picture.frames) {
    if (frame.pixels.size() != frameBytes) return false;
  }
  return true;
}

}  // namespace

bool DecodePicture(const uint8_t* data, size_t size, DecodedPicture* picture) {
  *picture = DecodedPicture();
  const PictureKind kind = SniffPicture(data, size);
  if (kind == PictureKind::kNone) return false;
  bool ok = false;
#if __cpp_exceptions
  try {
    ok = DecodeKind(kind, data, size, picture) && WellFormed(*picture);
  } catch (const std::exception&) {
    ok = false;
  }
#else
  // Built without exceptions (the Windows runtime), memory that runs out is
  // the program's allocation error, as everywhere else in it.
  ok = DecodeKind(kind, data, size, picture) && WellFormed(*picture);
#endif
  if (!ok) {
    *picture = DecodedPicture();
    return false;
  }
  picture->kind = kind;
  return true;
}

void FlattenOntoColor(DecodedPicture* picture, uint32_t colorRef) {
  const unsigned backR = colorRef & 0xFF, backG = (colorRef >> 8) & 0xFF, backB = (colorRef >> 16) & 0xFF;
  for (PictureFrame& frame : picture->frames) {
    for (size_t i = 0; i + 3 < frame.pixels.size(); i += 4) {
      uint8_t* p = &frame.pixels[i];
      const unsigned a = p[3], rest = 255 - a;
      // Rounded a * fore / 255 + (255 - a) * back / 255.
      p[0] = uint8_t((p[0] * a + backB * rest + 127) / 255);
      p[1] = uint8_t((p[1] * a + backG * rest + 127) / 255);
      p[2] = uint8_t((p[2] * a + backR * rest + 127) / 255);
      p[3] = 255;
    }
  }
}
