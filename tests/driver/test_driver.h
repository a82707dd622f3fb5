// A small Win32 driver that acts as a user of another program: it starts the
// program, finds its windows and message boxes, reads their texts, presses
// buttons, clicks and types, and collects the exit code. The Wine-run tests
// and the end-to-end tests are built on it; testdriver.exe offers the same to
// shell scripts.
//
// Windows only (built with the mingw-w64 i686 compiler, run under Wine).
// Texts are byte strings in the ANSI code page (936, GBK, under the tests'
// zh_CN locale), both what the caller passes (captions, class names, command
// lines) and what the driver returns (window texts).
//
// Windows are views: every HWND here is a non-owning handle to a window of
// some process. The driver never destroys a window; it only asks (RequestClose)
// or kills the whole process. A handle may become invalid at any moment when
// its window goes away; every function copes with that and reports failure.
//
// Waiting: functions with a timeoutMs poll every kPollIntervalMs until the
// condition holds or the time is up. A timeout of 0 checks once. No function
// waits without a limit.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testdriver {

constexpr DWORD kPollIntervalMs = 50;

// Move-only owner of one handle; Traits gives the handle type, its invalid
// value and how to close it. Copies are deleted, so exactly one owner closes.
template <typename Traits>
class UniqueHandle {
 public:
  using Value = typename Traits::Value;

