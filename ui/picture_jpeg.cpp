// JPEG files: the markers and their segments, the frame and scan headers,
// and the decode as a whole.
//
// What decodes: 8-bit Huffman-coded frames, sequential (baseline or
// extended; one interleaved scan or several scans) and progressive, of one
// component (grey) or three (YCbCr, or RGB when an Adobe marker says
// transform 0 or the component ids are 'R', 'G', 'B' without a JFIF
// marker), sampling factors 1..4 whose ratios to the largest are whole, with
// or without restart intervals. APPn, COM and DNL segments are skipped.
//
// Acceptance follows the JPEG library we used to link, run with every
// warning taken as a failure: so no bytes may stand where a marker should
// be, no restart marker may be missing or out of turn, every scan's
// progression must be legal, the file must end with EOI (what follows EOI
// is ignored), and a sequential file whose first scan holds every
// component has only that scan. Refused as there: other precisions,
// lossless and hierarchical frames, arithmetic coding (that library was
// built without it), other component counts, sizes beyond
// PictureSizeAllowed, more than kMaxScans scans.
//
// Refused here although that library gave a picture:
//   - a scan using a Huffman table no segment defined (it put in its
//     built-in default tables);
//   - progressive files that end with some of the first nine AC
//     coefficients incomplete (it estimated them from neighbouring blocks);
//   - a whole unused byte at the end of a scan's coded data, or FF fill
//     bytes followed by 00 inside it (it overlooked such bytes when it had
//     read ahead past them), and a code no Huffman table holds (it took it
//     for symbol 0 where it decoded without checking);
//   - working memory beyond kMaxWorkingBytes (it counted only the
//     coefficients of files with several scans);
//   - a malformed arithmetic-coding conditioning segment (it skipped them;
//     a build with arithmetic decoding, such as the tests' reference,
//     checks them as we do).
//
// Memory: a file with one scan is decoded an MCU row of coefficients at a
// time; a file with several keeps every coefficient until EOI. Either way
// the samples of each component are kept whole until the pixels are made.
#include <cstring>
#include <memory>
#include <vector>

#include "ui/picture_decoders.h"
#include "ui/picture_jpeg.h"

