#include "tools/setup_pack_lib.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "installer/brand_table.h"
#include "payload/product_section.h"
#include "tools/gbk_display.h"
#include "tools/gbk_text.h"
#include "tools/icon_resources.h"
#include "tools/payload_zip_check.h"
#include "tools/pe_image.h"
#include "tools/pe_resources.h"

namespace {

// The version resource's file description (GBK, as every text of ours).
const char kFileDescription[] = "安装程序";

std::string Where(const CursorFailure& f) {
  if (f.error == CursorError::kNone) return "";
  return std::string(" (") + f.field + " at offset " + std::to_string(f.offset) + ": " +
         CursorErrorText(f.error) + ")";
}

// A section's bytes as the file holds them, `size` bytes at most.
std::vector<uint8_t> SectionBytes(const std::vector<uint8_t>& file, const PeSection& s, size_t size) {
  const size_t n = std::min<size_t>(size, s.rawSize);
  std::vector<uint8_t> bytes(file.begin() + s.rawPointer, file.begin() + s.rawPointer + n);
  bytes.resize(size, 0);
  return bytes;
}

// True when text is well-formed UTF-8.
bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

std::string ProblemMessage(const ZipCheckResult& r) {
  std::string message;
  if (r.entryIndex >= 0) {
    // A name flagged as UTF-8 is shown as such when it is.
    const bool utf8 = r.utf8Name && IsUtf8(r.entryName);
    message = "entry " + std::to_string(r.entryIndex) + " \"" +
              (utf8 ? r.entryName : GbkForDisplay(r.entryName)) + "\": ";
  } else if (r.problem == ZipProblem::kMissingProduct) {
    message = "no file entry \"" + GbkForDisplay(r.entryName) + "\": ";
  }
  message += ZipProblemText(r.problem);
  if (!r.detail.empty()) message += " (" + GbkForDisplay(r.detail) + ")";
  return message;
}

// The product name at productIndex in the brand's list (GBK).
std::string ProductNameOf(int32_t brandKey, int32_t productIndex) {
  const BrandProfile* row = FindBrandProfile(brandKey);
  std::string list = row ? row->productList : "";
  for (int32_t i = 1; i < productIndex; ++i) {
    const size_t bar = list.find('|');
    if (bar == std::string::npos) return "";
    list.erase(0, bar + 1);
  }
  return list.substr(0, list.find('|'));
}

std::vector<uint8_t> ProductSectionBytes(int32_t brandKey, int32_t productIndex,
                                         const std::vector<uint8_t>& archive) {
  ByteWriter w;
  w.Bytes(kProductMagic, sizeof kProductMagic);
  w.U32(kProductRecordSize);
  w.I32(brandKey);
  w.I32(productIndex);
  w.U32(static_cast<uint32_t>(crc32(0, archive.data(), static_cast<uInt>(archive.size()))));
  w.U32(1);
  w.U32(static_cast<uint32_t>(archive.size()));
  w.Bytes(archive.data(), archive.size());
  return w.Take();
}

bool IsType(const Resource& r, uint16_t type) { return !r.type.isName && r.type.id == type; }

}  // namespace

