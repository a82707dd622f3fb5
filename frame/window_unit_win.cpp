// The window unit, class "CWinFormUnit" (type 0x00010001): the top-level
// window of a form, made from its version-6 property record, with its own
// properties 8..31 and its own events.
#include <windows.h>

#include "frame/blocks.h"
#include "frame/forms_win.h"
#include "frame/input_events.h"
#include "frame/wide_text_win.h"
#include "frame/window_record.h"
#include "frame/window_values_win.h"

namespace {

const char kDefaultClassName[] = "CWinFormUnit";
constexpr UINT kMsgTrayIcon = 0x8064;

// Own properties, index = property number - 8, in the record's numbering.
enum WindowProperty : int {
  kWpTitle, kWpBorderStyle, kWpBackColor, kWpBackPicture, kWpBackPictureMode, kWpMusic,
  kWpMusicPlayCount, kWpControlButton, kWpMaxButton, kWpMinButton, kWpStartPosition,
  kWpMovable, kWpIcon, kWpFlag21, kWpFlag22, kWpFlag23, kWpHelpFile, kWpHelpNumber,
  kWpShowInTaskbar, kWpDragAnywhere, kWpShape, kWpAlwaysOnTop, kWpKeepTitleActive,
  kWpClassName, kWpCount
};

const UnitPropertyDecl kWindowProperties[kWpCount] = {
    {"Title", kTagText},           {"BorderStyle", kTagInt},       {"BackColor", kTagInt},
    {"BackPicture", kTagByteArray}, {"BackPictureMode", kTagInt},  {"BackMusic", kTagByteArray},
    {"MusicPlayCount", kTagInt},   {"ControlButton", kTagBool},    {"MaxButton", kTagBool},
    {"MinButton", kTagBool},       {"StartPosition", kTagInt},     {"Movable", kTagBool},
    {"Icon", kTagByteArray},       {"Flag21", kTagInt},            {"Flag22", kTagInt},
    {"Flag23", kTagInt},           {"HelpFile", kTagText},         {"HelpNumber", kTagInt},
    {"ShowInTaskbar", kTagBool},   {"DragAnywhere", kTagBool},     {"Shape", kTagInt},
    {"AlwaysOnTop", kTagBool},     {"KeepTitleActive", kTagBool},  {"ClassName", kTagText},
};

// Window events.
enum : int32_t {
  kEvCreated = 0, kEvCloseRequest = 1, kEvDestroying = 2, kEvMoved = 3, kEvResized = 4,
  kEvActivated = 5, kEvDeactivated = 6, kEvFirstActivated = 8, kEvTrayIconAction = 9,
  kEvShown = 10, kEvHidden = 11,
};

struct WindowUnit {
  HWND hwnd = nullptr;
  uint32_t windowId = 0;
  WindowRecord record;
  HFONT font = nullptr;  // not owned: the stock GUI font or one set with WM_SETFONT
};

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

bool IsSizable(int32_t borderStyle) { return borderStyle == 1 || borderStyle == 3 || borderStyle == 5; }

struct WindowStyles {
  DWORD style;
  DWORD exStyle;
};

// Border style 0: a popup without frame and title bar; 1..6: a title bar with
// a sizable or fixed frame, as a tool window (3, 4) or with a client edge
// (5, 6). The buttons need the system menu (the control button).
WindowStyles StylesOf(const WindowRecord& r) {
  int32_t border = Clamp(r.borderStyle, 0, kMaxWindowBorderStyle);
  DWORD style = WS_CLIPSIBLINGS;
  DWORD ex = 0;
  style |= border == 0 ? WS_POPUP : WS_CAPTION;
  if (IsSizable(border)) style |= WS_THICKFRAME;
  if (r.controlButton) {
    style |= WS_SYSMENU;
    if (r.maxButton) style |= WS_MAXIMIZEBOX;
    if (r.minButton) style |= WS_MINIMIZEBOX;
  }
  if (border == 3 || border == 4) ex |= WS_EX_TOOLWINDOW;
  if (border == 5 || border == 6) ex |= WS_EX_CLIENTEDGE;
  if (r.showInTaskbar) ex |= WS_EX_APPWINDOW;
  if (r.alwaysOnTop) ex |= WS_EX_TOPMOST;
  return {style, ex};
}

// Without a taskbar button the window is owned by the frame's hidden window.
HWND OwnerOf(const WindowRecord& r) { return r.showInTaskbar ? nullptr : Frame().messageWindow; }

BOOL CALLBACK TakeFirstIcon(HMODULE module, LPCSTR, LPSTR name, LONG_PTR out) {
  *reinterpret_cast<HICON*>(out) = LoadIconA(module, name);
  return FALSE;
}

// The program-wide icon: the program file's first icon, else the system's.
HICON ProgramIcon() {
  HMODULE module = GetModuleHandleA(nullptr);
  HICON icon = nullptr;
  EnumResourceNamesA(module, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, TakeFirstIcon,
                     reinterpret_cast<LONG_PTR>(&icon));
  return icon ? icon : LoadIconA(nullptr, MAKEINTRESOURCEA(32512) /* IDI_APPLICATION */);
}

LRESULT CALLBACK WindowUnitProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The class name is GBK text like every text of the program.
std::wstring RegisterWindowClass(const std::string& name) {
  std::wstring className = WideFromGbk(name.empty() ? kDefaultClassName : name.c_str());
  WNDCLASSW existing;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (GetClassInfoW(instance, className.c_str(), &existing)) return className;
  WNDCLASSW wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = WindowUnitProc;
  wc.hInstance = instance;
  wc.hIcon = ProgramIcon();
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  wc.lpszClassName = className.c_str();
  RegisterClassW(&wc);
  return className;
}

// The WindowUnit of a window; any HWND may be asked, others give null.
WindowUnit* WindowUnitOf(HWND hwnd) {
  return hwnd ? static_cast<WindowUnit*>(WindowValue(hwnd, WindowSlot::kWindowUnit)) : nullptr;
}

HandlerResult Raise(const WindowUnit& unit, int32_t event, const int32_t* args = nullptr, int argCount = 0) {
  return RaiseUnitEvent(unit.windowId, kWindowSelfUnit, event, args, argCount);
}

COLORREF PaintColour(uint32_t colour) {
  return (colour & 0xFF000000) ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(colour);
}

void ApplyMovable(const WindowUnit& unit) {
  GetSystemMenu(unit.hwnd, TRUE);  // back to the standard menu
  if (!unit.record.movable) {
    HMENU menu = GetSystemMenu(unit.hwnd, FALSE);
    if (menu) DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
  }
}

// Applies the style-related fields of the record to the live window.
void ApplyStyles(WindowUnit& unit) {
  WindowStyles s = StylesOf(unit.record);
  const DWORD kKept = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE | WS_CLIPCHILDREN;
  DWORD style = (static_cast<DWORD>(GetWindowLongW(unit.hwnd, GWL_STYLE)) & kKept) | s.style;
  SetWindowLongW(unit.hwnd, GWL_STYLE, static_cast<LONG>(style));
  SetWindowLongW(unit.hwnd, GWL_EXSTYLE, static_cast<LONG>(s.exStyle & ~WS_EX_TOPMOST));
  SetWindowLongPtrW(unit.hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(OwnerOf(unit.record)));
  SetWindowPos(unit.hwnd, unit.record.alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  ApplyMovable(unit);
}

LRESULT HandleMessage(WindowUnit& unit, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = unit.hwnd;
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT rect;
      GetClientRect(hwnd, &rect);
      HBRUSH brush = CreateSolidBrush(PaintColour(unit.record.backColor));
      FillRect(reinterpret_cast<HDC>(wParam), &rect, brush);
      DeleteObject(brush);
      return 1;
    }
    case WM_SETFONT:
      unit.font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(unit.font);
    case WM_CLOSE: {
      // Only a false reply keeps the window. (This frame has no modal show,
      // so no other window waits to be enabled again.)
      HandlerResult r = Raise(unit, kEvCloseRequest);
      if (!r.hasValue || r.value != 0) DestroyWindow(hwnd);
      return 0;
    }
    case WM_QUERYENDSESSION: {
      HandlerResult r = Raise(unit, kEvCloseRequest);
      return r.hasValue && r.value == 0 ? FALSE : TRUE;
    }
    case WM_DESTROY:
      Raise(unit, kEvDestroying);
      return 0;
    case WM_MOVE:
      Raise(unit, kEvMoved);
      break;
    case WM_SIZE:
      Raise(unit, kEvResized);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        Raise(unit, kEvDeactivated);
      } else {
        Raise(unit, kEvActivated);
        LiveForm* form = FindLiveForm(unit.windowId);
        if (form && FormWindow(*form) == hwnd && !form->firstActivationSeen) {
          form->firstActivationSeen = true;
          Raise(unit, kEvFirstActivated);
        }
      }
      break;
    case WM_SHOWWINDOW:
      Raise(unit, wParam ? kEvShown : kEvHidden);
      break;
    case WM_SETFOCUS: {
      // While the loader shows the window it raises the focus event itself.
      LiveForm* form = FindLiveForm(unit.windowId);
      if (!form || !form->loaderShowing) Raise(unit, kEventFocusReceived);
      break;
    }
    case WM_KILLFOCUS:
      Raise(unit, kEventFocusLost);
      break;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_MOVE && !unit.record.movable) return 0;
      break;
    case WM_NCHITTEST: {
      LRESULT hit = DefWindowProcW(hwnd, msg, wParam, lParam);
      return hit == HTCLIENT && unit.record.dragAnywhere ? HTCAPTION : hit;
    }
    case kMsgTrayIcon: {
      int32_t action = lParam == WM_LBUTTONUP ? 1 : lParam == WM_LBUTTONDBLCLK ? 2
                     : (lParam == WM_RBUTTONUP || lParam == WM_CONTEXTMENU) ? 3 : 0;
      if (action) Raise(unit, kEvTrayIconAction, &action, 1);
      return 0;
    }
    case kMsgRecreateControl: {
      LiveForm* form = FindLiveForm(unit.windowId);
      int index = static_cast<int>(wParam);
      if (form && FormWindow(*form) == hwnd && index > 0 && index < static_cast<int>(form->live.size()))
        RecreateControl(*form, index);
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK WindowUnitProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowUnit* unit = nullptr;
  if (msg == WM_NCCREATE) {
    unit = static_cast<WindowUnit*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    unit->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(unit));
    SetWindowValue(hwnd, WindowSlot::kWindowUnit, unit);
  } else {
    unit = reinterpret_cast<WindowUnit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!unit) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowValue(hwnd, WindowSlot::kWindowUnit, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    delete unit;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  return HandleMessage(*unit, msg, wParam, lParam);
}

