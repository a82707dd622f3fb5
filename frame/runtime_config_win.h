// Included first into every C++ file of the runtime (cmake/win32.cmake): the
// C and C++ library settings that keep setup.exe small.
//
// std::string and std::wstring: the C++ library declares them as explicit
// instantiations that live in the library, so a program that calls any one
// member links the library's whole object for that string type, every
// member with its unwind data (about 70 KB for the two on i386, more than the
// rest of the library we use). The library's own switch for this,
// _GLIBCXX_EXTERN_TEMPLATE = -1 (which its assertion mode sets), drops those
// declarations for basic_string only, so that each translation unit
// instantiates just the members it uses and the linker keeps one copy of
// each that is referenced.
//
// printf: the C++ library's configuration turns on the toolchain's own
// standard printf, about 25 KB of formatting and float conversion code. The
// runtime formats only integers, texts and (frame/message_text.cpp, which
// evens out the differences) floating values, which the system's C runtime
// DLL does as well at no cost in size.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1

#undef __USE_MINGW_ANSI_STDIO
#define __USE_MINGW_ANSI_STDIO 0
