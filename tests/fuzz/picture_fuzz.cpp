// Fuzz target: picture sniffing and decoding, and the run extraction that
// window shapes make from decoded pixels.
//
// Besides "no crash, no out-of-bounds read, no runaway allocation", it
// checks the promises of picture.h: a decoded picture has the sniffed kind,
// sizes within the limits, whole frames, opaque pixels for the opaque
// kinds and zeroed colour under full transparency; a failed decode leaves
// the result empty.
//
// Built with SETUP_JPEG_REFERENCE (natively, where the JPEG library is the
// tests' reference decoder, tests/native/jpeg_reference.h), every JPEG our
// decoder accepts must also decode with the library, to the same bytes.
// The library may accept files we refuse (picture_jpeg.cpp lists which).
//
// To keep runs fast, inputs whose headers declare more than kHarnessMaxPixels
// pixels are skipped before decoding; the decoders' own, larger limits are
// tested by the unit tests. Build with clang -fsanitize=fuzzer for libFuzzer, or
// link standalone_fuzz_main.cpp for a plain driver that runs the corpus in
// tests/fuzz/corpus/picture and a bounded number of mutations.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/picture.h"
#include "ui/region_runs.h"
#if SETUP_JPEG_REFERENCE
#include "tests/native/jpeg_reference.h"
#endif

namespace {

constexpr uint64_t kHarnessMaxPixels = uint64_t(1) << 20;

uint32_t Le16(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }
uint32_t Be16(const uint8_t* p) { return (uint32_t(p[0]) << 8) | p[1]; }

// Pixels a DIB header at dib declares (both header forms); 0 when it is cut.
uint64_t DibPixels(const uint8_t* data, size_t size, size_t at) {
  if (at > size || size - at < 12) return 0;
  const uint8_t* dib = data + at;
  if (Le32(dib) == 12) return uint64_t(Le16(dib + 4)) * Le16(dib + 6);
  if (size - at < 16) return 0;
  const int64_t width = int32_t(Le32(dib + 4)), height = int32_t(Le32(dib + 8));
  return uint64_t(width < 0 ? -width : width) * uint64_t(height < 0 ? -height : height);
}

// What a decode of the input may produce at most, in pixels, judged from
// the headers the decoders size their buffers by.
uint64_t DeclaredPixels(const uint8_t* data, size_t size) {
  switch (SniffPicture(data, size)) {
    case PictureKind::kNone: return 0;
    case PictureKind::kBmp: return DibPixels(data, size, 14);
    case PictureKind::kIco:
    case PictureKind::kCur: {
      // Every entry may be tried in turn.
      uint64_t sum = 0;
      const size_t count = Le16(data + 4);
      for (size_t i = 0; i < count && 6 + 16 * (i + 1) <= size; ++i) {
        sum += DibPixels(data, size, Le32(data + 6 + 16 * i + 12));
      }
      return sum;
    }
    case PictureKind::kGif: {
      if (size < 10) return 0;
      // Every image descriptor yields a whole canvas.
      uint64_t images = 1;
      for (size_t i = 13; i < size; ++i) images += data[i] == 0x2C;
      return uint64_t(Le16(data + 6)) * Le16(data + 8) * images;
    }
    case PictureKind::kPcx256:
    case PictureKind::kPcxMono: {
      if (size < 12) return 0;
      const int64_t width = int64_t(Le16(data + 8)) - Le16(data + 4) + 1;
      const int64_t height = int64_t(Le16(data + 10)) - Le16(data + 6) + 1;
      return width > 0 && height > 0 ? uint64_t(width) * uint64_t(height) : 0;
    }
    case PictureKind::kJpeg: {
      // The largest frame header (SOF0..SOF15 but DHT, JPG and DAC).
      uint64_t most = 0;
      for (size_t i = 0; i + 9 <= size; ++i) {
        const uint8_t m = data[i + 1];
        if (data[i] != 0xFF || m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) continue;
        const uint64_t pixels = uint64_t(Be16(data + i + 5)) * Be16(data + i + 7);
        if (pixels > most) most = pixels;
      }
      return most;
    }
  }
  return 0;
}

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "picture_fuzz: %s\n", what);
  std::abort();
}

bool MayBeTransparent(PictureKind kind) {
  return kind == PictureKind::kIco || kind == PictureKind::kCur || kind == PictureKind::kGif;
}

void CheckPixels(const DecodedPicture& picture) {
  for (const PictureFrame& frame : picture.frames) {
    for (size_t i = 0; i < frame.pixels.size(); i += 4) {
      const uint8_t* p = &frame.pixels[i];
      if (!MayBeTransparent(picture.kind) && p[3] != 255) Broken("pixel of an opaque kind is not opaque");
      if (p[3] == 0 && (p[0] | p[1] | p[2]) != 0) Broken("fully transparent pixel keeps a colour");
    }
  }
}

