// Fuzz target: picture sniffing and decoding, and the run extraction that
// window shapes make from decoded pixels.
//
// Besides "no crash, no out-of-bounds read, no runaway allocation", it
// checks the promises of picture.h: a decoded picture has the sniffed kind,
// sizes within the limits, whole frames, opaque pixels for the opaque
// kinds and zeroed colour under full transparency; a failed decode leaves
// the result empty. Build with clang -fsanitize=fuzzer for libFuzzer, or
// link standalone_fuzz_main.cpp for a plain driver that runs the corpus in
// tests/fuzz/corpus/picture and a bounded number of mutations.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/picture.h"
#include "ui/region_runs.h"

namespace {

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
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
  CheckRuns(picture);
  FlattenOntoColor(&picture, 0x00FFFFFF);
  for (size_t i = 3; i < picture.frames[0].pixels.size(); i += 4) {
    if (picture.frames[0].pixels[i] != 255) Broken("flattened pixel not opaque");
  }
  return 0;
}
