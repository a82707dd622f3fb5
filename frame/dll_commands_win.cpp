// Declared DLL commands: resolved on first use, cached, called with a check
// that the callee left the stack balanced.
#include <windows.h>

#include <string>

#include "frame/dll_names.h"
#include "frame/program_frame_win.h"

namespace {

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

FARPROC FindExport(HMODULE module, const DllExportName& name) {
  if (name.byOrdinal) return GetProcAddress(module, MAKEINTRESOURCEA(name.ordinal));
  return GetProcAddress(module, name.name);
}

[[noreturn]] void CommandNotFound(const char* library, const char* command) {
  FrameFatal(0, DllCommandNotFoundText(library, command).c_str());
}

// Calls fn with argCount 32-bit arguments pushed right to left. *stackDelta
// receives how many bytes the callee left on (positive) or took off the
// stack; a stdcall function that matches its declaration leaves 0.
uint64_t InvokeChecked(FARPROC fn, int argCount, const uint32_t* args, int32_t* stackDelta) {
  uint32_t eax = reinterpret_cast<uint32_t>(fn);
  uint32_t ecx = static_cast<uint32_t>(argCount);
  uint32_t edx;
  __asm__ volatile(
      "movl %%esp, %%edi\n\t"
      "1:\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n\t"
      "pushl -4(%%esi,%%ecx,4)\n\t"
      "decl %%ecx\n\t"
      "jmp 1b\n"
      "2:\n\t"
      "call *%%eax\n\t"
      "movl %%edi, %%ecx\n\t"
      "subl %%esp, %%ecx\n\t"
      "movl %%edi, %%esp\n\t"
      : "+a"(eax), "+c"(ecx), "=d"(edx)
      : "S"(args)
      : "edi", "memory", "cc");
  *stackDelta = static_cast<int32_t>(ecx);
  return (static_cast<uint64_t>(edx) << 32) | eax;
}

}  // namespace

FARPROC ResolveDllCommand(int index) {
  ProgramFrame& f = Frame();
  const ProgramDescriptor& d = gProgramDescriptor;
  if (index < 0 || index >= static_cast<int>(f.dllCommands.size())) {
    FrameFatal(0, DllCommandNotFoundText("", "").c_str());
  }
  DllCommandSlot& slot = f.dllCommands[index];
  if (slot.address) return slot.address;

  const char* library = d.dllLibraryNames[index] ? d.dllLibraryNames[index] : "";
  const char* command = d.dllCommandNames[index] ? d.dllCommandNames[index] : "";
  DllExportName exportName = ParseDllCommandName(command);

  char systemFolder[MAX_PATH] = {};
  GetSystemDirectoryA(systemFolder, MAX_PATH);
  bool inSystemFolder = IsBareDllName(library) &&
                        FileExists(std::string(systemFolder) + "\\" + DllFileName(library));
  DllCandidates candidates =
      DllLibraryCandidates(library, f.programFolder, systemFolder, inSystemFolder);

  for (const std::string& file : candidates.files) {
    HMODULE module = LoadLibraryA(file.c_str());
    if (!module) continue;
    FARPROC address = FindExport(module, exportName);
    if (!address && candidates.firstExporterWins) {
      FreeLibrary(module);
      continue;
    }
    if (!address) {
      FreeLibrary(module);
      CommandNotFound(library, command);
    }
    slot.address = address;
    slot.module = module;
    return address;
  }
  CommandNotFound(library, command);
}

uint64_t CallDllCommandImpl(int index, int argCount, const uint32_t* args) {
  FARPROC fn = ResolveDllCommand(index);
  int32_t stackDelta = 0;
  uint64_t result = InvokeChecked(fn, argCount < 0 ? 0 : argCount, args, &stackDelta);
  if (stackDelta != 0) gSystem.ReportRuntimeError(6);
  return result;
}

void FreeDllCommandModules() {
  for (DllCommandSlot& slot : Frame().dllCommands) {
    if (slot.module) FreeLibrary(slot.module);
    slot = DllCommandSlot{};
  }
  Frame().dllCommands.clear();
}
