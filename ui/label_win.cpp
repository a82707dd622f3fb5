// The label (kind Label, library 1 unit 0x0A): an opaque child window that
// paints its whole rectangle (gradient frame, background picture, gradient
// or colour) and then its text, with its own properties 8..28.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "frame/blocks.h"
#include "frame/property_values.h"
#include "frame/wide_text_win.h"
#include "ui/border_style_win.h"
#include "ui/gdi_handles_win.h"
#include "ui/label_paint_rules.h"
#include "ui/label_record.h"
#include "ui/picture_bitmap_win.h"
#include "ui/picture_geometry.h"
#include "ui/text_draw_win.h"
#include "ui/unit_window_win.h"
#include "ui/widgets.h"

namespace {

const char kLabelClass[] = "SkinLabel";

struct LabelUnit {
  LabelRecord record;
  SkinPicture picture;          // decoded BackPicture, made on the first paint that needs it
  bool pictureDecoded = false;  // picture matches record.backPicture
  bool owned = false;           // the window owns this object (deletes it on WM_NCDESTROY)
};

const UnitPropertyDecl kLabelProperties[kLabelPropertyEnd - kFirstOwnProperty] = {
    {"Caption", kTagText},
    {"Effect", kTagInt},
    {"BorderStyle", kTagInt},
    {"GradientBorderWidth", kTagInt},
    {"GradientBorderColor1", kTagInt},
    {"GradientBorderColor2", kTagInt},
    {"GradientBorderColor3", kTagInt},
    {"Font", kTagByteArray},
    {"TextColor", kTagInt},
    {"BackColor", kTagInt},
    {"BackPicture", kTagByteArray},
    {"BackPictureMode", kTagInt},
    {"GradientBackMode", kTagInt},
    {"GradientBackColor1", kTagInt},
    {"GradientBackColor2", kTagInt},
    {"GradientBackColor3", kTagInt},
    {"HAlign", kTagInt},
    {"WordWrap", kTagBool},
    {"VAlign", kTagInt},
    {"DataSource", kTagText},
    {"DataColumn", kTagText},
};

PictureRect ToPictureRect(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }
RECT ToRect(const PictureRect& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

// ---- Painting ------------------------------------------------------------------

// Paints the gradient frame inside client and shrinks client by its width.
// False (client unchanged) when the frame is off or has fewer than two
// colours.
bool PaintGradientFrame(HDC dc, const LabelRecord& r, RECT* client) {
  if (r.borderStyle != kBorderStyleGradient || r.gradientBorderWidth <= 0) return false;
  uint32_t colors[3];
  int count = UsableGradientColors(r.gradientBorderColors, colors);
  if (count < 2) return false;
  for (int ring = 0; ring < r.gradientBorderWidth; ++ring) {
    RECT ringRect = *client;
    InflateRect(&ringRect, -ring, -ring);
    if (ringRect.right <= ringRect.left || ringRect.bottom <= ringRect.top) break;
    OwnedBrush brush(CreateSolidBrush(GradientFrameRingColor(colors, count, ring, r.gradientBorderWidth)));
    if (brush) FrameRect(dc, &ringRect, brush.get());
  }
  InflateRect(client, -r.gradientBorderWidth, -r.gradientBorderWidth);
  if (client->right < client->left) client->right = client->left;
  if (client->bottom < client->top) client->bottom = client->top;
  return true;
}

void FillWithBackColor(HDC dc, HRGN region, uint32_t backColor) {
  OwnedBrush brush(CreateSolidBrush(StoredColorToPaint(backColor)));
  if (brush) FillRgn(dc, region, brush.get());
}

// Decodes BackPicture on first use; an undecodable blob is emptied.
const SkinPicture* BackPicture(LabelUnit& unit) {
  if (unit.record.backPicture.empty()) return nullptr;
  if (!unit.pictureDecoded) {
    unit.pictureDecoded = true;
    if (!unit.picture.Load(unit.record.backPicture.data(), unit.record.backPicture.size())) {
      unit.picture.Reset();
      unit.record.backPicture.clear();
      return nullptr;
    }
  }
  return unit.picture.Empty() ? nullptr : &unit.picture;
}

// Draws the background picture into box. *fill is the part still to be
// filled with the back colour: the picture's rectangle is taken out of it
// (natural and fitted) or all of it goes (tiled). A picture with transparent
// pixels gets the back colour beneath it first.
void PaintBackPicture(HDC dc, const SkinPicture& picture, const LabelRecord& r, const RECT& box,
                      const RECT& paint, OwnedRegion* fill) {
  if (picture.HasAlpha() && *fill) {
    FillWithBackColor(dc, fill->get(), r.backColor);
    fill->Reset();
  }
  const PictureLayout layout = LabelBackLayout(r.backPictureMode);
  const PictureRect area = ToPictureRect(box);
  const int w = picture.Width(), h = picture.Height();
  if (PlacementCount(layout, area, w, h) == 0) return;
  if (layout == PictureLayout::kTiled) {
    // Only the tiles that meet the update box: a small picture in a large
    // label would otherwise cost thousands of blits.
    const int columns = (area.width + w - 1) / w;
    const int rows = (area.height + h - 1) / h;
    const int firstColumn = std::max(0, static_cast<int>((paint.left - area.x) / w));
    const int lastColumn = std::min(columns - 1, static_cast<int>((paint.right - 1 - area.x) / w));
    const int firstRow = std::max(0, static_cast<int>((paint.top - area.y) / h));
    const int lastRow = std::min(rows - 1, static_cast<int>((paint.bottom - 1 - area.y) / h));
    for (int row = firstRow; row <= lastRow; ++row)
      for (int column = firstColumn; column <= lastColumn; ++column) {
        uint64_t index = static_cast<uint64_t>(row) * static_cast<uint64_t>(columns) + static_cast<uint64_t>(column);
        picture.Draw(dc, 0, ToRect(PlacementAt(layout, area, w, h, index).dest));
      }
    fill->Reset();
    return;
  }
  const RECT dest = ToRect(PlacementAt(layout, area, w, h, 0).dest);
  picture.Draw(dc, 0, dest);
  if (*fill) {
    OwnedRegion drawn(CreateRectRgnIndirect(&dest));
    if (drawn) CombineRgn(fill->get(), fill->get(), drawn.get(), RGN_DIFF);
  }
}

// Paints the background gradient over box, limited to paint, a tile of at
// most 50 x 50 pixels at a time. False when the gradient is off or has
// fewer than two colours.
bool PaintGradientBack(HDC dc, const LabelRecord& r, const RECT& box, const RECT& paint) {
  if (r.gradientBackMode < 1 || r.gradientBackMode > kMaxGradientBackMode) return false;
  uint32_t colors[3];
  int count = UsableGradientColors(r.gradientBackColors, colors);
  if (count < 2) return false;
  std::vector<uint8_t> pixels(static_cast<size_t>(kGradientTileSide) * kGradientTileSide * 4);
  const PictureRect area = ToPictureRect(box);
  for (const PictureRect& tile : GradientTiles(area, ToPictureRect(paint))) {
    FillGradientTile(r.gradientBackMode, colors, count, area, tile, pixels.data());
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = tile.width;
    info.bmiHeader.biHeight = -tile.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, tile.x, tile.y, static_cast<DWORD>(tile.width), static_cast<DWORD>(tile.height), 0, 0,
                      0, static_cast<UINT>(tile.height), pixels.data(), &info, DIB_RGB_COLORS);
  }
  return true;
}

void PaintLabel(HWND hwnd, LabelUnit& unit) {
  RECT update;
  if (!GetUpdateRect(hwnd, &update, FALSE) || IsRectEmpty(&update)) {
    ValidateRect(hwnd, nullptr);
    return;
  }
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (!dc) return;
  const LabelRecord& r = unit.record;
  RECT client;
  GetClientRect(hwnd, &client);
  PaintGradientFrame(dc, r, &client);

  RECT fillRect;
  IntersectRect(&fillRect, &ps.rcPaint, &client);
  OwnedRegion fill(CreateRectRgnIndirect(&fillRect));
  if (fill) SelectClipRgn(dc, fill.get());  // the DC keeps its own copy

  if (const SkinPicture* picture = BackPicture(unit))
    PaintBackPicture(dc, *picture, r, client, ps.rcPaint, &fill);
  else if (PaintGradientBack(dc, r, client, ps.rcPaint))
    fill.Reset();
  if (fill) FillWithBackColor(dc, fill.get(), r.backColor);

  LabelTextStyle style = {&r.font, r.textColor, r.effect, r.hAlign, r.wordWrap, r.vAlign};
  DrawLabelText(hwnd, dc, client, style);
  SelectClipRgn(dc, nullptr);
  EndPaint(hwnd, &ps);
}

// ---- Properties ------------------------------------------------------------------

int64_t TextResult(const std::string& text) {
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(NewText(text.c_str())));
}
int64_t BytesResult(const std::vector<uint8_t>& bytes) {
  return static_cast<int64_t>(
      reinterpret_cast<uintptr_t>(NewByteArray(bytes.data(), static_cast<uint32_t>(bytes.size()))));
}
std::vector<uint8_t> BytesOf(const ArgValue& value) {
  const uint8_t* data = nullptr;
  uint32_t len = 0;
  if (!ViewByteArray(value.ptr, &data, &len) || !data) return {};
  return std::vector<uint8_t>(data, data + len);
}

