// The window-free rules of property access and input events: geometry
// clamps, own-property conversions, key folding, key state, wheel steps.
#include <gtest/gtest.h>

#include "frame/input_events.h"
#include "frame/property_values.h"

namespace {

TEST(PropertyClamps, PositionAndSize) {
  const struct {
    int32_t in, position, size;
  } kCases[] = {
      {0, 0, 0},           {-5, -5, 0},           {40000, 32627, 32627},   {-40000, -32627, 0},
      {32627, 32627, 32627}, {32628, 32627, 32627}, {-32628, -32627, 0},   {INT32_MIN, -32627, 0},
      {INT32_MAX, 32627, 32627},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ClampPosition(c.in), c.position) << c.in;
    EXPECT_EQ(ClampSize(c.in), c.size) << c.in;
  }
}

TEST(OwnPropertyValues, WritesTakeTheDeclaredType) {
  static const char kEmpty[] = "";
  static const uint32_t kEmptyBytes[2] = {1, 0};
  ArgValue text = OwnPropertyArgument(kTagText, 0, kEmpty, kEmptyBytes);
  EXPECT_EQ(text.tag, kTagText);
  EXPECT_EQ(text.text, kEmpty);
  ArgValue bytes = OwnPropertyArgument(kTagByteArray, 0, kEmpty, kEmptyBytes);
  EXPECT_EQ(bytes.ptr, static_cast<const void*>(kEmptyBytes));
  // Addresses keep every bit a pointer has: a block above 4 GB arrives whole.
  if (sizeof(void*) == 8) {
    const uint64_t high = 0x00007FF012345678u;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(OwnPropertyArgument(kTagText, high, kEmpty, kEmptyBytes).text), high);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(OwnPropertyArgument(kTagByteArray, high, kEmpty, kEmptyBytes).ptr), high);
  }

  const struct {
    uint32_t type;
    uint64_t value;
    int64_t expected;  // compared with the value's i64 after zero-filling
  } kCases[] = {
      {kTagBool, 5, 1},
      {kTagBool, 0, 0},
      {kTagBool, 0x100000000, 0},  // only the low word counts
      {kTagByte, 0x1FF, 0xFF},
      {kTagShort, 0xFFFF8000, 0xFFFF8000},  // -32768 in the low word
      {kTagInt, 0xFFFFFFFFFFFFFFFF, 0xFFFFFFFF},  // only the low word
      {kTagInt64, 0x0123456789ABCDEF, 0x0123456789ABCDEF},
      {kTagDouble, 0x3FF0000000000000, 0x3FF0000000000000},
  };
  for (const auto& c : kCases) {
    ArgValue v = OwnPropertyArgument(c.type, c.value, kEmpty, kEmptyBytes);
    EXPECT_EQ(v.tag, c.type);
    EXPECT_EQ(v.i64, c.expected) << std::hex << c.type;
  }
}

TEST(OwnPropertyValues, ReadsAreBroughtIntoTheDeclaredType) {
  EXPECT_EQ(NormaliseOwnPropertyValue(kTagBool, 7), 1);
  EXPECT_EQ(NormaliseOwnPropertyValue(kTagBool, 0), 0);
  EXPECT_EQ(NormaliseOwnPropertyValue(kTagByte, 0x1234), 0x34);
  EXPECT_EQ(NormaliseOwnPropertyValue(kTagShort, 0xFFFF), -1);
  EXPECT_EQ(NormaliseOwnPropertyValue(kTagInt, 0x1FFFFFFFFLL), -1);
  EXPECT_EQ(NormaliseOwnPropertyValue(kTagInt64, 0x1FFFFFFFFLL), 0x1FFFFFFFFLL);
}

TEST(InputEvents, MessagesMapToTheirEvents) {
  const struct {
    uint32_t message;
    int32_t event;
  } kCases[] = {
      {0x0201, -1}, {0x0202, -2}, {0x0203, -3}, {0x0204, -4}, {0x0205, -5}, {0x0200, -6},
      {0x0100, -9}, {0x0104, -9}, {0x0101, -10}, {0x0105, -10}, {0x0102, -11}, {0x020A, -12},
      {0x0207, kEventNone},  // the middle button has no event
      {0x0010, kEventNone},
  };
  for (const auto& c : kCases) EXPECT_EQ(InputEventOfMessage(c.message), c.event) << std::hex << c.message;
}

TEST(InputEvents, KeypadFoldsOntoTheMainKeys) {
  const struct {
    uint32_t vk;
    int32_t code;
  } kCases[] = {{0x60, 0x30}, {0x65, 0x35}, {0x69, 0x39}, {0x6D, 189}, {0x6E, 190}, {0x6F, 191},
                {0x6A, 0x6A}, {0x6B, 0x6B}, {'A', 'A'},   {0x0D, 0x0D}};
  for (const auto& c : kCases) EXPECT_EQ(FoldKeyCode(c.vk), c.code) << std::hex << c.vk;
}

TEST(InputEvents, KeyStateLeavesOutTheModifierBeingPressed) {
  const struct {
    bool ctrl, shift, alt;
    uint32_t vk;
    int32_t bits;
  } kCases[] = {
      {true, true, true, 0, 7},     {true, false, false, 0x11, 0}, {true, true, false, 0xA2, 2},
      {false, true, false, 0x10, 0}, {true, true, false, 0xA1, 1},  {false, false, true, 0x12, 0},
      {true, false, true, 0xA5, 1},  {false, false, true, 'Q', 4},   {false, false, false, 'Q', 0},
  };
  for (const auto& c : kCases) EXPECT_EQ(KeyStateBits(c.ctrl, c.shift, c.alt, c.vk), c.bits) << std::hex << c.vk;
}

TEST(InputEvents, MousePositionIsUnsignedAndWheelStepsAreSigned) {
  EXPECT_EQ(MouseX(0x0007FFFD), 65533);
  EXPECT_EQ(MouseY(0x0007FFFD), 7);
  EXPECT_EQ(MouseY(0xFFFF0000), 65535);
  EXPECT_EQ(WheelSteps(0xFF100004), -2);  // -240 with MK_SHIFT in the low word
  EXPECT_EQ(WheelSteps(0x00780000), 1);
  EXPECT_EQ(WheelSteps(0x003C0000), 0);   // half a step
}

}  // namespace
