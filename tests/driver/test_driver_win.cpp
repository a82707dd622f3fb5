// The Win32 test driver: program start and exit, window lookup by polling,
// message boxes, input and window texts. See test_driver.h for the contract.
#include "test_driver.h"

#include <cstring>
#include <utility>

namespace testdriver {

namespace {

// Texts are GBK (code page 936) on our side; windows are asked in UTF-16, so
// that what is read does not depend on the system's ANSI code page.
constexpr UINT kGbk = 936;

std::wstring WideOf(const std::string& gbk) {
  if (gbk.empty()) return std::wstring();
  int n = MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), &wide[0], n);
  return wide;
}

std::string GbkOf(const wchar_t* wide, int length) {
  if (length <= 0) return std::string();
  int n = WideCharToMultiByte(kGbk, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string gbk(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(kGbk, 0, wide, length, &gbk[0], n, nullptr, nullptr);
  return gbk;
}


// How long a WM_GETTEXT sent to another process may take before the driver
// gives up on a hung window.
constexpr UINT kSendTimeoutMs = 5000;
constexpr DWORD kKillWaitMs = 5000;
// Longer captions and class names than this never match.
constexpr int kMaxCompareChars = 1024;

// Milliseconds since start, wrap-safe for runs shorter than 49 days.
DWORD ElapsedSince(DWORD start) { return GetTickCount() - start; }

// Collects windows from EnumWindows/EnumChildWindows. The callback catches
// everything itself: no exception may cross into the system's enumerator.
struct WindowList {
  std::vector<HWND> windows;
  bool failed = false;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* list = reinterpret_cast<WindowList*>(param);
  try {
    list->windows.push_back(hwnd);
    return TRUE;
  } catch (...) {
    list->failed = true;
    return FALSE;
  }
}

// Every top-level window, or only those of a class when one is named: the
// window system then picks them out itself, in a request or two instead of
// a few per window (under Wine each goes to the one server process, which
// also serves every file call of the program being watched).
std::vector<HWND> TopLevelWindows(const char* className) {
  if (className == nullptr) {
    WindowList list;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&list));
    return std::move(list.windows);
  }
  const std::wstring wideClass = WideOf(className);
  std::vector<HWND> windows;
  for (HWND hwnd = FindWindowExW(nullptr, nullptr, wideClass.c_str(), nullptr); hwnd != nullptr;
       hwnd = FindWindowExW(nullptr, hwnd, wideClass.c_str(), nullptr))
    windows.push_back(hwnd);
  return windows;
}

bool ClassIs(HWND hwnd, const char* className) {
  wchar_t name[kMaxCompareChars];
  if (GetClassNameW(hwnd, name, kMaxCompareChars) == 0) return false;
  return lstrcmpiW(name, WideOf(className).c_str()) == 0;
}

// GetWindowTextW does not send WM_GETTEXT to windows of other processes; it
// reads the caption Windows keeps, so a hung target cannot block the search.
bool CaptionIs(HWND hwnd, const char* caption) {
  wchar_t text[kMaxCompareChars];
  text[0] = L'\0';
  int length = GetWindowTextW(hwnd, text, kMaxCompareChars);
  if (length >= kMaxCompareChars - 1) return false;
  return WideOf(caption) == text;
}

bool TopWindowMatches(HWND hwnd, DWORD processId, const char* caption,
                      const char* className) {
  if (!IsWindowVisible(hwnd)) return false;
  if (processId != 0) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != processId) return false;
  }
  if (className != nullptr && !ClassIs(hwnd, className)) return false;
  return caption == nullptr || CaptionIs(hwnd, caption);
}

HWND FindTopWindowWhile(DWORD processId, HANDLE process, const char* caption,
                        const char* className, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    for (HWND hwnd : TopLevelWindows(className)) {
      if (TopWindowMatches(hwnd, processId, caption, className)) return hwnd;
    }
    if (process != nullptr && WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
      return nullptr;
    if (ElapsedSince(start) >= timeoutMs) return nullptr;
    Sleep(kPollIntervalMs);
  }
}

LPARAM PointParam(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

}  // namespace

