// The picture button's behaviour without Windows: which picture a state
// shows, and what each mouse message does to the state, the mouse capture
// and the Clicked event. The Windows side (pic_btn_win.cpp) gathers the
// facts of a message, asks here, and carries out the answer. Portable: no
// Windows header here.
#pragma once

#include "ui/pic_btn_record.h"

enum ButtonState : int { kStateNormal = 0, kStateHover = 1, kStatePressed = 2 };

// The slot whose picture is shown: in state 1 HoverPicture, in state 2
// PressedPicture, when present; a disabled button shows DisabledPicture when
// present; everything else falls back to NormalPicture. -1 when not even
// NormalPicture is present (the button paints black). present[slot] tells
// whether that slot has a usable bitmap.
int ChoosePictureSlot(int state, bool enabled, const bool present[kSlotCount]);

// What a mouse message asks the button to do. newState -1 keeps the state.
struct ButtonAction {
  int newState = -1;
  bool takeCapture = false;     // SetCapture on the button
  bool releaseCapture = false;  // ReleaseCapture, whoever holds it
  bool raiseClicked = false;    // raise event 0 after everything else
};

// The live state of one button.
class ButtonLogic {
 public:
  // A toggle button created checked starts pressed.
  ButtonLogic(bool toggle, bool checked) { SetKind(toggle); SetChecked(checked); }

  int State() const { return state_; }
  bool Toggle() const { return toggle_; }
  bool Checked() const { return checked_; }

  // ButtonKind written: toggle mode follows; the state stays.
  void SetKind(bool toggle) { toggle_ = toggle; }
  // Checked written: a toggle button takes the flag and shows pressed while
  // checked; a push button ignores it. True when the state changed.
  bool SetChecked(bool checked);

  // Left button pressed. inside: the point lies in the client rectangle;
  // hasCapture: the button already holds the mouse capture.
  ButtonAction LeftDown(bool inside, bool enabled, bool hasCapture) const;
  // Mouse moved. over: the window under the pointer is the button, or no
  // window is there and the point lies in the client rectangle; leftHeld:
  // MK_LBUTTON is set.
  ButtonAction MouseMove(bool over, bool enabled, bool leftHeld, bool hasCapture) const;
  // Left button released; flips the checked flag of a toggle button released
  // inside, so call it once per message.
  ButtonAction LeftUp(bool inside, bool enabled);

  // Applies newState of an action; true when the state changed.
  bool Apply(const ButtonAction& action);

 private:
  bool toggle_ = false;
  bool checked_ = false;
  int state_ = kStateNormal;
};
