// Stored records of the picture box, progress bar, timer and picture button:
// defaults of an empty record, version limits, clamps, truncation; the
// progress bar's range arithmetic and the picture button's state machine.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ui/pic_box_record.h"
#include "ui/pic_btn_logic.h"
#include "ui/pic_btn_record.h"
#include "ui/process_bar_record.h"
#include "ui/timer_record.h"

namespace {

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
  ByteWriter w;
  for (uint32_t word : words) w.U32(word);
  return w.Take();
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ---------------------------------------------------------------------------
// Empty records and round trips.

TEST(WidgetRecords, EmptyRecordsGiveTheKindsDefaults) {
  PicBoxRecord box;
  box.borderStyle = 4;  // must be overwritten
  ASSERT_TRUE(DecodePicBoxRecord(nullptr, 0, &box, nullptr));
  EXPECT_EQ(box.borderStyle, 0);
  EXPECT_EQ(box.backColor, kDefaultColor);
  EXPECT_TRUE(box.picture.empty());
  EXPECT_EQ(box.displayMode, 0);
  EXPECT_EQ(box.playAnimation, 1);
  EXPECT_TRUE(box.dataSource.empty() && box.dataColumn.empty());

  ProcessBarRecord bar;
  bar.maximum = 7;
  ASSERT_TRUE(DecodeProcessBarRecord(nullptr, 0, &bar, nullptr));
  EXPECT_EQ(bar, (ProcessBarRecord{3, 0, 0, 0, 100, 0}));

  TimerRecord timer{55};
  ASSERT_TRUE(DecodeTimerRecord(nullptr, 0, &timer, nullptr));
  EXPECT_EQ(timer.interval, 0);

  PicBtnRecord button;
  button.buttonKind = 1;
  ASSERT_TRUE(DecodePicBtnRecord(nullptr, 0, &button, nullptr));
  EXPECT_EQ(button, PicBtnRecord());
  EXPECT_EQ(button.buttonKind, kPushButton);
  EXPECT_EQ(button.transparentColor, kDefaultColor);
}

TEST(WidgetRecords, FieldsKeepTheirStoredOrder) {
  PicBoxRecord box;
  box.borderStyle = 5;
  box.backColor = 0x00C48316;
  box.displayMode = 2;
  box.playAnimation = 0;
  box.picture = {'B', 'M', 1};
  box.dataSource = "src";
  box.dataColumn = "col";
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodePicBoxRecord(box, &bytes));
  EXPECT_EQ(bytes, Cat(Cat(Words({2, 5, 0x00C48316, 2, 0, 3}), {'B', 'M', 1}),
                       Cat(Cat(Words({3}), {'s', 'r', 'c'}), Cat(Words({3}), {'c', 'o', 'l'}))));
  PicBoxRecord back;
  ASSERT_TRUE(DecodePicBoxRecord(bytes.data(), bytes.size(), &back, nullptr));
  EXPECT_EQ(back, box);

  // Version 1 ends after the picture.
  box.version = 1;
  ASSERT_TRUE(EncodePicBoxRecord(box, &bytes));
  EXPECT_EQ(bytes, Cat(Words({1, 5, 0x00C48316, 2, 0, 3}), {'B', 'M', 1}));
  ASSERT_TRUE(DecodePicBoxRecord(bytes.data(), bytes.size(), &back, nullptr));
  EXPECT_EQ(back.version, 1u);
  EXPECT_TRUE(back.dataSource.empty());
  box.version = 3;
  EXPECT_FALSE(EncodePicBoxRecord(box, &bytes));

  ProcessBarRecord bar{3, 0, 1, 0, 100, 0};
  EncodeProcessBarRecord(bar, &bytes);
  EXPECT_EQ(bytes, Words({1, 3, 0, 1, 0, 100, 0}));

  EncodeTimerRecord(TimerRecord{250}, &bytes);
  EXPECT_EQ(bytes, Words({1, 250}));

  PicBtnRecord button;
  button.buttonKind = 1;
  button.checked = 1;
  button.transparentColor = 0x00FF00FF;
  button.pictures[kNormalSlot] = {1, 2};
  button.pictures[kDisabledSlot] = {3};
  ASSERT_TRUE(EncodePicBtnRecord(button, &bytes));
  EXPECT_EQ(bytes, Cat(Cat(Words({1, 1, 1, 0x00FF00FF, 2}), {1, 2}), Cat(Words({0, 0, 1}), {3})));
  PicBtnRecord buttonBack;
  ASSERT_TRUE(DecodePicBtnRecord(bytes.data(), bytes.size(), &buttonBack, nullptr));
  EXPECT_EQ(buttonBack, button);
}

