// The progress bar unit (kind 0x00010013): the system progress control
// "msctls_progress32" with the stored range and position, clamped to
// 0..32767. The common-controls library is loaded at run time from the
// system folder, never imported, so that no copy of it beside the program is
// picked up.
#include <windows.h>
#include <commctrl.h>

#include "frame/program_frame_win.h"
#include "frame/wide_text_win.h"
#include "frame/window_values_win.h"
#include "ui/border_style_win.h"
#include "ui/process_bar_record.h"
#include "ui/unit_window_win.h"
#include "ui/widgets.h"

namespace {

const char kProgressClass[] = "msctls_progress32";

const UnitPropertyDecl kBarProperties[kBarPropertyEnd - kFirstOwnProperty] = {
    {"BorderStyle", kTagInt}, {"Vertical", kTagBool}, {"Smooth", kTagBool},
    {"Minimum", kTagInt},     {"Maximum", kTagInt},   {"Position", kTagInt},
};

// A position written from another thread is shown at most this often: each
// change repaints the control on the window thread, which under a busy
// extraction reporting every entry would cost more than the extraction's own
// work on small files. The position shown is always the last one written, at
// most this late.
constexpr DWORD kPositionIntervalMs = 40;
// Posted to the control (our subclass takes it) when a position written from
// another thread waits to be shown.
constexpr UINT kMsgShowPosition = WM_APP + 0x2B1;
constexpr UINT_PTR kPositionTimer = 0x2B1;

struct BarUnit {
  ProcessBarRecord record;
  WNDPROC controlProc = nullptr;  // the progress control's own procedure
  // 1 from a write on another thread until the window thread shows the
  // record's position; further writes meanwhile post nothing more.
  volatile LONG positionPending = 0;
  DWORD lastShownTick = 0;  // when such a position was last shown (window thread)
};

BarUnit* BarOf(HWND hwnd) { return static_cast<BarUnit*>(WindowValue(hwnd, WindowSlot::kBarUnit)); }

// Registers the progress class by loading comctl32.dll from the system folder
// and calling its InitCommonControlsEx. The library stays loaded: the class's
// window procedure lives in it. Its loading (some 15 ms under Wine, nearly
// all in its own start-up code) is not moved to another thread: the window
// thread loads the window system's libraries and makes windows meanwhile,
// which wait for the same loader lock, and such a thread made the window
// show later, not sooner.
bool EnsureProgressClass() {
  static bool registered = false;
  if (registered) return true;
  HMODULE module = LoadSystemLibrary("comctl32.dll");
  if (!module) return false;
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(module, "InitCommonControlsEx")));
  if (!init) return false;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
  init(&icc);
  WNDCLASSW wc;
  registered = GetClassInfoW(nullptr, WideFromGbk(kProgressClass).c_str(), &wc) != 0;
  return registered;
}

// The range reaches the control by its own message. From the window's
// thread it is sent. From any other thread it is posted: the writer (the
// extraction, which reports after every entry) goes on without waiting for
// the window thread. A position is shown from the record after the range
// written before it (SendPosition), so the control ends with both as last
// written.
void ToControl(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId() ||
      !PostMessageW(hwnd, message, wParam, lParam))
    SendMessageW(hwnd, message, wParam, lParam);
}

void SendRange(HWND hwnd, const ProcessBarRecord& r) {
  BarRange range = ProcessBarRange(r.minimum, r.maximum);
  ToControl(hwnd, PBM_SETRANGE, 0, MAKELPARAM(range.low, range.high));
}

void ShowPositionNow(HWND hwnd, const ProcessBarRecord& r) {
  SendMessageW(hwnd, PBM_SETPOS, static_cast<WPARAM>(ProcessBarShownPosition(r.minimum, r.maximum, r.position)), 0);
}

// A position is shown at once from the window's thread. From another thread
// the window thread is asked to show the record's position (kMsgShowPosition)
// unless it has been asked already: writes faster than it shows them are
// taken together, and it shows them no more often than kPositionIntervalMs.
void SendPosition(HWND hwnd, BarUnit* unit) {
  if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
    ShowPositionNow(hwnd, unit->record);
    return;
  }
  if (InterlockedExchange(&unit->positionPending, 1) != 0) return;
  if (!PostMessageW(hwnd, kMsgShowPosition, 0, 0)) {
    InterlockedExchange(&unit->positionPending, 0);
    ShowPositionNow(hwnd, unit->record);
  }
}

