// The process entry: hardens the DLL search, then runs the program through
// the frame.
#include <windows.h>

#include <cfloat>

#include "frame/program_frame_win.h"

extern "C" void __main();  // runs the static constructors (toolchain library)

namespace {

// An installer runs from a Downloads folder, where a planted DLL named like a
// system library would otherwise be found first. Windows without the call
// (before KB2533623) keeps its default order.
void RestrictDllSearchToSystemFolder() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

// The process's first code, in place of the toolchain's start-up code, none
// of which the program needs: it reads its command line through
// GetCommandLineW, uses no thread-local variables, has no data imported from
// DLLs to patch, and ends only through ExitProcess. The static objects are
// constructed here; their destructors would run at exit(), which nothing
// calls, so atexit keeps none of them.
//
// The frame's instance start runs the program entry; a result of 0 leads to
// the instance end, which shuts the runtime down and ends the process with
// the code carried by the quit message. On i386 the system enters with the
// stack aligned to 4 bytes only; it is aligned here for the code the compiler
// made.
extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
  _fpreset();  // the floating-point state the start-up code used to set
  __main();    // the static constructors
  RestrictDllSearchToSystemFolder();
  Frame();
  int result = ProgramEntry();
  int code = result == 0 ? Frame().quitCode : result;
  FrameExitProgram(code);
}

extern "C" int atexit(void (*)()) { return 0; }
