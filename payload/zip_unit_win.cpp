#include "payload/zip_unit_win.h"

#include <cstring>
#include <new>

#include "payload/zip_extract_win.h"

namespace {

// Set once at start-up, before any worker thread runs; read by every call.
FrameServiceFn gZipFrameService = nullptr;

intptr_t CallFrame(int code, intptr_t a1, intptr_t a2, intptr_t a3) {
  FrameServiceFn service = gZipFrameService;
  return service ? service(code, a1, a2, a3) : 0;
}

const wchar_t kZipUnitWideClass[] = L"ZipUnitWindow";

// What a ZIP unit window holds.
struct ZipUnit {
  uint32_t windowId;
  uint32_t unitId;
};

// Hands the unit to the window procedure at WM_NCCREATE; whatever is left
// here after CreateWindowEx was never taken and is freed by the creator.
struct ZipUnitCreation {
  ZipUnit* unit;
};

LRESULT CALLBACK ZipUnitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* creation =
          static_cast<ZipUnitCreation*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->unit));
      creation->unit = nullptr;
      break;
    }
    case WM_NCDESTROY: {
      auto* unit = reinterpret_cast<ZipUnit*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (unit) {
        CallFrame(kFsUnitDestroyed, unit->windowId, unit->unitId, 0);
        delete unit;
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterZipUnitClass(HINSTANCE instance) {
  WNDCLASSW existing;
  if (GetClassInfoW(instance, kZipUnitWideClass, &existing)) return true;
  WNDCLASSW wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ZipUnitWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  wc.lpszClassName = kZipUnitWideClass;
  return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Where ExtractProgress goes: the unit's ids and its window (null when the
// frame found no unit object).
struct ProgressTarget {
  uint32_t windowId;
  uint32_t unitId;
  HWND window;
};

bool RaiseExtractProgress(void* context, int32_t percent) {
  const ProgressTarget* target = static_cast<const ProgressTarget*>(context);
  if (!target->window || !IsWindow(target->window)) return true;
  EventRecord record = {};
  record.windowId = target->windowId;
  record.unitId = target->unitId;
  record.eventNumber = kEventExtractProgress;
  record.argCount = 1;
  record.args[0] = percent;
  intptr_t delivered = CallFrame(kFsRaiseEvent, reinterpret_cast<intptr_t>(&record), 0, 0);
  bool stop = delivered != 0 && record.hasResult == 1 && record.result == 0 &&
              IsWindow(target->window);
  return !stop;
}

const char* TextArgument(const ArgValue* args, int argCount, int index) {
  return IsGiven(args, argCount, index) ? args[index].text : nullptr;
}

}  // namespace

intptr_t ZipLibraryNotify(int code, intptr_t a1, intptr_t) {
  switch (code) {
    case kNotifyFrameEntry:
      gZipFrameService = reinterpret_cast<FrameServiceFn>(a1);
      return 0;
    case kNotifyProgramEnd:
      return 0;
    default:
      return -1;
  }
}

void Extract(ArgValue* result, int argCount, const ArgValue* args) {
  ProgressTarget target = {};
  if (IsGiven(args, argCount, 0)) {
    UnitRef unit;
    std::memcpy(&unit, args[0].raw, sizeof unit);
    target.windowId = unit.windowId;
    target.unitId = unit.unitId;
    target.window = reinterpret_cast<HWND>(
        CallFrame(kFsRequireUnitObject, static_cast<intptr_t>(unit.windowId),
                  static_cast<intptr_t>(unit.unitId), 0));
  }
  int outcome = ExtractArchive(TextArgument(args, argCount, 1), TextArgument(args, argCount, 2),
                               RaiseExtractProgress, &target);
  *result = MakeInt(outcome);
}

HWND CreateZipUnitWindow(HWND parent, DWORD extraStyle, int controlId, int left, int top,
                         int width, int height, uint32_t windowId, uint32_t unitId) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterZipUnitClass(instance)) return nullptr;
  ZipUnitCreation creation = {new (std::nothrow) ZipUnit{windowId, unitId}};
  if (!creation.unit) return nullptr;
  HWND window = CreateWindowExW(0, kZipUnitWideClass, L"", extraStyle | kZipUnitStyle, left, top, width,
                                height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                                instance, &creation);
  delete creation.unit;  // still here only when the window never took it
  return window;
}

namespace {

void* CreateZipUnit(const UnitCreateParams& p) {
  return CreateZipUnitWindow(static_cast<HWND>(p.parent), p.extraStyles, p.controlId, p.left, p.top,
                             p.width, p.height, p.windowId, p.unitId);
}

}  // namespace

const UnitTypeDescriptor gZipUnitType = {
    "ZIP", kUnitTypeHidden | kUnitTypeRaisesEvents, 0, nullptr, CreateZipUnit, nullptr, nullptr,
};
