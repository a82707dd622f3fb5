// Fuzz target: the form data reader and the window property record decoder.
//
// Besides "no crash, no out-of-bounds read", it checks that both formats have
// one spelling only: whatever the reader accepts, the writer gives back byte
// for byte, and likewise for the window record. Build with clang
// -fsanitize=fuzzer for libFuzzer, or link standalone_fuzz_main.cpp for a
// plain driver that runs a corpus and a bounded number of mutations.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "frame/form_reader.h"
#include "frame/form_writer.h"
#include "frame/window_record.h"

namespace {

[[noreturn]] void Mismatch(const char* what) {
  std::fprintf(stderr, "form_reader_fuzz: %s\n", what);
  std::abort();
}

void CheckWindowRecord(const uint8_t* data, size_t size) {
  WindowRecord record;
  CursorFailure failure;
  if (!DecodeWindowRecord(data, size, &record, &failure)) {
    if (failure.error == CursorError::kNone) Mismatch("window record rejected without an error");
    return;
  }
  std::vector<uint8_t> again;
  if (!EncodeWindowRecord(record, &again) || again != std::vector<uint8_t>(data, data + size)) {
    Mismatch("window record does not encode back to its bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<FormTemplate> forms;
  FormReadError error;
  if (ReadForms(data, size, &forms, &error)) {
    std::vector<uint8_t> again;
    if (!WriteForms(forms, &again) || again != std::vector<uint8_t>(data, data + size)) {
      Mismatch("form data does not write back to its bytes");
    }
    for (const FormTemplate& form : forms) {
      for (const FormUnit& unit : form.units) {
        if (unit.kind == kKindWindow) CheckWindowRecord(unit.props.data(), unit.props.size());
      }
    }
  } else if (error.code == FormError::kNone || !forms.empty() || error.offset > size) {
    Mismatch("form data rejected without a proper error");
  }
  CheckWindowRecord(data, size);
  return 0;
}