void* CreateWindowUnit(const UnitCreateParams& p) {
  WindowUnit* unit = new WindowUnit;
  if (!DecodeWindowRecord(p.data, p.size, &unit->record, nullptr)) {
    delete unit;
    return nullptr;
  }
  unit->windowId = p.windowId;
  const WindowRecord& r = unit->record;
  WindowStyles s = StylesOf(r);
  int x = p.left, y = p.top;
  if (r.startPosition == 1) {
    x = (GetSystemMetrics(SM_CXSCREEN) - p.width) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - p.height) / 2;
  }
  std::wstring className = RegisterWindowClass(r.className);
  HWND owner = p.parent ? static_cast<HWND>(p.parent) : OwnerOf(r);
  HWND hwnd = CreateWindowExW(s.exStyle, className.c_str(), WideFromGbk(r.title.c_str()).c_str(),
                              s.style | p.extraStyles, x, y, p.width, p.height, owner, nullptr,
                              GetModuleHandleW(nullptr), unit);
  if (!hwnd) {
    // Without WM_NCCREATE the unit was never attached; otherwise WM_NCDESTROY freed it.
    if (!unit->hwnd) delete unit;
    return nullptr;
  }
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  if (!r.movable) ApplyMovable(*unit);
  return hwnd;
}

std::vector<uint8_t>* BlobField(WindowRecord& r, int index) {
  switch (index) {
    case kWpBackPicture: return &r.backPicture;
    case kWpMusic: return &r.music;
    case kWpIcon: return &r.icon;
  }
  return nullptr;
}

