// Conversion between UTF-8 text (what the host tools read), GBK (code page
// 936, what the program shows) and UTF-16 (what Windows resources hold).
// Host tools only: glibc's iconv on Linux (gbk_text.cpp), the system's code
// page 936 on Windows (gbk_text_win.cpp).
#pragma once

#include <string>

// Converts utf8 into *gbk. Returns false when utf8 is not valid UTF-8 or holds
// a character that GBK cannot represent; *gbk is then unspecified.
bool Utf8ToGbk(const std::string& utf8, std::string* gbk);

// Converts GBK (code page 936) text into *utf8. Returns false when gbk holds a
// byte sequence that is not GBK; *utf8 is then unspecified.
bool GbkToUtf8(const std::string& gbk, std::string* utf8);

// Converts GBK text into UTF-16. Returns false when gbk holds a byte
// sequence that does not decode; *utf16 is then unspecified.
bool GbkToUtf16(const std::string& gbk, std::u16string* utf16);