// On the window thread: shows the record's position. The flag is cleared
// first, so that a write after the record was read asks again.
void ShowPendingPosition(HWND hwnd, BarUnit* unit) {
  InterlockedExchange(&unit->positionPending, 0);
  unit->lastShownTick = GetTickCount();
  ShowPositionNow(hwnd, unit->record);
}

void CALLBACK PositionTimerProc(HWND hwnd, UINT, UINT_PTR id, DWORD) {
  KillTimer(hwnd, id);
  if (BarUnit* unit = BarOf(hwnd)) ShowPendingPosition(hwnd, unit);
}

// Subclass of the control: frees the unit when the window goes. (The frame
// subclasses the window after us, so its procedure runs first.)
LRESULT CALLBACK BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  BarUnit* unit = BarOf(hwnd);
  if (!unit) return DefWindowProcW(hwnd, msg, wParam, lParam);
  WNDPROC next = unit->controlProc;
  if (msg == kMsgShowPosition) {
    const DWORD since = GetTickCount() - unit->lastShownTick;
    if (since < kPositionIntervalMs && SetTimer(hwnd, kPositionTimer, kPositionIntervalMs - since, PositionTimerProc))
      return 0;
    ShowPendingPosition(hwnd, unit);
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    KillTimer(hwnd, kPositionTimer);
    SetWindowValue(hwnd, WindowSlot::kBarUnit, nullptr);
    delete unit;
  }
  return CallWindowProcW(next, hwnd, msg, wParam, lParam);
}

void* CreateBar(const UnitCreateParams& p) {
  ProcessBarRecord record;
  if (const BarUnit* old = BarOf(static_cast<HWND>(p.previous)))
    record = old->record;
  else if (!DecodeProcessBarRecord(p.data, p.size, &record, nullptr))
    return nullptr;
  if (!EnsureProgressClass()) return nullptr;
  DWORD style = WS_CHILD;
  if (record.vertical) style |= PBS_VERTICAL;
  if (record.smooth) style |= PBS_SMOOTH;
  HWND hwnd = CreateUnitWindow(p, 0, kProgressClass, "", style, nullptr);
  if (!hwnd) return nullptr;
  auto* unit = new BarUnit;
  unit->record = record;
  SetWindowValue(hwnd, WindowSlot::kBarUnit, unit);
  unit->controlProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BarProc)));
  SendRange(hwnd, record);
  SendPosition(hwnd, unit);
  ApplyBorderStyle(hwnd, record.borderStyle);
  return hwnd;
}

int64_t GetBarProperty(void* live, int index) {
  const int number = index + kFirstOwnProperty;
  const BarUnit* unit = BarOf(static_cast<HWND>(live));
  if (!unit) return 0;
  const ProcessBarRecord& r = unit->record;
  switch (number) {
    case kBarBorderStyle: return r.borderStyle;
    case kBarVertical: return r.vertical;
    case kBarSmooth: return r.smooth;
    case kBarMinimum: return r.minimum;
    case kBarMaximum: return r.maximum;
    case kBarPosition: return r.position;
  }
  return 0;
}

// The control's own messages do the work, and they reach the window's
// thread however they are sent (ToControl), so a write from a worker thread
// needs nothing more. Reads come from the record, never from the control.
int SetBarProperty(void* live, int index, const ArgValue& value) {
  const int number = index + kFirstOwnProperty;
  HWND hwnd = static_cast<HWND>(live);
  BarUnit* unit = BarOf(hwnd);
  if (!unit) return 0;
  ProcessBarRecord& r = unit->record;
  switch (number) {
    case kBarBorderStyle:
      r.borderStyle = ClampToRange(value.i32, 0, kMaxWidgetBorderStyle);
      ApplyBorderStyle(hwnd, r.borderStyle);
      return 0;
    case kBarVertical:
    case kBarSmooth: {
      // The control takes these styles only when it is made: ask the frame
      // to make it again.
      int32_t& field = number == kBarVertical ? r.vertical : r.smooth;
      int32_t flag = FlagValue(value.i32);
      if (flag == field) return 0;
      field = flag;
      return 1;
    }
    case kBarMinimum:
    case kBarMaximum:
      (number == kBarMinimum ? r.minimum : r.maximum) = ClampBarValue(value.i32);
      SendRange(hwnd, r);
      return 0;
    case kBarPosition:
      r.position = ClampBarValue(value.i32);
      SendPosition(hwnd, unit);
      return 0;
  }
  return 0;
}

}  // namespace

const UnitTypeDescriptor gProcessBarUnitType = {
    "ProcessBar", kUnitTypeRaisesEvents, kBarPropertyEnd - kFirstOwnProperty, kBarProperties, CreateBar, GetBarProperty, SetBarProperty,
};

