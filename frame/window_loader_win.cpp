// Loading a window from its template (LoadStartWindow), the watch the frame
// keeps on every unit window (cursor, destruction), the reset of a template
// when its window goes, and the re-creation of a control.
#include <windows.h>

#include "frame/forms_win.h"
#include "frame/window_values_win.h"

namespace {

const char kLoadFailed[] = "载入启动窗口失败";

// Private messages to the units: all units of the window now exist (to every
// unit, then kMsgWindowComplete to the window), and loading is finishing.
constexpr UINT kMsgUnitsCreated = 0x806F;
constexpr UINT kMsgWindowComplete = 0x8004;
constexpr UINT kMsgLoadFinishing = 0x8076;

constexpr int kFirstControlId = 100;
constexpr int kControlIdStep = 10;

// A watched unit window keeps the window procedure it had and
// (form index << 16) | (unit index + 1) as its window values.
bool UnitRefOfWindow(HWND hwnd, int* formIndex, int* unitIndex) {
  uintptr_t ref = reinterpret_cast<uintptr_t>(WindowValue(hwnd, WindowSlot::kUnitRef));
  if (!ref) return false;
  *formIndex = static_cast<int>(ref >> 16);
  *unitIndex = static_cast<int>(ref & 0xFFFF) - 1;
  std::vector<LiveForm>& forms = Forms().forms;
  if (*formIndex >= static_cast<int>(forms.size())) return false;
  const LiveForm& form = forms[static_cast<size_t>(*formIndex)];
  return *unitIndex >= 0 && *unitIndex < static_cast<int>(form.live.size()) &&
         form.live[static_cast<size_t>(*unitIndex)].hwnd == hwnd;
}

LRESULT CALLBACK UnitWatchProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC original = reinterpret_cast<WNDPROC>(WindowValue(hwnd, WindowSlot::kUnitProc));
  if (!original) return DefWindowProcW(hwnd, msg, wParam, lParam);
  int formIndex = 0, unitIndex = 0;
  if (msg == WM_SETCURSOR && reinterpret_cast<HWND>(wParam) == hwnd && LOWORD(lParam) == HTCLIENT &&
      UnitRefOfWindow(hwnd, &formIndex, &unitIndex)) {
    HCURSOR cursor = Forms().forms[static_cast<size_t>(formIndex)].live[static_cast<size_t>(unitIndex)].cursor;
    if (cursor) {
      SetCursor(cursor);
      return TRUE;
    }
  }
  if (msg == WM_NCDESTROY) {
    bool known = UnitRefOfWindow(hwnd, &formIndex, &unitIndex);
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    SetWindowValue(hwnd, WindowSlot::kUnitProc, nullptr);
    SetWindowValue(hwnd, WindowSlot::kUnitRef, nullptr);
    LRESULT result = CallWindowProcW(original, hwnd, msg, wParam, lParam);
    if (known) UnitWindowGone(Forms().forms[static_cast<size_t>(formIndex)], unitIndex);
    return result;
  }
  return CallWindowProcW(original, hwnd, msg, wParam, lParam);
}

int FormIndexOf(const LiveForm& form) {
  return static_cast<int>(&form - Forms().forms.data());
}

// Creates one unit through its type. Returns null when the type or its
// create operation is missing or create gives no valid window.
HWND CreateUnitWindow(LiveForm& form, int index, HWND parent, int controlId, HWND previous) {
  const FormUnit& unit = form.tmpl.units[static_cast<size_t>(index)];
  const UnitTypeDescriptor* type = UnitTypeOf(unit);
  if (!type || !type->create) return nullptr;
  UnitCreateParams params = {};
  params.parent = parent;
  params.data = unit.props.empty() ? nullptr : unit.props.data();
  params.size = unit.props.size();
  if ((unit.flags & kUnitDisabled) && !(type->flags & kUnitTypeHidden)) params.extraStyles |= WS_DISABLED;
  if (unit.flags & kUnitTabStop) params.extraStyles |= WS_TABSTOP;
  params.controlId = controlId;
  params.left = unit.left;
  params.top = unit.top;
  params.width = unit.width;
  params.height = unit.height;
  params.windowId = form.tmpl.windowId;
  params.unitId = index == 0 ? kWindowSelfUnit : unit.unitId;
  params.previous = previous;
  HWND hwnd = static_cast<HWND>(type->create(params));
  if (!hwnd) return nullptr;
  if (!IsWindow(hwnd)) return nullptr;
  return hwnd;
}

