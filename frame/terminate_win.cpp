// The C++ runtime's failure paths, replaced so that they neither pull large
// parts of the library into the program nor end it silently.
//
// The default terminate handler prints a demangled type name, which links
// the whole demangler (about 45 KB) into a program that never throws on
// purpose. The library's __throw_* helpers (called by std::string and the
// containers on impossible sizes) would link the exception classes with their
// own copy-on-write strings (about 50 KB). Both now end the program through
// the frame's fatal path: the runtime error box and exit code -1.
//
// The runtime is built without exceptions (cmake/win32.cmake). The library's
// operator new throws std::bad_alloc and its static-local guards wait on
// pthread condition variables: either would bring back the unwinder, the
// exception runtime and the pthread library (about 60 KB). Here operator new
// reports a failed allocation as the frame does for its own blocks (the
// nothrow forms return null), and the guards use one critical section.
#include <windows.h>

#include <bits/functexcept.h>
#include <cxxabi.h>

#include <cstdlib>
#include <new>

#include "frame/blocks.h"
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

namespace {

void* AllocateOrNull(std::size_t n) { return std::malloc(n ? n : 1); }

void* AllocateOrFail(std::size_t n) {
  void* p = AllocateOrNull(n);
  if (!p) AllocationFailed(n);
  return p;
}

}  // namespace

void* operator new(std::size_t n) { return AllocateOrFail(n); }
void* operator new[](std::size_t n) { return AllocateOrFail(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return AllocateOrNull(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return AllocateOrNull(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

// Guards of static locals with dynamic initialisation. The guard's first
// byte is set once the object is constructed; constructions run one at a
// time under a process-wide critical section, which is recursive, so one
// static's initialiser may use another's. The critical section is set up by
// the first thread to get here; any other waits until that is done.
namespace {

CRITICAL_SECTION gGuardLock;
volatile LONG gGuardLockState = 0;  // 0 none, 1 being set up, 2 ready

void EnterGuardLock() {
  if (InterlockedCompareExchange(&gGuardLockState, 0, 0) != 2) {
    if (InterlockedCompareExchange(&gGuardLockState, 1, 0) == 0) {
      InitializeCriticalSection(&gGuardLock);
      InterlockedExchange(&gGuardLockState, 2);
    } else {
      while (InterlockedCompareExchange(&gGuardLockState, 2, 2) != 2) Sleep(0);
    }
  }
  EnterCriticalSection(&gGuardLock);
}

bool Constructed(__cxxabiv1::__guard* guard) {
  return __atomic_load_n(reinterpret_cast<char*>(guard), __ATOMIC_ACQUIRE) != 0;
}

}  // namespace

namespace __cxxabiv1 {

extern "C" int __cxa_guard_acquire(__guard* guard) {
  if (Constructed(guard)) return 0;
  EnterGuardLock();
  if (Constructed(guard)) {
    LeaveCriticalSection(&gGuardLock);
    return 0;
  }
  return 1;  // the caller constructs, then releases (or aborts) with the lock held
}

extern "C" void __cxa_guard_release(__guard* guard) _GLIBCXX_NOTHROW {
  __atomic_store_n(reinterpret_cast<char*>(guard), 1, __ATOMIC_RELEASE);
  LeaveCriticalSection(&gGuardLock);
}

extern "C" void __cxa_guard_abort(__guard*) _GLIBCXX_NOTHROW { LeaveCriticalSection(&gGuardLock); }

}  // namespace __cxxabiv1
