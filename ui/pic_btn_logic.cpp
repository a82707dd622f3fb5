#include "ui/pic_btn_logic.h"

int ChoosePictureSlot(int state, bool enabled, const bool present[kSlotCount]) {
  if (!enabled && present[kDisabledSlot]) return kDisabledSlot;
  if (state == kStateHover && present[kHoverSlot]) return kHoverSlot;
  if (state == kStatePressed && present[kPressedSlot]) return kPressedSlot;
  return present[kNormalSlot] ? kNormalSlot : -1;
}

bool ButtonLogic::SetChecked(bool checked) {
  if (!toggle_) return false;
  checked_ = checked;
  ButtonAction action;
  action.newState = checked ? kStatePressed : kStateNormal;
  return Apply(action);
}

ButtonAction ButtonLogic::LeftDown(bool inside, bool enabled, bool hasCapture) const {
  ButtonAction action;
  if (!inside || !enabled || toggle_) return action;
  action.newState = kStatePressed;
  action.takeCapture = !hasCapture;
  return action;
}

ButtonAction ButtonLogic::MouseMove(bool over, bool enabled, bool leftHeld, bool hasCapture) const {
  ButtonAction action;
  if (toggle_ || !enabled) {
    action.releaseCapture = true;
    return action;
  }
  if (over) {
    action.takeCapture = !hasCapture;
    action.newState = leftHeld ? kStatePressed : kStateHover;
  } else {
    // Held down and dragged off: keep the capture so that coming back
    // presses the button again.
    action.releaseCapture = !leftHeld;
    action.newState = kStateNormal;
  }
  return action;
}

ButtonAction ButtonLogic::LeftUp(bool inside, bool enabled) {
  ButtonAction action;
  action.releaseCapture = true;
  if (!inside || !enabled) return action;
  if (toggle_) {
    checked_ = !checked_;
    action.newState = checked_ ? kStatePressed : kStateNormal;
  } else {
    action.newState = kStateNormal;
  }
  action.raiseClicked = true;
  return action;
}

bool ButtonLogic::Apply(const ButtonAction& action) {
  if (action.newState < 0 || action.newState == state_) return false;
  state_ = action.newState;
  return true;
}
