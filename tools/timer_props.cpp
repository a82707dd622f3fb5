// Encoder of the timer's property record from a form description: a unit
// without props keeps an empty record (Interval 0); "interval" gives the
// version-1 record.
#include "tools/form_kinds.h"
#include "ui/timer_record.h"

void EncodeTimerProps(JsonFields& p, std::vector<uint8_t>* record) {
  record->clear();
  if (!p.Has("interval")) return;
  TimerRecord r;
  r.interval = p.Int("interval", r.interval, 0, INT32_MAX);
  EncodeTimerRecord(r, record);
}
