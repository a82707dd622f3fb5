// std::string and std::wstring instantiated where they are used: part of the
// runtime's configuration (frame/runtime_config_win.h), and to be included
// first into every C++ file of a program that links the runtime's libraries
// (cmake/win32.cmake: setup_runtime_strings).
//
// The C++ library declares both as explicit instantiations that live in the
// library, so a program that calls any one member links the library's whole
// object for that string type, every member with its unwind data (about
// 70 KB for the two on i386, more than the rest of the library we use). The
// library's own switch for this, _GLIBCXX_EXTERN_TEMPLATE = -1 (which its
// assertion mode sets), drops those declarations for basic_string only, so
// that each translation unit instantiates just the members it uses and the
// linker keeps one copy of each that is referenced.
//
// A program's other files need the same: a member they leave to the library
// would otherwise be taken from whichever runtime object defines it first,
// with everything that object needs.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
