#include "ui/timer_record.h"

bool DecodeTimerRecord(const uint8_t* data, size_t size, TimerRecord* record, CursorFailure* failure) {
  if (size == 0) {
    *record = TimerRecord();
    return true;
  }
  ByteCursor c(data, size);
  uint32_t version = 0;
  TimerRecord r;
  ReadRecordVersion(c, kTimerRecordVersion, &version);
  c.ReadI32(&r.interval, "Interval");
  if (!ExpectRecordEnd(c)) {
    if (failure) *failure = c.Failure();
    return false;
  }
  r.interval = ClampInterval(r.interval);
  *record = r;
  return true;
}

void EncodeTimerRecord(const TimerRecord& r, std::vector<uint8_t>* out) {
  ByteWriter w;
  w.U32(kTimerRecordVersion);
  w.I32(r.interval);
  *out = w.Take();
}