namespace {

// A progressive file may hold any number of scans, each a pass over the
// whole picture; the library was stopped after this many.
constexpr int kMaxScans = 500;
// Coefficients and component samples together, checked before allocating.
constexpr size_t kMaxWorkingBytes = size_t(512) << 20;

enum Marker : int {
  kTem = 0x01,
  kSof0 = 0xC0,
  kSof1 = 0xC1,
  kSof2 = 0xC2,
  kDht = 0xC4,
  kDac = 0xCC,
  kRst0 = 0xD0,
  kRst7 = 0xD7,
  kSoi = 0xD8,
  kEoi = 0xD9,
  kSos = 0xDA,
  kDqt = 0xDB,
  kDnl = 0xDC,
  kDri = 0xDD,
  kApp0 = 0xE0,
  kApp14 = 0xEE,
  kApp15 = 0xEF,
  kCom = 0xFE,
};

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

// Big-endian reads from one marker segment. Every read checks what is left;
// after the first failure every read fails too (giving 0), so a parser may
// read a run of fields and test Ok once.
class SegmentReader {
 public:
  SegmentReader() = default;
  SegmentReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  unsigned Byte() {
    if (pos_ >= size_) {
      ok_ = false;
      return 0;
    }
    return data_[pos_++];
  }
  unsigned Word() {
    const unsigned high = Byte();
    return high << 8 | Byte();
  }
  bool Ok() const { return ok_; }
  size_t Left() const { return size_ - pos_; }
  const uint8_t* Here() const { return data_ + pos_; }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool ok_ = true;
};

class JpegDecoder {
 public:
  JpegDecoder(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Reads the file up to EOI and leaves every component's samples in its
  // plane. False when the file is refused (see the top of this file).
  bool Decode();
  const JpegFrame& Frame() const { return frame_; }
  // Frees the coefficients, which are not needed once Decode is done.
  void ReleaseCoefficients() { coefs_.reset(); }

 private:
  bool NextMarker(int* code);
  bool ReadSegment(SegmentReader* body, unsigned* length);
  bool ReadFrame(bool progressive);
  bool ReadHuffmanTables();
  bool ReadQuantTables();
  bool ReadArithmeticConditioning();
  bool ReadRestartInterval();
  bool ReadApplicationSegment(int code);
  bool ReadScan();
  bool StartImage(const JpegScan& scan);
  bool CheckProgression(const JpegScan& scan);
  bool LatchQuantTables(const JpegScan& scan);
  bool WouldSmooth() const;
  bool Finish();
  int BandRows(const JpegComponent& c) const { return frame_.componentCount > 1 ? c.v : 1; }
  static void FlushBand(void* context, int mcuRow);

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  JpegFrame frame_{};
  bool frameSeen_ = false;
  JpegHuffmanTable dcTables_[kJpegTableSlots]{};
  JpegHuffmanTable acTables_[kJpegTableSlots]{};
  bool quantDefined_[kJpegTableSlots] = {};
  uint16_t quant_[kJpegTableSlots][64] = {};
  int restartInterval_ = 0;
  bool sawJfif_ = false, sawAdobe_ = false;
  unsigned adobeTransform_ = 0;
  int scans_ = 0;
  // The first scan held every component of a sequential frame: it is the
  // only one, decoded band by band.
  bool singleScan_ = false;
  std::unique_ptr<int16_t[]> coefs_;
  std::vector<uint8_t> planes_;
};

// The IDCT of block rows [first, first + count) of c that carry samples.
void InverseDctRows(const JpegComponent& c, int first, int count) {
  const size_t stride = size_t(c.blocksWide) * 8;
  const int end = first + count < c.blocksHigh ? first + count : c.blocksHigh;
  for (int row = first; row < end; ++row) {
    for (int col = 0; col < c.blocksWide; ++col) {
      JpegInverseDct(c.Block(row, col), c.quant, c.plane + size_t(row) * 8 * stride + size_t(col) * 8, stride);
    }
  }
}

// Where a marker is due the next byte must be FF; more FFs may follow as
// fill. Any other byte, or FF 00 (coded data), is junk the library warned
// about.
bool JpegDecoder::NextMarker(int* code) {
  size_t at = pos_;
  if (at >= size_ || data_[at] != 0xFF) return false;
  while (at < size_ && data_[at] == 0xFF) ++at;
  if (at >= size_ || data_[at] == 0) return false;
  *code = data_[at];
  pos_ = at + 1;
  return true;
}

// Reads a segment's length word and hands back the rest of the segment,
// which must lie inside the data. A length below 2 gives an empty body (the
// library skipped nothing then); the parsers that need a body check length.
bool JpegDecoder::ReadSegment(SegmentReader* body, unsigned* length) {
  if (size_ - pos_ < 2) return false;
  *length = unsigned(data_[pos_]) << 8 | data_[pos_ + 1];
  pos_ += 2;
  const size_t bodySize = *length < 2 ? 0 : *length - 2;
  if (size_ - pos_ < bodySize) return false;
  *body = SegmentReader(data_ + pos_, bodySize);
  pos_ += bodySize;
  return true;
}

bool JpegDecoder::ReadFrame(bool progressive) {
  SegmentReader s;
  unsigned length;
  if (!ReadSegment(&s, &length) || frameSeen_) return false;
  const unsigned precision = s.Byte(), height = s.Word(), width = s.Word(), count = s.Byte();
  if (!s.Ok() || precision != 8 || length != 8 + 3 * count || (count != 1 && count != 3) ||
      !PictureSizeAllowed(width, height)) {
    return false;
  }
  JpegFrame& f = frame_;
  f.width = int(width);
  f.height = int(height);
  f.componentCount = int(count);
  f.progressive = progressive;
  for (int i = 0; i < f.componentCount; ++i) {
    JpegComponent& c = f.components[i];
    c.id = int(s.Byte());
    const unsigned sampling = s.Byte();
    c.quantSlot = int(s.Byte());
    c.h = int(sampling >> 4);
    c.v = int(sampling & 15);
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return false;
    f.maxH = c.h > f.maxH ? c.h : f.maxH;
    f.maxV = c.v > f.maxV ? c.v : f.maxV;
    std::memset(c.coefBits, -1, sizeof c.coefBits);
  }
  f.mcusWide = CeilDiv(f.width, 8 * f.maxH);
  f.mcusHigh = CeilDiv(f.height, 8 * f.maxV);
  for (int i = 0; i < f.componentCount; ++i) {
    JpegComponent& c = f.components[i];
    // Upsampling by a ratio that is not whole was not implemented.
    if (f.maxH % c.h != 0 || f.maxV % c.v != 0) return false;
    c.sampleWidth = CeilDiv(f.width * c.h, f.maxH);
    c.sampleHeight = CeilDiv(f.height * c.v, f.maxV);
    c.blocksWide = CeilDiv(c.sampleWidth, 8);
    c.blocksHigh = CeilDiv(c.sampleHeight, 8);
    c.stride = f.mcusWide * c.h;
  }
  frameSeen_ = true;
  return true;
}

bool JpegDecoder::ReadHuffmanTables() {
  SegmentReader s;
  unsigned length;
  if (!ReadSegment(&s, &length) || length < 2) return false;
  // Each table: class and slot, 16 code counts, the symbols.
  while (s.Left() > 16) {
    const unsigned index = s.Byte();
    uint8_t counts[17] = {};
    unsigned total = 0;
    for (int bits = 1; bits <= 16; ++bits) total += counts[bits] = uint8_t(s.Byte());
    if (total > 256 || total > s.Left() || (index & ~0x10u) >= kJpegTableSlots) return false;
    JpegHuffmanTable& table = (index & 0x10 ? acTables_ : dcTables_)[index & 0x0F];
    std::memcpy(table.counts, counts, sizeof counts);
    std::memset(table.symbols, 0, sizeof table.symbols);
    std::memcpy(table.symbols, s.Here(), total);
    for (unsigned i = 0; i < total; ++i) s.Byte();
    table.defined = true;
  }
  return s.Left() == 0;
}

bool JpegDecoder::ReadQuantTables() {
  SegmentReader s;
  unsigned length;
  if (!ReadSegment(&s, &length) || length < 2) return false;
  // Each table: precision (any nonzero value meaning 16 bits) and slot, then
  // 64 values in zigzag order.
  while (s.Left() > 0) {
    const unsigned header = s.Byte();
    const unsigned slot = header & 15;
    if (slot >= kJpegTableSlots) return false;
    for (int i = 0; i < 64; ++i) quant_[slot][kJpegNaturalOrder[i]] = uint16_t(header >> 4 ? s.Word() : s.Byte());
    if (!s.Ok()) return false;
    quantDefined_[slot] = true;
  }
  return true;
}

// Arithmetic-coding conditioning: never used (arithmetic frames are
// refused), but checked as a library built with arithmetic decoding checks
// it: pairs of slot (below 32) and value, a DC slot's low nibble at most
// its high one.
bool JpegDecoder::ReadArithmeticConditioning() {
  SegmentReader s;
  unsigned length;
  if (!ReadSegment(&s, &length) || length < 2) return false;
  while (s.Left() > 0) {
    const unsigned index = s.Byte(), value = s.Byte();
    if (!s.Ok() || index >= 2 * 16 || (index < 16 && (value & 15) > (value >> 4))) return false;
  }
  return true;
}

bool JpegDecoder::ReadRestartInterval() {
  SegmentReader s;
  unsigned length;
  if (!ReadSegment(&s, &length) || length != 4) return false;
  restartInterval_ = int(s.Word());
  return true;
}

// APPn: APP0 may be a JFIF marker (YCbCr; a major version other than 1 was
// a warning), APP14 an Adobe marker (its transform byte tells RGB from
// YCbCr). Only markers before the first scan decide the colours.
bool JpegDecoder::ReadApplicationSegment(int code) {
  SegmentReader s;
  unsigned length;
  if (!ReadSegment(&s, &length)) return false;
  const uint8_t* body = s.Here();
  if (code == kApp0 && s.Left() >= 14 && std::memcmp(body, "JFIF", 5) == 0) {
    if (body[5] != 1) return false;
    sawJfif_ = true;
  } else if (code == kApp14 && s.Left() >= 12 && std::memcmp(body, "Adobe", 5) == 0) {
    sawAdobe_ = true;
    adobeTransform_ = body[11];
  }
  return true;
}

// At the first scan: the colour space, and the buffers.
bool JpegDecoder::StartImage(const JpegScan& scan) {
  JpegFrame& f = frame_;
  if (f.componentCount == 3) {
    if (sawJfif_) {
      f.rgb = false;
    } else if (sawAdobe_) {
      if (adobeTransform_ > 1) return false;
      f.rgb = adobeTransform_ == 0;
    } else {
      f.rgb = f.components[0].id == 'R' && f.components[1].id == 'G' && f.components[2].id == 'B';
    }
  }
  singleScan_ = !f.progressive && scan.count == f.componentCount;
  // With sides of at most 16384 a component has at most 2052 x 2052 stored
  // blocks (its MCUs round each side up by less than the largest sampling
  // factor), so for three of them the sum below cannot overflow 32 bits.
  size_t coefBlocks = 0, sampleBytes = 0;
  for (int i = 0; i < f.componentCount; ++i) {
    const JpegComponent& c = f.components[i];
    coefBlocks += size_t(singleScan_ ? BandRows(c) : f.mcusHigh * c.v) * size_t(c.stride);
    sampleBytes += size_t(c.blocksWide) * size_t(c.blocksHigh) * 64;
  }
  if (coefBlocks * 128 + sampleBytes > kMaxWorkingBytes) return false;
  coefs_.reset(new int16_t[coefBlocks * 64]());
  planes_.resize(sampleBytes);
  int16_t* coefs = coefs_.get();
  uint8_t* plane = planes_.data();
  for (int i = 0; i < f.componentCount; ++i) {
    JpegComponent& c = f.components[i];
    c.coefs = coefs;
    c.plane = plane;
    coefs += size_t(singleScan_ ? BandRows(c) : f.mcusHigh * c.v) * size_t(c.stride) * 64;
    plane += size_t(c.blocksWide) * size_t(c.blocksHigh) * 64;
  }
  return true;
}

// The scan parameters the library accepted without a warning or an error.
bool JpegDecoder::CheckProgression(const JpegScan& scan) {
  if (!scan.progressive) return scan.ss == 0 && scan.se == 63 && scan.ah == 0 && scan.al == 0;
  if (scan.ss == 0 ? scan.se != 0 : scan.ss > scan.se || scan.se > 63 || scan.count != 1) return false;
  if ((scan.ah != 0 && scan.al != scan.ah - 1) || scan.al > 13) return false;
  for (int i = 0; i < scan.count; ++i) {
    int8_t* bits = scan.components[i]->coefBits;
    // AC bands come after a DC scan, and each scan refines exactly the bit
    // the previous scan of its band stopped at (a first scan has ah 0).
    if (scan.ss != 0 && bits[0] < 0) return false;
    for (int k = scan.ss; k <= scan.se; ++k) {
      if (scan.ah != (bits[k] < 0 ? 0 : bits[k])) return false;
      bits[k] = int8_t(scan.al);
    }
  }
  return true;
}

// The quantisation table of a component is the one in its slot when the
// first scan with the component starts.
bool JpegDecoder::LatchQuantTables(const JpegScan& scan) {
  for (int i = 0; i < scan.count; ++i) {
    JpegComponent& c = *scan.components[i];
    if (c.quantLatched) continue;
    if (c.quantSlot >= kJpegTableSlots || !quantDefined_[c.quantSlot]) return false;
    std::memcpy(c.quant, quant_[c.quantSlot], sizeof c.quant);
    c.quantLatched = true;
  }
  return true;
}

bool JpegDecoder::ReadScan() {
  SegmentReader s;
  unsigned length;
  if (!frameSeen_ || !ReadSegment(&s, &length)) return false;
  JpegScan scan{};
  scan.count = int(s.Byte());
  if (length != 6 + 2 * unsigned(scan.count) || scan.count < 1 || scan.count > kJpegMaxScanComponents) return false;
  JpegFrame& f = frame_;
  for (int i = 0; i < scan.count; ++i) {
    const int id = int(s.Byte());
    const unsigned tables = s.Byte();
    // The library filled the scan's slots in order and took the first
    // component with this id whose slot (its index) was still empty; it
    // refused a component the scan names twice.
    JpegComponent* found = nullptr;
    for (int ci = i; ci < f.componentCount && found == nullptr; ++ci) {
      if (f.components[ci].id == id) found = &f.components[ci];
    }
    if (found == nullptr) return false;
    for (int j = 0; j < i; ++j) {
      if (scan.components[j] == found) return false;
    }
    scan.components[i] = found;
    found->dcTable = int(tables >> 4);
    found->acTable = int(tables & 15);
  }
  scan.ss = int(s.Byte());
  scan.se = int(s.Byte());
  const unsigned approximation = s.Byte();
  scan.ah = int(approximation >> 4);
  scan.al = int(approximation & 15);

  if (scans_ == 0) {
    if (!StartImage(scan)) return false;
  } else if (singleScan_) {
    return false;
  }
  if (++scans_ > kMaxScans) return false;
  scan.progressive = f.progressive;
  scan.restartInterval = restartInterval_;
  if (scan.count == 1) {
    scan.mcusWide = scan.components[0]->blocksWide;
    scan.mcusHigh = scan.components[0]->blocksHigh;
  } else {
    int blocks = 0;
    for (int i = 0; i < scan.count; ++i) blocks += scan.components[i]->h * scan.components[i]->v;
    if (blocks > kJpegMaxBlocksInMcu) return false;
    scan.mcusWide = f.mcusWide;
    scan.mcusHigh = f.mcusHigh;
  }
  if (!CheckProgression(scan) || !LatchQuantTables(scan)) return false;
  return DecodeJpegScan(data_, size_, &pos_, scan, dcTables_, acTables_, singleScan_ ? FlushBand : nullptr, this);
}

// Single-scan files: the MCU row just decoded becomes samples, and its
// coefficient rows are cleared for the next one.
void JpegDecoder::FlushBand(void* context, int) {
  JpegDecoder& d = *static_cast<JpegDecoder*>(context);
  for (int i = 0; i < d.frame_.componentCount; ++i) {
    JpegComponent& c = d.frame_.components[i];
    const int rows = d.BandRows(c);
    InverseDctRows(c, c.rowOrigin, rows);
    std::memset(c.coefs, 0, size_t(rows) * size_t(c.stride) * 64 * sizeof(int16_t));
    c.rowOrigin += rows;
  }
}

// The library smoothed the blocks of a finished progressive file when every
// component had its DC coefficients and nonzero quantisers for the first
// ten coefficients, and some component still lacked bits of one of the
// first nine AC coefficients.
bool JpegDecoder::WouldSmooth() const {
  static const uint8_t kSmoothedQuantisers[10] = {0, 1, 8, 16, 9, 2, 3, 10, 17, 24};
  bool incomplete = false;
  for (int i = 0; i < frame_.componentCount; ++i) {
    const JpegComponent& c = frame_.components[i];
    if (!c.quantLatched || c.coefBits[0] < 0) return false;
    for (uint8_t k : kSmoothedQuantisers) {
      if (c.quant[k] == 0) return false;
    }
    for (int k = 1; k <= 9; ++k) incomplete = incomplete || c.coefBits[k] != 0;
  }
  return incomplete;
}

// At EOI.
bool JpegDecoder::Finish() {
  if (scans_ == 0) return false;  // tables only, or a frame without scans
  if (singleScan_) return true;
  if (frame_.progressive && WouldSmooth()) return false;
  for (int i = 0; i < frame_.componentCount; ++i) {
    const JpegComponent& c = frame_.components[i];
    InverseDctRows(c, 0, c.blocksHigh);
  }
  return true;
}

bool JpegDecoder::Decode() {
  if (size_ < 2 || data_[0] != 0xFF || data_[1] != kSoi) return false;
  pos_ = 2;
  for (;;) {
    int code;
    if (!NextMarker(&code)) return false;
    bool ok = true;
    if (code >= kApp0 && code <= kApp15) {
      ok = ReadApplicationSegment(code);
    } else if (code >= kRst0 && code <= kRst7) {
      // A restart marker outside coded data has no parameters and no effect.
    } else {
      switch (code) {
        case kSof0:
        case kSof1:
          ok = ReadFrame(false);
          break;
        case kSof2:
          ok = ReadFrame(true);
          break;
        case kDht:
          ok = ReadHuffmanTables();
          break;
        case kDqt:
          ok = ReadQuantTables();
          break;
        case kDac:
          ok = ReadArithmeticConditioning();
          break;
        case kDri:
          ok = ReadRestartInterval();
          break;
        case kSos:
          ok = ReadScan();
          break;
        case kEoi:
          return Finish();
        case kCom:
        case kDnl: {
          SegmentReader s;
          unsigned length;
          ok = ReadSegment(&s, &length);
          break;
        }
        case kTem:
          break;
        default:  // other frame types, a second SOI, reserved markers
          return false;
      }
    }
    if (!ok) return false;
  }
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedPicture* picture) {
  const std::unique_ptr<JpegDecoder> decoder(new JpegDecoder(data, size));
  if (!decoder->Decode()) return false;
  decoder->ReleaseCoefficients();
  const JpegFrame& frame = decoder->Frame();
  picture->frames.assign(1, PictureFrame());
  std::vector<uint8_t>& pixels = picture->frames[0].pixels;
  pixels.resize(size_t(frame.width) * size_t(frame.height) * 4);
  JpegWritePixels(frame, pixels.data());
  picture->width = frame.width;
  picture->height = frame.height;
  return true;
}
