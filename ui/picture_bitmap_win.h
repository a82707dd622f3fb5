// A decoded picture held as GDI bitmaps, ready to draw: the Windows half of
// picture handling that every skin widget shares. Windows only.
//
// Each frame is a 32-bit top-down DIB section. Pictures with transparent
// pixels (icons, cursors, GIF frames) keep their alpha, premultiplied, and
// are drawn with alpha blending; the other kinds are opaque and drawn with
// StretchBlt. A widget owns its SkinPicture; it frees its bitmaps when it is
// reset, replaced or destroyed.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/gdi_handles_win.h"
#include "ui/picture.h"

class SkinPicture {
 public:
  SkinPicture() = default;
  SkinPicture(SkinPicture&&) = default;
  SkinPicture& operator=(SkinPicture&&) = default;

  // Replaces the picture with the one that data[0, size) holds. Keeps a copy
  // of the blob (Blob() gives it back, also when it does not decode). Returns
  // false, leaving no picture to draw, when the blob is empty, not a picture
  // or does not decode, or the bitmaps cannot be made. Icons and cursors are
  // blended onto flattenColor first when it is not kNoFlatten (the picture
  // button shows them on white).
  static constexpr uint32_t kNoFlatten = 0xFFFFFFFFu;
  bool Load(const uint8_t* data, size_t size, uint32_t flattenColor = kNoFlatten);
  void Reset();

  bool Empty() const { return frames_.empty(); }
  PictureKind Kind() const { return kind_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  size_t FrameCount() const { return frames_.size(); }
  // A frame's delay in 10 ms units (GIF; 0 for the others).
  uint32_t FrameDelay(size_t frame) const { return frame < frames_.size() ? frames_[frame].delay : 0; }
  bool HasAlpha() const { return hasAlpha_; }
  const std::vector<uint8_t>& Blob() const { return blob_; }

  // The frame's bitmap (not owned by the caller) and its pixels (B, G, R, A,
  // premultiplied when HasAlpha; rows top-down, Width() * 4 bytes each).
  HBITMAP FrameBitmap(size_t frame) const;
  const uint8_t* FramePixels(size_t frame) const;

  // Draws the frame's whole picture into dest (which may be larger, smaller
  // or partly outside the DC's clip). Scaled copies use HALFTONE when the
  // device has more than 16 bits per pixel, else COLORONCOLOR. False when
  // there is nothing to draw or GDI fails.
  bool Draw(HDC dc, size_t frame, const RECT& dest) const;

 private:
  struct Frame {
    OwnedBitmap bitmap;
    void* bits = nullptr;  // the section's pixels, owned by the bitmap
    uint32_t delay = 0;
  };
  std::vector<uint8_t> blob_;
  std::vector<Frame> frames_;
  PictureKind kind_ = PictureKind::kNone;
  int width_ = 0;
  int height_ = 0;
  bool hasAlpha_ = false;
};

// Makes a 32-bit top-down DIB section of width x height; *bits receives its
// pixels. Null on failure.
HBITMAP CreateTopDownSection(HDC dc, int width, int height, void** bits);

// Sets the stretch mode a scaled copy on dc should use: HALFTONE above 16
// bits per pixel (with the brush origin reset as HALFTONE needs), else
// COLORONCOLOR.
void SetPictureStretchMode(HDC dc);
