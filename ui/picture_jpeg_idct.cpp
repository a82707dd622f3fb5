// The accurate integer inverse DCT of the library we used to link: the
// Loeffler-Ligtenberg-Moschytz factorisation with 13-bit constants, columns
// first (keeping 2 extra bits between the passes), a shortcut for columns
// and rows whose AC terms are all zero, and its range limit for the output.
//
// Sums are kept as wide as its were, in a long, so that corrupt
// coefficients overflow the way they did there (64 bits on Linux, 32 on
// Windows); they are computed unsigned so that the wrap-around is defined,
// and the shifts that descale them are arithmetic.
#include "ui/picture_jpeg.h"

namespace {

using Wide = unsigned long;

// The constants times 2^13, rounded.
constexpr long kFix0_298631336 = 2446;
constexpr long kFix0_390180644 = 3196;
constexpr long kFix0_541196100 = 4433;
constexpr long kFix0_765366865 = 6270;
constexpr long kFix0_899976223 = 7373;
constexpr long kFix1_175875602 = 9633;
constexpr long kFix1_501321110 = 12299;
constexpr long kFix1_847759065 = 15137;
constexpr long kFix1_961570560 = 16069;
constexpr long kFix2_053119869 = 16819;
constexpr long kFix2_562915447 = 20995;
constexpr long kFix3_072711026 = 25172;
constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

Wide Scale(Wide value, long constant) { return value * Wide(constant); }

// Rounds value / 2^bits towards minus infinity after adding half, as a
// signed number.
long Descale(Wide value, int bits) { return long(value + (Wide(1) << (bits - 1))) >> bits; }

// The one-dimensional transform of in[0..7] (spaced `step` apart), scaled
// by 2^13, into out[0..7].
void Transform(const Wide* in, int step, Wide* out) {
  // Even part.
  const Wide c2 = in[2 * step], c6 = in[6 * step];
  const Wide rotated = Scale(c2 + c6, kFix0_541196100);
  const Wide even2 = rotated + Scale(c6, -kFix1_847759065);
  const Wide even3 = rotated + Scale(c2, kFix0_765366865);
  const Wide even0 = (in[0] + in[4 * step]) << kConstBits;
  const Wide even1 = (in[0] - in[4 * step]) << kConstBits;
  const Wide sum0 = even0 + even3, sum3 = even0 - even3;
  const Wide sum1 = even1 + even2, sum2 = even1 - even2;

  // Odd part, from the coefficients 7, 5, 3 and 1.
  Wide odd0 = in[7 * step], odd1 = in[5 * step], odd2 = in[3 * step], odd3 = in[step];
  Wide z1 = odd0 + odd3, z2 = odd1 + odd2, z3 = odd0 + odd2, z4 = odd1 + odd3;
  const Wide z5 = Scale(z3 + z4, kFix1_175875602);
  odd0 = Scale(odd0, kFix0_298631336);
  odd1 = Scale(odd1, kFix2_053119869);
  odd2 = Scale(odd2, kFix3_072711026);
  odd3 = Scale(odd3, kFix1_501321110);
  z1 = Scale(z1, -kFix0_899976223);
  z2 = Scale(z2, -kFix2_562915447);
  z3 = Scale(z3, -kFix1_961570560) + z5;
  z4 = Scale(z4, -kFix0_390180644) + z5;
  odd0 += z1 + z3;
  odd1 += z2 + z4;
  odd2 += z2 + z3;
  odd3 += z1 + z4;

  out[0] = sum0 + odd3;
  out[7] = sum0 - odd3;
  out[1] = sum1 + odd2;
  out[6] = sum1 - odd2;
  out[2] = sum2 + odd1;
  out[5] = sum2 - odd1;
  out[3] = sum3 + odd0;
  out[4] = sum3 - odd0;
}

// The library's range limit: of the result, only the low 10 bits count
// (so wildly wrong values wrap around rather than saturate); -128..127 map
// to 0..255, values above to 255 and below to 0.
uint8_t Limit(long value) {
  const int wrapped = int((unsigned(value) + 512) & 1023) - 384;
  return uint8_t(wrapped < 0 ? 0 : wrapped > 255 ? 255 : wrapped);
}

}  // namespace

void JpegInverseDct(const int16_t* coefs, const uint16_t* quant, uint8_t* out, size_t stride) {
  int work[64];
  Wide in[64];
  Wide column[8];
  for (int i = 0; i < 64; ++i) in[i] = Wide(long(coefs[i] * int(quant[i])));
  for (int x = 0; x < 8; ++x) {
    bool acZero = true;
    for (int y = 1; y < 8; ++y) acZero = acZero && coefs[y * 8 + x] == 0;
    if (acZero) {
      // The whole column is the DC term times 2^2 (cut to an int).
      const int dc = int(unsigned(coefs[x] * int(quant[x])) << kPass1Bits);
      for (int y = 0; y < 8; ++y) work[y * 8 + x] = dc;
      continue;
    }
    Transform(in + x, 8, column);
    for (int y = 0; y < 8; ++y) work[y * 8 + x] = int(Descale(column[y], kConstBits - kPass1Bits));
  }
  Wide row[8];
  for (int y = 0; y < 8; ++y, out += stride) {
    const int* w = work + y * 8;
    if ((w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) == 0) {
      const uint8_t dc = Limit(Descale(Wide(long(w[0])), kPass1Bits + 3));
      for (int x = 0; x < 8; ++x) out[x] = dc;
      continue;
    }
    for (int x = 0; x < 8; ++x) in[x] = Wide(long(w[x]));
    Transform(in, 1, row);
    for (int x = 0; x < 8; ++x) out[x] = Limit(Descale(row[x], kConstBits + kPass1Bits + 3));
  }
}
