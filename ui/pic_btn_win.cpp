// The picture button unit (kind 0x0001002D): one picture per state drawn at
// natural size at the top-left corner, mouse tracking with the capture, a
// window shape cut by a key colour, and Clicked (event 0) after a release
// inside. The state rules live in pic_btn_logic.h.
#include <windows.h>

#include <cstring>
#include <vector>

#include "frame/blocks.h"
#include "ui/gdi_handles_win.h"
#include "ui/pic_btn_logic.h"
#include "ui/pic_btn_record.h"
#include "ui/picture_bitmap_win.h"
#include "ui/region_runs.h"
#include "ui/unit_window_win.h"
#include "ui/widget_event_win.h"
#include "ui/widgets.h"

namespace {

const char kPicBtnClass[] = "SkinPicBtn";
constexpr int32_t kClickedEvent = 0;
// Icons and cursors are shown on white.
constexpr uint32_t kIconBackground = 0x00FFFFFF;

const UnitPropertyDecl kPicBtnProperties[kPicBtnPropertyEnd - kFirstOwnProperty] = {
    {"ButtonKind", kTagInt},         {"Checked", kTagBool},         {"NormalPicture", kTagByteArray},
    {"HoverPicture", kTagByteArray}, {"PressedPicture", kTagByteArray}, {"DisabledPicture", kTagByteArray},
    {"TransparentColor", kTagInt},
};

struct PicBtnUnit {
  HWND hwnd = nullptr;
  uint32_t windowId = 0;
  uint32_t unitId = 0;
  int32_t buttonKind = kPushButton;  // as stored (clamped)
  int32_t storedChecked = 0;         // as last stored; the live flag is logic.Checked()
  uint32_t transparentColor = kDefaultColor;
  SkinPicture pictures[kSlotCount];
  ButtonLogic logic{false, false};
  bool hasRegion = false;  // the window has a shape of ours (the system owns the region)
};

// The picture that the current state shows, or null (the button is black).
const SkinPicture* ChosenPicture(const PicBtnUnit& unit) {
  bool present[kSlotCount];
  for (int i = 0; i < kSlotCount; ++i) present[i] = !unit.pictures[i].Empty();
  int slot = ChoosePictureSlot(unit.logic.State(), IsWindowEnabled(unit.hwnd) != FALSE, present);
  return slot < 0 ? nullptr : &unit.pictures[slot];
}

// The picture's pixels that are not the key colour, as a region; the key
// colour is first mapped to the colour the device shows for it. Null when no
// DC, DIB section or region can be had. A picture that is all key colour
// gives an empty region.
HRGN BitmapToRegion(const SkinPicture& picture, uint32_t keyColor) {
  const int width = picture.Width(), height = picture.Height();
  OwnedMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return nullptr;
  void* bits = nullptr;
  OwnedBitmap section(CreateTopDownSection(dc.get(), width, height, &bits));
  if (!section) return nullptr;
  SelectGuard select(dc.get(), section.get());
  // The section holds exactly what the button shows: the picture on black.
  PatBlt(dc.get(), 0, 0, width, height, BLACKNESS);
  const RECT whole = {0, 0, width, height};
  picture.Draw(dc.get(), 0, whole);

  COLORREF key = static_cast<COLORREF>(keyColor & 0x00FFFFFF);
  const COLORREF old = GetPixel(dc.get(), 1, 1);
  if (old != CLR_INVALID && SetPixel(dc.get(), 1, 1, key) != static_cast<COLORREF>(-1)) {
    const COLORREF shown = GetPixel(dc.get(), 1, 1);
    if (shown != CLR_INVALID) key = shown;
    SetPixel(dc.get(), 1, 1, old);
  }
  GdiFlush();

  OwnedRegion result(CreateRectRgn(0, 0, 0, 0));
  if (!result) return nullptr;
  RegionRunExtractor runs(static_cast<const uint8_t*>(bits), width, height, static_cast<size_t>(width) * 4, key);
  std::vector<RunRect> batch;
  std::vector<uint8_t> data;
  while (runs.NextBatch(&batch)) {
    data.assign(sizeof(RGNDATAHEADER) + batch.size() * sizeof(RECT), 0);
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(batch.size());
    header->nRgnSize = static_cast<DWORD>(batch.size() * sizeof(RECT));
    RECT bound = {batch[0].left, batch[0].top, batch[0].right, batch[0].bottom};
    for (const RunRect& r : batch) {
      if (r.left < bound.left) bound.left = r.left;
      if (r.right > bound.right) bound.right = r.right;
      if (r.bottom > bound.bottom) bound.bottom = r.bottom;
    }
    header->rcBound = bound;
    memcpy(data.data() + sizeof(RGNDATAHEADER), batch.data(), batch.size() * sizeof(RECT));
    OwnedRegion part(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                     reinterpret_cast<const RGNDATA*>(data.data())));
    if (!part || CombineRgn(result.get(), result.get(), part.get(), RGN_OR) == ERROR) return nullptr;
  }
  return result.release();
}

