#include "tools/form_kinds.h"

#include "frame/form_format.h"

namespace {

const EventName kInputEvents[] = {
    {"LeftButtonDown", -1}, {"LeftButtonUp", -2},  {"LeftDoubleClick", -3}, {"RightButtonDown", -4},
    {"RightButtonUp", -5},  {"MouseMove", -6},     {"FocusReceived", -7},   {"FocusLost", -8},
    {"KeyDown", -9},        {"KeyUp", -10},        {"CharInput", -11},      {"MouseWheel", -12},
};

const EventName kWindowEvents[] = {
    {"Created", 0},   {"CloseRequest", 1},   {"Destroying", 2},      {"Moved", 3},
    {"Resized", 4},   {"Activated", 5},      {"Deactivated", 6},     {"Idle", 7},
    {"FirstActivated", 8}, {"TrayIconAction", 9}, {"Shown", 10},     {"Hidden", 11},
};
const EventName kPicBtnEvents[] = {{"Clicked", 0}};
const EventName kTimerEvents[] = {{"Tick", 0}};
const EventName kZipEvents[] = {{"ExtractProgress", 1}};

// The ZIP unit stores no properties: its record is empty and it takes no keys.
void EncodeZipProps(JsonFields&, std::vector<uint8_t>* record) { record->clear(); }

#define EVENTS(table) table, sizeof(table) / sizeof(table[0])

const FormKindInfo kKinds[] = {
    {"window", kKindWindow, EVENTS(kWindowEvents), EncodeWindowProps},
    {"PicBox", kKindPicBox, nullptr, 0, EncodePicBoxProps},
    {"Label", kKindLabel, nullptr, 0, EncodeLabelProps},
    {"ProcessBar", kKindProcessBar, nullptr, 0, EncodeProcessBarProps},
    {"Timer", kKindTimer, EVENTS(kTimerEvents), EncodeTimerProps},
    {"PicBtn", kKindPicBtn, EVENTS(kPicBtnEvents), EncodePicBtnProps},
    {"TransLabel", kKindTransLabel, nullptr, 0, EncodeTransLabelProps},
    {"ZIP", kKindZip, EVENTS(kZipEvents), EncodeZipProps},
};

#undef EVENTS

}  // namespace

const FormKindInfo* FindFormKind(const std::string& word) {
  for (const FormKindInfo& kind : kKinds) {
    if (word == kind.word) return &kind;
  }
  return nullptr;
}

bool FindEventNumber(const FormKindInfo& kind, const std::string& name, int32_t* number) {
  for (size_t i = 0; i < kind.eventCount; ++i) {
    if (name == kind.events[i].name) {
      *number = kind.events[i].number;
      return true;
    }
  }
  for (const EventName& event : kInputEvents) {
    if (name == event.name) {
      *number = event.number;
      return true;
    }
  }
  return false;
}
