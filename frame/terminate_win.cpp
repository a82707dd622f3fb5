// The runtime library's default terminate handler prints a demangled type
// name, which links the whole C++ demangler (about 45 KB) into a program
// that never throws on purpose. An uncaught exception simply aborts here.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
