// Process-wide frame: start-up, blocks on the process heap, the runtime error
// report, the exit path from any thread, the message loop and the shutdown.
#include "frame/program_frame_win.h"

#include <objbase.h>
#include <ole2.h>

#include <cstring>
#include <new>
#include <string>

#include "frame/blocks.h"
#include "frame/forms_win.h"
#include "frame/message_text.h"
#include "frame/wide_text_win.h"

namespace {

const wchar_t kMessageWindowClass[] = L"SetupFrameMessageWindow";

LRESULT CALLBACK MessageWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMsgExitRequest) FrameExitProgram(static_cast<int>(wParam));
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void* HeapAllocBlock(size_t n) { return HeapAlloc(Frame().heap, 0, n); }
void* HeapReallocBlock(void* p, size_t n) { return HeapReAlloc(Frame().heap, 0, p, n); }
void HeapFreeBlock(void* p) { HeapFree(Frame().heap, 0, p); }
size_t HeapBlockSize(const void* p) {
  SIZE_T n = HeapSize(Frame().heap, 0, p);
  return n == static_cast<SIZE_T>(-1) ? 0 : n;
}
void BlockFatal(int code, const char* message) { FrameFatal(code, message); }

// Splits the program path at its last backslash, stepping over two-byte
// characters so that a trail byte 0x5C is not taken for a separator.
void SplitProgramPath(const char* path, char* folder, char* fileName) {
  const char* lastSeparator = nullptr;
  for (const char* p = path; *p;) {
    if (static_cast<unsigned char>(*p) >= 0x80 && p[1]) {
      p += 2;
      continue;
    }
    if (*p == '\\') lastSeparator = p;
    ++p;
  }
  if (!lastSeparator) {
    folder[0] = '\0';
    lstrcpynA(fileName, path, MAX_PATH);
    return;
  }
  size_t folderLen = static_cast<size_t>(lastSeparator - path);
  std::memcpy(folder, path, folderLen);
  folder[folderLen] = '\0';
  lstrcpynA(fileName, lastSeparator + 1, MAX_PATH);
}

void CreateMessageWindow(ProgramFrame& f) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = MessageWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  wc.lpszClassName = kMessageWindowClass;
  RegisterClassW(&wc);
  f.messageWindow = CreateWindowExW(WS_EX_TOOLWINDOW, kMessageWindowClass, L"", 0, 0, 0, 0, 0,
                                    nullptr, nullptr, wc.hInstance, nullptr);
}

}  // namespace

ProgramFrame& Frame() {
  // Created on first use and never destroyed: it must outlive every thread.
  static ProgramFrame* frame = new ProgramFrame;
  return *frame;
}

void FrameInitialise() {
  ProgramFrame& f = Frame();
  const ProgramDescriptor& d = gProgramDescriptor;
  f.heap = GetProcessHeap();
  f.runMode = d.runMode;
  BlockPlatform platform = {HeapAllocBlock, HeapReallocBlock, HeapFreeBlock, HeapBlockSize,
                            BlockFatal};
  SetBlockPlatform(platform);

  if (!f.oleInitialized && SUCCEEDED(OleInitialize(nullptr))) f.oleInitialized = true;

  // The program keeps its path as GBK text; a path with a character that GBK
  // lacks is kept in its short form, which names the same file.
  wchar_t widePath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, widePath, MAX_PATH);
  std::string path;
  GbkPathFromWide(widePath, &path);
  if (path.size() >= MAX_PATH) path.clear();
  SplitProgramPath(path.c_str(), f.programFolder, f.programFileName);
  SetCurrentDirectoryW(WideFromGbk(f.programFolder).c_str());

  CreateMessageWindow(f);
  f.mainThreadId = GetCurrentThreadId();

  if (d.constantSize > 0) AddConstantRange(d.constantStart, d.constantSize);
  f.dllCommands.assign(static_cast<size_t>(d.dllCommandCount), DllCommandSlot{});

  f.libraries.assign(static_cast<size_t>(d.libraryCount), LibraryState{});
  for (int i = 0; i < d.libraryCount; ++i) {
    f.libraries[i].notify = d.libraries[i].notify;
    if (f.libraries[i].notify)
      f.libraries[i].notify(kNotifyFrameEntry, reinterpret_cast<intptr_t>(&FrameService), 0);
  }

  FormsInitialise(d.formData, d.formSize);
}

