// The thirteen system functions, the frame service entry and the process
// entry that starts the program.
#include <windows.h>

#include "frame/blocks.h"
#include "frame/message_text.h"
#include "frame/program_frame_win.h"

namespace {

void SysReportRuntimeError(int code) { FrameFatal(code, RuntimeErrorMessage(code)); }

uint64_t SysCallDllCommand(int index, int argCount, const DllArg* args) {
  return CallDllCommandImpl(index, argCount, args);
}

ArgValue SysCallCommand(CommandFn command, int count, const ArgValue* args) {
  ArgValue result = {};
  command(&result, count, args);
  return result;
}

int64_t SysReadUnitProperty(uint32_t windowId, uint32_t unitId, int property, int member) {
  return FormsReadProperty(windowId, unitId, property, member);
}

void SysWriteUnitProperty(uint32_t windowId, uint32_t unitId, int property, int member,
                          uint64_t value) {
  FormsWriteProperty(windowId, unitId, property, member, value);
}

void* SysAllocateBlock(int32_t n) { return AllocateProgramBlock(n); }
void* SysReallocateBlock(void* p, int32_t n) { return ReallocateProgramBlock(p, n); }

void SysFreeBlock(void* p) { FreeBlock(p); }
void SysExitProgram(int code) { FrameExitProgram(code); }
void SysRunMessageLoop() { FrameRunMessageLoop(); }
void SysLoadStartWindow(uint32_t windowId) { FormsLoadStartWindow(windowId); }

intptr_t SysRuntimeService(int number, intptr_t a1, intptr_t a2, intptr_t a3) {
  switch (number) {
    case kServiceInitialise:
      FrameInitialise();
      return 1;
    case kServiceRegisterCleanup:
      Frame().cleanupRoutine = reinterpret_cast<void (*)()>(a1);
      return 1;
    default:
      // Directory searches, private copies and own properties by live object
      // are not used by this program.
      return kServiceNotSupported;
  }
}

}  // namespace

const SystemFunctionTable gSystem = {
    SysReportRuntimeError, SysCallDllCommand,    SysCallCommand,     SysCallCommand,
    SysReadUnitProperty,   SysWriteUnitProperty, SysAllocateBlock,   SysReallocateBlock,
    SysFreeBlock,          SysExitProgram,       SysRunMessageLoop,  SysLoadStartWindow,
    SysRuntimeService,
};

intptr_t FrameService(int code, intptr_t a1, intptr_t a2, intptr_t a3) {
  ProgramFrame& f = Frame();
  switch (code) {
    case kFsProgramFolder:
      return reinterpret_cast<intptr_t>(f.programFolder);
    case kFsProgramFileName:
      return reinterpret_cast<intptr_t>(f.programFileName);
    case kFsSuspendEvents:
      SuspendEvents();
      return 0;
    case kFsResumeEvents:
      ResumeEvents();
      return 0;
    case kFsEventSource:
      if (a1) *reinterpret_cast<UnitRef*>(a1) = f.eventSource;
      return 0;
    case kFsProcessMessages:
      ProcessPendingMessages();
      return 0;
    case kFsAllocate:
      return reinterpret_cast<intptr_t>(a2 ? TryAllocateBlock(static_cast<size_t>(a1))
                                           : AllocateBlock(static_cast<size_t>(a1)));
    case kFsFree:
      FreeBlock(reinterpret_cast<void*>(a1));
      return 0;
    case kFsReallocate:
      return reinterpret_cast<intptr_t>(
          ReallocateBlock(reinterpret_cast<void*>(a1), static_cast<size_t>(a2)));
    case kFsFatalMessage:
      FrameFatal(0, reinterpret_cast<const char*>(a1));
    case kFsExitProgram:
      FrameExitProgram(static_cast<int>(a1));
    case kFsRunMode:
      return f.runMode;
    default:
      // Window templates, unit types, live objects and events.
      return FormsService(code, a1, a2, a3);
  }
}

