#include "payload/product_section.h"

#include <cstring>

#include "frame/byte_cursor.h"

namespace {

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr size_t kDosLfanewOffset = 0x3C;
constexpr size_t kSectionHeaderSize = 40;

}  // namespace

const char* ProductSectionErrorText(ProductSectionError error) {
  switch (error) {
    case ProductSectionError::kNone: return "no error";
    case ProductSectionError::kNotAnImage: return "not a PE image";
    case ProductSectionError::kNoSection: return "no .payload section";
    case ProductSectionError::kSectionOutside: return "the .payload section lies outside the image";
    case ProductSectionError::kBadMagic: return "the .payload section holds no product record";
    case ProductSectionError::kBadRecord: return "malformed product record";
    case ProductSectionError::kArchiveSize: return "the archive's length disagrees with the section";
  }
  return "unknown error";
}

ProductSectionError ReadProductSection(const uint8_t* data, size_t size, ProductSectionView* view) {
  ByteCursor cursor(data, size);
  const uint8_t* magic = nullptr;
  if (!cursor.ReadView(sizeof kProductMagic, &magic, "magic") ||
      std::memcmp(magic, kProductMagic, sizeof kProductMagic) != 0) {
    return ProductSectionError::kBadMagic;
  }
  uint32_t recordSize = 0, crc = 0, dimensions = 0, length = 0;
  int32_t brandKey = 0, productIndex = 0;
  cursor.ReadU32(&recordSize, "record size");
  cursor.ReadI32(&brandKey, "brand key");
  cursor.ReadI32(&productIndex, "product index");
  cursor.ReadU32(&crc, "archive CRC-32");
  cursor.ReadU32(&dimensions, "dimension count");
  cursor.ReadU32(&length, "archive length");
  if (!cursor.Ok() || recordSize != kProductRecordSize || dimensions != 1) {
    return ProductSectionError::kBadRecord;
  }
  if (cursor.Remaining() != length) return ProductSectionError::kArchiveSize;
  view->brandKey = brandKey;
  view->productIndex = productIndex;
  view->section = data;
  view->sectionSize = size;
  view->archiveBlock = data + kProductRecordSize;
  view->archive = data + kProductSectionOverhead;
  view->archiveSize = length;
  view->archiveCrc = crc;
  return ProductSectionError::kNone;
}

ProductSectionError LocateProductSection(const uint8_t* image, size_t imageSize,
                                         ProductSectionView* view) {
  ByteCursor dos(image, imageSize);
  uint16_t mz = 0;
  uint32_t lfanew = 0;
  dos.ReadU16(&mz, "MZ");
  dos.Skip(kDosLfanewOffset - 2, "DOS header");
  dos.ReadU32(&lfanew, "e_lfanew");
  if (!dos.Ok() || mz != 0x5A4D || lfanew >= imageSize) return ProductSectionError::kNotAnImage;

  ByteCursor nt(image + lfanew, imageSize - lfanew, lfanew);
  uint32_t signature = 0;
  uint16_t machine = 0, sectionCount = 0, optionalSize = 0;
  nt.ReadU32(&signature, "PE signature");
  nt.ReadU16(&machine, "machine");
  nt.ReadU16(&sectionCount, "number of sections");
  nt.Skip(12, "file header");
  nt.ReadU16(&optionalSize, "size of optional header");
  nt.Skip(2, "characteristics");
  nt.Skip(optionalSize, "optional header");
  if (!nt.Ok() || signature != kPeSignature) return ProductSectionError::kNotAnImage;

  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint8_t* name = nullptr;
    uint32_t virtualSize = 0, virtualAddress = 0;
    nt.ReadView(sizeof kProductSectionName, &name, "section name");
    nt.ReadU32(&virtualSize, "virtual size");
    nt.ReadU32(&virtualAddress, "virtual address");
    nt.Skip(kSectionHeaderSize - 16, "section header");
    if (!nt.Ok()) return ProductSectionError::kNotAnImage;
    if (std::memcmp(name, kProductSectionName, sizeof kProductSectionName) != 0) continue;
    if (virtualAddress > imageSize || virtualSize > imageSize - virtualAddress) {
      return ProductSectionError::kSectionOutside;
    }
    return ReadProductSection(image + virtualAddress, virtualSize, view);
  }
  return ProductSectionError::kNoSection;
}
