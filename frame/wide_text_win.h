// The program keeps its texts as GBK bytes (code page 936); Windows is spoken
// to in UTF-16. These convert at that boundary with code page 936 named
// explicitly, so that nothing depends on the machine's ANSI code page.
// Windows only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// The UTF-16 form of GBK text (null counts as empty). A byte sequence that is
// not GBK becomes U+FFFD or the lead byte's own character, as Windows decodes
// it; nothing is dropped silently.
std::wstring WideFromGbk(const char* text);
std::wstring WideFromGbk(const char* text, size_t length);

// UTF-8 text as UTF-16; false for bytes that are not well-formed UTF-8.
bool WideFromUtf8(const char* text, size_t length, std::wstring* out);

// The GBK form of UTF-16 text, without best-fit mapping: false (and *out as
// far as it went, with "?" for what GBK lacks) when a character has no GBK
// form, so that the caller can choose another form of the same text.
bool GbkFromWide(const wchar_t* text, std::string* out);
bool GbkFromWide(const std::wstring& text, std::string* out);

// The GBK form of a path that Windows handed back. Where the path holds a
// character that GBK lacks, its short (8.3) form is taken when that one is
// lossless, so that the path still names the same folder; otherwise false.
bool GbkPathFromWide(const std::wstring& path, std::string* out);

// Window texts and message boxes with GBK texts, through the W functions. A
// window text with a character GBK lacks reads back with "?" in its place.
std::string WindowTextGbk(HWND hwnd);
BOOL SetWindowTextGbk(HWND hwnd, const char* text);
int MessageBoxGbk(HWND owner, const char* text, const char* caption, UINT style);
