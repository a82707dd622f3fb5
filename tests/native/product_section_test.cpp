#include "payload/product_section.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/native/pe_test_support.h"

namespace {

const std::string kArchive = "PK\x03\x04 stands in for the archive";

// A product section's bytes for the record's fields.
std::vector<uint8_t> Record(int32_t brand, int32_t product, const std::string& archive) {
  std::vector<uint8_t> b(kProductSectionOverhead, 0);
  std::memcpy(b.data(), kProductMagic, sizeof kProductMagic);
  petest::Put32(&b, 8, kProductRecordSize);
  petest::Put32(&b, 12, static_cast<uint32_t>(brand));
  petest::Put32(&b, 16, static_cast<uint32_t>(product));
  petest::Put32(&b, 20, 0xC0FFEE42);
  petest::Put32(&b, 24, 1);
  petest::Put32(&b, 28, static_cast<uint32_t>(archive.size()));
  b.insert(b.end(), archive.begin(), archive.end());
  return b;
}

// A mapped image whose last section holds `product`.
std::vector<uint8_t> MappedImage(const std::vector<uint8_t>& product, const char* name = ".payload") {
  petest::ImageLayout layout;
  layout.sections = {{".text", petest::Filler(0x300, 1), 0x60000020},
                   {".reloc", petest::Filler(12, 2), 0x42000040, 5},
                   {name, product}};
  return petest::MapImage(petest::MakeImage(layout));
}

ProductSectionError Locate(const std::vector<uint8_t>& image, ProductSectionView* view) {
  return LocateProductSection(image.data(), image.size(), view);
}

TEST(ProductSection, FoundInTheMappedImageWithItsRecordAndArchive) {
  const std::vector<uint8_t> image = MappedImage(Record(7, 3, kArchive));
  ProductSectionView view;
  ASSERT_EQ(Locate(image, &view), ProductSectionError::kNone);
  EXPECT_EQ(view.brandKey, 7);
  EXPECT_EQ(view.productIndex, 3);
  EXPECT_EQ(view.archiveCrc, 0xC0FFEE42u);
  EXPECT_EQ(view.section, image.data() + 0x3000);
  EXPECT_EQ(view.sectionSize, kProductSectionOverhead + kArchive.size());
  EXPECT_EQ(view.archiveBlock, view.section + kProductRecordSize);
  ASSERT_EQ(view.archiveSize, kArchive.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.archive), view.archiveSize), kArchive);
}

TEST(ProductSection, MalformedRecordsAreRefused) {
  using Patch = std::function<void(std::vector<uint8_t>*)>;
  const struct {
    const char* what;
    Patch patch;
    ProductSectionError expected;
  } cases[] = {
      {"magic", [](std::vector<uint8_t>* b) { (*b)[7] = 'Q'; }, ProductSectionError::kBadMagic},
      {"record size", [](std::vector<uint8_t>* b) { petest::Put32(b, 8, 28); }, ProductSectionError::kBadRecord},
      {"dimension count", [](std::vector<uint8_t>* b) { petest::Put32(b, 24, 2); }, ProductSectionError::kBadRecord},
      {"length too long", [](std::vector<uint8_t>* b) { petest::Put32(b, 28, 1000); },
       ProductSectionError::kArchiveSize},
      {"length too short", [](std::vector<uint8_t>* b) { petest::Put32(b, 28, 3); },
       ProductSectionError::kArchiveSize},
      {"record cut short", [](std::vector<uint8_t>* b) { b->resize(20); }, ProductSectionError::kBadRecord},
      {"magic cut short", [](std::vector<uint8_t>* b) { b->resize(5); }, ProductSectionError::kBadMagic},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> record = Record(0, 22, kArchive);
    c.patch(&record);
    ProductSectionView view;
    view.brandKey = 99;
    // An exact-size copy, so that the sanitizers see any read past the end.
    std::vector<uint8_t> exact(record);
    EXPECT_EQ(ReadProductSection(exact.data(), exact.size(), &view), c.expected) << c.what;
    EXPECT_EQ(view.brandKey, 99) << c.what << ": the view changed on failure";
  }
}

TEST(ProductSection, ImagesWithoutAUsableSectionAreRefused) {
  const std::vector<uint8_t> good = MappedImage(Record(0, 22, kArchive));
  ProductSectionView view;
  EXPECT_EQ(Locate(MappedImage(Record(0, 22, kArchive), ".payloa"), &view), ProductSectionError::kNoSection);

  std::vector<uint8_t> image = good;
  image[0] = 'N';
  EXPECT_EQ(Locate(image, &view), ProductSectionError::kNotAnImage) << "no MZ";
  image = good;
  petest::Put32(&image, 0x3C, static_cast<uint32_t>(image.size()));
  EXPECT_EQ(Locate(image, &view), ProductSectionError::kNotAnImage) << "e_lfanew past the image";
  image = good;
  image[0x80] = 'X';
  EXPECT_EQ(Locate(image, &view), ProductSectionError::kNotAnImage) << "no PE signature";

  // The section table running past a cut-off image; the section itself
  // running past the image.
  std::vector<uint8_t> cut(good.begin(), good.begin() + 0x80 + 24 + 240 + 40 + 10);
  EXPECT_EQ(Locate(cut, &view), ProductSectionError::kNotAnImage) << "section table cut off";
  cut.assign(good.begin(), good.begin() + 0x3000 + 16);
  EXPECT_EQ(Locate(cut, &view), ProductSectionError::kSectionOutside) << "section past the image";
}

}  // namespace
