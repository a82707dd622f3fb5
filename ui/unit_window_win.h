// What the skin widgets' windows have in common: the window class, the
// child window made at the unit's place, the unit object kept with its
// window, and own-property access carried out on the thread that owns the
// window. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/unit_type.h"

// Registers window class className with procedure proc, the arrow cursor
// and classStyle, once per process: a class already registered is kept.
// False when the class cannot be registered.
bool RegisterUnitClass(const char* className, WNDPROC proc, UINT classStyle);

// Creates the unit's window, hidden, as a child of p.parent at p's place,
// with p's extra styles and control id added to style. createParam reaches
// WM_NCCREATE (see AttachedUnit). Null when the window cannot be made; then
// *taken (when given) tells whether the window had already taken createParam
// at WM_NCCREATE, in which case its WM_NCDESTROY has freed it and the caller
// must not.
HWND CreateUnitWindow(const UnitCreateParams& p, DWORD exStyle, const char* className, const char* text,
                      DWORD style, void* createParam, bool* taken = nullptr);

// Called by AttachedUnit when a window takes its unit object.
void NoteUnitAttached(void* unit);

// The unit object kept with hwnd (in GWLP_USERDATA), or null.
template <typename Unit>
Unit* UnitOf(HWND hwnd) {
  return reinterpret_cast<Unit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// For the top of a unit's window procedure: on WM_NCCREATE keeps the object
// passed to CreateUnitWindow with the window. Then the window's object, or
// null before WM_NCCREATE and after DetachUnit.
template <typename Unit>
Unit* AttachedUnit(HWND hwnd, UINT msg, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    void* created = reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    NoteUnitAttached(created);
  }
  return UnitOf<Unit>(hwnd);
}

// Forgets the window's unit object (on WM_NCDESTROY, before it is freed).
inline void DetachUnit(HWND hwnd) { SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); }

// ---- Own properties on the window's thread ------------------------------------
//
// Property accesses of a widget that paints are carried out by the thread
// that owns its window, so that painting never meets a value half-changed by
// a worker thread. The frame's property calls go through ReadOnWindowThread
// and WriteOnWindowThread; the window procedure hands kMsgUnitProperty to
// RunPropertyCall.

// Reads own property index (0-based) of the unit whose window is hwnd; 0
// when hwnd has no unit. Same contract as UnitGetPropertyFn.
using UnitPropertyReader = int64_t (*)(HWND hwnd, int index);
// Writes own property index; the result as UnitSetPropertyFn's.
using UnitPropertyWriter = int (*)(HWND hwnd, int index, const ArgValue& value);

// The message that carries a property access from another thread: lParam
// points to the caller's call record, wParam is 0.
constexpr UINT kMsgUnitProperty = WM_USER + 0x100;

// Calls read(live, index) on the thread that owns the window live: directly
// when that is the calling thread, else through SendMessage of
// kMsgUnitProperty, which waits for the answer. 0 when the window does not
// answer (it is gone, or its procedure does not run the call).
int64_t ReadOnWindowThread(void* live, int index, UnitPropertyReader read);
// Calls write(live, index, value) the same way; its result, or 0 when the
// window does not answer.
int WriteOnWindowThread(void* live, int index, const ArgValue& value, UnitPropertyWriter write);

// The descriptor's get and set property entries of a widget whose accesses
// run on its window's thread through read and write.
template <UnitPropertyReader read>
int64_t GetPropertyOnWindowThread(void* live, int index) {
  return ReadOnWindowThread(live, index, read);
}
template <UnitPropertyWriter write>
int SetPropertyOnWindowThread(void* live, int index, const ArgValue& value) {
  return WriteOnWindowThread(live, index, value, write);
}

// For the window procedure on kMsgUnitProperty: runs the call that lParam
// carries. Returns the value for the procedure to return (0).
LRESULT RunPropertyCall(HWND hwnd, LPARAM lParam);
