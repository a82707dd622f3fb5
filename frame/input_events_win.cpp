// Pre-translation of queued messages: the common input events of the window
// and its controls, raised before the message is dispatched. A handler may
// swallow the message or, for a character, replace it.
#include <windows.h>

#include "frame/forms_win.h"
#include "frame/input_events.h"

namespace {

bool KeyDown(int virtualKey) { return GetKeyState(virtualKey) < 0; }

// The event arguments of an input message; returns the argument count.
int InputArguments(const MSG& msg, int32_t event, int32_t* args) {
  uint32_t wParam = static_cast<uint32_t>(msg.wParam);
  uint32_t lParam = static_cast<uint32_t>(msg.lParam);
  switch (event) {
    case kEventKeyDown:
    case kEventKeyUp:
      args[0] = FoldKeyCode(wParam);
      args[1] = KeyStateBits(KeyDown(VK_CONTROL), KeyDown(VK_SHIFT), KeyDown(VK_MENU), wParam);
      return 2;
    case kEventCharInput:
      args[0] = static_cast<int32_t>(wParam);
      return 1;
    case kEventMouseWheel:
      args[0] = WheelSteps(wParam);
      args[1] = KeyStateBits((wParam & MK_CONTROL) != 0, (wParam & MK_SHIFT) != 0, KeyDown(VK_MENU), 0);
      return 2;
    default:  // the mouse buttons and moves
      args[0] = MouseX(lParam);
      args[1] = MouseY(lParam);
      args[2] = KeyStateBits((wParam & MK_CONTROL) != 0, (wParam & MK_SHIFT) != 0, KeyDown(VK_MENU), 0);
      return 3;
  }
}

}  // namespace

bool FormsPreTranslate(MSG* msg) {
  if (Forms().released || !msg->hwnd) return false;
  LiveForm* form = nullptr;
  int index = -1;
  if (!FindUnitAtOrAbove(msg->hwnd, &form, &index)) return false;

  if (IsKeyboardInputMessage(msg->message) && !IsWindowEnabled(msg->hwnd)) return false;

  if (msg->message == WM_LBUTTONDOWN || msg->message == WM_NCLBUTTONDOWN) {
    // Close what the focused control has open (a drop-down list, a capture)
    // before another control is pressed.
    HWND focus = GetFocus();
    LiveForm* focusForm = nullptr;
    int focusIndex = -1;
    if (focus && focus != msg->hwnd && FindUnitAtOrAbove(focus, &focusForm, &focusIndex) && focusForm == form)
      SendMessageW(focus, WM_CANCELMODE, 0, 0);
  }

  int32_t event = InputEventOfMessage(msg->message);
  if (event == kEventNone) return false;
  const FormUnit& unit = form->tmpl.units[static_cast<size_t>(index)];
  const UnitTypeDescriptor* type = UnitTypeOf(unit);
  if (!type || !(type->flags & kUnitTypeRaisesEvents)) return false;

  int32_t args[5] = {};
  int argCount = InputArguments(*msg, event, args);
  uint32_t unitId = index == 0 ? kWindowSelfUnit : unit.unitId;
  HandlerResult r = RaiseUnitEvent(form->tmpl.windowId, unitId, event, args, argCount);
  if (!r.hasValue) return false;
  if (r.value == 0) return true;
  if (event == kEventCharInput) msg->wParam = static_cast<WPARAM>(static_cast<uint32_t>(r.value));
  return false;
}
