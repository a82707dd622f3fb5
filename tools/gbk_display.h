// GBK text (code page 936: the archive's entry names) shown in the UTF-8
// messages of the host tools. Host tools only.
#pragma once

#include <string>

// gbk converted to UTF-8 (glibc's iconv on Linux, code page 936 on
// Windows). Bytes that do not decode, and control bytes, appear as \xNN, so
// that a malformed entry name can still be named on one line.
std::string GbkForDisplay(const std::string& gbk);
