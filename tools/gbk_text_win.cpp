#include "tools/gbk_text.h"

#include <windows.h>

namespace {

constexpr UINT kCodePageGbk = 936;

}  // namespace

bool Utf8ToGbk(const std::string& utf8, std::string* gbk) {
  gbk->clear();
  if (utf8.empty()) return true;
  const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                             static_cast<int>(utf8.size()), nullptr, 0);
  if (wideLength == 0) return false;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
                      wideLength);
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(kCodePageGbk, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0,
                                    nullptr, &usedDefault);
  if (n == 0 || usedDefault) return false;
  gbk->resize(static_cast<size_t>(n));
  WideCharToMultiByte(kCodePageGbk, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, &(*gbk)[0], n, nullptr,
                      &usedDefault);
  return !usedDefault;
}

bool GbkToUtf16(const std::string& gbk, std::u16string* utf16) {
  utf16->clear();
  if (gbk.empty()) return true;
  const int n = MultiByteToWideChar(kCodePageGbk, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                                    nullptr, 0);
  if (n == 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kCodePageGbk, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()), &wide[0], n);
  utf16->assign(wide.begin(), wide.end());
  return true;
}

bool GbkToUtf8(const std::string& gbk, std::string* utf8) {
  utf8->clear();
  std::u16string wide;
  if (!GbkToUtf16(gbk, &wide)) return false;
  if (wide.empty()) return true;
  const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
  const int length = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, units, length, nullptr, 0, nullptr, nullptr);
  if (n == 0) return false;
  utf8->resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, units, length, &(*utf8)[0], n, nullptr, nullptr);
  return true;
}