PackError PackInstaller(const std::vector<uint8_t>& stub, const PackRequest& request, PackResult* result,
                        std::string* error) {
  *result = PackResult{};
  PeImage image;
  CursorFailure where;
  PeError pe = ReadPeImage(stub.data(), stub.size(), &image, &where);
  PeTail tail;
  std::string detail;
  if (pe == PeError::kNone) pe = FindPeTail(image, &tail, &detail);
  if (pe != PeError::kNone) {
    *error = std::string("stub: ") + PeErrorText(pe) + (detail.empty() ? "" : ": " + detail) + Where(where);
    return PackError::kStub;
  }

  // What the stub carries already.
  ProductSectionView old;
  bool hasOld = false;
  std::vector<uint8_t> oldProduct;
  if (tail.product >= 0) {
    const PeSection& s = image.sections[tail.product];
    oldProduct = SectionBytes(stub, s, s.virtualSize);
    const ProductSectionError e = ReadProductSection(oldProduct.data(), oldProduct.size(), &old);
    if (e != ProductSectionError::kNone) {
      *error = std::string("stub: its .payload section: ") + ProductSectionErrorText(e);
      return PackError::kStub;
    }
    hasOld = true;
  }
  std::vector<Resource> resources;
  uint32_t resourceCharacteristics = kSectionInitializedData | kSectionRead;
  if (tail.resource >= 0) {
    const PeSection& s = image.sections[tail.resource];
    const std::vector<uint8_t> bytes = SectionBytes(stub, s, std::max(s.virtualSize, s.rawSize));
    const ResourceError e = ReadResources(bytes.data(), bytes.size(), s.virtualAddress, &resources, &where);
    if (e != ResourceError::kNone) {
      *error = std::string("stub: its resources: ") + ResourceErrorText(e) + Where(where);
      return PackError::kStub;
    }
    resourceCharacteristics = s.characteristics;
  }

  // The brand row and product.
  result->brandKey = request.hasBrandKey ? request.brandKey : hasOld ? old.brandKey : kDefaultBrandKey;
  result->productIndex = request.hasProductIndex ? request.productIndex
                         : hasOld                ? old.productIndex
                                                 : kDefaultProductIndex;
  const int refusal = BrandSelectionError(result->brandKey, result->productIndex);
  std::string productGbk;
  if (refusal == 0) {
    productGbk = ProductNameOf(result->brandKey, result->productIndex);
    result->productName = GbkForDisplay(productGbk);
  } else if (!request.allowRefusedBrand) {
    const BrandProfile* row = FindBrandProfile(result->brandKey);
    const std::string why = result->productIndex < 1 ? "the product index is below 1"
                            : row ? "brand " + std::to_string(result->brandKey) + " lists " +
                                        std::to_string(ProductCount(row->productList)) +
                                        (ProductCount(row->productList) == 1 ? " product" : " products")
                                  : "the brand table has no row " + std::to_string(result->brandKey);
    *error = "brand key " + std::to_string(result->brandKey) + " with product index " +
             std::to_string(result->productIndex) + ": " + why + "; the installer would end at start with " +
             "runtime error " + std::to_string(refusal);
    return PackError::kBrand;
  }

  // The payload.
  std::vector<uint8_t> archive = request.archive;
  if (archive.empty() && hasOld) archive.assign(old.archive, old.archive + old.archiveSize);
  if (archive.empty()) {
    *error = "no payload: the stub carries none; give --zip or --dir";
    return PackError::kNoPayload;
  }
  const ZipCheckResult check = CheckPayloadZip(archive.data(), archive.size(), productGbk);
  if (check.problem != ZipProblem::kNone) {
    *error = ProblemMessage(check);
    return PackError::kPayload;
  }

  // Resources: the icon replaced when one is given, the version always
  // written anew for this product.
  FileVersion version;
  bool hasVersion = request.hasVersion;
  if (hasVersion) version = request.version;
  for (const Resource& r : resources) {
    if (!hasVersion && IsType(r, kResourceVersion)) hasVersion = ReadFixedFileVersion(r.data, &version);
  }
  result->version = version;
  const bool newIcon = !request.iconFile.empty();
  resources.erase(std::remove_if(resources.begin(), resources.end(),
                                 [&](const Resource& r) {
                                   return IsType(r, kResourceVersion) ||
                                          (newIcon && (IsType(r, kResourceIcon) || IsType(r, kResourceGroupIcon)));
                                 }),
                  resources.end());
  if (newIcon) {
    std::vector<IconImage> images;
    const IconError e = ReadIconFile(request.iconFile.data(), request.iconFile.size(), &images, &where);
    if (e != IconError::kNone) {
      *error = std::string("icon: ") + IconErrorText(e) + Where(where);
      return PackError::kIcon;
    }
    for (Resource& r : IconResources(images)) resources.push_back(std::move(r));
  }
  VersionStrings strings;
  GbkToUtf16(productGbk, &strings.productName);
  GbkToUtf16(kFileDescription, &strings.fileDescription);
  Resource versionResource;
  versionResource.type = ResourceKey::Id(kResourceVersion);
  versionResource.name = ResourceKey::Id(1);
  versionResource.language = ResourceKey::Id(kVersionLanguage);
  versionResource.data = BuildVersionResource(version, strings);
  resources.push_back(std::move(versionResource));

  // The rebuilt sections: resources, relocations as they were, the product.
  std::vector<PeNewSection> sections;
  PeNewSection rsrc;
  rsrc.name = ".rsrc";
  rsrc.characteristics = resourceCharacteristics;
  rsrc.data = WriteResources(std::move(resources), tail.rvaStart);
  rsrc.directory = kDirectoryResource;
  sections.push_back(std::move(rsrc));
  if (tail.relocation >= 0) {
    const PeSection& s = image.sections[tail.relocation];
    PeNewSection reloc;
    reloc.name = ".reloc";
    reloc.characteristics = s.characteristics;
    reloc.data = SectionBytes(stub, s, s.virtualSize);
    reloc.directory = kDirectoryBaseRelocation;
    reloc.directorySize = image.Directory(kDirectoryBaseRelocation).size;
    if (reloc.directorySize != 0) sections.push_back(std::move(reloc));
  }
  PeNewSection product;
  product.name = std::string(kProductSectionName, sizeof kProductSectionName);
  product.data = ProductSectionBytes(result->brandKey, result->productIndex, archive);
  sections.push_back(std::move(product));

  pe = WritePeWithTail(stub.data(), image, tail, sections, &result->installer);
  if (pe != PeError::kNone) {
    *error = std::string("stub: ") + PeErrorText(pe);
    return PackError::kStub;
  }
  const PeDirectory certificates = image.Directory(kDirectorySecurity);
  if (certificates.size != 0) {
    result->notes.push_back("the stub's signature (" + std::to_string(certificates.size) +
                            " bytes) was dropped: the installer is unsigned");
  }
  return PackError::kNone;
}
