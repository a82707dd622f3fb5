#include "ui/text_draw_win.h"

#include <cstring>
#include <string>

#include "ui/gdi_handles_win.h"
#include "ui/label_paint_rules.h"

static_assert(kDtTop == DT_TOP && kDtCenter == DT_CENTER && kDtRight == DT_RIGHT && kDtVCenter == DT_VCENTER &&
                  kDtBottom == DT_BOTTOM && kDtWordBreak == DT_WORDBREAK && kDtSingleLine == DT_SINGLELINE &&
                  kDtNoClip == DT_NOCLIP && kDtNoPrefix == DT_NOPREFIX,
              "DrawText flags of the painting rules");
static_assert(sizeof(LOGFONTA) == kLogFontSize, "a stored font is a whole LOGFONTA");

COLORREF StoredColorToPaint(uint32_t color) {
  return (color & 0xFF000000) ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(color);
}

void DrawLabelText(HWND hwnd, HDC dc, const RECT& textRect, const LabelTextStyle& style) {
  int length = GetWindowTextLengthA(hwnd);
  if (length <= 0) return;
  std::string text(static_cast<size_t>(length) + 1, '\0');
  length = GetWindowTextA(hwnd, &text[0], length + 1);
  if (length <= 0) return;

  OwnedFont ownFont;
  uint8_t logFontBytes[kLogFontSize];
  if (style.font && PrepareLabelFont(*style.font, logFontBytes)) {
    LOGFONTA logFont;
    std::memcpy(&logFont, logFontBytes, sizeof logFont);
    ownFont.Reset(CreateFontIndirectA(&logFont));
  }
  HGDIOBJ font = ownFont ? static_cast<HGDIOBJ>(ownFont.get()) : GetStockObject(DEFAULT_GUI_FONT);
  SelectGuard selectFont(dc, font);
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = GetTextColor(dc);

  const UINT format = LabelTextFormat(style.hAlign, style.wordWrap, style.vAlign);
  TextPass passes[kMaxTextPasses];
  int count = TextEffectPasses(style.effect, style.textColor, passes);
  for (int i = 0; i < count; ++i) {
    RECT r = textRect;
    OffsetRect(&r, passes[i].dx, passes[i].dy);
    SetTextColor(dc, StoredColorToPaint(passes[i].color));
    DrawTextA(dc, text.c_str(), length, &r, format);
  }
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}
