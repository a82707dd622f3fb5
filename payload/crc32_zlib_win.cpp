// zlib's CRC-32 entry points, served by Crc32Update. Linked ahead of zlib's
// own library, these keep zlib's crc32.c (and its 5 KB of stored tables) out
// of the Windows programs; zlib, the unzip library and our code all get the
// same checksums through them. As zlib's: a null buffer gives 0.
#include <zlib.h>

#include "payload/crc32.h"

extern "C" {

uLong ZEXPORT crc32_z(uLong crc, const Bytef* buf, z_size_t len) {
  if (!buf) return 0;
  return Crc32Update(static_cast<uint32_t>(crc), buf, len);
}

uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) { return crc32_z(crc, buf, len); }

}  // extern "C"