void FrameKeepModule(HMODULE module) {
  if (module) Frame().commandModules.push_back(module);
}

HMODULE LoadSystemLibrary(const char* fileName) {
  wchar_t folder[MAX_PATH];
  UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::wstring path = std::wstring(folder) + L"\\" + WideFromGbk(fileName);
  return LoadLibraryW(path.c_str());
}

bool EventsSuspended() { return Frame().eventSuspendCount > 0; }

void ProcessPendingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit message for the loop that is waiting for it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (FormsPreTranslate(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void SuspendEvents() {
  ProcessPendingMessages();
  InterlockedIncrement(&Frame().eventSuspendCount);
}

void ResumeEvents() {
  ProcessPendingMessages();
  ProgramFrame& f = Frame();
  for (;;) {
    LONG current = f.eventSuspendCount;
    if (current <= 0) return;
    if (InterlockedCompareExchange(&f.eventSuspendCount, current - 1, current) == current) return;
  }
}

void FrameFatal(int code, const char* message) {
  ProgramFrame& f = Frame();
  InterlockedIncrement(&f.eventSuspendCount);
  // One box per process: a second error on another thread waits for the
  // process to end.
  if (InterlockedExchange(&f.errorReported, 1) != 0) {
    for (;;) Sleep(INFINITE);
  }
  std::string text = ComposeRuntimeErrorText(code, message);
  MessageBoxGbk(nullptr, text.c_str(), "错误", MB_OK | MB_ICONERROR);
  f.cleanupRoutine = nullptr;
  FrameExitProgram(-1);
}

void FrameExitProgram(int code) {
  ProgramFrame& f = Frame();
  InterlockedIncrement(&f.eventSuspendCount);
  if (GetCurrentThreadId() != f.mainThreadId) {
    if (f.messageWindow && IsWindow(f.messageWindow))
      SendMessageW(f.messageWindow, kMsgExitRequest, static_cast<WPARAM>(code), 0);
    ExitProcess(static_cast<UINT>(code));
  }
  // The main thread shuts down once, even when a clean-up routine or a
  // library asks to exit again while that runs.
  if (InterlockedExchange(&f.exitStarted, 1) == 0) FrameShutdownRuntime(code);
  ExitProcess(static_cast<UINT>(code));
}

void FrameShutdownRuntime(int code) {
  ProgramFrame& f = Frame();
  f.shutdownStarted = true;
  FormsRelease();
  if (void (*cleanup)() = f.cleanupRoutine) {
    f.cleanupRoutine = nullptr;
    cleanup();
  }
  for (LibraryState& lib : f.libraries)
    if (lib.notify) lib.notify(kNotifyProgramEnd, lib.word, code);
  f.libraries.clear();
  FreeDllCommandModules();
  for (HMODULE m : f.commandModules) FreeLibrary(m);
  f.commandModules.clear();
  ClearConstantRanges();
  if (f.messageWindow) {
    DestroyWindow(f.messageWindow);
    f.messageWindow = nullptr;
  }
  if (f.oleInitialized) {
    f.oleInitialized = false;
    OleUninitialize();
  }
}

void FrameRunMessageLoop() {
  ProgramFrame& f = Frame();
  f.loopEntered = true;
  if (!FormsHaveLiveWindow()) return;
  MSG msg;
  for (;;) {
    // The queue is empty: idle calls until a handler stops asking for more.
    DWORD idleStart = GetTickCount();
    while (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && FormsIdle(GetTickCount() - idleStart)) {
    }
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (FormsPreTranslate(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  f.quitCode = static_cast<int>(msg.wParam);
}
