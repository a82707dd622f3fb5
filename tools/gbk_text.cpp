#include "tools/gbk_text.h"

#include <cerrno>
#include <iconv.h>

bool Utf8ToGbk(const std::string& utf8, std::string* gbk) {
  gbk->clear();
  if (utf8.empty()) return true;
  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == iconv_t(-1)) return false;
  // Two GBK bytes per character at most, and UTF-8 needs at least two bytes
  // for every character that GBK stores in two, so the input size suffices.
  std::string out(utf8.size() + 1, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* outPtr = &out[0];
  size_t outLeft = out.size();
  size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  bool ok = result != size_t(-1) && inLeft == 0;
  // Flush any shift state (none for GBK, but cheap to be correct).
  if (ok) ok = iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != size_t(-1);
  iconv_close(cd);
  if (!ok) return false;
  out.resize(out.size() - outLeft);
  *gbk = std::move(out);
  return true;
}

bool GbkToUtf16(const std::string& gbk, std::u16string* utf16) {
  utf16->clear();
  if (gbk.empty()) return true;
  iconv_t cd = iconv_open("UTF-16LE", "GBK");
  if (cd == iconv_t(-1)) return false;
  // One UTF-16 unit per GBK byte at most.
  std::string out(2 * gbk.size(), '\0');
  char* in = const_cast<char*>(gbk.data());
  size_t inLeft = gbk.size();
  char* outPtr = &out[0];
  size_t outLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != size_t(-1) && inLeft == 0;
  iconv_close(cd);
  if (!ok) return false;
  for (size_t i = 0; i + 1 < out.size() - outLeft; i += 2) {
    utf16->push_back(static_cast<char16_t>(static_cast<unsigned char>(out[i]) |
                                           (static_cast<unsigned char>(out[i + 1]) << 8)));
  }
  return true;
}
