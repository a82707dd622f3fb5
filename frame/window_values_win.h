// Values that the frame and the widgets keep per window of their own: the
// unit a window stands for, the procedure the frame's subclass calls on.
//
// Window properties (SetProp/GetProp) would do, but under Wine every one of
// those calls is a round trip to the wineserver, 30 to 100 us, and the unit
// windows' procedures look their values up for every message they get: some
// 150 such calls went into loading the installer's window alone. These are
// kept in the process instead, for any thread to read. Windows only.
#pragma once

#include <windows.h>

enum class WindowSlot : int {
  kUnitRef,     // the frame: (form index << 16) | (unit index + 1)
  kUnitProc,    // the frame: the procedure a watched unit window had
  kWindowUnit,  // the window unit's object
  kBarUnit,     // the progress bar's object
  kCount
};

// Sets hwnd's value in slot; null clears it. A window's values must be
// cleared when it goes (at WM_NCDESTROY), as a later window may get its
// handle.
void SetWindowValue(HWND hwnd, WindowSlot slot, void* value);
// hwnd's value in slot, null when none is set.
void* WindowValue(HWND hwnd, WindowSlot slot);
