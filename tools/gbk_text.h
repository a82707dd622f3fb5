// Conversion of UTF-8 text (what the host tools read) into GBK (code page
// 936, what the program shows). Host tools only.
#pragma once

#include <string>

// Converts utf8 into *gbk. Returns false when utf8 is not valid UTF-8 or holds
// a character that GBK cannot represent; *gbk is then unspecified.
bool Utf8ToGbk(const std::string& utf8, std::string* gbk);

// Converts GBK (code page 936) text into *utf8. Returns false when gbk holds a
// byte sequence that is not GBK; *utf8 is then unspecified.
bool GbkToUtf8(const std::string& gbk, std::string* utf8);