int32_t* IntField(WindowRecord& r, int index) {
  switch (index) {
    case kWpBorderStyle: return &r.borderStyle;
    case kWpBackColor: return reinterpret_cast<int32_t*>(&r.backColor);
    case kWpBackPictureMode: return &r.backPictureMode;
    case kWpMusicPlayCount: return &r.musicPlayCount;
    case kWpControlButton: return &r.controlButton;
    case kWpMaxButton: return &r.maxButton;
    case kWpMinButton: return &r.minButton;
    case kWpStartPosition: return &r.startPosition;
    case kWpMovable: return &r.movable;
    case kWpFlag21: return &r.extraFlags[0];
    case kWpFlag22: return &r.extraFlags[1];
    case kWpFlag23: return &r.extraFlags[2];
    case kWpHelpNumber: return &r.helpNumber;
    case kWpShowInTaskbar: return &r.showInTaskbar;
    case kWpDragAnywhere: return &r.dragAnywhere;
    case kWpShape: return &r.shape;
    case kWpAlwaysOnTop: return &r.alwaysOnTop;
    case kWpKeepTitleActive: return &r.keepTitleActive;
  }
  return nullptr;
}

int64_t TextValue(const std::string& s) {
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(NewText(s.c_str())));
}

int64_t GetWindowUnitProperty(void* live, int index) {
  WindowUnit* unit = WindowUnitOf(static_cast<HWND>(live));
  if (!unit) return 0;
  WindowRecord& r = unit->record;
  if (index == kWpTitle) {
    return TextValue(WindowTextGbk(unit->hwnd));
  }
  if (index == kWpHelpFile) return TextValue(r.helpFile);
  if (index == kWpClassName) return TextValue(r.className);
  if (const std::vector<uint8_t>* blob = BlobField(r, index))
    return static_cast<int64_t>(
        reinterpret_cast<uintptr_t>(NewByteArray(blob->data(), static_cast<uint32_t>(blob->size()))));
  if (int32_t* field = IntField(r, index)) return *field;
  return 0;
}

