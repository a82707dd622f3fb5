// Included first into every C++ file of the runtime (cmake/win32.cmake): the
// C and C++ library settings that keep setup.exe small.
//
// std::string and std::wstring: see frame/runtime_strings_win.h.
//
// printf: the C++ library's configuration turns on the toolchain's own
// standard printf, about 25 KB of formatting and float conversion code. The
// runtime formats only integers, texts and (frame/message_text.cpp, which
// evens out the differences) floating values, which the system's C runtime
// DLL does as well at no cost in size.
#pragma once

#include "frame/runtime_strings_win.h"

#undef __USE_MINGW_ANSI_STDIO
#define __USE_MINGW_ANSI_STDIO 0
