#include "ui/border_style_win.h"

void BorderStyleBits(int style, DWORD* styleBits, DWORD* exStyleBits) {
  *styleBits = 0;
  *exStyleBits = 0;
  switch (style) {
    case 1: *exStyleBits = WS_EX_CLIENTEDGE; break;
    case 2: *exStyleBits = WS_EX_DLGMODALFRAME; break;
    case 3: *exStyleBits = WS_EX_STATICEDGE; break;
    case 4: *exStyleBits = WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME; break;
    case 5: *styleBits = WS_BORDER; break;
    default: break;
  }
}

void ApplyBorderStyle(HWND hwnd, int style) {
  DWORD styleBits, exStyleBits;
  BorderStyleBits(style, &styleBits, &exStyleBits);
  const DWORD kAllEx = WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME | WS_EX_STATICEDGE;
  const LONG_PTR s = GetWindowLongPtrW(hwnd, GWL_STYLE);
  const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  const LONG_PTR newStyle = (s & ~static_cast<LONG_PTR>(WS_BORDER)) | styleBits;
  const LONG_PTR newEx = (ex & ~static_cast<LONG_PTR>(kAllEx)) | exStyleBits;
  // A control made with the border it keeps (most are made borderless and
  // stay so) needs no frame recalculation, which is a round trip to the
  // window system for every control of the window.
  if (newStyle == s && newEx == ex) return;
  SetWindowLongPtrW(hwnd, GWL_STYLE, newStyle);
  SetWindowLongPtrW(hwnd, GWL_EXSTYLE, newEx);
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}
