#include "ui/picture_bitmap_win.h"

#include <cstring>

HBITMAP CreateTopDownSection(HDC dc, int width, int height, void** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
  if (!bitmap || !*bits) {
    if (bitmap) DeleteObject(bitmap);
    *bits = nullptr;
    return nullptr;
  }
  return bitmap;
}

void SetPictureStretchMode(HDC dc) {
  if (GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) > 16) {
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
  } else {
    SetStretchBltMode(dc, COLORONCOLOR);
  }
}

void SkinPicture::Reset() {
  frames_.clear();
  blob_.clear();
  kind_ = PictureKind::kNone;
  width_ = height_ = 0;
  hasAlpha_ = false;
}

bool SkinPicture::Load(const uint8_t* data, size_t size, uint32_t flattenColor) {
  Reset();
  if (!data || size == 0) return false;
  blob_.assign(data, data + size);
  DecodedPicture decoded;
  if (!DecodePicture(data, size, &decoded)) return false;
  bool iconKind = decoded.kind == PictureKind::kIco || decoded.kind == PictureKind::kCur;
  if (iconKind && flattenColor != kNoFlatten) FlattenOntoColor(&decoded, flattenColor);
  bool alpha = (iconKind && flattenColor == kNoFlatten) || decoded.kind == PictureKind::kGif;

  std::vector<Frame> frames;
  frames.reserve(decoded.frames.size());
  size_t rowBytes = static_cast<size_t>(decoded.width) * 4;
  for (PictureFrame& source : decoded.frames) {
    Frame frame;
    frame.bitmap.Reset(CreateTopDownSection(nullptr, decoded.width, decoded.height, &frame.bits));
    if (!frame.bitmap) return false;
    uint8_t* out = static_cast<uint8_t*>(frame.bits);
    const uint8_t* in = source.pixels.data();
    size_t total = rowBytes * static_cast<size_t>(decoded.height);
    if (alpha) {
      // Alpha blending wants premultiplied colours.
      for (size_t i = 0; i < total; i += 4) {
        uint32_t a = in[i + 3];
        out[i] = static_cast<uint8_t>((in[i] * a + 127) / 255);
        out[i + 1] = static_cast<uint8_t>((in[i + 1] * a + 127) / 255);
        out[i + 2] = static_cast<uint8_t>((in[i + 2] * a + 127) / 255);
        out[i + 3] = static_cast<uint8_t>(a);
      }
    } else {
      std::memcpy(out, in, total);
    }
    frame.delay = source.delay;
    std::vector<uint8_t>().swap(source.pixels);  // keep peak memory near one copy
    frames.push_back(std::move(frame));
  }
  GdiFlush();
  frames_ = std::move(frames);
  kind_ = decoded.kind;
  width_ = decoded.width;
  height_ = decoded.height;
  hasAlpha_ = alpha;
  return !frames_.empty();
}

HBITMAP SkinPicture::FrameBitmap(size_t frame) const {
  return frame < frames_.size() ? frames_[frame].bitmap.get() : nullptr;
}

const uint8_t* SkinPicture::FramePixels(size_t frame) const {
  return frame < frames_.size() ? static_cast<const uint8_t*>(frames_[frame].bits) : nullptr;
}

bool SkinPicture::Draw(HDC dc, size_t frame, const RECT& dest) const {
  if (frame >= frames_.size()) return false;
  int destWidth = dest.right - dest.left;
  int destHeight = dest.bottom - dest.top;
  if (destWidth <= 0 || destHeight <= 0) return false;
  OwnedMemoryDc source(CreateCompatibleDC(dc));
  if (!source) return false;
  SelectGuard select(source.get(), frames_[frame].bitmap.get());
  if (hasAlpha_) {
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    SetPictureStretchMode(dc);
    return GdiAlphaBlend(dc, dest.left, dest.top, destWidth, destHeight, source.get(), 0, 0, width_, height_,
                         blend) != FALSE;
  }
  if (destWidth == width_ && destHeight == height_)
    return BitBlt(dc, dest.left, dest.top, destWidth, destHeight, source.get(), 0, 0, SRCCOPY) != FALSE;
  SetPictureStretchMode(dc);
  return StretchBlt(dc, dest.left, dest.top, destWidth, destHeight, source.get(), 0, 0, width_, height_,
                    SRCCOPY) != FALSE;
}