// Every run lies inside the frame, is not empty, and together the runs
// come in order, rows from the top.
void CheckRuns(const DecodedPicture& picture) {
  const std::vector<uint8_t>& pixels = picture.frames[0].pixels;
  const uint32_t key = uint32_t(pixels[2]) | (uint32_t(pixels[1]) << 8) | (uint32_t(pixels[0]) << 16);
  RegionRunExtractor extractor(pixels.data(), picture.width, picture.height, size_t(picture.width) * 4, key);
  std::vector<RunRect> batch;
  bool first = true;
  int lastTop = 0, lastRight = 0;
  while (extractor.NextBatch(&batch)) {
    if (batch.empty() || batch.size() > kRunBatchSize) Broken("batch size out of range");
    for (const RunRect& r : batch) {
      if (r.left < 0 || r.left >= r.right || r.right > picture.width || r.top < 0 || r.top >= picture.height ||
          r.bottom != r.top + 1) {
        Broken("run outside the picture");
      }
      if (!first && (r.top < lastTop || (r.top == lastTop && r.left <= lastRight))) Broken("runs out of order");
      first = false;
      lastTop = r.top;
      lastRight = r.right;
    }
  }
}

#if SETUP_JPEG_REFERENCE
// True when a quantisation table of a JPEG our decoder accepted holds a
// 16-bit value above 32767: Debian's library, built with its SIMD code,
// keeps quantisers in a short, where the library the program linked (and
// our decoder) keeps them whole. Walks the markers up to EOI.
bool HasQuantiserAbove32767(const uint8_t* data, size_t size) {
  size_t at = 2;
  while (at + 1 < size) {
    while (at + 1 < size && data[at + 1] == 0xFF) ++at;  // fill bytes
    if (at + 1 >= size) break;
    const uint8_t code = data[at + 1];
    at += 2;
    if (code == 0xD9) break;
    if (code == 0x01 || (code >= 0xD0 && code <= 0xD7) || code == 0x00) continue;
    if (at + 2 > size) break;
    const size_t length = Be16(data + at);
    if (code == 0xDB) {
      for (size_t t = at + 2; t < at + length && t < size;) {
        const bool wide = data[t] >> 4;
        for (size_t i = 0; wide && i < 64 && t + 2 + 2 * i < size; ++i) {
          if (Be16(data + t + 1 + 2 * i) > 32767) return true;
        }
        t += 1 + (wide ? 128 : 64);
      }
    }
    at += length;
    if (code == 0xDA) {  // coded data up to the next marker that is not RSTn
      while (at + 1 < size && !(data[at] == 0xFF && data[at + 1] != 0 && (data[at + 1] < 0xD0 || data[at + 1] > 0xD7))) ++at;
    }
  }
  return false;
}

void CheckAgainstReference(const uint8_t* data, size_t size, const DecodedPicture& ours) {
  DecodedPicture reference;
  if (!ReferenceDecodeJpeg(data, size, &reference)) Broken("JPEG decodes, the reference library refuses it");
  if (reference.width != ours.width || reference.height != ours.height) Broken("JPEG size differs from the reference");
  if (reference.frames[0].pixels != ours.frames[0].pixels && !HasQuantiserAbove32767(data, size)) {
    Broken("JPEG pixels differ from the reference");
  }
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (DeclaredPixels(data, size) > kHarnessMaxPixels) return 0;
  const PictureKind kind = SniffPicture(data, size);
  DecodedPicture picture;
  if (!DecodePicture(data, size, &picture)) {
    if (picture.kind != PictureKind::kNone || !picture.frames.empty() || picture.width != 0) {
      Broken("failed decode left a result behind");
    }
    return 0;
  }
  if (kind == PictureKind::kNone || picture.kind != kind) Broken("decoded kind differs from the sniffed kind");
  if (picture.width < 1 || picture.height < 1 || picture.width > kMaxPictureSide ||
      picture.height > kMaxPictureSide) {
    Broken("size out of range");
  }
  const size_t frameBytes = size_t(picture.width) * size_t(picture.height) * 4;
  if (picture.frames.empty() || picture.frames.size() > kMaxGifFrames) Broken("frame count out of range");
  if (picture.frames.size() * frameBytes / 4 > kMaxPicturePixels) Broken("pixel budget exceeded");
  if (picture.kind != PictureKind::kGif && picture.frames.size() != 1) Broken("several frames for a still kind");
  for (const PictureFrame& frame : picture.frames) {
    if (frame.pixels.size() != frameBytes) Broken("frame of the wrong size");
    if ((picture.kind == PictureKind::kGif) != (frame.delay != 0)) Broken("delay on a still picture, or none on a GIF");
  }
  CheckPixels(picture);
#if SETUP_JPEG_REFERENCE
  if (kind == PictureKind::kJpeg) CheckAgainstReference(data, size, picture);
#endif
  CheckRuns(picture);
  FlattenOntoColor(&picture, 0x00FFFFFF);
  for (size_t i = 3; i < picture.frames[0].pixels.size(); i += 4) {
    if (picture.frames[0].pixels[i] != 255) Broken("flattened pixel not opaque");
  }
  return 0;
}
