// The border styles shared by the label, the picture box and the progress
// bar: 1 sunken client edge, 2 raised dialog frame, 3 thin static edge,
// 4 client edge and dialog frame, 5 single line; 0 and every other value
// (the label's own gradient frame, 6) clear them all. Windows only.
#pragma once

#include <windows.h>

// Window styles and extended styles that border style `style` adds.
void BorderStyleBits(int style, DWORD* styleBits, DWORD* exStyleBits);

// Replaces the window's border bits with those of `style` and applies them
// with a frame change.
void ApplyBorderStyle(HWND hwnd, int style);
