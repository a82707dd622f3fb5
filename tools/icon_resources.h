// An icon file (.ico) as a program's application icon: one RT_ICON
// resource per image and the RT_GROUP_ICON directory that lists them.
// Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame/byte_cursor.h"
#include "tools/pe_resources.h"

struct IconImage {
  uint8_t width = 0;   // 0 stands for 256
  uint8_t height = 0;
  uint8_t colorCount = 0;
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  std::vector<uint8_t> data;  // a DIB (header, colours, XOR and AND masks) or a PNG
};

enum class IconError {
  kNone,
  kNotAnIcon,      // the header is not that of an icon file (reserved 0, type 1)
  kNoImages,       // no image in the directory
  kBadDirectory,   // a directory entry runs past the file
  kImageOutside,   // an image's bytes lie outside the file
  kBadImage,       // an image that is neither a DIB nor a PNG
  kNo48,           // no 48 x 48 image
};

const char* IconErrorText(IconError error);

// Reads an icon file. Every image is kept; the planes and bit count of an
// entry that gives 0 are taken from the image itself. The file must hold a
// 48 x 48 image, the size that Explorer shows the installer at.
IconError ReadIconFile(const uint8_t* data, size_t size, std::vector<IconImage>* images,
                       CursorFailure* where);

// The resources of an application icon: RT_ICON 1..n, one per image, and
// RT_GROUP_ICON 1 listing them, all language neutral.
std::vector<Resource> IconResources(const std::vector<IconImage>& images);
