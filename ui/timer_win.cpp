// The timer unit (kind 0x00010020): a hidden window that raises Tick
// (event 0) every Interval milliseconds through a system timer with id 1000.
#include <windows.h>

#include "ui/timer_record.h"
#include "ui/widget_event_win.h"
#include "ui/widgets.h"

namespace {

const char kTimerClass[] = "SkinTimer";
constexpr UINT_PTR kTimerId = 1000;
constexpr int32_t kTickEvent = 0;
// An Interval write from another thread, carried out by the window's own
// thread (a system timer belongs to the thread of its window): wParam holds
// the new interval.
constexpr UINT kMsgSetInterval = WM_USER + 0x100;

enum TimerProperty : int { kTpInterval, kTpCount };
const UnitPropertyDecl kTimerProperties[kTpCount] = {{"Interval", kTagInt}};

struct TimerUnit {
  uint32_t windowId = 0;
  uint32_t unitId = 0;
  int32_t interval = 0;
  bool running = false;
};

TimerUnit* TimerOf(HWND hwnd) { return reinterpret_cast<TimerUnit*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

void StartTimer(HWND hwnd, TimerUnit& unit) {
  if (unit.interval > 0) unit.running = SetTimer(hwnd, kTimerId, static_cast<UINT>(unit.interval), nullptr) != 0;
}

void StopTimer(HWND hwnd, TimerUnit& unit) {
  if (unit.running) KillTimer(hwnd, kTimerId);
  unit.running = false;
}

// Interval written: nothing when unchanged; otherwise the running timer stops
// and a new one starts for an interval above 0.
void ChangeInterval(HWND hwnd, TimerUnit& unit, int32_t interval) {
  interval = ClampInterval(interval);
  if (interval == unit.interval) return;
  unit.interval = interval;
  StopTimer(hwnd, unit);
  StartTimer(hwnd, unit);
}

LRESULT CALLBACK TimerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* created = static_cast<TimerUnit*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  TimerUnit* unit = TimerOf(hwnd);
  if (!unit) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_TIMER:
      if (wParam != kTimerId) break;
      RaiseWidgetEvent(unit->windowId, unit->unitId, kTickEvent);
      return 0;
    case kMsgSetInterval:
      ChangeInterval(hwnd, *unit, static_cast<int32_t>(wParam));
      return 0;
    case WM_DESTROY:
      StopTimer(hwnd, *unit);
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      delete unit;
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool RegisterTimerClass() {
  WNDCLASSA wc = {};
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (GetClassInfoA(instance, kTimerClass, &wc)) return true;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = TimerProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = kTimerClass;
  return RegisterClassA(&wc) != 0;
}

void* CreateTimer(const UnitCreateParams& p) {
  TimerRecord record;
  if (const TimerUnit* old = p.previous ? TimerOf(static_cast<HWND>(p.previous)) : nullptr)
    record.interval = old->interval;
  else if (!DecodeTimerRecord(p.data, p.size, &record, nullptr))
    return nullptr;
  if (!RegisterTimerClass()) return nullptr;
  auto* unit = new TimerUnit;
  unit->windowId = p.windowId;
  unit->unitId = p.unitId;
  unit->interval = record.interval;
  HWND hwnd = CreateWindowExA(0, kTimerClass, "", WS_CHILD | p.extraStyles, p.left, p.top, p.width, p.height,
                              static_cast<HWND>(p.parent),
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(p.controlId)),
                              GetModuleHandleA(nullptr), unit);
  if (!hwnd) {
    delete unit;
    return nullptr;
  }
  StartTimer(hwnd, *unit);
  return hwnd;
}

int64_t GetTimerProperty(void* live, int index) {
  const TimerUnit* unit = TimerOf(static_cast<HWND>(live));
  return unit && index == kTpInterval ? unit->interval : 0;
}

int SetTimerProperty(void* live, int index, const ArgValue& value) {
  HWND hwnd = static_cast<HWND>(live);
  TimerUnit* unit = TimerOf(hwnd);
  if (!unit || index != kTpInterval) return 0;
  if (OnForeignThread(hwnd))
    SendMessageA(hwnd, kMsgSetInterval, static_cast<WPARAM>(value.i32), 0);
  else
    ChangeInterval(hwnd, *unit, value.i32);
  return 0;
}

}  // namespace

const UnitTypeDescriptor gTimerUnitType = {
    "Timer", kUnitTypeHidden | kUnitTypeRaisesEvents, kTpCount, kTimerProperties,
    CreateTimer, GetTimerProperty, SetTimerProperty,
};