int64_t ReadProperty(HWND hwnd, int index) {
  const LabelUnit* unit = UnitOf<LabelUnit>(hwnd);
  if (!unit) return 0;
  const LabelRecord& r = unit->record;
  const int number = index + kFirstOwnProperty;
  switch (number) {
    case kLabelCaption: return TextResult(r.caption);
    case kLabelEffect: return r.effect;
    case kLabelBorderStyle: return r.borderStyle;
    case kLabelGradientBorderWidth: return r.gradientBorderWidth;
    case kLabelGradientBorderColor1:
    case kLabelGradientBorderColor1 + 1:
    case kLabelGradientBorderColor1 + 2: return r.gradientBorderColors[number - kLabelGradientBorderColor1];
    case kLabelFont: return BytesResult(r.font);
    case kLabelTextColor: return r.textColor;
    case kLabelBackColor: return r.backColor;
    case kLabelBackPicture: return BytesResult(r.backPicture);
    case kLabelBackPictureMode: return r.backPictureMode;
    case kLabelGradientBackMode: return r.gradientBackMode;
    case kLabelGradientBackColor1:
    case kLabelGradientBackColor1 + 1:
    case kLabelGradientBackColor1 + 2: return r.gradientBackColors[number - kLabelGradientBackColor1];
    case kLabelHAlign: return r.hAlign;
    case kLabelWordWrap: return r.wordWrap;
    case kLabelVAlign: return r.vAlign;
    case kLabelDataSource: return TextResult(r.dataSource);
    case kLabelDataColumn: return TextResult(r.dataColumn);
  }
  return 0;
}

