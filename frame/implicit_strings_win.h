// Included first into every C++ file of the runtime (cmake/win32.cmake).
//
// The C++ library declares its std::string and std::wstring as explicit
// instantiations that live in the library: a program that calls any one
// member then links the library's whole object for that string type, every
// member with its unwind data (about 70 KB for the two on i386, more than
// the rest of the library we use). The library's own switch for this,
// _GLIBCXX_EXTERN_TEMPLATE = -1 (which its assertion mode sets), drops those
// declarations for basic_string only, so that each translation unit
// instantiates just the members it uses and the linker keeps one copy of
// each that is referenced.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
