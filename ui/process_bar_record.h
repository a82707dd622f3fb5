// The progress bar's stored property record and the arithmetic of its range
// and shown position.
//
// Stored order (32-bit words): version; BorderStyle (property 8); Vertical
// (9); Smooth (10); Minimum (11); Maximum (12); Position (13). An empty record
// stands for the defaults below. Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame/byte_cursor.h"
#include "frame/property_values.h"
#include "ui/widget_values.h"

constexpr uint32_t kProcessBarRecordVersion = 1;

// Own property numbers (8 and up; the descriptor counts them from 0).
enum ProcessBarProperty : int {
  kBarBorderStyle = kFirstOwnProperty,
  kBarVertical,
  kBarSmooth,
  kBarMinimum,
  kBarMaximum,
  kBarPosition,
  kBarPropertyEnd,  // one past the last
};
// Minimum, Maximum and Position are kept within 0..32767, what the progress
// control's 16-bit range message carries.
constexpr int32_t kMaxBarValue = 32767;

inline int32_t ClampBarValue(int32_t v) { return ClampToRange(v, 0, kMaxBarValue); }

struct ProcessBarRecord {
  int32_t borderStyle = 3;  // 0..kMaxWidgetBorderStyle; thin static edge
  int32_t vertical = 0;     // 0 or 1
  int32_t smooth = 0;       // 0 or 1
  int32_t minimum = 0;      // 0..kMaxBarValue, each of the three
  int32_t maximum = 100;
  int32_t position = 0;
};

bool operator==(const ProcessBarRecord& a, const ProcessBarRecord& b);

// Decodes data[0, size): size 0 gives the defaults. Clamps BorderStyle to
// 0..5 and the three values to 0..32767; Vertical and Smooth become 0 or 1.
// Returns false with *failure filled (if not null) for a version of 0 or
// above 1, a truncated record or trailing bytes; *record is changed only on
// success.
bool DecodeProcessBarRecord(const uint8_t* data, size_t size, ProcessBarRecord* record,
                            CursorFailure* failure);

// Replaces *out with the version-1 record.
void EncodeProcessBarRecord(const ProcessBarRecord& record, std::vector<uint8_t>* out);

// What the progress control is told: the range's ends as min/max of Minimum
// and Maximum (so Minimum 100 with Maximum 0 is the range 0..100), and the
// position as min(Maximum, max(Minimum, Position)), so when Minimum is above
// Maximum the position shown is Maximum. The stored Position keeps the value
// written.
struct BarRange {
  int32_t low;
  int32_t high;
};
BarRange ProcessBarRange(int32_t minimum, int32_t maximum);
int32_t ProcessBarShownPosition(int32_t minimum, int32_t maximum, int32_t position);
