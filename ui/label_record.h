// The label's (kind Label, 0x0001000A) own properties and its stored
// property record. Portable: no Windows header here.
//
// Stored order (each numeric field a 32-bit word): version; Effect;
// GradientBorderWidth; BorderStyle; GradientBorderColor1, 2, 3; TextColor;
// BackColor; BackPictureMode; GradientBackMode; GradientBackColor1, 2, 3;
// HAlign; VAlign; WordWrap; the Font blob; the BackPicture blob; Caption as a
// text; in version 2 only, DataSource and DataColumn as texts. A version-1
// record ends after Caption. An empty record (size 0) gives the defaults
// below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/byte_cursor.h"

constexpr uint32_t kLabelRecordVersion = 2;

// Own property numbers (8 and up; the descriptor counts them from 0).
enum LabelProperty : int {
  kLabelCaption = 8,
  kLabelEffect = 9,
  kLabelBorderStyle = 10,
  kLabelGradientBorderWidth = 11,
  kLabelGradientBorderColor1 = 12,  // 13, 14: colours 2 and 3
  kLabelFont = 15,
  kLabelTextColor = 16,
  kLabelBackColor = 17,
  kLabelBackPicture = 18,
  kLabelBackPictureMode = 19,
  kLabelGradientBackMode = 20,
  kLabelGradientBackColor1 = 21,  // 22, 23: colours 2 and 3
  kLabelHAlign = 24,
  kLabelWordWrap = 25,
  kLabelVAlign = 26,
  kLabelDataSource = 27,
  kLabelDataColumn = 28,
  kLabelPropertyEnd = 29,  // one past the last
};

// Ranges of the choice values. Values outside a range are clamped to its
// nearest end, on every write and when a record is decoded.
constexpr int32_t kMaxTextEffect = 3;       // 0 plain; 1..3 see label_paint_rules.h
constexpr int32_t kMaxLabelBorderStyle = 6; // 0 none .. 5 single line; 6 gradient frame
constexpr int32_t kMinGradientBorderWidth = 5;
constexpr int32_t kMaxLabelBackPictureMode = 2;  // 0 natural, 1 tiled, 2 fitted
constexpr int32_t kMaxGradientBackMode = 8;      // 0 none; 1..8 directions
constexpr int32_t kMaxHAlign = 2;                // 0 left, 1 centre, 2 right
constexpr int32_t kMaxVAlign = 2;                // 0 top, 1 centre, 2 bottom
constexpr int32_t kBorderStyleGradient = 6;

constexpr uint32_t kGradientGrey = ColorFromRgb(128, 128, 128);
constexpr uint32_t kGradientWhite = ColorFromRgb(255, 255, 255);

// value clamped to 0..max.
constexpr int32_t ClampChoice(int32_t value, int32_t max) { return value < 0 ? 0 : value > max ? max : value; }
// A gradient frame is at least kMinGradientBorderWidth pixels wide.
constexpr int32_t ClampGradientBorderWidth(int32_t value) {
  return value < kMinGradientBorderWidth ? kMinGradientBorderWidth : value;
}
// Flags are kept as 1 or 0.
constexpr int32_t LabelFlagValue(int32_t value) { return value != 0 ? 1 : 0; }

struct LabelRecord {
  uint32_t version = kLabelRecordVersion;  // 1 or 2; selects what EncodeLabelRecord writes
  int32_t effect = 0;
  int32_t gradientBorderWidth = 8;
  int32_t borderStyle = 0;
  uint32_t gradientBorderColors[3] = {kGradientGrey, kGradientWhite, kGradientGrey};
  uint32_t textColor = ColorFromRgb(0, 0, 0);
  uint32_t backColor = kDefaultColor;
  int32_t backPictureMode = 1;
  int32_t gradientBackMode = 0;
  uint32_t gradientBackColors[3] = {kGradientGrey, kGradientWhite, kGradientGrey};
  int32_t hAlign = 0;
  int32_t vAlign = 1;
  int32_t wordWrap = 0;
  std::vector<uint8_t> font;         // a LOGFONTA when exactly 60 bytes; else the default font
  std::vector<uint8_t> backPicture;  // a whole picture file; empty = none
  std::string caption = "标签";      // GBK
  std::string dataSource;            // version 2 only; empty = not bound
  std::string dataColumn;            // version 2 only
};

bool operator==(const LabelRecord& a, const LabelRecord& b);

// Decodes data[0, size) into *record: size 0 gives the defaults; otherwise
// the version must be 1 or 2 (kBadVersion for 0, kVersionTooNew above 2) and
// the fields must fill the record exactly (kEndOfData / kLengthPastEnd for a
// short one, kTrailingBytes for extra bytes). Choice values are clamped into
// their ranges, GradientBorderWidth to at least 5 and WordWrap to 0/1. The
// font blob may have any length. On failure returns false, fills *failure
// (when not null) and leaves *record unchanged.
bool DecodeLabelRecord(const uint8_t* data, size_t size, LabelRecord* record, CursorFailure* failure);

// Replaces *out with the record in the layout of record.version. Returns
// false (and leaves *out empty) for a version other than 1 or 2 or a blob or
// text too large for a 32-bit length. Values are written as they stand (no
// clamping).
bool EncodeLabelRecord(const LabelRecord& record, std::vector<uint8_t>* out);
