// A program on the frame for the Wine-run tests. The first command-line word
// picks what it does; it reports through its exit code and through marker
// files written next to it, and it may show boxes that the test driver reads.
#include <windows.h>

#include <cstring>

#include "frame/core_commands.h"
#include "frame/frame_api.h"
#include "frame/program_frame_win.h"
#include "tests/win32/probe_log.h"

namespace {

const char* const kDllLibraries[] = {
    "shell32", "shell32.dll", "kernel32.dll", "msvcrt.dll", "probelib", "shell32", "",
};
const char* const kDllCommands[] = {
    "IsUserAnAdmin", "IsUserAnAdmin", "NoSuchExport", "labs", "ProbeMarker", "ProbeMarker",
    "GetTickCount",
};
enum DllIndex { kShell32Bare, kShell32Dll, kMissingExport, kCdeclFunction, kLocalLibrary,
                kPlantedSystemName, kDefaultLibrary };

// Writes a marker file named name in the program's folder.
void WriteMarker(const char* name, const char* content) {
  char path[MAX_PATH];
  wsprintfA(path, "%s\\%s", Frame().programFolder, name);
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(h, content, lstrlenA(content), &written, nullptr);
  CloseHandle(h);
}

void Cleanup() {
  WriteMarker("cleanup.txt",
              GetCurrentThreadId() == Frame().mainThreadId ? "main" : "other");
}

DWORD WINAPI ExitWorker(LPVOID) {
  gSystem.ExitProgram(0);
  return 1;  // never reached
}

DWORD WINAPI ErrorWorker(LPVOID) {
  gSystem.ReportRuntimeError(4);
  return 1;
}

// Keeps the main thread pumping messages, as a program's window thread does.
[[noreturn]] void PumpForever() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  ExitProcess(99);  // a quit message was not expected
}

int RunMode() {
  if (!strcmp(gMode, "loop-empty")) {
    gSystem.RunMessageLoop();
    return 0;
  }
  if (!strcmp(gMode, "exit-worker") || !strcmp(gMode, "error-worker")) {
    HANDLE t = CreateThread(nullptr, 0, gMode[0] == 'e' && gMode[1] == 'x' ? ExitWorker : ErrorWorker,
                            nullptr, 0, nullptr);
    CloseHandle(t);
    PumpForever();
  }
  if (!strcmp(gMode, "dll-shell32")) {
    // Both spellings of the library resolve to the system's shell library.
    gSystem.CallDllCommand(kShell32Bare, 0, nullptr);
    gSystem.CallDllCommand(kShell32Dll, 0, nullptr);
    HMODULE system = GetModuleHandleA("shell32.dll");
    const ProgramFrame& f = Frame();
    bool same = f.dllCommands[kShell32Bare].module == system &&
                f.dllCommands[kShell32Dll].module == system && system != nullptr;
    return same ? 0 : 3;
  }
  if (!strcmp(gMode, "dll-missing")) gSystem.CallDllCommand(kMissingExport, 0, nullptr);
  if (!strcmp(gMode, "dll-cdecl")) {
    DllArg arg = static_cast<uint32_t>(-5);
    gSystem.CallDllCommand(kCdeclFunction, 1, &arg);  // leaves the stack unbalanced
    return 4;
  }
  if (!strcmp(gMode, "dll-local"))
    return static_cast<int>(gSystem.CallDllCommand(kLocalLibrary, 0, nullptr));
  if (!strcmp(gMode, "dll-planted")) gSystem.CallDllCommand(kPlantedSystemName, 0, nullptr);
  if (!strcmp(gMode, "dll-default"))
    return gSystem.CallDllCommand(kDefaultLibrary, 0, nullptr) != 0 ? 0 : 5;
  if (!strcmp(gMode, "msgbox-yesno")) {
    ArgValue args[3] = {MakeText("问题"), MakeInt(0x44), MakeText("温馨提示：")};
    ArgValue r = gSystem.CallCoreCommand(CmdShowMessageBox, 3, args);
    return r.i32;
  }
  if (!strcmp(gMode, "msgbox-bool")) {
    ArgValue args[1] = {MakeBool(true)};
    return gSystem.CallCoreCommand(CmdShowMessageBox, 1, args).i32;
  }
  if (!strcmp(gMode, "touch")) {
    WriteMarker("touched.txt", "yes");
    return 7;
  }
  if (!strcmp(gMode, "alloc-fail")) {
    gSystem.AllocateBlock(-16);
    return 6;
  }
  return 2;
}

}  // namespace

extern "C" const uint8_t gConstantStart[];
extern "C" const uint8_t gConstantEnd[];

const ProgramDescriptor gProgramDescriptor = {
    3,       nullptr, 0,       gConstantStart, static_cast<size_t>(gConstantEnd - gConstantStart),
    nullptr, 0,       0,       nullptr,        static_cast<int>(sizeof kDllCommands / sizeof kDllCommands[0]),
    kDllLibraries, kDllCommands,
};

int ProgramEntry() {
  gSystem.RuntimeService(kServiceInitialise, 0, 0, 0);
  gSystem.RuntimeService(kServiceRegisterCleanup, reinterpret_cast<intptr_t>(&Cleanup), 0, 0);
  ParseProbeCommandLine();  // the mode; this probe keeps no log
  return RunMode();
}
