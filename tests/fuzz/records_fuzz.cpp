// Fuzz target: the stored property records of the window and of every
// widget kind. The first byte picks the kind, the rest is the record.
//
// Besides "no crash, no read outside the record", it checks each codec's
// promises: a refused record names an error and leaves the output alone; an
// accepted one encodes back to a record of the same layout and size (the
// same bytes, unless a value was clamped), and decoding that again gives the
// same values (clamping is idempotent).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "frame/window_record.h"
#include "ui/label_record.h"
#include "ui/pic_box_record.h"
#include "ui/pic_btn_record.h"
#include "ui/process_bar_record.h"
#include "ui/timer_record.h"
#include "ui/trans_label_record.h"

// The timer's record has a single value and no comparison of its own.
static bool operator==(const TimerRecord& a, const TimerRecord& b) { return a.interval == b.interval; }

namespace {

[[noreturn]] void Broken(const char* kind, const char* what) {
  std::fprintf(stderr, "records_fuzz: %s record: %s\n", kind, what);
  std::abort();
}

// Codecs whose Encode returns nothing are adapted to the bool form.
bool EncodeProcessBar(const ProcessBarRecord& r, std::vector<uint8_t>* out) {
  EncodeProcessBarRecord(r, out);
  return true;
}
bool EncodeTimer(const TimerRecord& r, std::vector<uint8_t>* out) {
  EncodeTimerRecord(r, out);
  return true;
}

// exact: the codec keeps values as stored, so the bytes must come back.
// emptyIsDefault: a record of no bytes decodes to the defaults.
template <typename Record>
void CheckCodec(const char* kind, const uint8_t* data, size_t size,
                bool (*decode)(const uint8_t*, size_t, Record*, CursorFailure*),
                bool (*encode)(const Record&, std::vector<uint8_t>*), bool exact, bool emptyIsDefault) {
  // A marker record that a failed decode must leave as it is.
  Record record;
  CursorFailure failure;
  if (!decode(data, size, &record, &failure)) {
    if (failure.error == CursorError::kNone) Broken(kind, "refused without an error");
    if (failure.offset > size) Broken(kind, "error offset past the end");
    if (!(record == Record())) Broken(kind, "a refused record changed the output");
    return;
  }
  if (size == 0) {
    if (emptyIsDefault && !(record == Record())) Broken(kind, "an empty record is not the defaults");
    return;
  }
  std::vector<uint8_t> again;
  if (!encode(record, &again)) Broken(kind, "a decoded record does not encode");
  if (again.size() != size) Broken(kind, "the encoded record has another size");
  if (exact && again != std::vector<uint8_t>(data, data + size)) Broken(kind, "the record does not encode back to its bytes");
  Record second;
  CursorFailure secondFailure;
  if (!decode(again.data(), again.size(), &second, &secondFailure)) Broken(kind, "the encoded record is refused");
  if (!(second == record)) Broken(kind, "decoding is not idempotent");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t* record = data + 1;
  const size_t length = size - 1;
  switch (data[0] % 7) {
    case 0:
      CheckCodec<WindowRecord>("window", record, length, DecodeWindowRecord, EncodeWindowRecord, true, false);
      break;
    case 1:
      CheckCodec<LabelRecord>("label", record, length, DecodeLabelRecord, EncodeLabelRecord, false, true);
      break;
    case 2:
      CheckCodec<TransLabelRecord>("transparent label", record, length, DecodeTransLabelRecord,
                                   EncodeTransLabelRecord, false, true);
      break;
    case 3:
      CheckCodec<PicBoxRecord>("picture box", record, length, DecodePicBoxRecord, EncodePicBoxRecord, false, true);
      break;
    case 4:
      CheckCodec<PicBtnRecord>("picture button", record, length, DecodePicBtnRecord, EncodePicBtnRecord, false, true);
      break;
    case 5:
      CheckCodec<ProcessBarRecord>("progress bar", record, length, DecodeProcessBarRecord, EncodeProcessBar, false,
                                   true);
      break;
    case 6:
      CheckCodec<TimerRecord>("timer", record, length, DecodeTimerRecord, EncodeTimer, false, true);
      break;
  }
  return 0;
}
