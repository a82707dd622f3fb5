// JPEG files made by the JPEG library's encoder (tests/data/jpeg), decoded
// on every platform the tests run on, must give what the library decoded
// them to natively (jpeg_test_files.h). The Windows builds compute the
// inverse DCT with a 32-bit long, as the library there did.
#include <gtest/gtest.h>

#include "tests/native/jpeg_test_files.h"
#include "tests/native/picture_test_support.h"
#include "ui/picture.h"

namespace {

using namespace picture_test;

TEST(JpegFilesTest, DecodeToTheLibrarysPixels) {
  for (const JpegTestFile& file : kJpegTestFiles) {
    const Bytes bytes = ReadTestFile(std::string("jpeg/") + file.name);
    ASSERT_FALSE(bytes.empty()) << file.name;
    DecodedPicture p;
    const bool decoded = Decodes(bytes, &p);
    ASSERT_EQ(decoded, file.width != 0) << file.name;
    if (!decoded) continue;
    EXPECT_EQ(p.kind, PictureKind::kJpeg) << file.name;
    EXPECT_EQ(p.width, file.width) << file.name;
    EXPECT_EQ(p.height, file.height) << file.name;
    EXPECT_EQ(PixelHash(p), file.hash) << file.name;
  }
}

}  // namespace
