// Owners for GDI handles on the frame's owner template (frame/handles_win.h):
// an alias per handle type, a window DC and a guard that puts back the object
// a DC had selected. Windows only.
#pragma once

#include <windows.h>

#include "frame/handles_win.h"

template <typename Handle>
struct GdiObjectTraits {
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
struct MemoryDcTraits {
  static HDC Invalid() { return nullptr; }
  static void Close(HDC h) { DeleteDC(h); }
};
struct IconTraits {
  static HICON Invalid() { return nullptr; }
  static void Close(HICON h) { DestroyIcon(h); }
};

using OwnedBitmap = Owned<HBITMAP, GdiObjectTraits<HBITMAP>>;
using OwnedRegion = Owned<HRGN, GdiObjectTraits<HRGN>>;
using OwnedFont = Owned<HFONT, GdiObjectTraits<HFONT>>;
using OwnedBrush = Owned<HBRUSH, GdiObjectTraits<HBRUSH>>;
using OwnedMemoryDc = Owned<HDC, MemoryDcTraits>;
using OwnedIcon = Owned<HICON, IconTraits>;

// A window DC, released on destruction.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// Selects an object into a DC and selects the previous one back when it
// goes. Declare it after the owner of the object it selects, so that the
// object is deselected before it is deleted.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
  ~SelectGuard() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};