  UniqueHandle() = default;
  explicit UniqueHandle(Value value) : value_(value) {}
  ~UniqueHandle() { Reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Value Get() const { return value_; }
  bool IsValid() const { return value_ != Traits::kInvalid; }

  // Gives up ownership without closing; the caller then owns the handle.
  Value Release() {
    Value value = value_;
    value_ = Traits::kInvalid;
    return value;
  }

  // Closes the owned handle (if any, and unless it is value itself) and
  // takes ownership of value.
  void Reset(Value value = Traits::kInvalid) {
    if (IsValid() && value != value_) Traits::Close(value_);
    value_ = value;
  }

 private:
  Value value_ = Traits::kInvalid;
};

// Kernel object handles (process, thread, event): null when absent.
struct KernelHandleTraits {
  using Value = HANDLE;
  static constexpr HANDLE kInvalid = nullptr;
  static void Close(HANDLE handle) { CloseHandle(handle); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

// A started program. Owns its process and main-thread handles (move-only);
// destroying it closes the handles but does not end the program.
struct Process {
  KernelHandle process;
  KernelHandle thread;
  DWORD processId = 0;
  DWORD threadId = 0;

  bool IsStarted() const { return process.IsValid(); }
};

// Appends one argument to a command line, quoted so that the C runtime's and
// CommandLineToArgvW's parsing give the argument back unchanged: a separating
// space first when commandLine is not empty; quotes only when the argument is
// empty or holds a space, tab or quote; backslashes doubled only where they
// precede a quote. A byte of 0x80 or above and the byte after it form one
// two-byte character and are copied as they are: the second byte of a GBK
// character may be 0x5C, which is not a backslash and is never doubled.
void AppendQuotedArgument(std::string* commandLine, const std::string& argument);

// Starts a program with CreateProcessA. commandLine is passed unchanged (the
// first word names the program; quote paths with spaces, e.g. with
// AppendQuotedArgument). workingDir empty = the driver's own current folder.
// No handles are inherited and no window state is forced. Result: a started
// Process, or one with IsStarted() false; then *lastError (when not null)
// receives GetLastError of the failed call (e.g. ERROR_FILE_NOT_FOUND).
Process StartProgram(const std::string& commandLine,
                     const std::string& workingDir,
                     DWORD* lastError = nullptr);

enum class WaitResult {
  kExited,    // the process has ended; *exitCode holds its exit code
  kTimedOut,  // still running after timeoutMs
  kFailed,    // no process, or a wait or exit-code query failed
};

// Waits up to timeoutMs for the process to end. On kExited, *exitCode (when
// not null) receives the full 32-bit code from GetExitCodeProcess, e.g.
// 0xFFFFFFFF for ExitProcess(-1); otherwise *exitCode is left unchanged.
WaitResult WaitForExit(const Process& process, DWORD timeoutMs,
                       DWORD* exitCode);

// Ends the process with TerminateProcess(exitCode) and waits up to 5 s for it
// to be gone. True when it has ended (also when it had already ended before).
bool Kill(const Process& process, UINT exitCode = 1);

// Finds a visible top-level window owned by process processId (0 = any
// process) whose caption equals caption byte for byte (null = any caption)
// and, when className is not null, whose window class equals className
// (case-insensitive, as Windows compares class names). Polls until found or
// timeoutMs has passed. Result: the window, or null. When several match, the
// first in z-order (topmost first) wins.
HWND FindTopWindow(DWORD processId, const char* caption, const char* className,
                   DWORD timeoutMs);
// As above for a started program; additionally gives up (null) as soon as
// the process has ended, instead of waiting out the timeout.
HWND FindTopWindow(const Process& process, const char* caption,
                   const char* className, DWORD timeoutMs);

// Message boxes are dialogs of class "#32770": their text is the static
// control with id kMessageBoxTextId, their buttons are children with the
// button ids (IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO).
constexpr int kMessageBoxTextId = 0xFFFF;
extern const char kDialogClass[];  // "#32770"

// FindTopWindow restricted to class "#32770": the message box with this
// caption (null = any caption) shown by the process (0 = any process).
HWND FindMessageBox(DWORD processId, const char* caption, DWORD timeoutMs);
HWND FindMessageBox(const Process& process, const char* caption,
                    DWORD timeoutMs);

// The text of a message box (exactly as passed to MessageBoxA, e.g. with its
// "\r\n"), read with WM_GETTEXT from its static control. Empty when hwnd is
// not a message box, has gone, or does not answer within 5 s.
std::string ReadMessageBoxText(HWND box);

// One button of a dialog.
struct ButtonInfo {
  HWND hwnd = nullptr;
  int id = 0;        // control id: IDOK, IDYES, ...
  std::string text;  // its label, e.g. "确定" or "&Yes" (ampersands kept)
};

// The visible child buttons (class "Button") of a window, in z-order (for a
// message box: left to right). Empty when there are none or hwnd has gone.
std::vector<ButtonInfo> ListButtons(HWND window);

// Presses the child button with control id buttonId of window (a message
// box or any dialog) by posting BM_CLICK to it. The button then sends itself
// the mouse press and release and notifies its parent, as a real click does.
// Posted, not sent: SendMessage would block the driver until the target's
// thread has handled the whole click, and a click handler that opens a
// modal dialog (a message box, the folder browser) only returns when that
// dialog closes, which the blocked driver can then never do. Returns once
// posted; use WaitUntilGone to wait for a message box to close. False when
// the window has no such button or the post failed.
bool PressButton(HWND window, int buttonId);

// Posts WM_CLOSE to a window (as the title bar's close button would).
bool RequestClose(HWND window);

// True once window is no longer a window, polling up to timeoutMs.
bool WaitUntilGone(HWND window, DWORD timeoutMs);

// Posts a mouse move, left-button press and left-button release at client
// point (x, y) of window. The messages go straight to window: no hit-testing,
// no cursor movement, no activation, so a click on a point that lies over a
// child control still reaches window itself, not the child. Use this for the
// window's own mouse handling; target a child's HWND to click the child.
bool ClickAt(HWND window, int x, int y);

// Clicks with real input: moves the cursor to client point (x, y) of window
// (SetCursorPos) and injects a left-button press and release (SendInput).
// Windows then hit-tests as for a user's click: the topmost window at that
// screen point receives it (a child control, or another window that covers
// the point). Brings window's top-level window to the foreground first (best
// effort). False when the point cannot be mapped or the input was refused.
bool ClickAtReal(HWND window, int x, int y);

// Posts a key press and release (WM_KEYDOWN, WM_KEYUP) of virtual key
// virtualKey to window, regardless of which window has the focus.
bool PressKey(HWND window, UINT virtualKey);

// Screen rectangle of a window (GetWindowRect). False when it has gone.
bool WindowRectOf(HWND window, RECT* rect);
// Client rectangle (left and top are 0). False when it has gone.
bool ClientRectOf(HWND window, RECT* rect);
// True when window exists and it and all its ancestors are visible.
bool IsWindowShown(HWND window);

// All descendants of parent (children, their children, ...), parents before
// their children, siblings in z-order. Empty when parent has gone.
std::vector<HWND> ListDescendants(HWND parent);
// The first descendant with control id id, or null.
HWND FindChildById(HWND parent, int id);
// The index-th (0-based) descendant whose class is className
// (case-insensitive), in ListDescendants order, or null.
HWND FindChildByClass(HWND parent, const char* className, int index = 0);
// The first descendant whose text equals text exactly and, when className is
// not null, whose class is className; or null.
HWND FindChildByText(HWND parent, const char* text, const char* className);

// The window's class name ("" when it has gone).
std::string ClassNameOf(HWND window);
// The window's text read with WM_GETTEXT (sent with a 5 s limit; Windows
// copies the text across processes). Empty when the window has no text, has
// gone or does not answer.
std::string GetTextOf(HWND window);

// Converts GBK text (code page 936, whatever the system's code page) to
// UTF-8, e.g. for printing on a Unix terminal or in test failure messages.
// Invalid byte sequences become the replacement character; empty input or a
// failed conversion gives "".
std::string GbkToUtf8(const std::string& gbk);

}  // namespace testdriver