const char kDialogClass[] = "#32770";

void AppendQuotedArgument(std::string* commandLine,
                          const std::string& argument) {
  if (!commandLine->empty()) commandLine->push_back(' ');
  if (!argument.empty() &&
      argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    commandLine->append(argument);
    return;
  }
  commandLine->push_back('"');
  size_t backslashes = 0;
  for (size_t i = 0; i < argument.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(argument[i]);
    if (byte >= 0x80 && i + 1 < argument.size()) {
      commandLine->append(argument, i, 2);
      ++i;
      backslashes = 0;
    } else if (byte == '\\') {
      commandLine->push_back('\\');
      ++backslashes;
    } else if (byte == '"') {
      // Each backslash before a quote must be doubled, and the quote escaped.
      commandLine->append(backslashes + 1, '\\');
      commandLine->push_back('"');
      backslashes = 0;
    } else {
      commandLine->push_back(static_cast<char>(byte));
      backslashes = 0;
    }
  }
  // Backslashes before the closing quote are doubled so it stays a quote.
  commandLine->append(backslashes, '\\');
  commandLine->push_back('"');
}

Process StartProgram(const std::string& commandLine,
                     const std::string& workingDir, DWORD* lastError) {
  Process result;
  // CreateProcessW may write into the command line, so it gets a copy.
  std::wstring mutableLine = WideOf(commandLine);
  std::wstring folder = WideOf(workingDir);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  BOOL ok = CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &startup, &info);
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  if (lastError != nullptr) *lastError = error;
  if (!ok) return result;
  result.process.Reset(info.hProcess);
  result.thread.Reset(info.hThread);
  result.processId = info.dwProcessId;
  result.threadId = info.dwThreadId;
  return result;
}

WaitResult WaitForExit(const Process& process, DWORD timeoutMs,
                       DWORD* exitCode) {
  if (!process.IsStarted()) return WaitResult::kFailed;
  DWORD wait = WaitForSingleObject(process.process.Get(), timeoutMs);
  if (wait == WAIT_TIMEOUT) return WaitResult::kTimedOut;
  if (wait != WAIT_OBJECT_0) return WaitResult::kFailed;
  DWORD code = 0;
  if (!GetExitCodeProcess(process.process.Get(), &code))
    return WaitResult::kFailed;
  if (exitCode != nullptr) *exitCode = code;
  return WaitResult::kExited;
}

bool Kill(const Process& process, UINT exitCode) {
  if (!process.IsStarted()) return false;
  HANDLE handle = process.process.Get();
  if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) return true;
  // TerminateProcess fails when the process ended in the meantime; the wait
  // below tells the two cases apart.
  TerminateProcess(handle, exitCode);
  return WaitForSingleObject(handle, kKillWaitMs) == WAIT_OBJECT_0;
}

HWND FindTopWindow(DWORD processId, const char* caption, const char* className,
                   DWORD timeoutMs) {
  return FindTopWindowWhile(processId, nullptr, caption, className, timeoutMs);
}

HWND FindTopWindow(const Process& process, const char* caption,
                   const char* className, DWORD timeoutMs) {
  if (!process.IsStarted()) return nullptr;
  return FindTopWindowWhile(process.processId, process.process.Get(), caption,
                            className, timeoutMs);
}

HWND FindMessageBox(DWORD processId, const char* caption, DWORD timeoutMs) {
  return FindTopWindow(processId, caption, kDialogClass, timeoutMs);
}

HWND FindMessageBox(const Process& process, const char* caption,
                    DWORD timeoutMs) {
  return FindTopWindow(process, caption, kDialogClass, timeoutMs);
}

std::string ReadMessageBoxText(HWND box) {
  if (!IsWindow(box) || !ClassIs(box, kDialogClass)) return std::string();
  HWND text = GetDlgItem(box, kMessageBoxTextId);
  if (text == nullptr) return std::string();
  return GetTextOf(text);
}