int SetWindowUnitProperty(void* live, int index, const ArgValue& value) {
  WindowUnit* unit = WindowUnitOf(static_cast<HWND>(live));
  if (!unit) return 0;
  WindowRecord& r = unit->record;
  switch (index) {
    case kWpTitle:
      r.title = value.text;
      SetWindowTextGbk(unit->hwnd, value.text);
      return 0;
    case kWpHelpFile:
      r.helpFile = value.text;
      return 0;
    case kWpClassName:  // takes effect when the window is made again
      r.className = value.text;
      return 0;
  }
  if (std::vector<uint8_t>* blob = BlobField(r, index)) {
    const uint8_t* data = nullptr;
    uint32_t len = 0;
    if (!ViewByteArray(value.ptr, &data, &len)) len = 0;
    blob->assign(data, data + len);
    return 0;
  }
  int32_t* field = IntField(r, index);
  if (!field) return 0;
  *field = value.i32;
  switch (index) {
    case kWpBorderStyle:
      r.borderStyle = Clamp(r.borderStyle, 0, kMaxWindowBorderStyle);
      ApplyStyles(*unit);
      break;
    case kWpControlButton:
    case kWpMaxButton:
    case kWpMinButton:
    case kWpShowInTaskbar:
    case kWpAlwaysOnTop:
      ApplyStyles(*unit);
      break;
    case kWpMovable:
      ApplyMovable(*unit);
      break;
    case kWpBackColor:
      InvalidateRect(unit->hwnd, nullptr, TRUE);
      break;
  }
  return 0;
}

}  // namespace

const UnitTypeDescriptor gWindowUnitType = {
    kDefaultClassName, kUnitTypeRaisesEvents, kWpCount, kWindowProperties,
    CreateWindowUnit,  GetWindowUnitProperty, SetWindowUnitProperty,
};

int WindowUnitShowCommand(HWND window) {
  const WindowUnit* unit = WindowUnitOf(window);
  if (!unit) return SW_SHOW;
  if (unit->record.startPosition == 2) return SW_SHOWMINIMIZED;
  if (unit->record.startPosition == 3 && IsSizable(unit->record.borderStyle)) return SW_SHOWMAXIMIZED;
  return SW_SHOW;
}