// After every change of state, picture, key colour or enabled state: the
// window's shape follows the picture now shown, and everything is redrawn.
void Refresh(PicBtnUnit& unit) {
  HRGN shape = nullptr;
  const SkinPicture* picture = ChosenPicture(unit);
  if (unit.transparentColor != kDefaultColor && picture) shape = BitmapToRegion(*picture, unit.transparentColor);
  if (shape || unit.hasRegion) {
    // The window owns the region from here and deletes the one it had.
    if (!SetWindowRgn(unit.hwnd, shape, TRUE) && shape) DeleteObject(shape);
    unit.hasRegion = shape != nullptr;
  }
  InvalidateRect(unit.hwnd, nullptr, TRUE);
}

void RefreshNow(PicBtnUnit& unit) {
  Refresh(unit);
  UpdateWindow(unit.hwnd);
}

// Black, then the chosen picture at its own size at (0, 0), through an
// off-screen bitmap.
void Paint(PicBtnUnit& unit, HDC dc) {
  RECT client;
  GetClientRect(unit.hwnd, &client);
  const int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return;
  OwnedMemoryDc memory(CreateCompatibleDC(dc));
  OwnedBitmap bitmap(memory ? CreateCompatibleBitmap(dc, width, height) : nullptr);
  if (!bitmap) return;
  SelectGuard select(memory.get(), bitmap.get());
  PatBlt(memory.get(), 0, 0, width, height, BLACKNESS);
  if (const SkinPicture* picture = ChosenPicture(unit)) {
    const RECT natural = {0, 0, picture->Width(), picture->Height()};
    picture->Draw(memory.get(), 0, natural);
  }
  BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

void LoadSlot(PicBtnUnit& unit, int slot, const uint8_t* data, size_t size) {
  unit.pictures[slot].Load(data, size, kIconBackground);
}

int64_t ReadProperty(HWND hwnd, int index) {
  const int number = index + kFirstOwnProperty;
  const PicBtnUnit* unit = UnitOf<PicBtnUnit>(hwnd);
  if (!unit) return 0;
  switch (number) {
    case kPicBtnButtonKind: return unit->buttonKind;
    case kPicBtnChecked: return unit->logic.Checked() ? 1 : 0;
    case kPicBtnNormalPicture:
    case kPicBtnHoverPicture:
    case kPicBtnPressedPicture:
    case kPicBtnDisabledPicture: {
      const std::vector<uint8_t>& blob = unit->pictures[number - kPicBtnNormalPicture].Blob();
      return static_cast<int64_t>(
          reinterpret_cast<uintptr_t>(NewByteArray(blob.data(), static_cast<uint32_t>(blob.size()))));
    }
    case kPicBtnTransparentColor: return static_cast<int32_t>(unit->transparentColor);
  }
  return 0;
}

int WriteProperty(HWND hwnd, int index, const ArgValue& value) {
  const int number = index + kFirstOwnProperty;
  PicBtnUnit* unit = UnitOf<PicBtnUnit>(hwnd);
  if (!unit) return 0;
  switch (number) {
    case kPicBtnButtonKind:
      unit->buttonKind = ClampButtonKind(value.i32);
      unit->logic.SetKind(unit->buttonKind == kToggleButton);
      return 0;
    case kPicBtnChecked:
      unit->storedChecked = value.i32 != 0 ? 1 : 0;
      if (unit->logic.SetChecked(unit->storedChecked != 0)) RefreshNow(*unit);
      return 0;
    case kPicBtnTransparentColor:
      if (value.u32 == unit->transparentColor) return 0;
      unit->transparentColor = value.u32;
      RefreshNow(*unit);
      return 0;
  }
  if (number < kPicBtnNormalPicture || number > kPicBtnDisabledPicture) return 0;
  const int slot = number - kPicBtnNormalPicture;
  const uint8_t* data = nullptr;
  uint32_t len = 0;
  if (!ViewByteArray(value.ptr, &data, &len)) len = 0;
  LoadSlot(*unit, slot, data, len);
  // Only a picture that is on show needs the new shape and a repaint.
  const bool shown = slot == kNormalSlot || (slot == kHoverSlot && unit->logic.State() == kStateHover) ||
                     (slot == kPressedSlot && unit->logic.State() == kStatePressed) ||
                     (slot == kDisabledSlot && !IsWindowEnabled(hwnd));
  if (shown) RefreshNow(*unit);
  return 0;
}

// Carries out what the state logic asked for. Clicked goes last: its handler
// may destroy the button.
void Carry(PicBtnUnit& unit, const ButtonAction& action) {
  if (action.releaseCapture) ReleaseCapture();
  if (action.takeCapture) SetCapture(unit.hwnd);
  if (unit.logic.Apply(action)) RefreshNow(unit);
  if (action.raiseClicked) RaiseWidgetEvent(unit.windowId, unit.unitId, kClickedEvent);
}

POINT PointOf(LPARAM lParam) {
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

bool InsideClient(HWND hwnd, POINT pt) {
  RECT client;
  GetClientRect(hwnd, &client);
  return PtInRect(&client, pt) != FALSE;
}

// The pointer is over the button: the window under it on screen is the
// button, or no window is there and the point lies in the client area.
bool PointerOver(HWND hwnd, POINT pt) {
  POINT screen = pt;
  ClientToScreen(hwnd, &screen);
  HWND under = WindowFromPoint(screen);
  return under == hwnd || (!under && InsideClient(hwnd, pt));
}

LRESULT CALLBACK PicBtnProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  PicBtnUnit* unit = AttachedUnit<PicBtnUnit>(hwnd, msg, lParam);
  if (!unit) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCCREATE) unit->hwnd = hwnd;
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (HDC dc = BeginPaint(hwnd, &ps)) {
        Paint(*unit, dc);
        EndPaint(hwnd, &ps);
      }
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(*unit, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_LBUTTONDOWN:
      Carry(*unit, unit->logic.LeftDown(InsideClient(hwnd, PointOf(lParam)), enabled, GetCapture() == hwnd));
      return 0;
    case WM_MOUSEMOVE: {
      const POINT pt = PointOf(lParam);
      const bool over = !unit->logic.Toggle() && enabled && PointerOver(hwnd, pt);
      Carry(*unit, unit->logic.MouseMove(over, enabled, (wParam & MK_LBUTTON) != 0, GetCapture() == hwnd));
      return 0;
    }
    case WM_LBUTTONUP:
      Carry(*unit, unit->logic.LeftUp(InsideClient(hwnd, PointOf(lParam)), enabled));
      return 0;
    case WM_ENABLE: {
      LRESULT result = DefWindowProcW(hwnd, msg, wParam, lParam);
      RefreshNow(*unit);
      return result;
    }
    case kMsgUnitProperty:
      return RunPropertyCall(hwnd, lParam);
    case WM_NCDESTROY:
      DetachUnit(hwnd);
      delete unit;
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void* CreatePicBtn(const UnitCreateParams& p) {
  PicBtnRecord record;
  if (PicBtnUnit* old = p.previous ? UnitOf<PicBtnUnit>(static_cast<HWND>(p.previous)) : nullptr) {
    record.buttonKind = old->buttonKind;
    record.checked = old->logic.Checked() ? 1 : 0;
    record.transparentColor = old->transparentColor;
    for (int i = 0; i < kSlotCount; ++i) record.pictures[i] = old->pictures[i].Blob();
  } else if (!DecodePicBtnRecord(p.data, p.size, &record, nullptr)) {
    return nullptr;
  }
  if (!RegisterUnitClass(kPicBtnClass, PicBtnProc, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS)) return nullptr;
  auto* unit = new PicBtnUnit;
  unit->windowId = p.windowId;
  unit->unitId = p.unitId;
  unit->buttonKind = record.buttonKind;
  unit->storedChecked = record.checked;
  unit->transparentColor = record.transparentColor;
  unit->logic.SetKind(record.buttonKind == kToggleButton);
  bool taken = false;
  HWND hwnd = CreateUnitWindow(p, 0, kPicBtnClass, "", WS_CHILD | WS_CLIPSIBLINGS, unit, &taken);
  if (!hwnd) {
    if (!taken) delete unit;  // else the window's WM_NCDESTROY freed it
    return nullptr;
  }
  for (int i = 0; i < kSlotCount; ++i) LoadSlot(*unit, i, record.pictures[i].data(), record.pictures[i].size());
  Refresh(*unit);
  if (unit->logic.SetChecked(record.checked != 0)) Refresh(*unit);
  return hwnd;
}

}  // namespace

const UnitTypeDescriptor gPicBtnUnitType = {
    "PicBtn", kUnitTypeRaisesEvents, kPicBtnPropertyEnd - kFirstOwnProperty, kPicBtnProperties,
    CreatePicBtn, GetPropertyOnWindowThread<ReadProperty>, SetPropertyOnWindowThread<WriteProperty>,
};
