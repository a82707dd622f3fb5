// The payload archive: the product this installer carries, in the product
// section that setup-pack writes as the last section of the program's image
// (payload/product_section.h), byte for byte as packed.
//
// Layout, the byte-array layout of the value model (blocks.h):
//   offset 0  uint32 little-endian dimension count, always 1
//   offset 4  uint32 little-endian length N
//   offset 8  N bytes: the whole ZIP file, from its first local header to the
//             end of the end-of-central-directory record and its comment
// The product section is registered as a constant range when it is first
// located, so FreeBlock leaves the archive alone and it is never changed at
// run time. Windows only.
#pragma once

#include <cstdint>

#include "payload/product_section.h"

// The product section of this program's image, located on the first call,
// which also registers the section as a constant range (make that call on
// the main thread before any other thread starts). Null when the image has
// no valid product section.
const ProductSectionView* ThisProgramProduct();

// The archive as a byte-array block, ready to pass as a command's byte-array
// argument (MakeBytes), or null without a product section. Constant; the
// caller never frees it.
const void* PayloadArchiveBlock();

// Whether the archive's bytes still have the CRC-32 the packer recorded for
// them: false for a program damaged after it was packed (a flipped bit in a
// download), and without a product section. Reads the whole archive, or
// waits for the check StartPayloadCheck began and gives its answer.
bool PayloadArchiveIntact();
// Begins PayloadArchiveIntact's check on a thread of its own, so that its
// answer is ready by the time it is asked for (the window is up and waits for
// the user meanwhile). Call it once, before the thread that asks is
// started; it does nothing without a product section.
void StartPayloadCheck();
