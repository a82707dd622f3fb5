#include "tools/gbk_display.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

namespace {

// Converts `in` from GBK to UTF-8 into *out until the end or the first byte
// sequence that does not decode. Returns the number of input bytes used.
size_t DecodePrefix(const std::string& in, std::string* out) {
  out->clear();
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out->append(buffer, static_cast<size_t>(outPtr - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
  }
  iconv_close(cd);
  return in.size() - inLeft;
}

std::string Escape(char c) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
  return escaped;
}

}  // namespace

std::string GbkForDisplay(const std::string& gbk) {
  std::string decoded;
  size_t offset = 0;
  while (offset < gbk.size()) {
    std::string part;
    offset += DecodePrefix(gbk.substr(offset), &part);
    decoded += part;
    if (offset < gbk.size()) decoded += Escape(gbk[offset++]);
  }
  std::string result;
  for (char c : decoded) {
    const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    result += control ? Escape(c) : std::string(1, c);
  }
  return result;
}
