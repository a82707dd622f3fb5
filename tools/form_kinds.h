// The unit kinds the form compiler knows: kind word, kind code, the kind's
// own event names and the encoder of its property record. Host tools only.
//
// To teach the compiler a kind's properties, write its encoder (a function
// that reads the unit's "props" through JsonFields and appends the stored
// record) in a file of its own and name it in the table in form_kinds.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/form_json_fields.h"

// Reads props and replaces *record with the kind's stored property record.
// Throws FormCompileError for bad values. Keys it does not ask for are
// reported by the caller afterwards.
using PropsEncoder = void (*)(JsonFields& props, std::vector<uint8_t>* record);

struct EventName {
  const char* name;
  int32_t number;
};

struct FormKindInfo {
  const char* word;  // as written in the description: "window", "PicBox", ...
  uint32_t code;     // FormKind
  const EventName* events;  // the kind's own events
  size_t eventCount;
  // Null while the kind has no encoder: the unit's props must then be empty
  // and its stored record is empty.
  PropsEncoder encoder;
};

// The kind with the given word, or null.
const FormKindInfo* FindFormKind(const std::string& word);

// The event number for name: the kind's own events, then the input and focus
// events every unit has (LeftButtonDown -1 ... MouseWheel -12). False when
// the name is unknown for this kind.
bool FindEventNumber(const FormKindInfo& kind, const std::string& name, int32_t* number);

// Encoders (one file each).
void EncodeWindowProps(JsonFields& props, std::vector<uint8_t>* record);
void EncodePicBoxProps(JsonFields& props, std::vector<uint8_t>* record);
void EncodeProcessBarProps(JsonFields& props, std::vector<uint8_t>* record);
void EncodeTimerProps(JsonFields& props, std::vector<uint8_t>* record);
void EncodePicBtnProps(JsonFields& props, std::vector<uint8_t>* record);
void EncodeLabelProps(JsonFields& props, std::vector<uint8_t>* record);
void EncodeTransLabelProps(JsonFields& props, std::vector<uint8_t>* record);