// ---------------------------------------------------------------------------
// Clamps applied when a record is read.

TEST(WidgetRecords, OutOfRangeValuesAreClamped) {
  PicBoxRecord box;
  std::vector<uint8_t> bytes = Words({2, 9, 0, 7, 5, 0, 0, 0});
  ASSERT_TRUE(DecodePicBoxRecord(bytes.data(), bytes.size(), &box, nullptr));
  EXPECT_EQ(box.borderStyle, 5);
  EXPECT_EQ(box.displayMode, 2);
  EXPECT_EQ(box.playAnimation, 1);
  bytes = Words({2, uint32_t(-3), 0, uint32_t(-1), 0, 0, 0, 0});
  ASSERT_TRUE(DecodePicBoxRecord(bytes.data(), bytes.size(), &box, nullptr));
  EXPECT_EQ(box.borderStyle, 0);
  EXPECT_EQ(box.displayMode, 0);

  ProcessBarRecord bar;
  bytes = Words({1, 6, 2, uint32_t(-1), uint32_t(-5), 40000, 32768});
  ASSERT_TRUE(DecodeProcessBarRecord(bytes.data(), bytes.size(), &bar, nullptr));
  EXPECT_EQ(bar, (ProcessBarRecord{5, 1, 1, 0, 32767, 32767}));

  TimerRecord timer;
  bytes = Words({1, uint32_t(-20)});
  ASSERT_TRUE(DecodeTimerRecord(bytes.data(), bytes.size(), &timer, nullptr));
  EXPECT_EQ(timer.interval, 0);
  EXPECT_EQ(ClampInterval(-1), 0);
  EXPECT_EQ(ClampInterval(1000), 1000);

  PicBtnRecord button;
  bytes = Words({1, 7, 3, 0x00FFFFFF, 0, 0, 0, 0});
  ASSERT_TRUE(DecodePicBtnRecord(bytes.data(), bytes.size(), &button, nullptr));
  EXPECT_EQ(button.buttonKind, kToggleButton);
  EXPECT_EQ(button.checked, 1);
  bytes = Words({1, uint32_t(-7), 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(DecodePicBtnRecord(bytes.data(), bytes.size(), &button, nullptr));
  EXPECT_EQ(button.buttonKind, kPushButton);
}

// ---------------------------------------------------------------------------
// Rejected records: one line per case.

enum class Kind { kPicBox, kProcessBar, kTimer, kPicBtn };

bool Decode(Kind kind, const std::vector<uint8_t>& bytes, CursorFailure* failure) {
  switch (kind) {
    case Kind::kPicBox: {
      PicBoxRecord r;
      return DecodePicBoxRecord(bytes.data(), bytes.size(), &r, failure);
    }
    case Kind::kProcessBar: {
      ProcessBarRecord r;
      return DecodeProcessBarRecord(bytes.data(), bytes.size(), &r, failure);
    }
    case Kind::kTimer: {
      TimerRecord r;
      return DecodeTimerRecord(bytes.data(), bytes.size(), &r, failure);
    }
    case Kind::kPicBtn: {
      PicBtnRecord r;
      return DecodePicBtnRecord(bytes.data(), bytes.size(), &r, failure);
    }
  }
  return false;
}

TEST(WidgetRecords, RejectsBadRecords) {
  struct Case {
    Kind kind;
    std::vector<uint8_t> bytes;
    const char* what;
    CursorError error;
  };
  const Case cases[] = {
      {Kind::kPicBox, Words({3, 0, 0, 0, 1, 0}), "picture box version 3", CursorError::kVersionTooNew},
      {Kind::kPicBox, Words({0, 0, 0, 0, 1, 0}), "version 0", CursorError::kBadVersion},
      {Kind::kPicBox, {2, 0, 0}, "version word cut short", CursorError::kEndOfData},
      {Kind::kPicBox, Words({2, 0, 0, 0, 1}), "no picture length", CursorError::kEndOfData},
      {Kind::kPicBox, Words({1, 0, 0, 0, 1, 5, 0}), "picture longer than the rest", CursorError::kLengthPastEnd},
      {Kind::kPicBox, Words({2, 0, 0, 0, 1, 0, 0}), "version 2 without DataColumn", CursorError::kEndOfData},
      {Kind::kPicBox, Words({2, 0, 0, 0, 1, 0, 0, 9}), "DataColumn past the end", CursorError::kLengthPastEnd},
      {Kind::kPicBox, Words({1, 0, 0, 0, 1, 0, 0}), "a word after version 1's end", CursorError::kTrailingBytes},
      {Kind::kProcessBar, Words({2, 3, 0, 0, 0, 100, 0}), "progress bar version 2", CursorError::kVersionTooNew},
      {Kind::kProcessBar, Words({1, 3, 0, 0, 0, 100}), "no Position", CursorError::kEndOfData},
      {Kind::kProcessBar, Cat(Words({1, 3, 0, 0, 0, 100, 0}), {0}), "a stray byte", CursorError::kTrailingBytes},
      {Kind::kTimer, Words({2, 10}), "timer version 2", CursorError::kVersionTooNew},
      {Kind::kTimer, Words({1}), "no Interval", CursorError::kEndOfData},
      {Kind::kTimer, {1, 0, 0, 0, 10, 0}, "Interval cut short", CursorError::kEndOfData},
      {Kind::kPicBtn, Words({2, 0, 0, 0, 0, 0, 0, 0}), "button version 2", CursorError::kVersionTooNew},
      {Kind::kPicBtn, Words({1, 0, 0, 0, 0, 0, 0}), "no DisabledPicture", CursorError::kEndOfData},
      {Kind::kPicBtn, Words({1, 0, 0, 0, 0, 0x7FFFFFFF, 0, 0}), "huge HoverPicture", CursorError::kLengthPastEnd},
  };
  for (const Case& c : cases) {
    CursorFailure failure;
    EXPECT_FALSE(Decode(c.kind, c.bytes, &failure)) << c.what;
    EXPECT_EQ(failure.error, c.error) << c.what << ": " << CursorErrorText(failure.error) << " at " << failure.field;
  }
}

// ---------------------------------------------------------------------------
// The progress bar's range and shown position.

TEST(ProcessBarValues, RangeIsOrderedAndPositionHeldInsideIt) {
  EXPECT_EQ(ProcessBarRange(100, 0).low, 0);
  EXPECT_EQ(ProcessBarRange(100, 0).high, 100);
  EXPECT_EQ(ProcessBarRange(5, 9).low, 5);
  EXPECT_EQ(ProcessBarShownPosition(0, 100, 150), 100);
  EXPECT_EQ(ProcessBarShownPosition(20, 100, 3), 20);
  EXPECT_EQ(ProcessBarShownPosition(0, 100, 42), 42);
  // Minimum above Maximum: the position shown is Maximum.
  EXPECT_EQ(ProcessBarShownPosition(100, 0, 50), 0);
  EXPECT_EQ(ClampBarValue(-1), 0);
  EXPECT_EQ(ClampBarValue(32768), 32767);
}

// ---------------------------------------------------------------------------
// The picture button.

TEST(PicBtnLogic, StatePictureFallsBackToNormal) {
  const bool all[kSlotCount] = {true, true, true, true};
  const bool normalOnly[kSlotCount] = {true, false, false, false};
  const bool normalHover[kSlotCount] = {true, true, false, false};
  const bool none[kSlotCount] = {false, false, false, false};
  const bool noNormal[kSlotCount] = {false, true, true, false};
  EXPECT_EQ(ChoosePictureSlot(kStateNormal, true, all), kNormalSlot);
  EXPECT_EQ(ChoosePictureSlot(kStateHover, true, all), kHoverSlot);
  EXPECT_EQ(ChoosePictureSlot(kStatePressed, true, all), kPressedSlot);
  EXPECT_EQ(ChoosePictureSlot(kStatePressed, false, all), kDisabledSlot);
  EXPECT_EQ(ChoosePictureSlot(kStatePressed, true, normalHover), kNormalSlot);  // the install button held down
  EXPECT_EQ(ChoosePictureSlot(kStateHover, true, normalHover), kHoverSlot);
  EXPECT_EQ(ChoosePictureSlot(kStateHover, false, normalHover), kHoverSlot);    // disabled, no own picture
  EXPECT_EQ(ChoosePictureSlot(kStateHover, false, normalOnly), kNormalSlot);
  EXPECT_EQ(ChoosePictureSlot(kStateNormal, true, none), -1);
  EXPECT_EQ(ChoosePictureSlot(kStateNormal, true, noNormal), -1);
  EXPECT_EQ(ChoosePictureSlot(kStatePressed, true, noNormal), kPressedSlot);
}

// Feeds one message to the button and keeps the capture as the window would.
struct Driver {
  ButtonLogic logic{false, false};
  bool capture = false;
  int clicks = 0;
  void Do(const ButtonAction& a) {
    if (a.releaseCapture) capture = false;
    if (a.takeCapture) capture = true;
    logic.Apply(a);
    if (a.raiseClicked) ++clicks;
  }
  void Down(bool inside) { Do(logic.LeftDown(inside, true, capture)); }
  void Move(bool over, bool held) { Do(logic.MouseMove(over, true, held, capture)); }
  void Up(bool inside) { Do(logic.LeftUp(inside, true)); }
};

TEST(PicBtnLogic, PushButtonClicksOnReleaseInside) {
  Driver d;
  d.Move(true, false);
  EXPECT_EQ(d.logic.State(), kStateHover);
  EXPECT_TRUE(d.capture) << "the button tracks the pointer with the capture";
  d.Down(true);
  EXPECT_EQ(d.logic.State(), kStatePressed);
  d.Move(false, true);  // dragged off: normal, capture kept
  EXPECT_EQ(d.logic.State(), kStateNormal);
  EXPECT_TRUE(d.capture);
  d.Move(true, true);  // back in: pressed again
  EXPECT_EQ(d.logic.State(), kStatePressed);
  d.Up(true);
  EXPECT_EQ(d.clicks, 1);
  EXPECT_EQ(d.logic.State(), kStateNormal);
  EXPECT_FALSE(d.capture);

  // Pressed inside, released outside: nothing, normal.
  d.Move(true, false);
  d.Down(true);
  d.Move(false, true);
  d.Up(false);
  EXPECT_EQ(d.clicks, 1);
  EXPECT_EQ(d.logic.State(), kStateNormal);
  EXPECT_FALSE(d.capture);

  // Leaving without the button held lets the capture go.
  d.Move(true, false);
  d.Move(false, false);
  EXPECT_FALSE(d.capture);
  EXPECT_EQ(d.logic.State(), kStateNormal);

  // A release inside counts even without a press on the button.
  d.Up(true);
  EXPECT_EQ(d.clicks, 2);
  // Disabled: neither press nor click.
  EXPECT_EQ(d.logic.LeftDown(true, false, false).newState, -1);
  EXPECT_FALSE(d.logic.LeftUp(true, false).raiseClicked);
  EXPECT_TRUE(d.logic.MouseMove(true, false, false, true).releaseCapture);
}

TEST(PicBtnLogic, ToggleButtonFlipsOnEachClick) {
  ButtonLogic logic(true, true);
  EXPECT_EQ(logic.State(), kStatePressed) << "created checked";
  EXPECT_EQ(logic.LeftDown(true, true, false).newState, -1);
  ButtonAction move = logic.MouseMove(true, true, false, false);
  EXPECT_EQ(move.newState, -1);
  EXPECT_TRUE(move.releaseCapture);
  ButtonAction up = logic.LeftUp(true, true);
  EXPECT_TRUE(up.raiseClicked);
  logic.Apply(up);
  EXPECT_FALSE(logic.Checked());
  EXPECT_EQ(logic.State(), kStateNormal);
  logic.Apply(logic.LeftUp(true, true));
  EXPECT_TRUE(logic.Checked());
  EXPECT_EQ(logic.State(), kStatePressed);

  EXPECT_TRUE(logic.SetChecked(false));
  EXPECT_EQ(logic.State(), kStateNormal);
  EXPECT_FALSE(logic.SetChecked(false)) << "no change, no redraw";

  // A push button ignores Checked.
  ButtonLogic push(false, true);
  EXPECT_FALSE(push.Checked());
  EXPECT_FALSE(push.SetChecked(true));
  EXPECT_EQ(push.State(), kStateNormal);
  // Switching to toggle mode keeps the state until Checked is written.
  push.SetKind(true);
  EXPECT_EQ(push.State(), kStateNormal);
  EXPECT_TRUE(push.SetChecked(true));
  EXPECT_EQ(push.State(), kStatePressed);
}

}  // namespace
