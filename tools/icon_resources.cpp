#include "tools/icon_resources.h"

#include <cstring>

namespace {

constexpr size_t kDirectoryEntrySize = 16;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kBitmapInfoHeaderSize = 40;

// Planes and bits per pixel from the image itself: the DIB header's fields,
// or the PNG header's bit depth times its channels. False for anything else.
bool ImageDepth(const std::vector<uint8_t>& image, uint16_t* planes, uint16_t* bitCount) {
  ByteCursor c(image.data(), image.size());
  if (image.size() >= sizeof kPngSignature && std::memcmp(image.data(), kPngSignature, 8) == 0) {
    uint8_t depth = 0, colorType = 0;
    c.Skip(8 + 8 + 8, "PNG signature, IHDR header, size");
    c.ReadU8(&depth, "PNG bit depth");
    c.ReadU8(&colorType, "PNG colour type");
    static const uint8_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    if (!c.Ok() || colorType > 6 || kChannels[colorType] == 0) return false;
    *planes = 1;
    *bitCount = static_cast<uint16_t>(depth * (colorType == 3 ? 1 : kChannels[colorType]));
    return true;
  }
  uint32_t headerSize = 0;
  c.ReadU32(&headerSize, "DIB header size");
  c.Skip(8, "DIB width and height");
  c.ReadU16(planes, "DIB planes");
  c.ReadU16(bitCount, "DIB bit count");
  return c.Ok() && headerSize >= kBitmapInfoHeaderSize;
}

}  // namespace

const char* IconErrorText(IconError error) {
  switch (error) {
    case IconError::kNone: return "no error";
    case IconError::kNotAnIcon: return "not an icon file";
    case IconError::kNoImages: return "the icon file holds no image";
    case IconError::kBadDirectory: return "the icon directory runs past the end of the file";
    case IconError::kImageOutside: return "an image lies outside the icon file";
    case IconError::kBadImage: return "an image is neither a bitmap nor a PNG";
    case IconError::kNo48: return "the icon file has no 48 x 48 image";
  }
  return "unknown error";
}

IconError ReadIconFile(const uint8_t* data, size_t size, std::vector<IconImage>* images,
                       CursorFailure* where) {
  images->clear();
  ByteCursor c(data, size);
  uint16_t reserved = 0, type = 0, count = 0;
  c.ReadU16(&reserved, "icon reserved word");
  c.ReadU16(&type, "icon type");
  c.ReadU16(&count, "icon image count");
  if (!c.Ok() || reserved != 0 || type != 1) {
    *where = c.Failure();
    return IconError::kNotAnIcon;
  }
  if (count == 0) return IconError::kNoImages;
  if (!c.CheckCount(count, kDirectoryEntrySize, "icon directory")) {
    *where = c.Failure();
    return IconError::kBadDirectory;
  }
  bool has48 = false;
  for (uint16_t i = 0; i < count; ++i) {
    IconImage image;
    uint8_t reservedByte = 0;
    uint32_t length = 0, offset = 0;
    c.ReadU8(&image.width, "icon width");
    c.ReadU8(&image.height, "icon height");
    c.ReadU8(&image.colorCount, "icon colour count");
    c.ReadU8(&reservedByte, "icon entry reserved byte");
    c.ReadU16(&image.planes, "icon planes");
    c.ReadU16(&image.bitCount, "icon bit count");
    c.ReadU32(&length, "icon image size");
    c.ReadU32(&offset, "icon image offset");
    if (offset > size || length > size - offset || length == 0) {
      *where = CursorFailure{CursorError::kLengthPastEnd, "icon image offset", c.Offset() - 4};
      return IconError::kImageOutside;
    }
    image.data.assign(data + offset, data + offset + length);
    uint16_t planes = 0, bitCount = 0;
    if (!ImageDepth(image.data, &planes, &bitCount)) {
      *where = CursorFailure{CursorError::kBadValue, "icon image", offset};
      return IconError::kBadImage;
    }
    if (image.planes == 0) image.planes = planes;
    if (image.bitCount == 0) image.bitCount = bitCount;
    has48 = has48 || (image.width == 48 && image.height == 48);
    images->push_back(std::move(image));
  }
  return has48 ? IconError::kNone : IconError::kNo48;
}

std::vector<Resource> IconResources(const std::vector<IconImage>& images) {
  std::vector<Resource> resources;
  ByteWriter group;
  group.U16(0);
  group.U16(1);
  group.U16(static_cast<uint16_t>(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    const uint16_t id = static_cast<uint16_t>(i + 1);
    group.U8(image.width);
    group.U8(image.height);
    group.U8(image.colorCount);
    group.U8(0);
    group.U16(image.planes);
    group.U16(image.bitCount);
    group.U32(static_cast<uint32_t>(image.data.size()));
    group.U16(id);
    Resource icon;
    icon.type = ResourceKey::Id(kResourceIcon);
    icon.name = ResourceKey::Id(id);
    icon.data = image.data;
    resources.push_back(std::move(icon));
  }
  Resource directory;
  directory.type = ResourceKey::Id(kResourceGroupIcon);
  directory.name = ResourceKey::Id(1);
  directory.data = group.Take();
  resources.push_back(std::move(directory));
  return resources;
}
