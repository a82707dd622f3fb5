#include "frame/wide_text_win.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr UINT kGbk = 936;

}  // namespace

std::wstring WideFromGbk(const char* text, size_t length) {
  if (!text || length == 0) return std::wstring();
  int n = MultiByteToWideChar(kGbk, 0, text, static_cast<int>(length), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(kGbk, 0, text, static_cast<int>(length), &wide[0], n);
  return wide;
}

std::wstring WideFromGbk(const char* text) { return WideFromGbk(text, text ? std::strlen(text) : 0); }

bool WideFromUtf8(const char* text, size_t length, std::wstring* out) {
  out->clear();
  if (length == 0) return true;
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), nullptr, 0);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), &(*out)[0], n) == n;
}

bool GbkFromWide(const wchar_t* text, std::string* out) {
  out->clear();
  if (!text || !*text) return true;
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lossy);
  if (n <= 1) return n == 1;
  out->resize(static_cast<size_t>(n));
  lossy = FALSE;
  WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, text, -1, &(*out)[0], n, nullptr, &lossy);
  out->resize(static_cast<size_t>(n - 1));
  return !lossy;
}

bool GbkFromWide(const std::wstring& text, std::string* out) { return GbkFromWide(text.c_str(), out); }

bool GbkPathFromWide(const std::wstring& path, std::string* out) {
  if (GbkFromWide(path, out)) return true;
  // The short form exists only for what is already on disk; a trailing "\"
  // is kept as it was.
  wchar_t shortPath[MAX_PATH];
  DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  return GbkFromWide(shortPath, out);
}

std::string WindowTextGbk(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, &text[0], length + 1)));
  std::string gbk;
  GbkFromWide(text, &gbk);
  return gbk;
}

BOOL SetWindowTextGbk(HWND hwnd, const char* text) { return SetWindowTextW(hwnd, WideFromGbk(text).c_str()); }

int MessageBoxGbk(HWND owner, const char* text, const char* caption, UINT style) {
  return MessageBoxW(owner, WideFromGbk(text).c_str(), WideFromGbk(caption).c_str(), style);
}
