#include "tools/gbk_display.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr UINT kCodePageGbk = 936;

std::string Escape(unsigned char c) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
  return escaped;
}

// The UTF-8 form of one GBK character of `length` bytes, or "" when it does
// not decode.
std::string DecodeCharacter(const char* gbk, int length) {
  wchar_t wide[2];
  const int n = MultiByteToWideChar(kCodePageGbk, MB_ERR_INVALID_CHARS, gbk, length, wide, 2);
  if (n == 0) return std::string();
  char utf8[8];
  const int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, sizeof utf8, nullptr, nullptr);
  return std::string(utf8, static_cast<size_t>(m));
}

}  // namespace

std::string GbkForDisplay(const std::string& gbk) {
  std::string result;
  for (size_t i = 0; i < gbk.size();) {
    const unsigned char c = static_cast<unsigned char>(gbk[i]);
    if (c < 0x80) {
      result += c < 0x20 || c == 0x7F ? Escape(c) : std::string(1, static_cast<char>(c));
      ++i;
      continue;
    }
    const std::string decoded = i + 1 < gbk.size() ? DecodeCharacter(&gbk[i], 2) : std::string();
    if (decoded.empty()) {
      result += Escape(c);
      ++i;
    } else {
      result += decoded;
      i += 2;
    }
  }
  return result;
}
