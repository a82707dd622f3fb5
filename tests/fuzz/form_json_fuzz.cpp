// Fuzz target: the form compiler's reading of a JSON form description (the
// typed field accessors, every kind's property encoder, unit linking) and
// its routine-list parser.
//
// The input is the description's text. Besides "no crash and no exception
// other than the compiler's own errors", it checks that whatever the
// compiler accepts is form data the loader reads back unchanged, and that
// every unit's property record is one its kind's decoder accepts and
// encodes back byte for byte.
//
// File paths in a description name files in a scratch folder made here;
// descriptions with absolute paths or ".." are skipped, so that the target
// never reads anything else (a device file could block it).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frame/form_format.h"
#include "frame/form_reader.h"
#include "frame/form_writer.h"
#include "frame/window_record.h"
#include "tools/form_compile_lib.h"
#include "tools/form_json_fields.h"
#include "ui/label_record.h"
#include "ui/pic_box_record.h"
#include "ui/pic_btn_record.h"
#include "ui/process_bar_record.h"
#include "ui/timer_record.h"
#include "ui/trans_label_record.h"

namespace {

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "form_json_fuzz: %s\n", what.c_str());
  std::abort();
}

// A 1 x 1 24-bit BMP and a few other bytes for the descriptions' files.
const uint8_t kTinyBmp[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0,
                            0,   0,   1,  0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            0,   0,   0,  0, 0, 0, 0x20, 0x40, 0x80, 0};

void WriteFile(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) Broken("cannot write " + path);
}

const char* const kScratchFiles[] = {"a.bmp", "b.bin", "empty.bin"};
char gScratch[] = "/tmp/form_json_fuzz.XXXXXX";

void RemoveScratchFolder() {
  for (const char* name : kScratchFiles) unlink((std::string(gScratch) + "/" + name).c_str());
  rmdir(gScratch);
}

// The scratch folder, made on first use and removed at exit: "a.bmp",
// "b.bin" and an empty "empty.bin" (which the compiler must refuse).
const std::string& ScratchFolder() {
  static const std::string folder = [] {
    if (!mkdtemp(gScratch)) Broken("cannot make a scratch folder");
    std::atexit(RemoveScratchFolder);
    const std::string f = gScratch;
    WriteFile(f + "/" + kScratchFiles[0], kTinyBmp, sizeof kTinyBmp);
    WriteFile(f + "/" + kScratchFiles[1], "music", 5);
    WriteFile(f + "/" + kScratchFiles[2], "", 0);
    return f;
  }();
  return folder;
}

// True when some string of the value (keys included) could lead a path
// outside the scratch folder. Walked without recursion: the input may nest
// arrays as deep as it likes.
bool MayLeaveFolder(const Json& root) {
  auto risky = [](const std::string& s) { return (!s.empty() && s[0] == '/') || s.find("..") != std::string::npos; };
  std::vector<const Json*> pending = {&root};
  while (!pending.empty()) {
    const Json* value = pending.back();
    pending.pop_back();
    if (value->is_string() && risky(value->get_ref<const std::string&>())) return true;
    if (value->is_object()) {
      for (auto it = value->begin(); it != value->end(); ++it) {
        if (risky(it.key())) return true;
        pending.push_back(&*it);
      }
    } else if (value->is_array()) {
      for (const Json& item : *value) pending.push_back(&item);
    }
  }
  return false;
}

template <typename Record>
void CheckRecord(const FormUnit& unit, bool (*decode)(const uint8_t*, size_t, Record*, CursorFailure*),
                 bool (*encode)(const Record&, std::vector<uint8_t>*)) {
  if (unit.props.empty()) return;
  Record record;
  CursorFailure failure;
  if (!decode(unit.props.data(), unit.props.size(), &record, &failure)) {
    Broken(std::string("a compiled ") + FormKindWord(unit.kind) + " record is refused: " + CursorErrorText(failure.error));
  }
  std::vector<uint8_t> again;
  if (!encode(record, &again) || again != unit.props) {
    Broken(std::string("a compiled ") + FormKindWord(unit.kind) + " record does not encode back");
  }
}