int WriteProperty(HWND hwnd, int index, const ArgValue& v) {
  LabelUnit* unit = UnitOf<LabelUnit>(hwnd);
  if (!unit) return 0;
  LabelRecord& r = unit->record;
  const int number = index + kFirstOwnProperty;
  switch (number) {
    case kLabelCaption:
      r.caption = v.text ? v.text : "";
      SetWindowTextGbk(hwnd, r.caption.c_str());
      break;
    case kLabelEffect: r.effect = ClampChoice(v.i32, kMaxTextEffect); break;
    case kLabelBorderStyle:
      r.borderStyle = ClampChoice(v.i32, kMaxLabelBorderStyle);
      ApplyBorderStyle(hwnd, r.borderStyle);
      break;
    case kLabelGradientBorderWidth: r.gradientBorderWidth = ClampGradientBorderWidth(v.i32); break;
    case kLabelGradientBorderColor1:
    case kLabelGradientBorderColor1 + 1:
    case kLabelGradientBorderColor1 + 2: r.gradientBorderColors[number - kLabelGradientBorderColor1] = v.u32; break;
    case kLabelFont: r.font = BytesOf(v); break;
    case kLabelTextColor: r.textColor = v.u32; break;
    case kLabelBackColor: r.backColor = v.u32; break;
    case kLabelBackPicture:
      r.backPicture = BytesOf(v);
      unit->picture.Reset();
      unit->pictureDecoded = false;
      break;
    case kLabelBackPictureMode: r.backPictureMode = ClampChoice(v.i32, kMaxLabelBackPictureMode); break;
    case kLabelGradientBackMode: r.gradientBackMode = ClampChoice(v.i32, kMaxGradientBackMode); break;
    case kLabelGradientBackColor1:
    case kLabelGradientBackColor1 + 1:
    case kLabelGradientBackColor1 + 2: r.gradientBackColors[number - kLabelGradientBackColor1] = v.u32; break;
    case kLabelHAlign: r.hAlign = ClampChoice(v.i32, kMaxHAlign); break;
    case kLabelWordWrap: r.wordWrap = LabelFlagValue(v.i32); break;
    case kLabelVAlign: r.vAlign = ClampChoice(v.i32, kMaxVAlign); break;
    // The binding is kept for the general runtime's data sources; this
    // program has none, so the caption stays as it is.
    case kLabelDataSource: r.dataSource = v.text ? v.text : ""; break;
    case kLabelDataColumn: r.dataColumn = v.text ? v.text : ""; break;
    default: return 0;
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  return 0;
}

// ---- Window --------------------------------------------------------------------

LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LabelUnit* unit = AttachedUnit<LabelUnit>(hwnd, msg, lParam);
  if (!unit) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCDESTROY:
      DetachUnit(hwnd);
      if (unit->owned) delete unit;
      break;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
      PaintLabel(hwnd, *unit);
      return 0;
    case kMsgUnitProperty:
      return RunPropertyCall(hwnd, lParam);
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void* CreateLabel(const UnitCreateParams& p) {
  auto unit = std::make_unique<LabelUnit>();
  const LabelUnit* previous = p.previous ? UnitOf<LabelUnit>(static_cast<HWND>(p.previous)) : nullptr;
  if (previous)
    unit->record = previous->record;
  else if (!DecodeLabelRecord(p.data, p.size, &unit->record, nullptr))
    return nullptr;
  if (!RegisterUnitClass(kLabelClass, LabelProc, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS)) return nullptr;
  HWND hwnd = CreateUnitWindow(p, 0, kLabelClass, unit->record.caption.c_str(), WS_CHILD | WS_CLIPSIBLINGS,
                               unit.get());
  if (!hwnd) return nullptr;
  unit->owned = true;
  LabelUnit* live = unit.release();
  ApplyBorderStyle(hwnd, live->record.borderStyle);
  return hwnd;
}

}  // namespace

const UnitTypeDescriptor gLabelUnitType = {
    "Label", kUnitTypeRaisesEvents, kLabelPropertyEnd - kFirstOwnProperty, kLabelProperties,
    CreateLabel, GetPropertyOnWindowThread<ReadProperty>, SetPropertyOnWindowThread<WriteProperty>,
};