bool UnitShownAtLoad(const FormUnit& unit) {
  const UnitTypeDescriptor* type = UnitTypeOf(unit);
  return (unit.flags & kUnitVisible) && type && !(type->flags & kUnitTypeHidden);
}

HWND ParentWindowOf(const LiveForm& form, const FormUnit& unit) {
  int parent = unit.parentId == 0 ? 0 : FindUnitIndex(form, unit.parentId);
  return parent < 0 ? nullptr : form.live[static_cast<size_t>(parent)].hwnd;
}

// Loading failed: everything created so far goes, and the fatal error.
[[noreturn]] void FailLoading(LiveForm& form) {
  HWND window = FormWindow(form);
  if (window) DestroyWindow(window);
  for (LiveUnit& live : form.live) {
    if (live.hwnd && IsWindow(live.hwnd)) DestroyWindow(live.hwnd);
  }
  form.loading = false;
  FrameFatal(0, kLoadFailed);
}

// Stacks the controls: within each parent, every control directly below the
// previous control of that parent in form order, the first one at the top.
void StackControls(LiveForm& form) {
  const std::vector<FormUnit>& units = form.tmpl.units;
  for (size_t i = 1; i < units.size(); ++i) {
    HWND above = HWND_TOP;
    for (size_t j = i - 1; j >= 1; --j) {
      if (units[j].parentId == units[i].parentId) {
        above = form.live[j].hwnd;
        break;
      }
    }
    // Loading creates each parent's controls in the order that already
    // stacks them so; a window that is in place is left alone, as every
    // SetWindowPos costs a round trip to the window system.
    HWND hwnd = form.live[i].hwnd;
    HWND previous = GetWindow(hwnd, GW_HWNDPREV);
    if (above == HWND_TOP ? previous == nullptr : previous == above) continue;
    SetWindowPos(hwnd, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

// Puts a control under parent at (left, top) of the parent's client area.
// Loading makes most controls there already: nothing is changed for a
// control that is where it belongs.
void PlaceControl(HWND hwnd, HWND parent, int left, int top) {
  if (GetParent(hwnd) != parent) SetParent(hwnd, parent);
  RECT rect;
  if (GetWindowRect(hwnd, &rect)) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    if (rect.left == left && rect.top == top) return;
  }
  SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SendToUnits(LiveForm& form, UINT msg) {
  for (size_t i = form.live.size(); i-- > 0;) {
    HWND hwnd = form.live[i].hwnd;
    if (hwnd && IsWindow(hwnd)) SendMessageW(hwnd, msg, 0, 0);
  }
}

// The unit holding the keyboard focus (the window or one of its controls),
// or -1.
int FocusedUnit(LiveForm& form) {
  HWND focus = GetFocus();
  LiveForm* owner = nullptr;
  int index = -1;
  if (!focus || !FindUnitAtOrAbove(focus, &owner, &index) || owner != &form) return -1;
  return index;
}

bool WindowStillExists(const LiveForm& form, HWND window) {
  return FormWindow(form) == window && IsWindow(window);
}

}  // namespace

void WatchUnitWindow(HWND hwnd, int formIndex, int unitIndex) {
  SetWindowValue(hwnd, WindowSlot::kUnitRef,
                 reinterpret_cast<void*>((static_cast<uintptr_t>(formIndex) << 16) |
                                         static_cast<uintptr_t>(unitIndex + 1)));
  LONG_PTR original = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
  SetWindowValue(hwnd, WindowSlot::kUnitProc, reinterpret_cast<void*>(original));
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&UnitWatchProc));
}

bool FindUnitOfWindow(HWND hwnd, LiveForm** form, int* unitIndex) {
  int formIndex = 0;
  if (!hwnd || !UnitRefOfWindow(hwnd, &formIndex, unitIndex)) return false;
  *form = &Forms().forms[static_cast<size_t>(formIndex)];
  return true;
}