bool EncodeProcessBar(const ProcessBarRecord& r, std::vector<uint8_t>* out) {
  EncodeProcessBarRecord(r, out);
  return true;
}

void CheckUnitRecord(const FormUnit& unit) {
  switch (unit.kind) {
    case kKindWindow: {
      if (unit.props.empty()) Broken("a compiled window has no record");
      CheckRecord<WindowRecord>(unit, DecodeWindowRecord, EncodeWindowRecord);
      WindowRecord record;
      DecodeWindowRecord(unit.props.data(), unit.props.size(), &record, nullptr);
      if (const char* field = WindowRecordRangeError(record)) Broken(std::string("window field out of range: ") + field);
      break;
    }
    case kKindLabel: CheckRecord<LabelRecord>(unit, DecodeLabelRecord, EncodeLabelRecord); break;
    case kKindTransLabel: CheckRecord<TransLabelRecord>(unit, DecodeTransLabelRecord, EncodeTransLabelRecord); break;
    case kKindPicBox: CheckRecord<PicBoxRecord>(unit, DecodePicBoxRecord, EncodePicBoxRecord); break;
    case kKindPicBtn: CheckRecord<PicBtnRecord>(unit, DecodePicBtnRecord, EncodePicBtnRecord); break;
    case kKindProcessBar: CheckRecord<ProcessBarRecord>(unit, DecodeProcessBarRecord, EncodeProcessBar); break;
    case kKindTimer: {
      if (unit.props.empty()) break;
      TimerRecord record;
      std::vector<uint8_t> again;
      if (!DecodeTimerRecord(unit.props.data(), unit.props.size(), &record, nullptr)) Broken("a timer record is refused");
      EncodeTimerRecord(record, &again);
      if (again != unit.props) Broken("a compiled timer record does not encode back");
      break;
    }
    case kKindZip:
      if (!unit.props.empty()) Broken("a ZIP unit has a record");
      break;
    default: Broken("a unit of an unknown kind");
  }
}

void CheckRoutineList(const std::string& text) {
  std::vector<std::string> routines;
  std::string error;
  if (!ParseRoutineList(text, &routines, &error)) {
    if (error.empty() || !routines.empty()) Broken("a refused routine list without an error, or with routines");
    return;
  }
  for (size_t i = 0; i < routines.size(); ++i) {
    const std::string& r = routines[i];
    if (r.empty() || r[0] == '#' || r.find('\n') != std::string::npos) Broken("a routine name that is blank, a comment or two lines");
    if (r.find_first_of(" \t\r") == 0 || r.find_last_of(" \t\r") == r.size() - 1) Broken("a routine name with blanks around");
    for (size_t j = 0; j < i; ++j) {
      if (routines[j] == r) Broken("a routine listed twice was accepted");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckRoutineList(text);

  const Json parsed = Json::parse(text, nullptr, false);
  if (!parsed.is_discarded() && MayLeaveFolder(parsed)) return 0;

  static const std::vector<std::string> kRoutines = {"OnCreated", "OnClicked", "OnTick", "OnProgress"};
  FormTemplate form;
  std::string error;
  if (!CompileFormDescription(text, "fuzz.json", ScratchFolder(), kRoutines, &form, &error)) {
    if (error.empty()) Broken("a refused description without an error");
    if (!parsed.is_discarded() && error.rfind("fuzz.json: [json.exception.parse_error", 0) == 0) {
      Broken("the compiler cannot parse what the JSON reader parsed");
    }
    return 0;
  }
  if (parsed.is_discarded()) Broken("the compiler accepted text that is not JSON");
  if (form.units.empty() || form.units[0].kind != kKindWindow) Broken("a form that does not start with its window");

  const std::vector<FormTemplate> forms = {form};
  std::vector<uint8_t> blob;
  if (!WriteForms(forms, &blob)) Broken("a compiled form cannot be written");
  std::vector<FormTemplate> back;
  FormReadError readError;
  if (!ReadForms(blob.data(), blob.size(), &back, &readError)) {
    Broken("a compiled form is refused by the loader: " + DescribeFormError(readError));
  }
  if (!(back == forms)) Broken("a compiled form does not read back unchanged");
  for (const FormUnit& unit : form.units) CheckUnitRecord(unit);
  return 0;
}
