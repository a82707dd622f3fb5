// The JPEG library (Debian's libjpeg-turbo) as the tests' reference
// decoder: the code the program decoded JPEG with before it had its own
// decoder, used the same way (default settings, full size, every warning a
// failure, at most 500 scans, 512 MB for the library's large buffers), so
// that the tests and the picture fuzz target can require our decoder's
// pixels to be the same bytes.
//
// The library's SIMD code is switched off for the whole process (before any
// library call, also the encoder's): the program linked a build without it,
// and the SIMD inverse DCT saturates where the C code wraps around on
// corrupt coefficients.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/picture.h"

// Decodes data[0, size) into *picture (kind left kNone) as DecodeJpeg did
// when it called the library; false when the library refused the file or
// warned about it. *picture is then unspecified.
bool ReferenceDecodeJpeg(const uint8_t* data, size_t size, DecodedPicture* picture);
