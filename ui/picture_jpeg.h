// The parts of the JPEG decoder behind DecodeJpeg (picture_decoders.h) and
// what they share. Internal to the picture code:
//   picture_jpeg.cpp          markers, frame and scan headers, the decode as a whole
//   picture_jpeg_entropy.cpp  Huffman tables and entropy-coded segments
//   picture_jpeg_idct.cpp     dequantisation and the inverse DCT of a block
//   picture_jpeg_color.cpp    upsampling and colour conversion into pixels
//
// The samples are the ones the JPEG library we used to link gave with its
// default settings, bit for bit: its accurate integer inverse DCT, triangle
// ("fancy") upsampling for 2:1 ratios and replication for other whole
// ratios, and its fixed-point YCbCr to RGB conversion. Where that library
// only warns about damaged data (and goes on with a guess), we fail.
#pragma once

#include <cstddef>
#include <cstdint>

// Grey or three-component colour; other component counts are refused.
constexpr int kJpegMaxComponents = 3;
// Components one scan may name, and blocks one MCU of an interleaved scan
// may hold.
constexpr int kJpegMaxScanComponents = 4;
constexpr int kJpegMaxBlocksInMcu = 10;
// Huffman and quantisation table slots.
constexpr int kJpegTableSlots = 4;

// Natural (row by row) index of each zigzag position.
extern const uint8_t kJpegNaturalOrder[64];

// The structures below have no initialisers: their users start them out
// all zero (value-initialised), which costs one memset.

struct JpegHuffmanTable {
  bool defined;
  uint8_t counts[17];  // counts[n]: how many codes have n bits
  uint8_t symbols[256];
  // Filled by PrepareJpegHuffmanTable:
  int32_t maxCode[17];      // largest code of n bits, -1 when there is none
  int32_t valueOffset[17];  // index in symbols of a code of n bits, minus the code
  uint16_t fast[256];       // by the next 8 bits: bits << 8 | symbol; 0 when longer
};

// Checks a defined table the way the library did when a scan started using
// it (a code set that fills every code of its length, including the all
// ones code, is refused; so is a DC symbol above 15) and builds the
// decoding fields. False when the table is undefined or refused.
bool PrepareJpegHuffmanTable(JpegHuffmanTable* table, bool dc);

struct JpegComponent {
  int id;
  int h, v;                 // sampling factors, 1..4
  int quantSlot;
  int dcTable, acTable;     // slots the current scan names
  // Blocks that carry image samples, and samples that do (the rest of the
  // last block row and column only pads to whole blocks).
  int blocksWide, blocksHigh;
  int sampleWidth, sampleHeight;
  // Coefficient blocks of 64 values in natural order: row r of blocks
  // starts at (r - rowOrigin) * stride blocks, rows padded to whole MCUs.
  int16_t* coefs;
  int stride;
  int rowOrigin;
  // Samples after the inverse DCT, blocksWide * 8 per row.
  uint8_t* plane;
  // The quantisation table in effect when the first scan with this
  // component began (later redefinitions of its slot do not apply).
  bool quantLatched;
  uint16_t quant[64];       // natural order
  // Progressive files: the low bit each coefficient is known down to, -1
  // before any scan has sent it.
  int8_t coefBits[64];

  int16_t* Block(int row, int col) const {
    return coefs + ((size_t(row - rowOrigin) * size_t(stride) + size_t(col)) << 6);
  }
  const uint8_t* SampleRow(int row) const { return plane + size_t(row) * size_t(blocksWide) * 8; }
};

struct JpegFrame {
  int width, height;
  int componentCount;
  bool progressive;
  bool rgb;                 // three components stored as R, G, B rather than Y, Cb, Cr
  int maxH, maxV;           // the largest sampling factors
  // The MCU grid of interleaved scans.
  int mcusWide, mcusHigh;
  JpegComponent components[kJpegMaxComponents];
};

struct JpegScan {
  JpegComponent* components[kJpegMaxScanComponents];
  int count;
  bool progressive;
  int ss, se, ah, al;       // spectral band and successive approximation bits
  int restartInterval;      // MCUs between restart markers, 0 for none
  // The MCU grid: the frame's for an interleaved scan, the component's
  // blocks for a scan of one component.
  int mcusWide, mcusHigh;
};

// Called after each MCU row of a scan has been decoded.
using JpegRowDone = void (*)(void* context, int mcuRow);

// Decodes the entropy-coded data of scan, which starts at data[*pos] (just
// after the scan header), into the components' coefficient blocks, calling
// rowDone (when not null) after every MCU row. The tables the scan uses are
// checked and prepared first. Fails on an undefined or refused table, a
// code no table holds, data that ends before the scan does, a missing or
// wrong restart marker, bytes left over before a restart marker or at the
// end of the scan, and DC values that overflow in a progressive scan. On
// success *pos is the first byte after the scan's data, where a marker
// should start.
bool DecodeJpegScan(const uint8_t* data, size_t size, size_t* pos, const JpegScan& scan,
                    JpegHuffmanTable* dcTables, JpegHuffmanTable* acTables, JpegRowDone rowDone, void* context);

// Dequantises one block of coefficients and writes its 8 x 8 samples to
// out, rows stride bytes apart.
void JpegInverseDct(const int16_t* coefs, const uint16_t* quant, uint8_t* out, size_t stride);

// Upsamples and colour-converts the frame's planes into width * height
// opaque pixels, bytes B, G, R, A (picture.h's layout).
void JpegWritePixels(const JpegFrame& frame, uint8_t* pixels);
