// The probe's unit types: a coloured box with own properties of every kind
// of conversion, the same box as a never-shown type and as a type that raises
// no events, and a type whose create fails.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/blocks.h"
#include "frame/form_format.h"
#include "frame/property_values.h"
#include "tests/win32/form_probe.h"

FrameServiceFn gFrameService;

namespace {

intptr_t ProbeLibraryNotify(int code, intptr_t a1, intptr_t) {
  if (code == kNotifyFrameEntry) gFrameService = reinterpret_cast<FrameServiceFn>(a1);
  return 0;
}

const wchar_t kBoxClass[] = L"FormProbeBox";
constexpr UINT kMsgUnitsCreated = 0x806F;
constexpr UINT kMsgLoadFinishing = 0x8076;

struct ProbeBox {
  uint32_t windowId = 0;
  uint32_t unitId = 0;
  std::string text;
  int32_t number = 0;  // the paint colour; the first word of the record
  int32_t flag = 0;
  std::vector<uint8_t> data;
};

ProbeBox* BoxOf(HWND hwnd) { return reinterpret_cast<ProbeBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

LRESULT CALLBACK ProbeBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* box = static_cast<ProbeBox*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
  }
  ProbeBox* box = BoxOf(hwnd);
  if (!box) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      delete box;
      break;
    case kMsgUnitsCreated: {
      // Events raised while the window is being loaded must not arrive.
      EventRecord record = {};
      record.windowId = box->windowId;
      record.unitId = box->unitId;
      record.eventNumber = -1;
      record.argCount = 3;
      gFrameService(kFsRaiseEvent, reinterpret_cast<intptr_t>(&record), 0, 0);
      ProbeLog("units-created %s", NameOf(box->unitId));
      return 0;
    }
    case kMsgLoadFinishing:
      ProbeLog("load-finishing %s", NameOf(box->unitId));
      return 0;
    case WM_LBUTTONUP:
      ProbeLog("got LBUTTONUP %s", NameOf(box->unitId));
      return 0;
    case WM_CHAR:
      ProbeLog("got CHAR %d %s", static_cast<int>(wParam), NameOf(box->unitId));
      return 0;
    case WM_ERASEBKGND: {
      RECT rect;
      GetClientRect(hwnd, &rect);
      HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(box->number));
      FillRect(reinterpret_cast<HDC>(wParam), &rect, brush);
      DeleteObject(brush);
      return 1;
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void* CreateBox(const UnitCreateParams& p) {
  WNDCLASSW wc = {};
  if (!GetClassInfoW(GetModuleHandleW(nullptr), kBoxClass, &wc)) {
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ProbeBoxProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.lpszClassName = kBoxClass;
    RegisterClassW(&wc);
  }
  auto* box = new ProbeBox;
  box->windowId = p.windowId;
  box->unitId = p.unitId;
  if (p.previous) {
    *box = *BoxOf(static_cast<HWND>(p.previous));
    ProbeLog("recreate %s", NameOf(p.unitId));
  } else if (p.size >= 4) {
    std::memcpy(&box->number, p.data, 4);
  }
  HWND hwnd = CreateWindowExW(0, kBoxClass, L"", WS_CHILD | WS_CLIPSIBLINGS | p.extraStyles, p.left, p.top,
                              p.width, p.height, static_cast<HWND>(p.parent),
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(p.controlId)),
                              GetModuleHandleW(nullptr), box);
  if (!hwnd) delete box;
  return hwnd;
}

void* CreateNothing(const UnitCreateParams&) { return nullptr; }

int64_t GetBoxProperty(void* live, int index) {
  ProbeBox* box = BoxOf(static_cast<HWND>(live));
  switch (index + kFirstOwnProperty) {
    case kOwnText: return static_cast<int64_t>(reinterpret_cast<uintptr_t>(NewText(box->text.c_str())));
    case kOwnNumber: return box->number;
    case kOwnFlag: return box->flag;
    case kOwnData:
      return static_cast<int64_t>(reinterpret_cast<uintptr_t>(
          NewByteArray(box->data.data(), static_cast<uint32_t>(box->data.size()))));
  }
  return 0;
}

int SetBoxProperty(void* live, int index, const ArgValue& value) {
  ProbeBox* box = BoxOf(static_cast<HWND>(live));
  switch (index + kFirstOwnProperty) {
    case kOwnText: box->text = value.text; return 0;
    case kOwnNumber: box->number = value.i32; return 0;
    case kOwnFlag: box->flag = value.i32; return 0;
    case kOwnRebuild: return 1;
    case kOwnData: {
      const uint8_t* data = nullptr;
      uint32_t len = 0;
      if (ViewByteArray(value.ptr, &data, &len)) box->data.assign(data, data + len);
      return 0;
    }
  }
  return 0;
}

const UnitPropertyDecl kBoxProperties[] = {
    {"Text", kTagText}, {"Number", kTagInt}, {"Flag", kTagBool}, {"Rebuild", kTagInt}, {"Data", kTagByteArray},
};
const UnitTypeDescriptor kBoxType = {"ProbeBox", kUnitTypeRaisesEvents, 5, kBoxProperties,
                                     CreateBox, GetBoxProperty, SetBoxProperty};
const UnitTypeDescriptor kHiddenType = {"ProbeTimer", kUnitTypeHidden | kUnitTypeRaisesEvents, 0, nullptr,
                                        CreateBox, nullptr, nullptr};
const UnitTypeDescriptor kSilentType = {"ProbeSilent", 0, 0, nullptr, CreateBox, nullptr, nullptr};
const UnitTypeDescriptor kFailingType = {"ProbeFail", kUnitTypeRaisesEvents, 0, nullptr, CreateNothing,
                                         nullptr, nullptr};

// Library 1 holds unit numbers up to 0x20 (the timer kind).
const UnitTypeDescriptor* gLibrary1Types[0x20];

}  // namespace

const LibraryInfo kProbeLibraries[2] = {
    {"core", ProbeLibraryNotify, gLibrary1Types, 0x20},
    {"skin", nullptr, nullptr, 0},
};

void FillProbeLibraries() {
  gLibrary1Types[0] = &gWindowUnitType;
  gLibrary1Types[kKindPicBox - 0x10000 - 1] = &kBoxType;
  gLibrary1Types[kKindLabel - 0x10000 - 1] = &kFailingType;
  gLibrary1Types[kKindProcessBar - 0x10000 - 1] = &kSilentType;
  gLibrary1Types[kKindTimer - 0x10000 - 1] = &kHiddenType;
}