bool FindUnitAtOrAbove(HWND hwnd, LiveForm** form, int* unitIndex) {
  for (HWND h = hwnd; h; h = (GetWindowLongW(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr) {
    if (FindUnitOfWindow(h, form, unitIndex)) return true;
  }
  return false;
}

HCURSOR BuildUnitCursor(const std::vector<uint8_t>& cursorData) {
  if (cursorData.size() < 4) return nullptr;
  uint32_t id = static_cast<uint32_t>(cursorData[0]) | (static_cast<uint32_t>(cursorData[1]) << 8) |
                (static_cast<uint32_t>(cursorData[2]) << 16) | (static_cast<uint32_t>(cursorData[3]) << 24);
  if (id == 0 || id > 0xFFFF) return nullptr;
  HCURSOR shared = LoadCursorA(nullptr, MAKEINTRESOURCEA(id));
  // A private copy, so that the unit's cursor can be destroyed with it.
  return shared ? CopyCursor(shared) : nullptr;
}

void UnitWindowGone(LiveForm& form, int unitIndex) {
  LiveUnit& live = form.live[static_cast<size_t>(unitIndex)];
  // A unit that also reports its own destruction is forgotten only once.
  if (!live.hwnd) return;
  if (live.cursor) DestroyCursor(live.cursor);
  live.cursor = nullptr;
  live.hwnd = nullptr;
  if (unitIndex != 0) return;
  // The window itself: its controls died with it. Changes made while it was
  // open are dropped.
  for (LiveUnit& unit : form.live) {
    if (unit.cursor) DestroyCursor(unit.cursor);
    unit = LiveUnit{};
  }
  form.tmpl = form.loadCopy;
  form.loaded = false;
  form.firstActivationSeen = false;
  if (Frame().loopEntered && !Forms().released && !AnyFormHasLiveWindow()) PostQuitMessage(0);
}

void FormsLoadStartWindow(uint32_t windowId) {
  LiveForm* found = FindLiveForm(windowId);
  if (!found) FrameFatal(0, kLoadFailed);
  LiveForm& form = *found;
  HWND existing = FormWindow(form);
  if (existing && IsWindow(existing)) {
    if (IsIconic(existing))
      ShowWindow(existing, SW_RESTORE);
    else
      SetForegroundWindow(existing);
    return;
  }
  if (form.loading) return;  // a Created handler asked for its own window again

  SuspendEvents();
  form.loading = true;
  form.loadCopy = form.tmpl;
  int formIndex = FormIndexOf(form);
  std::vector<FormUnit>& units = form.tmpl.units;

  // The window first, then the controls, numbered from the last record to
  // the first. A control is made straight under its parent unit once that
  // exists: in passes, each taking the controls whose parent is made, in
  // record order. The controls of one parent are so made in one pass, first
  // record first, and as a new child window goes below its siblings they
  // come out stacked as StackControls wants them, with nothing left to move.
  // What no pass reaches (a parent that is missing, or one among its own
  // descendants) is made under the window and placed below.
  HWND window = CreateUnitWindow(form, 0, nullptr, 0, nullptr);
  if (!window) FailLoading(form);
  form.live[0].hwnd = window;
  WatchUnitWindow(window, formIndex, 0);
  auto makeControl = [&](size_t i, HWND parent) {
    const int controlId = kFirstControlId + static_cast<int>(units.size() - 1 - i) * kControlIdStep;
    HWND hwnd = CreateUnitWindow(form, static_cast<int>(i), parent, controlId, nullptr);
    if (!hwnd) FailLoading(form);
    form.live[i].hwnd = hwnd;
    WatchUnitWindow(hwnd, formIndex, static_cast<int>(i));
  };
  // Each unit's parent (-1: none such) and the pass it was made in (the
  // window: pass 0; -1: not yet).
  std::vector<int> parentOf(units.size(), 0), madeIn(units.size(), -1);
  for (size_t i = 1; i < units.size(); ++i)
    if (units[i].parentId != 0) parentOf[i] = FindUnitIndex(form, units[i].parentId);
  madeIn[0] = 0;
  for (int pass = 1, made = 1; made > 0; ++pass) {
    made = 0;
    for (size_t i = 1; i < units.size(); ++i) {
      if (madeIn[i] >= 0) continue;
      const int parent = parentOf[i];
      if (parent < 0) continue;
      const int parentPass = madeIn[static_cast<size_t>(parent)];
      if (parentPass < 0 || parentPass == pass) continue;
      makeControl(i, form.live[static_cast<size_t>(parent)].hwnd);
      madeIn[i] = pass;
      ++made;
    }
  }
  for (size_t i = units.size(); i-- > 1;) {
    if (!form.live[i].hwnd) makeControl(i, window);
  }

  // Each control under its parent unit, at its stored place there.
  for (size_t i = 1; i < units.size(); ++i) {
    if (units[i].parentId == 0) continue;
    HWND parent = ParentWindowOf(form, units[i]);
    if (!parent) FailLoading(form);
    PlaceControl(form.live[i].hwnd, parent, units[i].left, units[i].top);
  }
  StackControls(form);

  for (size_t i = 0; i < units.size(); ++i) form.live[i].cursor = BuildUnitCursor(units[i].cursorData);

  SendToUnits(form, kMsgUnitsCreated);
  SendMessageW(window, kMsgWindowComplete, 0, 0);

  for (size_t i = 1; i < units.size(); ++i)
    ShowWindow(form.live[i].hwnd, UnitShownAtLoad(units[i]) ? SW_SHOWNA : SW_HIDE);

  ResumeEvents();
  form.loading = false;

  // The window's own events, each only while the window still exists: a
  // handler may destroy it.
  const int32_t kLoadEvents[] = {0 /* Created */, 3 /* Moved */, 4 /* Resized */};
  for (int32_t event : kLoadEvents) {
    if (!WindowStillExists(form, window)) return;
    RaiseUnitEvent(windowId, kWindowSelfUnit, event, nullptr, 0);
  }
  if (!WindowStillExists(form, window)) return;

  if (units[0].flags & kUnitVisible) {
    form.loaderShowing = true;
    ShowWindow(window, WindowUnitShowCommand(window));
    form.loaderShowing = false;
    if (!WindowStillExists(form, window)) return;
    int focused = FocusedUnit(form);
    if (focused >= 0) {
      uint32_t unitId = focused == 0 ? kWindowSelfUnit : units[static_cast<size_t>(focused)].unitId;
      RaiseUnitEvent(windowId, unitId, -7 /* FocusReceived */, nullptr, 0);
    }
    if (!WindowStillExists(form, window)) return;
  }

  HWND focusBefore = GetFocus();
  SendToUnits(form, kMsgLoadFinishing);
  if (focusBefore && GetFocus() != focusBefore && IsWindow(focusBefore)) SetFocus(focusBefore);
  if (WindowStillExists(form, window)) form.loaded = true;
}

bool RecreateControl(LiveForm& form, int unitIndex) {
  if (unitIndex <= 0) return false;
  size_t index = static_cast<size_t>(unitIndex);
  HWND old = form.live[index].hwnd;
  HWND window = FormWindow(form);
  if (!old || !window) return false;
  SuspendEvents();
  HWND parent = GetParent(old);
  RECT rect;
  GetWindowRect(old, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  int controlId = GetDlgCtrlID(old);
  bool visible = IsWindowVisible(old) != FALSE;

  // Create as a child of the window, as loading does, then move under the
  // real parent.
  uint32_t unitId = form.tmpl.units[index].unitId;
  HWND created = CreateUnitWindow(form, unitIndex, window, controlId, old);
  if (!created) {
    ResumeEvents();
    return false;
  }
  if (parent != window) SetParent(created, parent);
  SetWindowPos(created, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE);

  // The old window's child units move over to the new one before it goes.
  for (size_t i = 1; i < form.live.size(); ++i) {
    HWND child = form.live[i].hwnd;
    if (child && i != index && form.tmpl.units[i].parentId == unitId && GetParent(child) == old)
      SetParent(child, created);
  }
  // From here the unit is the new window: the old one's destruction no
  // longer counts as the unit's (its cursor stays).
  form.live[index].hwnd = created;
  WatchUnitWindow(created, FormIndexOf(form), unitIndex);
  StackControls(form);
  DestroyWindow(old);
  SendMessageW(created, kMsgUnitsCreated, 0, 0);
  SendMessageW(created, kMsgLoadFinishing, 0, 0);
  ShowWindow(created, visible ? SW_SHOWNA : SW_HIDE);
  ResumeEvents();
  return true;
}
