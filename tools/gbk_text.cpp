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
