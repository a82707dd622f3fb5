// The payload archive: the product this installer carries, embedded in the
// executable by the build (setup_embed_constants in installer/CMakeLists.txt)
// from the ZIP chosen with SETUP_PAYLOAD_ZIP, byte for byte.
//
// Layout, the byte-array layout of the value model (blocks.h):
//   offset 0  uint32 little-endian dimension count, always 1
//   offset 4  uint32 little-endian length N
//   offset 8  N bytes: the whole ZIP file, from its first local header to the
//             end of the end-of-central-directory record and its comment
// It lies inside the program's constant range [gConstantStart, gConstantEnd),
// so FreeBlock leaves it alone and it is never changed at run time.
#pragma once

#include <cstdint>

extern "C" const uint8_t PayloadArchive[];

// The archive as a byte-array block, ready to pass as a command's byte-array
// argument (MakeBytes). Constant; the caller never frees it.
inline const void* PayloadArchiveBlock() { return PayloadArchive; }
