// Picture blobs: recognising the kind of a picture file by its first bytes
// and decoding it into plain pixel rows that the Windows side turns into a
// DIB section (bitmap pictures) or an icon (ICO, CUR). Portable: no Windows
// header here.
//
// Pixel layout of every decoded frame: 32 bits per pixel, bytes B, G, R, A
// in that order, rows from the top down, each row exactly width * 4 bytes
// with no padding. That is what CreateDIBSection gives for a
// BITMAPINFOHEADER with biBitCount 32, BI_RGB and a negative biHeight, so a
// frame can be copied into the section with one memcpy. Alpha is straight
// (not premultiplied): 255 opaque, 0 transparent. Only icons, cursors and
// GIF frames have transparent pixels; every other kind is opaque throughout.
// A fully transparent pixel is stored as 0, 0, 0, 0.
//
// The decoders check every length and offset before they read and check
// the declared size against kMaxPictureSide / kMaxPicturePixels before they
// allocate, so a hostile file can neither read outside the blob nor make
// us allocate more than a bounded amount.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// What the first bytes of a blob say it is. kNone: not a picture.
enum class PictureKind {
  kNone = 0,
  kBmp,      // "BM"
  kJpeg,     // FF D8
  kIco,      // 00 00 01 00, image count above 0
  kCur,      // 00 00 02 00, image count above 0
  kGif,      // "GIF87a" or "GIF89a"
  kPcx256,   // 0A, version <= 5, RLE encoding, 8 bits per pixel
  kPcxMono,  // 0A 03 01 01: 1 bit per pixel
};

// Largest width or height a decoded picture may have, and largest number
// of pixels a whole decode may produce (for a GIF: summed over its frames).
constexpr int kMaxPictureSide = 16384;
constexpr uint64_t kMaxPicturePixels = uint64_t(64) << 20;
// Most frames a GIF may yield; later frames are dropped.
constexpr size_t kMaxGifFrames = 4096;
// Delay, in 10 ms units, given to a GIF frame that stores a delay of 0.
constexpr uint32_t kGifDefaultDelay = 10;

struct PictureFrame {
  // height rows of width * 4 bytes, as described at the top of this file.
  std::vector<uint8_t> pixels;
  // How long the frame stays, in 10 ms units (GIF only; 0 for the others).
  uint32_t delay = 0;
};

struct DecodedPicture {
  PictureKind kind = PictureKind::kNone;
  int width = 0;   // 1..kMaxPictureSide once decoded
  int height = 0;  // 1..kMaxPictureSide once decoded
  // One frame for every kind but GIF; a GIF has one fully composed frame
  // (canvas size, disposal and transparency applied) per image it holds.
  std::vector<PictureFrame> frames;
};

// The kind of picture data[0, size) holds, judged by its first six bytes
// only; blobs shorter than six bytes are kNone. A kind other than kNone
// does not promise that the blob decodes.
PictureKind SniffPicture(const uint8_t* data, size_t size);

// Decodes data[0, size) into *picture. Returns false ("no picture") when
// the blob is not a picture, is truncated or corrupt, uses a variant we do
// not decode (e.g. CMYK JPEG, PNG inside an ICO, compressed BMP other than
// RLE4/RLE8, other PCX layouts), is larger than the limits above, or memory
// runs out; *picture is then empty (kind kNone, no frames). Never throws, never reads outside the blob. The caller owns
// the result; data need not outlive the call.
//
// Decoding details:
//   JPEG  8-bit Huffman-coded, sequential (one or several scans) and
//         progressive, 1 (grey, expanded) or 3 components (YCbCr or RGB),
//         with restart intervals; the samples of the JPEG library we used
//         to link with its defaults. Whatever that library warned about
//         (corrupt or missing data) is a failure, so a truncated file gives
//         no picture; picture_jpeg.cpp lists what else is refused.
//   BMP   1/4/8/16/24/32 bits uncompressed, 16/32 bits with bit fields,
//         RLE8 and RLE4; bottom-up and top-down. Always opaque.
//   ICO   the largest image of the directory (ties: more bits per pixel,
//   CUR   then the earlier entry) that decodes; 32-bit images use their
//         alpha channel, the others the AND mask.
//   GIF   every image composed on a transparent canvas of the logical
//         screen size, honouring transparency and disposal 1..3. A file
//         cut short after at least one whole image keeps those images.
//   PCX   RLE, one plane of 8 bits with the 256-colour palette at the end
//         of the file, three planes of 8 bits (true colour), or one plane
//         of 1 bit (0 black, 1 white).
bool DecodePicture(const uint8_t* data, size_t size, DecodedPicture* picture);

// Blends every frame of *picture onto an opaque background colour given as
// a COLORREF (0x00BBGGRR), leaving every pixel opaque. Used to draw an icon
// "onto a white bitmap" for the picture button.
void FlattenOntoColor(DecodedPicture* picture, uint32_t colorRef);
