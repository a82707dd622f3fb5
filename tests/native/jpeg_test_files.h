// The JPEG files in tests/data/jpeg, made by the JPEG library's encoder in
// the layouts the decoder handles, with what the library decoded them to:
// the size and a hash of the pixels (PixelHash), or width 0 for a file it
// refused. picture_jpeg_test.cpp checks the table against the library;
// picture_jpeg_files_test.cpp checks our decoder against the table on every
// platform the tests run on.
#pragma once

#include <cstdint>

struct JpegTestFile {
  const char* name;
  int width, height;
  uint64_t hash;
};

inline const JpegTestFile kJpegTestFiles[] = {
    {"ycc420.jpg", 33, 17, 0x2323801c6a717730ull},
    {"ycc422.jpg", 33, 17, 0x25617224ba6a4dcdull},
    {"ycc444.jpg", 19, 13, 0xea8c601039672416ull},
    {"ycc440.jpg", 19, 13, 0x1ac345d3d67563ddull},
    {"ycc411.jpg", 35, 9, 0x554c8b4cd8f229edull},
    {"grey.jpg", 21, 11, 0x901d2dcf78b356e9ull},
    {"rgb.jpg", 19, 13, 0x8ce3a39cd7447243ull},
    {"progressive420.jpg", 33, 17, 0x2323801c6a717730ull},
    {"progressive444_restarts.jpg", 19, 13, 0x51c952c109eab266ull},
    {"restarts420.jpg", 33, 17, 0x2323801c6a717730ull},
    {"scan_per_component.jpg", 33, 17, 0x2323801c6a717730ull},
    {"quality1_16bit.jpg", 19, 13, 0xd1900e1e4f1d1f68ull},
    {"quality100.jpg", 19, 13, 0x559c0db7e826f080ull},
    {"halves.jpg", 32, 16, 0xfc6673251f63a6e5ull},
    {"halves_progressive.jpg", 32, 16, 0xfc6673251f63a6e5ull},
    {"halves_grey.jpg", 32, 16, 0x1818da846bd7f325ull},
    {"cmyk.jpg", 0, 0, 0},
};
