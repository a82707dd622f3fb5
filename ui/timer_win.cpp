// The timer unit (kind 0x00010020): a hidden window that raises Tick
// (event 0) every Interval milliseconds through a system timer with id 1000.
#include <windows.h>

#include "ui/timer_record.h"
#include "ui/unit_window_win.h"
#include "ui/widget_event_win.h"
#include "ui/widgets.h"

namespace {

const char kTimerClass[] = "SkinTimer";
constexpr UINT_PTR kTimerId = 1000;
constexpr int32_t kTickEvent = 0;

const UnitPropertyDecl kTimerProperties[kTimerPropertyEnd - kFirstOwnProperty] = {{"Interval", kTagInt}};

struct TimerUnit {
  uint32_t windowId = 0;
  uint32_t unitId = 0;
  int32_t interval = 0;
  bool running = false;
};

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
  TimerUnit* unit = AttachedUnit<TimerUnit>(hwnd, msg, lParam);
  if (!unit) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_TIMER:
      if (wParam != kTimerId) break;
      RaiseWidgetEvent(unit->windowId, unit->unitId, kTickEvent);
      return 0;
    case kMsgUnitProperty:
      return RunPropertyCall(hwnd, lParam);
    case WM_DESTROY:
      StopTimer(hwnd, *unit);
      break;
    case WM_NCDESTROY:
      DetachUnit(hwnd);
      delete unit;
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void* CreateTimer(const UnitCreateParams& p) {
  TimerRecord record;
  if (const TimerUnit* old = p.previous ? UnitOf<TimerUnit>(static_cast<HWND>(p.previous)) : nullptr)
    record.interval = old->interval;
  else if (!DecodeTimerRecord(p.data, p.size, &record, nullptr))
    return nullptr;
  if (!RegisterUnitClass(kTimerClass, TimerProc, CS_DBLCLKS)) return nullptr;
  auto* unit = new TimerUnit;
  unit->windowId = p.windowId;
  unit->unitId = p.unitId;
  unit->interval = record.interval;
  bool taken = false;
  HWND hwnd = CreateUnitWindow(p, 0, kTimerClass, "", WS_CHILD, unit, &taken);
  if (!hwnd) {
    if (!taken) delete unit;  // else the window's WM_NCDESTROY freed it
    return nullptr;
  }
  StartTimer(hwnd, *unit);
  return hwnd;
}

int64_t GetTimerProperty(void* live, int index) {
  const int number = index + kFirstOwnProperty;
  const TimerUnit* unit = UnitOf<TimerUnit>(static_cast<HWND>(live));
  return unit && number == kTimerInterval ? unit->interval : 0;
}

// An Interval write runs on the window's own thread: a system timer belongs
// to the thread of its window.
int WriteInterval(HWND hwnd, int index, const ArgValue& value) {
  const int number = index + kFirstOwnProperty;
  TimerUnit* unit = UnitOf<TimerUnit>(hwnd);
  if (unit && number == kTimerInterval) ChangeInterval(hwnd, *unit, value.i32);
  return 0;
}

}  // namespace

const UnitTypeDescriptor gTimerUnitType = {
    "Timer", kUnitTypeHidden | kUnitTypeRaisesEvents, kTimerPropertyEnd - kFirstOwnProperty, kTimerProperties,
    CreateTimer, GetTimerProperty, SetPropertyOnWindowThread<WriteInterval>,
};
