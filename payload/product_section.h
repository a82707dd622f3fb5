// The product section: where a setup program carries what setup-pack
// (tools/setup_pack.cpp) writes into it, the brand row, the product and the
// payload archive. It is the image's last section, named ".payload", and is
// read-only data; the installer finds it at start through its own section
// table, so it stays valid when a signature is appended to the file.
//
// Layout, little-endian, from the section's start:
//   offset 0   8 bytes  kProductMagic
//   offset 8   uint32   kProductRecordSize, the offset of the archive block
//   offset 12  int32    brand key (the row of the brand table)
//   offset 16  int32    product index (1-based, in the brand's product list)
//   offset 20  uint32   CRC-32 of the N archive bytes (zlib's crc32), which
//                       the installer checks before it writes anything
//   offset 24  the payload archive as a byte array of the value model
//              (blocks.h): uint32 dimension count 1, uint32 length N, the N
//              bytes of the whole ZIP file
// The section's virtual size is exactly 32 + N; in the file it is padded with
// zeros to the file alignment.
//
// Portable: reads bytes only.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char kProductSectionName[8] = {'.', 'p', 'a', 'y', 'l', 'o', 'a', 'd'};
constexpr char kProductMagic[8] = {'S', 'K', 'N', 'S', 'E', 'T', 'U', 'P'};
constexpr uint32_t kProductRecordSize = 24;
// The record and the byte array's two words.
constexpr uint32_t kProductSectionOverhead = kProductRecordSize + 8;

struct ProductSectionView {
  int32_t brandKey = 0;
  int32_t productIndex = 0;
  const uint8_t* section = nullptr;   // the whole section
  size_t sectionSize = 0;             // its virtual size
  const uint8_t* archiveBlock = nullptr;  // the byte array (count, length, bytes)
  const uint8_t* archive = nullptr;       // the ZIP bytes
  uint32_t archiveSize = 0;
  uint32_t archiveCrc = 0;  // the CRC-32 the packer recorded for the archive
};

enum class ProductSectionError {
  kNone,
  kNotAnImage,       // no "MZ"/"PE" headers, or headers running past the image
  kNoSection,        // no section named ".payload"
  kSectionOutside,   // the section's range runs past the image
  kBadMagic,         // the record does not start with kProductMagic
  kBadRecord,        // record size or dimension count wrong
  kArchiveSize,      // the archive's length disagrees with the section's size
};

// A short English description of an error. Static text; never null.
const char* ProductSectionErrorText(ProductSectionError error);

// Reads the product record from the section's bytes data[0, size), size
// being the section's virtual size. On success fills *view (section, sizes,
// pointers into data) and returns kNone; otherwise *view is unchanged.
ProductSectionError ReadProductSection(const uint8_t* data, size_t size, ProductSectionView* view);

// Finds and reads the product section of an image mapped as the loader maps
// it (sections at their virtual addresses), `imageSize` bytes from `image`.
// Every header read is checked against imageSize.
ProductSectionError LocateProductSection(const uint8_t* image, size_t imageSize,
                                         ProductSectionView* view);
