// The per-format decoders behind DecodePicture (picture.h) and the few
// helpers they share. Internal to the picture code.
//
// Each decoder fills width, height and frames of *picture (never kind) and
// returns true, or returns false and may leave *picture half filled (the
// caller clears it). They may throw std::bad_alloc; DecodePicture catches it
// where exceptions are on (the Windows runtime has none: there running out
// of memory is the frame's allocation error).
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/picture.h"

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedPicture* picture);
// A whole .bmp file (file header, then a DIB).
bool DecodeBmpFile(const uint8_t* data, size_t size, DecodedPicture* picture);
// A whole .ico or .cur file.
bool DecodeIconFile(const uint8_t* data, size_t size, DecodedPicture* picture);
bool DecodeGif(const uint8_t* data, size_t size, DecodedPicture* picture);
bool DecodePcx(const uint8_t* data, size_t size, DecodedPicture* picture);

// True when a width x height picture is within kMaxPictureSide and
// kMaxPicturePixels (both must be at least 1).
inline bool PictureSizeAllowed(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         uint64_t(width) * uint64_t(height) <= kMaxPicturePixels;
}

// Little-endian reads; the caller has checked that the bytes are there.
inline uint16_t ReadLe16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Writes one opaque pixel (B, G, R, 255) at out.
inline void PutOpaque(uint8_t* out, uint8_t r, uint8_t g, uint8_t b) {
  out[0] = b;
  out[1] = g;
  out[2] = r;
  out[3] = 255;
}
