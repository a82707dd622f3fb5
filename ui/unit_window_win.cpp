#include "ui/unit_window_win.h"

#include <string>

#include "frame/wide_text_win.h"

namespace {

// What kMsgUnitProperty carries: a read when write is null, else a write.
struct PropertyCall {
  UnitPropertyReader read;
  UnitPropertyWriter write;
  int index;
  const ArgValue* value;
  int64_t result;
};

bool OnForeignThread(HWND hwnd) { return GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId(); }

}  // namespace

bool RegisterUnitClass(const char* className, WNDPROC proc, UINT classStyle) {
  std::wstring name = WideFromGbk(className);
  WNDCLASSW wc = {};
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (GetClassInfoW(instance, name.c_str(), &wc)) return true;
  wc.style = classStyle;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  wc.lpszClassName = name.c_str();
  return RegisterClassW(&wc) != 0;
}

namespace {
// The unit object most recently taken at WM_NCCREATE. Windows of units are
// made on the window thread only, one at a time.
void* gLastAttached = nullptr;
}  // namespace

void NoteUnitAttached(void* unit) { gLastAttached = unit; }

HWND CreateUnitWindow(const UnitCreateParams& p, DWORD exStyle, const char* className, const char* text,
                      DWORD style, void* createParam, bool* taken) {
  gLastAttached = nullptr;
  HWND hwnd = CreateWindowExW(exStyle, WideFromGbk(className).c_str(), WideFromGbk(text).c_str(),
                              style | p.extraStyles, p.left, p.top, p.width, p.height, static_cast<HWND>(p.parent),
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(p.controlId)),
                              GetModuleHandleW(nullptr), createParam);
  if (taken) *taken = !hwnd && createParam && gLastAttached == createParam;
  return hwnd;
}

int64_t ReadOnWindowThread(void* live, int index, UnitPropertyReader read) {
  HWND hwnd = static_cast<HWND>(live);
  if (!OnForeignThread(hwnd)) return read(hwnd, index);
  PropertyCall call = {read, nullptr, index, nullptr, 0};
  SendMessageW(hwnd, kMsgUnitProperty, 0, reinterpret_cast<LPARAM>(&call));
  return call.result;
}

int WriteOnWindowThread(void* live, int index, const ArgValue& value, UnitPropertyWriter write) {
  HWND hwnd = static_cast<HWND>(live);
  if (!OnForeignThread(hwnd)) return write(hwnd, index, value);
  PropertyCall call = {nullptr, write, index, &value, 0};
  SendMessageW(hwnd, kMsgUnitProperty, 0, reinterpret_cast<LPARAM>(&call));
  return static_cast<int>(call.result);
}

LRESULT RunPropertyCall(HWND hwnd, LPARAM lParam) {
  auto* call = reinterpret_cast<PropertyCall*>(lParam);
  if (call->write)
    call->result = call->write(hwnd, call->index, *call->value);
  else
    call->result = call->read(hwnd, call->index);
  return 0;
}
