#include "tools/gbk_text.h"

#include <cerrno>
#include <iconv.h>

namespace {

// Converts all of `in` with iconv from one encoding to another; false on any
// byte sequence the source encoding does not have or the target cannot hold.
bool Convert(const char* to, const char* from, const std::string& in, size_t outCapacity, std::string* out) {
  out->clear();
  if (in.empty()) return true;
  iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) return false;
  std::string buffer(outCapacity, '\0');
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char* outPtr = &buffer[0];
  size_t outLeft = buffer.size();
  bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) && inLeft == 0;
  // Flush any shift state (none for these encodings, but cheap to be correct).
  if (ok) ok = iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != size_t(-1);
  iconv_close(cd);
  if (!ok) return false;
  buffer.resize(buffer.size() - outLeft);
  *out = std::move(buffer);
  return true;
}

}  // namespace

// Two GBK bytes per character at most, and UTF-8 needs at least two bytes for
// every character that GBK stores in two, so the input size suffices.
bool Utf8ToGbk(const std::string& utf8, std::string* gbk) { return Convert("GBK", "UTF-8", utf8, utf8.size() + 1, gbk); }

// At most three UTF-8 bytes for each GBK byte pair or single byte.
bool GbkToUtf8(const std::string& gbk, std::string* utf8) { return Convert("UTF-8", "CP936", gbk, 3 * gbk.size() + 1, utf8); }

bool GbkToUtf16(const std::string& gbk, std::u16string* utf16) {
  utf16->clear();
  std::string bytes;
  // One UTF-16 unit per GBK byte at most.
  if (!Convert("UTF-16LE", "GBK", gbk, 2 * gbk.size() + 2, &bytes)) return false;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    utf16->push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return true;
}
