// Reading and writing unit properties by number (ReadUnitProperty,
// WriteUnitProperty): the common properties 0..7 on the template and the live
// window, the own properties through the unit type.
#include <windows.h>

#include "frame/blocks.h"
#include "frame/forms_win.h"
#include "frame/property_values.h"

namespace {

const char kEmptyText[] = "";
// A valid empty byte array (dimension count 1, length 0) for a null one.
const uint32_t kEmptyByteArray[2] = {1, 0};

struct UnitAccess {
  LiveForm* form;
  int index;
  FormUnit* unit;
  HWND live;  // null without a live window
};

UnitAccess FindAccess(uint32_t windowId, uint32_t unitId) {
  LiveForm* form = FindLiveForm(windowId);
  if (!form) FrameFatal(0, "未载入欲访问窗口组件所在的窗口");
  int index = FindUnitIndex(*form, unitId);
  if (index < 0) FrameFatal(0, "指定窗口或窗口组件不存在或尚未载入");
  HWND hwnd = form->live[static_cast<size_t>(index)].hwnd;
  if (hwnd && !IsWindow(hwnd)) hwnd = nullptr;
  return {form, index, &form->tmpl.units[static_cast<size_t>(index)], hwnd};
}

// The window rectangle in the client coordinates of its parent (screen
// coordinates for a top-level window).
RECT RectInParent(HWND hwnd) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  if (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void SetFlag(FormUnit& unit, uint32_t bit, bool on) {
  unit.flags = on ? (unit.flags | bit) : (unit.flags & ~bit);
}

const UnitTypeDescriptor* OwnPropertyType(const UnitAccess& a, int property, int* ownIndex) {
  if (!a.live) FrameFatal(0, "指定窗口尚未载入");
  const UnitTypeDescriptor* type = UnitTypeOf(*a.unit);
  int index = property - kFirstOwnProperty;
  if (!type || index >= type->propertyCount || !type->properties) return nullptr;
  *ownIndex = index;
  return type;
}

int64_t ReadCommon(const UnitAccess& a, int property) {
  const FormUnit& unit = *a.unit;
  switch (property) {
    case kPropLeft:
    case kPropTop:
    case kPropWidth:
    case kPropHeight: {
      if (!a.live) {
        const int32_t stored[] = {unit.left, unit.top, unit.width, unit.height};
        return stored[property];
      }
      RECT r = RectInParent(a.live);
      const int32_t live[] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
      return live[property];
    }
    case kPropTag:
      return static_cast<int64_t>(reinterpret_cast<uintptr_t>(NewText(unit.tag.c_str())));
    case kPropVisible:
      return a.live ? (IsWindowVisible(a.live) ? 1 : 0) : ((unit.flags & kUnitVisible) ? 1 : 0);
    case kPropDisabled:
      return a.live ? (IsWindowEnabled(a.live) ? 0 : 1) : ((unit.flags & kUnitDisabled) ? 1 : 0);
    case kPropMousePointer:
      return static_cast<int64_t>(reinterpret_cast<uintptr_t>(
          NewByteArray(unit.cursorData.data(), static_cast<uint32_t>(unit.cursorData.size()))));
  }
  return 0;
}

void WriteGeometry(const UnitAccess& a, int property, int32_t value) {
  FormUnit& unit = *a.unit;
  int32_t* stored[] = {&unit.left, &unit.top, &unit.width, &unit.height};
  int32_t clamped = property <= kPropTop ? ClampPosition(value) : ClampSize(value);
  *stored[property] = clamped;
  if (!a.live) return;
  RECT r = RectInParent(a.live);
  int x = r.left, y = r.top, w = r.right - r.left, h = r.bottom - r.top;
  if (property <= kPropTop) {
    (property == kPropLeft ? x : y) = clamped;
    MoveWindow(a.live, x, y, w, h, TRUE);
  } else {
    (property == kPropWidth ? w : h) = clamped;
    SetWindowPos(a.live, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void WriteCommon(const UnitAccess& a, int property, uint64_t value) {
  const auto low = static_cast<uint32_t>(value);
  FormUnit& unit = *a.unit;
  switch (property) {
    case kPropLeft:
    case kPropTop:
    case kPropWidth:
    case kPropHeight:
      WriteGeometry(a, property, static_cast<int32_t>(low));
      return;
    case kPropTag: {
      const char* text = PropertyPointer<const char>(value);
      unit.tag = text ? text : "";
      return;
    }
    case kPropVisible: {
      SetFlag(unit, kUnitVisible, low != 0);
      if (!a.live) return;
      const UnitTypeDescriptor* type = UnitTypeOf(unit);
      if (!low)
        ShowWindow(a.live, SW_HIDE);
      else if (type && !(type->flags & kUnitTypeHidden))
        ShowWindow(a.live, a.index == 0 ? SW_SHOW : SW_SHOWNA);
      return;
    }
    case kPropDisabled:
      SetFlag(unit, kUnitDisabled, low != 0);
      if (a.live) EnableWindow(a.live, low == 0);
      return;
    case kPropMousePointer: {
      const uint8_t* data = nullptr;
      uint32_t len = 0;
      const void* block = PropertyPointer<const void>(value);
      if (!block || !ViewByteArray(block, &data, &len)) len = 0;
      unit.cursorData.assign(data, data + len);
      LiveUnit& live = a.form->live[static_cast<size_t>(a.index)];
      if (live.cursor) DestroyCursor(live.cursor);
      live.cursor = a.live ? BuildUnitCursor(unit.cursorData) : nullptr;
      if (a.live) {
        // Moving the mouse to where it is makes Windows ask for the cursor again.
        POINT p;
        if (GetCursorPos(&p)) SetCursorPos(p.x, p.y);
      }
      return;
    }
  }
}

}  // namespace

int64_t FormsReadProperty(uint32_t windowId, uint32_t unitId, int property, int member) {
  UnitAccess a = FindAccess(windowId, unitId);
  if (property < kFirstOwnProperty) return property < 0 ? 0 : ReadCommon(a, property);
  int index = 0;
  const UnitTypeDescriptor* type = OwnPropertyType(a, property, &index);
  if (!type || !type->getProperty) return 0;
  return NormaliseOwnPropertyValue(type->properties[index].type, type->getProperty(a.live, index));
}

void FormsWriteProperty(uint32_t windowId, uint32_t unitId, int property, int member,
                        uint64_t value) {
  UnitAccess a = FindAccess(windowId, unitId);
  if (property < kFirstOwnProperty) {
    if (property >= 0) WriteCommon(a, property, value);
    return;
  }
  int index = 0;
  const UnitTypeDescriptor* type = OwnPropertyType(a, property, &index);
  if (!type || !type->setProperty) return;
  ArgValue argument = OwnPropertyArgument(type->properties[index].type, value, kEmptyText, kEmptyByteArray);
  if (type->setProperty(a.live, index, argument) != 1 || a.index == 0) return;
  HWND window = FormWindow(*a.form);
  if (!window) return;
  // Windows belong to the thread that made them, and a worker may be the
  // writer: the window's thread does the re-creation.
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
    RecreateControl(*a.form, a.index);
  else
    SendMessageW(window, kMsgRecreateControl, static_cast<WPARAM>(a.index), 0);
}
