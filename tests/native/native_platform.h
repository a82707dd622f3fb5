// The block platform of the native tests: malloc and free, and a fatal error
// that throws FatalError so a test can expect it.
#pragma once

#include <malloc.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "frame/blocks.h"

struct FatalError : std::runtime_error {
  FatalError(int c, const std::string& m) : std::runtime_error(m), code(c) {}
  int code;
};

inline void InstallNativeBlockPlatform() {
  BlockPlatform p{};
  p.alloc = [](size_t n) { return std::malloc(n); };
  p.realloc = [](void* q, size_t n) { return std::realloc(q, n); };
  p.free = [](void* q) { std::free(q); };
#ifdef _WIN32
  p.size = [](const void* q) { return _msize(const_cast<void*>(q)); };
#else
  p.size = [](const void* q) { return malloc_usable_size(const_cast<void*>(q)); };
#endif
  p.fatal = [](int code, const char* message) { throw FatalError(code, message ? message : ""); };
  SetBlockPlatform(p);
}
