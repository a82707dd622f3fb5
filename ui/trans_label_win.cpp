// The transparent label (kind TransLabel, library 2 unit 0x05): a child
// window that paints only its text, over whatever lies beneath it. Whenever
// its content or its place changes it has everything beneath its rectangle
// repainted first, which wipes the old text (RefreshBeneath).
#include <windows.h>

#include <memory>
#include <vector>

#include "frame/blocks.h"
#include "frame/property_values.h"
#include "frame/wide_text_win.h"
#include "ui/text_draw_win.h"
#include "ui/trans_label_record.h"
#include "ui/unit_window_win.h"
#include "ui/widgets.h"

namespace {

const char kTransLabelClass[] = "SkinTransLabel";

struct TransLabelUnit {
  TransLabelRecord record;
  bool owned = false;  // the window owns this object (deletes it on WM_NCDESTROY)
};

const UnitPropertyDecl kTransLabelProperties[kTransLabelPropertyEnd - kFirstOwnProperty] = {
    {"Caption", kTagText}, {"Effect", kTagInt}, {"Font", kTagByteArray}, {"TextColor", kTagInt},
    {"HAlign", kTagInt},   {"WordWrap", kTagBool}, {"VAlign", kTagInt},
};

// ---- Repainting what lies beneath ------------------------------------------------

// The visible descendants of parent: for each visible child, from the top
// of the stack down, first its own visible descendants, then the child.
void CollectVisibleDescendants(HWND parent, std::vector<HWND>* out) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    CollectVisibleDescendants(child, out);
    out->push_back(child);
  }
}

void RefreshBeneath(HWND label) {
  // The top-level window: up through the parents while the window is a
  // child (a pop-up or top-level window ends the climb).
  HWND top = label;
  while ((GetWindowLongW(top, GWL_STYLE) & WS_CHILD) && !(GetWindowLongW(top, GWL_STYLE) & WS_POPUP)) {
    HWND parent = GetParent(top);
    if (!parent) break;
    top = parent;
  }

  RECT area;
  GetClientRect(label, &area);
  MapWindowPoints(label, nullptr, reinterpret_cast<POINT*>(&area), 2);  // to the screen

  if (top != label) {
    RECT inTop = area;
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&inTop), 2);
    InvalidateRect(top, &inTop, TRUE);
    UpdateWindow(top);
  }

  std::vector<HWND> windows;
  CollectVisibleDescendants(top, &windows);
  // From the end: lower windows before higher ones, each before its children.
  for (size_t i = windows.size(); i-- > 0;) {
    HWND h = windows[i];
    RECT screen, meet;
    GetWindowRect(h, &screen);
    if (!IntersectRect(&meet, &screen, &area)) continue;
    MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&meet), 2);
    RedrawWindow(h, &meet, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ERASENOW | RDW_FRAME);
  }
  InvalidateRect(label, nullptr, FALSE);
}

// ---- Properties ------------------------------------------------------------------

int64_t ReadProperty(HWND hwnd, int index) {
  const TransLabelUnit* unit = UnitOf<TransLabelUnit>(hwnd);
  if (!unit) return 0;
  const TransLabelRecord& r = unit->record;
  const int number = index + kFirstOwnProperty;
  switch (number) {
    case kTransLabelCaption:
      return static_cast<int64_t>(reinterpret_cast<uintptr_t>(NewText(r.caption.c_str())));
    case kTransLabelEffect: return r.effect;
    case kTransLabelFont:
      return static_cast<int64_t>(
          reinterpret_cast<uintptr_t>(NewByteArray(r.font.data(), static_cast<uint32_t>(r.font.size()))));
    case kTransLabelTextColor: return r.textColor;
    case kTransLabelHAlign: return r.hAlign;
    case kTransLabelWordWrap: return r.wordWrap;
    case kTransLabelVAlign: return r.vAlign;
  }
  return 0;
}

int WriteProperty(HWND hwnd, int index, const ArgValue& v) {
  TransLabelUnit* unit = UnitOf<TransLabelUnit>(hwnd);
  if (!unit) return 0;
  TransLabelRecord& r = unit->record;
  const int number = index + kFirstOwnProperty;
  switch (number) {
    case kTransLabelCaption:
      r.caption = v.text ? v.text : "";
      SetWindowTextGbk(hwnd, r.caption.c_str());
      break;
    case kTransLabelEffect: r.effect = ClampChoice(v.i32, kMaxTextEffect); break;
    case kTransLabelFont: {
      const uint8_t* data = nullptr;
      uint32_t len = 0;
      if (ViewByteArray(v.ptr, &data, &len) && data)
        r.font.assign(data, data + len);
      else
        r.font.clear();
      break;
    }
    case kTransLabelTextColor: r.textColor = v.u32; break;
    case kTransLabelHAlign: r.hAlign = ClampChoice(v.i32, kMaxHAlign); break;
    case kTransLabelWordWrap: r.wordWrap = LabelFlagValue(v.i32); break;
    case kTransLabelVAlign: r.vAlign = ClampChoice(v.i32, kMaxVAlign); break;
    default: return 0;
  }
  RefreshBeneath(hwnd);
  return 0;
}

// ---- Window --------------------------------------------------------------------

void PaintTransLabel(HWND hwnd, const TransLabelUnit& unit) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (!dc) return;
  RECT client;
  GetClientRect(hwnd, &client);
  const TransLabelRecord& r = unit.record;
  LabelTextStyle style = {&r.font, r.textColor, r.effect, r.hAlign, r.wordWrap, r.vAlign};
  DrawLabelText(hwnd, dc, client, style);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK TransLabelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TransLabelUnit* unit = AttachedUnit<TransLabelUnit>(hwnd, msg, lParam);
  if (!unit) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCDESTROY:
      DetachUnit(hwnd);
      if (unit->owned) delete unit;
      break;
    case WM_ERASEBKGND:
      return 1;  // nothing of its own behind the text
    case WM_PAINT:
      PaintTransLabel(hwnd, *unit);
      return 0;
    case WM_MOVE: {
      LRESULT result = DefWindowProcW(hwnd, msg, wParam, lParam);
      if (unit->owned) RefreshBeneath(hwnd);  // not while the window is still being made
      return result;
    }
    case kMsgUnitProperty:
      return RunPropertyCall(hwnd, lParam);
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void* CreateTransLabel(const UnitCreateParams& p) {
  auto unit = std::make_unique<TransLabelUnit>();
  const TransLabelUnit* previous = p.previous ? UnitOf<TransLabelUnit>(static_cast<HWND>(p.previous)) : nullptr;
  if (previous)
    unit->record = previous->record;
  else if (!DecodeTransLabelRecord(p.data, p.size, &unit->record, nullptr))
    return nullptr;
  if (!RegisterUnitClass(kTransLabelClass, TransLabelProc, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS)) return nullptr;
  HWND hwnd = CreateUnitWindow(p, WS_EX_TRANSPARENT, kTransLabelClass, unit->record.caption.c_str(),
                               WS_CHILD | WS_CLIPSIBLINGS, unit.get());
  if (!hwnd) return nullptr;
  unit->owned = true;
  unit.release();
  return hwnd;
}

}  // namespace

const UnitTypeDescriptor gTransLabelUnitType = {
    "TransLabel", kUnitTypeRaisesEvents, kTransLabelPropertyEnd - kFirstOwnProperty, kTransLabelProperties,
    CreateTransLabel, GetPropertyOnWindowThread<ReadProperty>, SetPropertyOnWindowThread<WriteProperty>,
};
