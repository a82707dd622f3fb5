// Huffman-coded JPEG data: the tables, the bit stream of a scan with its
// restart markers, and the four kinds of block coding (sequential;
// progressive DC first and refinement; progressive AC first and
// refinement), in the order and with the edge behaviour of the library we
// used to link, so that what it accepted decodes to the same coefficients.
#include <climits>
#include <cstring>

#include "ui/picture_jpeg.h"

const uint8_t kJpegNaturalOrder[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

bool PrepareJpegHuffmanTable(JpegHuffmanTable* table, bool dc) {
  if (!table->defined) return false;
  std::memset(table->fast, 0, sizeof table->fast);
  int code = 0, index = 0;
  for (int bits = 1; bits <= 16; ++bits) {
    const int count = table->counts[bits];
    // The codes of this length must leave the all-ones code unused.
    if (code + count >= (1 << bits)) return false;
    table->valueOffset[bits] = index - code;
    table->maxCode[bits] = count ? code + count - 1 : -1;
    for (int i = 0; i < count; ++i, ++code, ++index) {
      const uint8_t symbol = table->symbols[index];
      if (dc && symbol > 15) return false;
      if (bits <= 8) {
        const int first = code << (8 - bits);
        for (int j = 0; j < (1 << (8 - bits)); ++j) table->fast[first + j] = uint16_t(bits << 8 | symbol);
      }
    }
    code <<= 1;
  }
  return true;
}

namespace {

// A coefficient whose zigzag position ran past the band: the library keeps
// such writes inside the block by sending positions beyond 63 to 63.
int NaturalIndex(int zigzag) { return kJpegNaturalOrder[zigzag < 63 ? zigzag : 63]; }

// value, the low `bits` bits of a coefficient or difference, as a signed
// number (values below half the range are the negative ones).
int Extend(int value, int bits) { return value < (1 << (bits - 1)) ? value - (1 << bits) + 1 : value; }

// The bits of one scan, most significant first. FF 00 is a data byte FF;
// any other FF ends the segment (a marker, possibly after FF fill bytes),
// and so does the end of the data: after either no more bits come. The
// library also took FF FF .. FF 00 as a data byte, but where it had decoded
// ahead it had already filled the block from zero bits, and those values
// stayed; such data ends the segment here, so that the file is refused
// when the next marker is due.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size, size_t pos) : data_(data), size_(size), pos_(pos) {}

  // The next count (1..16) bits; false when the segment has fewer left.
  bool Get(int count, int* value) {
    if (count_ < count) {
      Fill();
      if (count_ < count) return false;
    }
    *value = int(buffer_ >> (32 - count));
    Drop(count);
    return true;
  }

  // Decodes one symbol; false for a code the table lacks or a segment that
  // ends inside the code.
  bool Decode(const JpegHuffmanTable& table, int* symbol) {
    if (count_ < 16) Fill();
    const unsigned entry = table.fast[buffer_ >> 24];
    if (entry != 0) {
      if (int(entry >> 8) > count_) return false;
      Drop(int(entry >> 8));
      *symbol = int(entry & 0xFF);
      return true;
    }
    // Longer than 8 bits, or no code at all: bit by bit.
    int code = 0;
    for (int bits = 1; bits <= 16; ++bits) {
      int bit;
      if (!Get(1, &bit)) return false;
      code = code * 2 + bit;
      if (code <= table.maxCode[bits]) {
        *symbol = table.symbols[code + table.valueOffset[bits]];
        return true;
      }
    }
    return false;
  }

  // At the end of a segment the unused bits must not make a whole byte (the
  // library counts such bytes as junk before the next marker). True when
  // they do not; the reader is then at the first unread byte.
  bool EndSegment() const { return count_ < 8; }
  size_t Position() const { return pos_; }

  // Ends the segment, takes restart marker RSTn (after FF fill bytes) and
  // starts the next segment behind it. False when anything else comes.
  bool Restart(int n) {
    if (!EndSegment()) return false;
    size_t at = pos_;
    if (at >= size_ || data_[at] != 0xFF) return false;
    while (at < size_ && data_[at] == 0xFF) ++at;
    if (at >= size_ || data_[at] != 0xD0 + n) return false;
    pos_ = at + 1;
    buffer_ = 0;
    count_ = 0;
    ended_ = false;
    return true;
  }

 private:
  void Drop(int count) {
    buffer_ <<= count;
    count_ -= count;
  }

  // Tops the buffer up to at least 25 bits while the segment lasts.
  void Fill() {
    while (count_ <= 24 && !ended_) {
      if (pos_ >= size_) {
        ended_ = true;
        break;
      }
      const uint32_t byte = data_[pos_];
      if (byte == 0xFF) {
        if (pos_ + 1 >= size_ || data_[pos_ + 1] != 0) {
          ended_ = true;  // left unread at pos_
          break;
        }
        pos_ += 2;
      } else {
        ++pos_;
      }
      buffer_ |= byte << (24 - count_);
      count_ += 8;
    }
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_;
  uint32_t buffer_ = 0;  // count_ bits, left-aligned
  int count_ = 0;
  bool ended_ = false;
};

class ScanDecoder {
 public:
  ScanDecoder(const uint8_t* data, size_t size, size_t pos, const JpegScan& scan)
      : scan_(scan), bits_(data, size, pos) {}

  BitReader& Bits() { return bits_; }

  void SetTables(int i, const JpegHuffmanTable* dc, const JpegHuffmanTable* ac) {
    dc_[i] = dc;
    ac_[i] = ac;
  }

  // The state a restart marker resets.
  void ResetPredictions() {
    std::memset(predictions_, 0, sizeof predictions_);
    eobRun_ = 0;
  }

  // Decodes block of scan component i.
  bool DecodeBlock(int16_t* block, int i) {
    if (!scan_.progressive) return Sequential(block, i);
    if (scan_.ss == 0) return scan_.ah == 0 ? DcFirst(block, i) : DcRefine(block);
    return scan_.ah == 0 ? AcFirst(block, *ac_[i]) : AcRefine(block, *ac_[i]);
  }

 private:
  // A DC difference: its bit count coded by the table, then the bits.
  bool DcDifference(int i, int* difference) {
    int bits;
    if (!bits_.Decode(*dc_[i], &bits)) return false;
    *difference = 0;
    if (bits == 0) return true;
    int value;
    if (!bits_.Get(bits, &value)) return false;
    *difference = Extend(value, bits);
    return true;
  }

  // Baseline and extended sequential blocks. The prediction wraps around
  // like the library's int did, and only its low 16 bits are stored.
  bool Sequential(int16_t* block, int i) {
    int difference;
    if (!DcDifference(i, &difference)) return false;
    predictions_[i] = int32_t(uint32_t(predictions_[i]) + uint32_t(difference));
    block[0] = int16_t(predictions_[i]);
    return AcBand(block, *ac_[i], 1, 63, 0, false);
  }

  // AC coefficients first..last (zigzag positions) of one block: each
  // symbol a run of zeros and the size of the value that follows, stored
  // shifted left by `shift`. Size 0 with run 15 stands for sixteen zeros;
  // size 0 with another run ends the block, and in a progressive scan
  // (`bandRuns`) starts an end-of-band run with this block.
  bool AcBand(int16_t* block, const JpegHuffmanTable& table, int first, int last, int shift, bool bandRuns) {
    for (int k = first; k <= last; ++k) {
      int symbol;
      if (!bits_.Decode(table, &symbol)) return false;
      const int run = symbol >> 4, bits = symbol & 15;
      if (bits == 0) {
        if (run == 15) {
          k += 15;
          continue;
        }
        if (bandRuns) {
          if (!ReadEobRun(run)) return false;
          --eobRun_;  // this block is the first of the run
        }
        break;
      }
      k += run;
      int value;
      if (!bits_.Get(bits, &value)) return false;
      block[NaturalIndex(k)] = int16_t(uint32_t(Extend(value, bits)) << shift);
    }
    return true;
  }

  // Progressive DC, first scan: the prediction must stay inside an int
  // (the library stops there), the value is stored shifted by al.
  bool DcFirst(int16_t* block, int i) {
    int difference;
    if (!DcDifference(i, &difference)) return false;
    const int32_t prediction = predictions_[i];
    if (prediction >= 0 ? difference > INT32_MAX - prediction : difference < INT32_MIN - prediction) return false;
    predictions_[i] = prediction + difference;
    block[0] = int16_t(uint32_t(predictions_[i]) << scan_.al);
    return true;
  }

  // Progressive DC refinement: one more bit of each value.
  bool DcRefine(int16_t* block) {
    int bit;
    if (!bits_.Get(1, &bit)) return false;
    if (bit) block[0] = int16_t(block[0] | (1 << scan_.al));
    return true;
  }

  // Progressive AC, first scan of the band, unless an end-of-band run
  // covers this block.
  bool AcFirst(int16_t* block, const JpegHuffmanTable& table) {
    if (eobRun_ > 0) {
      --eobRun_;
      return true;
    }
    return AcBand(block, table, scan_.ss, scan_.se, scan_.al, true);
  }

  // An end-of-band run of 2^run blocks plus run more bits of count.
  bool ReadEobRun(int run) {
    eobRun_ = 1u << run;
    if (run == 0) return true;
    int extra;
    if (!bits_.Get(run, &extra)) return false;
    eobRun_ += unsigned(extra);
    return true;
  }

  // Refinement of an already nonzero coefficient: its next bit, added away
  // from zero unless the bit is already there.
  bool RefineNonzero(int16_t* coef) {
    int bit;
    if (!bits_.Get(1, &bit)) return false;
    if (bit && (*coef & (1 << scan_.al)) == 0) {
      *coef = int16_t(*coef + (*coef >= 0 ? 1 << scan_.al : -(1 << scan_.al)));
    }
    return true;
  }

  // Progressive AC refinement: new coefficients of magnitude 1 << al, each
  // after a run of still-zero positions, with a correction bit for every
  // nonzero coefficient passed on the way.
  bool AcRefine(int16_t* block, const JpegHuffmanTable& table) {
    int k = scan_.ss;
    if (eobRun_ == 0) {
      for (; k <= scan_.se; ++k) {
        int symbol;
        if (!bits_.Decode(table, &symbol)) return false;
        int run = symbol >> 4;
        const int bits = symbol & 15;
        int value = 0;
        if (bits != 0) {
          int sign;
          if (bits != 1 || !bits_.Get(1, &sign)) return false;
          value = sign ? 1 << scan_.al : -(1 << scan_.al);
        } else if (run != 15) {
          if (!ReadEobRun(run)) return false;
          break;  // the rest of this block is handled as part of the run
        }
        // Pass nonzero coefficients (refining each) and run zero ones; the
        // new value goes into the zero position after them.
        for (; k <= scan_.se; ++k) {
          int16_t* coef = &block[kJpegNaturalOrder[k]];
          if (*coef != 0) {
            if (!RefineNonzero(coef)) return false;
          } else if (--run < 0) {
            break;
          }
        }
        if (value != 0) block[NaturalIndex(k)] = int16_t(value);
      }
    }
    if (eobRun_ > 0) {
      for (; k <= scan_.se; ++k) {
        int16_t* coef = &block[kJpegNaturalOrder[k]];
        if (*coef != 0 && !RefineNonzero(coef)) return false;
      }
      --eobRun_;
    }
    return true;
  }

  const JpegScan& scan_;
  BitReader bits_;
  const JpegHuffmanTable* dc_[kJpegMaxScanComponents] = {};
  const JpegHuffmanTable* ac_[kJpegMaxScanComponents] = {};
  int32_t predictions_[kJpegMaxScanComponents] = {};
  unsigned eobRun_ = 0;
};

}  // namespace

bool DecodeJpegScan(const uint8_t* data, size_t size, size_t* pos, const JpegScan& scan,
                    JpegHuffmanTable* dcTables, JpegHuffmanTable* acTables, JpegRowDone rowDone, void* context) {
  ScanDecoder decoder(data, size, *pos, scan);
  // The tables this kind of scan reads: DC refinement needs none, AC scans
  // only their AC table.
  const bool needDc = !scan.progressive || (scan.ss == 0 && scan.ah == 0);
  const bool needAc = !scan.progressive || scan.ss != 0;
  for (int i = 0; i < scan.count; ++i) {
    const JpegComponent& c = *scan.components[i];
    JpegHuffmanTable* dc = nullptr;
    JpegHuffmanTable* ac = nullptr;
    if (needDc) {
      if (c.dcTable >= kJpegTableSlots || !PrepareJpegHuffmanTable(&dcTables[c.dcTable], true)) return false;
      dc = &dcTables[c.dcTable];
    }
    if (needAc) {
      if (c.acTable >= kJpegTableSlots || !PrepareJpegHuffmanTable(&acTables[c.acTable], false)) return false;
      ac = &acTables[c.acTable];
    }
    decoder.SetTables(i, dc, ac);
  }

  const bool interleaved = scan.count > 1;
  int restartsLeft = scan.restartInterval;
  int nextRestart = 0;
  for (int row = 0; row < scan.mcusHigh; ++row) {
    for (int col = 0; col < scan.mcusWide; ++col) {
      if (scan.restartInterval != 0) {
        if (restartsLeft == 0) {
          if (!decoder.Bits().Restart(nextRestart)) return false;
          nextRestart = (nextRestart + 1) & 7;
          decoder.ResetPredictions();
          restartsLeft = scan.restartInterval;
        }
        --restartsLeft;
      }
      for (int i = 0; i < scan.count; ++i) {
        const JpegComponent& c = *scan.components[i];
        const int h = interleaved ? c.h : 1, v = interleaved ? c.v : 1;
        for (int y = 0; y < v; ++y) {
          for (int x = 0; x < h; ++x) {
            if (!decoder.DecodeBlock(c.Block(row * v + y, col * h + x), i)) return false;
          }
        }
      }
    }
    if (rowDone != nullptr) rowDone(context, row);
  }
  if (!decoder.Bits().EndSegment()) return false;
  *pos = decoder.Bits().Position();
  return true;
}
