#include "payload/crc32.h"

namespace {

using Crc32Table = uint32_t[8][256];

// Slicing by 8: table[k][b] is the CRC of byte b followed by k zero bytes,
// so eight input bytes are folded in with eight look-ups. Made on the heap
// at the first call and kept for the process: 8 KB that the program file
// need not carry.
const Crc32Table* BuildTables() {
  Crc32Table* table = new Crc32Table[1];
  uint32_t(&t)[8][256] = *table;
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t c = b;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][b] = c;
  }
  for (uint32_t b = 0; b < 256; ++b) {
    for (int k = 1; k < 8; ++k) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  }
  return table;
}

const Crc32Table& Tables() {
  // Built once, on the first call from any thread (the static's guard).
  static const Crc32Table* const table = BuildTables();
  return *table;
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  const uint32_t(&t)[8][256] = Tables();
  uint32_t c = ~crc;
  for (; size >= 8; size -= 8, data += 8) {
    const uint32_t low = c ^ Le32(data), high = Le32(data + 4);
    c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
        t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; size > 0; --size, ++data) c = t[0][(c ^ *data) & 0xFF] ^ (c >> 8);
  return ~c;
}
