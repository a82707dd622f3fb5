// The common input events that the frame raises for the window and every
// control, and how their arguments are built from a window message. The
// message and key numbers are the fixed Windows values, written out so that
// this stays portable (no Windows header here).
#pragma once

#include <cstdint>

enum InputEvent : int32_t {
  kEventNone = 0,  // not an input message
  kEventLeftButtonDown = -1,
  kEventLeftButtonUp = -2,
  kEventLeftDoubleClick = -3,
  kEventRightButtonDown = -4,
  kEventRightButtonUp = -5,
  kEventMouseMove = -6,
  kEventFocusReceived = -7,
  kEventFocusLost = -8,
  kEventKeyDown = -9,
  kEventKeyUp = -10,
  kEventCharInput = -11,
  kEventMouseWheel = -12,
};

namespace input_msg {
constexpr uint32_t kKeyDown = 0x0100, kKeyUp = 0x0101, kChar = 0x0102;
constexpr uint32_t kSysKeyDown = 0x0104, kSysKeyUp = 0x0105;
constexpr uint32_t kMouseMove = 0x0200, kLButtonDown = 0x0201, kLButtonUp = 0x0202;
constexpr uint32_t kLButtonDblClk = 0x0203, kRButtonDown = 0x0204, kRButtonUp = 0x0205;
constexpr uint32_t kMouseWheel = 0x020A;
}  // namespace input_msg

namespace input_vk {
constexpr uint32_t kShift = 0x10, kControl = 0x11, kMenu = 0x12;
constexpr uint32_t kLShift = 0xA0, kRShift = 0xA1, kLControl = 0xA2, kRControl = 0xA3;
constexpr uint32_t kLMenu = 0xA4, kRMenu = 0xA5;
constexpr uint32_t kNumpad0 = 0x60, kNumpad9 = 0x69;
constexpr uint32_t kSubtract = 0x6D, kDecimal = 0x6E, kDivide = 0x6F;
}  // namespace input_vk

// The input event of a window message, or kEventNone.
inline int32_t InputEventOfMessage(uint32_t message) {
  using namespace input_msg;
  switch (message) {
    case kLButtonDown: return kEventLeftButtonDown;
    case kLButtonUp: return kEventLeftButtonUp;
    case kLButtonDblClk: return kEventLeftDoubleClick;
    case kRButtonDown: return kEventRightButtonDown;
    case kRButtonUp: return kEventRightButtonUp;
    case kMouseMove: return kEventMouseMove;
    case kKeyDown: case kSysKeyDown: return kEventKeyDown;
    case kKeyUp: case kSysKeyUp: return kEventKeyUp;
    case kChar: return kEventCharInput;
    case kMouseWheel: return kEventMouseWheel;
  }
  return kEventNone;
}

inline bool IsKeyboardInputMessage(uint32_t message) {
  using namespace input_msg;
  return message == kKeyDown || message == kKeyUp || message == kChar || message == kSysKeyDown ||
         message == kSysKeyUp;
}

// Key codes as the program sees them: the numeric keypad folded onto the
// main keyboard's codes (digits 0x30..0x39, '-' 189, '.' 190, '/' 191).
inline int32_t FoldKeyCode(uint32_t virtualKey) {
  using namespace input_vk;
  if (virtualKey >= kNumpad0 && virtualKey <= kNumpad9) return static_cast<int32_t>(virtualKey - kNumpad0 + 0x30);
  if (virtualKey == kSubtract) return 189;
  if (virtualKey == kDecimal) return 190;
  if (virtualKey == kDivide) return 191;
  return static_cast<int32_t>(virtualKey);
}

constexpr int32_t kKeyStateCtrl = 1, kKeyStateShift = 2, kKeyStateAlt = 4;

// Key state bits from the modifier keys that are down. virtualKey is the key
// of a keyboard message (0 for mouse messages): a modifier key being pressed
// or released does not report its own bit.
inline int32_t KeyStateBits(bool ctrlDown, bool shiftDown, bool altDown, uint32_t virtualKey) {
  using namespace input_vk;
  bool isCtrl = virtualKey == kControl || virtualKey == kLControl || virtualKey == kRControl;
  bool isShift = virtualKey == kShift || virtualKey == kLShift || virtualKey == kRShift;
  bool isAlt = virtualKey == kMenu || virtualKey == kLMenu || virtualKey == kRMenu;
  int32_t bits = 0;
  if (ctrlDown && !isCtrl) bits |= kKeyStateCtrl;
  if (shiftDown && !isShift) bits |= kKeyStateShift;
  if (altDown && !isAlt) bits |= kKeyStateAlt;
  return bits;
}

// Mouse position: the low and high 16 bits of the message's position word,
// unsigned (a point left of or above the control gives 65535 and below).
inline int32_t MouseX(uint32_t positionWord) { return static_cast<int32_t>(positionWord & 0xFFFF); }
inline int32_t MouseY(uint32_t positionWord) { return static_cast<int32_t>(positionWord >> 16); }

// Wheel steps: the signed high 16 bits of the first parameter over 120
// (truncated toward zero; a fine-grained wheel's partial step gives 0).
inline int32_t WheelSteps(uint32_t firstParam) {
  return static_cast<int16_t>(firstParam >> 16) / 120;
}
