// Declared DLL commands: resolved on first use, cached, and called; the
// i386 build checks that the callee left the stack balanced.
#include <windows.h>

#include <string>

#include "frame/dll_names.h"
#include "frame/program_frame_win.h"
#include "frame/wide_text_win.h"

namespace {

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesW(WideFromGbk(path.c_str()).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

FARPROC FindExport(HMODULE module, const DllExportName& name) {
  if (name.byOrdinal) return GetProcAddress(module, MAKEINTRESOURCEA(name.ordinal));
  return GetProcAddress(module, name.name);
}

[[noreturn]] void CommandNotFound(const char* library, const char* command) {
  FrameFatal(0, DllCommandNotFoundText(library, command).c_str());
}

#if defined(__i386__)
// Calls fn with argCount 32-bit arguments pushed right to left. *stackDelta
// receives how many bytes the callee left on (positive) or took off the
// stack; a stdcall function that matches its declaration leaves 0.
uint64_t InvokeChecked(FARPROC fn, int argCount, const DllArg* args, int32_t* stackDelta) {
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
#elif defined(__x86_64__)
// The x64 convention has one calling convention and the caller owns the
// stack: the first four integer arguments travel in RCX, RDX, R8 and R9, the
// rest in the caller's frame above the 32-byte home area, and a callee reads
// only the arguments it declares. Calling through a prototype of the widest
// argument list, padded with zeros, therefore calls every command correctly
// and can never unbalance the stack.
constexpr int kMaxDllArgs = 16;
using WidestCommand = uint64_t (*)(DllArg, DllArg, DllArg, DllArg, DllArg, DllArg, DllArg, DllArg,
                                   DllArg, DllArg, DllArg, DllArg, DllArg, DllArg, DllArg, DllArg);

uint64_t Invoke(FARPROC fn, int argCount, const DllArg* args) {
  // No Windows command takes more; a longer declaration is a program fault.
  if (argCount > kMaxDllArgs) gSystem.ReportRuntimeError(11);
  DllArg a[kMaxDllArgs] = {};
  for (int i = 0; i < argCount; ++i) a[i] = args[i];
  auto call = reinterpret_cast<WidestCommand>(reinterpret_cast<void*>(fn));
  return call(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12],
              a[13], a[14], a[15]);
}
#else
#error "DLL commands are called for i386 and x86-64 only"
#endif

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

  wchar_t wideSystemFolder[MAX_PATH] = {};
  GetSystemDirectoryW(wideSystemFolder, MAX_PATH);
  std::string folderText;
  GbkPathFromWide(wideSystemFolder, &folderText);
  const char* systemFolder = folderText.c_str();
  bool inSystemFolder = IsBareDllName(library) &&
                        FileExists(std::string(systemFolder) + "\\" + DllFileName(library));
  DllCandidates candidates =
      DllLibraryCandidates(library, f.programFolder, systemFolder, inSystemFolder);

  for (const std::string& file : candidates.files) {
    HMODULE module = LoadLibraryW(WideFromGbk(file.c_str()).c_str());
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

uint64_t CallDllCommandImpl(int index, int argCount, const DllArg* args) {
  FARPROC fn = ResolveDllCommand(index);
  if (argCount < 0) argCount = 0;
#if defined(__i386__)
  int32_t stackDelta = 0;
  uint64_t result = InvokeChecked(fn, argCount, args, &stackDelta);
  if (stackDelta != 0) gSystem.ReportRuntimeError(6);
  return result;
#else
  return Invoke(fn, argCount, args);
#endif
}

void FreeDllCommandModules() {
  for (DllCommandSlot& slot : Frame().dllCommands) {
    if (slot.module) FreeLibrary(slot.module);
    slot = DllCommandSlot{};
  }
  Frame().dllCommands.clear();
}
