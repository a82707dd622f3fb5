// Conversion of UTF-8 text (what the host tools read) into GBK (code page
// 936, what the program shows). Host tools only.
#pragma once

#include <string>

// Converts utf8 into *gbk. Returns false when utf8 is not valid UTF-8 or holds
// a character that GBK cannot represent; *gbk is then unspecified.
bool Utf8ToGbk(const std::string& utf8, std::string* gbk);
