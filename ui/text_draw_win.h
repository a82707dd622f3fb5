// The text drawing that the label and the transparent label share: the
// window's text in the label's font, colour, alignment, wrapping and text
// effect. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

struct LabelTextStyle {
  const std::vector<uint8_t>* font;  // a stored LOGFONTA when exactly 60 bytes; else the default GUI font
  uint32_t textColor;                // COLORREF
  int32_t effect;                    // 0..3 (label_paint_rules.h)
  int32_t hAlign;
  int32_t wordWrap;
  int32_t vAlign;
};

// Draws the window text of hwnd on dc into textRect (client coordinates),
// with a transparent background; nothing when the text is empty. The font
// is made for this call and deleted again; the DC's font, text colour and
// background mode are put back.
void DrawLabelText(HWND hwnd, HDC dc, const RECT& textRect, const LabelTextStyle& style);

// The colour a stored colour paints with: a value with its top byte set (the
// default colour 0xFF000000) gives the system button-face colour.
COLORREF StoredColorToPaint(uint32_t color);
