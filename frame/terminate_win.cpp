// The C++ runtime's failure paths, replaced so that they neither pull large
// parts of the library into the program nor end it silently.
//
// The default terminate handler prints a demangled type name, which links
// the whole demangler (about 45 KB) into a program that never throws on
// purpose. The library's __throw_* helpers (called by std::string and the
// containers on impossible sizes) would link the exception classes with their
// own copy-on-write strings (about 50 KB). Both now end the program through
// the frame's fatal path: the runtime error box and exit code -1.
#include <bits/functexcept.h>

#include <cstdlib>

#include "frame/program_frame_win.h"

namespace {
[[noreturn]] void LibraryFailure() { FrameFatal(0, nullptr); }
}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_cast() { LibraryFailure(); }
void __throw_bad_alloc() { LibraryFailure(); }
void __throw_bad_typeid() { LibraryFailure(); }
void __throw_logic_error(const char*) { LibraryFailure(); }
void __throw_range_error(const char*) { LibraryFailure(); }
void __throw_domain_error(const char*) { LibraryFailure(); }
void __throw_length_error(const char*) { LibraryFailure(); }
void __throw_out_of_range(const char*) { LibraryFailure(); }
void __throw_bad_exception() { LibraryFailure(); }
void __throw_runtime_error(const char*) { LibraryFailure(); }
void __throw_overflow_error(const char*) { LibraryFailure(); }
void __throw_underflow_error(const char*) { LibraryFailure(); }
void __throw_invalid_argument(const char*) { LibraryFailure(); }
void __throw_out_of_range_fmt(const char*, ...) { LibraryFailure(); }
void __throw_bad_array_new_length() { LibraryFailure(); }
}  // namespace std
