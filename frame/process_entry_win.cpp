// The process entry: hardens the DLL search, then runs the program through
// the frame.
#include <windows.h>

#include "frame/program_frame_win.h"

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

// Process entry: the frame's instance start runs the program entry; a result
// of 0 leads to the instance end, which shuts the runtime down and ends the
// process with the code carried by the quit message.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystemFolder();
  Frame();
  int result = ProgramEntry();
  int code = result == 0 ? Frame().quitCode : result;
  FrameExitProgram(code);
}
