#include "ui/text_draw_win.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "frame/wide_text_win.h"
#include "ui/gdi_handles_win.h"
#include "ui/label_paint_rules.h"

static_assert(kDtTop == DT_TOP && kDtCenter == DT_CENTER && kDtRight == DT_RIGHT && kDtVCenter == DT_VCENTER &&
                  kDtBottom == DT_BOTTOM && kDtWordBreak == DT_WORDBREAK && kDtSingleLine == DT_SINGLELINE &&
                  kDtNoClip == DT_NOCLIP && kDtNoPrefix == DT_NOPREFIX,
              "DrawText flags of the painting rules");
static_assert(sizeof(LOGFONTA) == kLogFontSize, "a stored font is a whole LOGFONTA");

namespace {

// The stored font (a LOGFONTA, face name in GBK) as a LOGFONTW: the same
// numbers, the face name converted. A face name that does not fit 31
// characters is cut there.
LOGFONTW WideLogFont(const uint8_t (&bytes)[kLogFontSize]) {
  LOGFONTA stored;
  std::memcpy(&stored, bytes, sizeof stored);
  LOGFONTW font = {};
  std::memcpy(&font, &stored, offsetof(LOGFONTA, lfFaceName));
  std::wstring face = WideFromGbk(stored.lfFaceName, strnlen(stored.lfFaceName, LF_FACESIZE));
  face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
  std::memcpy(font.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
  return font;
}

}  // namespace

COLORREF StoredColorToPaint(uint32_t color) {
  return (color & 0xFF000000) ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(color);
}

void DrawLabelText(HWND hwnd, HDC dc, const RECT& textRect, const LabelTextStyle& style) {
  int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  length = GetWindowTextW(hwnd, &text[0], length + 1);
  if (length <= 0) return;

  OwnedFont ownFont;
  uint8_t logFontBytes[kLogFontSize];
  if (style.font && PrepareLabelFont(*style.font, logFontBytes)) {
    LOGFONTW logFont = WideLogFont(logFontBytes);
    ownFont.Reset(CreateFontIndirectW(&logFont));
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
    DrawTextW(dc, text.c_str(), length, &r, format);
  }
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}