std::vector<ButtonInfo> ListButtons(HWND window) {
  std::vector<ButtonInfo> buttons;
  WindowList list;
  if (!IsWindow(window)) return buttons;
  EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&list));
  for (HWND child : list.windows) {
    // Direct children only: a message box's buttons are its own children.
    if (GetParent(child) != window) continue;
    if (!IsWindowVisible(child) || !ClassIs(child, "Button")) continue;
    ButtonInfo info;
    info.hwnd = child;
    info.id = GetDlgCtrlID(child);
    info.text = GetTextOf(child);
    buttons.push_back(std::move(info));
  }
  return buttons;
}

bool PressButton(HWND window, int buttonId) {
  if (!IsWindow(window)) return false;
  HWND button = GetDlgItem(window, buttonId);
  if (button == nullptr) return false;
  return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool RequestClose(HWND window) {
  return PostMessageW(window, WM_CLOSE, 0, 0) != FALSE;
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (ElapsedSince(start) >= timeoutMs) return false;
    Sleep(kPollIntervalMs);
  }
  return true;
}

bool ClickAt(HWND window, int x, int y) {
  LPARAM point = PointParam(x, y);
  return PostMessageW(window, WM_MOUSEMOVE, 0, point) &&
         PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point) &&
         PostMessageW(window, WM_LBUTTONUP, 0, point);
}

bool ClickAtReal(HWND window, int x, int y) {
  if (!IsWindow(window)) return false;
  // Only a foreground window is sure to be on top of the point; Windows may
  // refuse the switch to another process's window, hence best effort.
  SetForegroundWindow(GetAncestor(window, GA_ROOT));
  POINT point = {x, y};
  if (!ClientToScreen(window, &point)) return false;
  if (!SetCursorPos(point.x, point.y)) return false;
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

bool PressKey(HWND window, UINT virtualKey) {
  UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  // lParam: repeat count 1 and the scan code; a release also sets the
  // previous-state and transition bits.
  LPARAM down = 1 | (static_cast<LPARAM>(scanCode & 0xFF) << 16);
  LPARAM up = down | (LPARAM{1} << 30) | static_cast<LPARAM>(1u << 31);
  return PostMessageW(window, WM_KEYDOWN, virtualKey, down) &&
         PostMessageW(window, WM_KEYUP, virtualKey, up);
}

bool WindowRectOf(HWND window, RECT* rect) {
  return IsWindow(window) && GetWindowRect(window, rect);
}

bool ClientRectOf(HWND window, RECT* rect) {
  return IsWindow(window) && GetClientRect(window, rect);
}

bool IsWindowShown(HWND window) {
  return IsWindow(window) && IsWindowVisible(window);
}

std::vector<HWND> ListDescendants(HWND parent) {
  WindowList list;
  if (IsWindow(parent))
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&list));
  return std::move(list.windows);
}

HWND FindChildById(HWND parent, int id) {
  for (HWND child : ListDescendants(parent)) {
    if (GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

HWND FindChildByClass(HWND parent, const char* className, int index) {
  for (HWND child : ListDescendants(parent)) {
    if (ClassIs(child, className) && index-- == 0) return child;
  }
  return nullptr;
}

HWND FindChildByText(HWND parent, const char* text, const char* className) {
  for (HWND child : ListDescendants(parent)) {
    if (className != nullptr && !ClassIs(child, className)) continue;
    if (GetTextOf(child) == text) return child;
  }
  return nullptr;
}

std::string ClassNameOf(HWND window) {
  wchar_t name[kMaxCompareChars];
  return GbkOf(name, GetClassNameW(window, name, kMaxCompareChars));
}

std::string GetTextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &length))
    return std::string();
  std::vector<wchar_t> buffer(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                           reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
    return std::string();
  if (copied >= buffer.size()) copied = buffer.size() - 1;
  return GbkOf(buffer.data(), static_cast<int>(copied));
}

std::string GbkToUtf8(const std::string& gbk) {
  std::wstring wide = WideOf(gbk);
  if (wide.empty()) return std::string();
  int length = static_cast<int>(wide.size());
  int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (utf8Length <= 0) return std::string();
  std::string utf8(static_cast<size_t>(utf8Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &utf8[0], utf8Length, nullptr, nullptr);
  return utf8;
}

}  // namespace testdriver
