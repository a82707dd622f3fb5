// The timer's stored property record: version 1, then Interval (property 8)
// in milliseconds. An empty record stands for Interval 0 (stopped).
// Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame/byte_cursor.h"
#include "frame/property_values.h"

constexpr uint32_t kTimerRecordVersion = 1;

// Own property numbers (8 and up; the descriptor counts them from 0).
enum TimerProperty : int {
  kTimerInterval = kFirstOwnProperty,
  kTimerPropertyEnd,  // one past the last
};

// A negative interval is stored as 0 (stopped).
inline int32_t ClampInterval(int32_t ms) { return ms < 0 ? 0 : ms; }

struct TimerRecord {
  int32_t interval = 0;  // milliseconds, >= 0; 0 = stopped
};

// Decodes data[0, size): size 0 gives Interval 0; a negative stored interval
// becomes 0. Returns false with *failure filled (if not null) for a version
// of 0 or above 1, a truncated record or trailing bytes; *record is changed
// only on success.
bool DecodeTimerRecord(const uint8_t* data, size_t size, TimerRecord* record, CursorFailure* failure);

// Replaces *out with the version-1 record.
void EncodeTimerRecord(const TimerRecord& record, std::vector<uint8_t>* out);
