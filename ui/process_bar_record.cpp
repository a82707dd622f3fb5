#include "ui/process_bar_record.h"

#include <algorithm>

bool operator==(const ProcessBarRecord& a, const ProcessBarRecord& b) {
  return a.borderStyle == b.borderStyle && a.vertical == b.vertical && a.smooth == b.smooth &&
         a.minimum == b.minimum && a.maximum == b.maximum && a.position == b.position;
}

bool DecodeProcessBarRecord(const uint8_t* data, size_t size, ProcessBarRecord* record,
                            CursorFailure* failure) {
  if (size == 0) {
    *record = ProcessBarRecord();
    return true;
  }
  ByteCursor c(data, size);
  ProcessBarRecord r;
  uint32_t version = 0;
  ReadRecordVersion(c, kProcessBarRecordVersion, &version);
  c.ReadI32(&r.borderStyle, "BorderStyle");
  c.ReadI32(&r.vertical, "Vertical");
  c.ReadI32(&r.smooth, "Smooth");
  c.ReadI32(&r.minimum, "Minimum");
  c.ReadI32(&r.maximum, "Maximum");
  c.ReadI32(&r.position, "Position");
  if (!ExpectRecordEnd(c)) {
    if (failure) *failure = c.Failure();
    return false;
  }
  r.borderStyle = ClampToRange(r.borderStyle, 0, kMaxWidgetBorderStyle);
  r.vertical = FlagValue(r.vertical);
  r.smooth = FlagValue(r.smooth);
  r.minimum = ClampBarValue(r.minimum);
  r.maximum = ClampBarValue(r.maximum);
  r.position = ClampBarValue(r.position);
  *record = r;
  return true;
}

void EncodeProcessBarRecord(const ProcessBarRecord& r, std::vector<uint8_t>* out) {
  ByteWriter w;
  w.U32(kProcessBarRecordVersion);
  w.I32(r.borderStyle);
  w.I32(r.vertical);
  w.I32(r.smooth);
  w.I32(r.minimum);
  w.I32(r.maximum);
  w.I32(r.position);
  *out = w.Take();
}

BarRange ProcessBarRange(int32_t minimum, int32_t maximum) {
  return {std::min(minimum, maximum), std::max(minimum, maximum)};
}

int32_t ProcessBarShownPosition(int32_t minimum, int32_t maximum, int32_t position) {
  return std::min(maximum, std::max(minimum, position));
}
