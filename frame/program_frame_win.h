// The one ProgramFrame of the process and the frame's internal operations
// that the Windows-side modules share. Windows only.
#pragma once

#include <windows.h>

#include <vector>

#include "frame/frame_api.h"

// Private message that hands an exit request to the main thread.
constexpr UINT kMsgExitRequest = 0x83E7;

struct DllCommandSlot {
  FARPROC address = nullptr;
  HMODULE module = nullptr;
};

struct LibraryState {
  LibraryNotifyFn notify = nullptr;
  intptr_t word = 0;
};

struct ProgramFrame {
  HANDLE heap = nullptr;
  int runMode = 0;
  bool oleInitialized = false;
  char programFolder[MAX_PATH] = {};
  char programFileName[MAX_PATH] = {};
  HWND messageWindow = nullptr;
  DWORD mainThreadId = 0;
  std::vector<DllCommandSlot> dllCommands;
  std::vector<LibraryState> libraries;
  std::vector<HMODULE> commandModules;  // loaded by commands, freed at shutdown
  volatile LONG eventSuspendCount = 0;
  UnitRef eventSource = {};
  void (*cleanupRoutine)() = nullptr;
  bool shutdownStarted = false;
  bool loopEntered = false;
  int quitCode = 0;
  volatile LONG errorReported = 0;
  volatile LONG exitStarted = 0;
};

// The frame lives for the whole process and is never destroyed.
ProgramFrame& Frame();

intptr_t FrameService(int code, intptr_t a1, intptr_t a2, intptr_t a3);

// Runtime error report: one box, then ExitProgram(-1) without the clean-up
// routine. code 0 means a message without a code.
[[noreturn]] void FrameFatal(int code, const char* message);
[[noreturn]] void FrameExitProgram(int code);
void FrameShutdownRuntime(int code);
void FrameRunMessageLoop();
void FrameInitialise();

void SuspendEvents();  // both first process pending messages
void ResumeEvents();
bool EventsSuspended();
void ProcessPendingMessages();

// Keeps a module that a command loaded until shutdown.
void FrameKeepModule(HMODULE module);

// Loads a system library from the system folder only.
HMODULE LoadSystemLibrary(const char* fileName);

// DLL commands (dll_commands_win.cpp).
FARPROC ResolveDllCommand(int index);
uint64_t CallDllCommandImpl(int index, int argCount, const DllArg* args);
void FreeDllCommandModules();

// Window templates and live windows (forms_win.cpp).
void FormsInitialise(const uint8_t* data, size_t size);  // fatal on corrupt data
bool FormsHaveLiveWindow();
bool FormsPreTranslate(MSG* msg);  // true when the message was consumed
void FormsRelease();
void FormsLoadStartWindow(uint32_t windowId);
int64_t FormsReadProperty(uint32_t windowId, uint32_t unitId, int property, int member);
void FormsWriteProperty(uint32_t windowId, uint32_t unitId, int property, int member,
                        uint64_t value);
intptr_t FormsService(int code, intptr_t a1, intptr_t a2, intptr_t a3);
