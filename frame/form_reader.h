// Window templates and the reader of the binary form data (layout in
// frame/form_format.h).
//
// ReadForms checks every field against the bytes that are left and the
// structure as a whole (offsets, kinds, ids, parents, child lists, event
// tables) before it returns templates, so users of the templates may rely on
// them: unit ids are unique in their form, the window's unit comes first and
// is the only window unit, every parent exists and parent chains end at the
// window, child lists agree with the parents, handler offsets are well formed.
// The property records are kept as raw bytes; each kind's decoder reads its
// own (e.g. frame/window_record.h). Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/form_format.h"

struct FormEvent {
  int32_t eventNumber = 0;
  int32_t handlerOffset = kNoHandler;  // routine index × 4, or kNoHandler
};

// One unit of a window template: the window itself or a control.
struct FormUnit {
  uint32_t unitId = 0;
  uint32_t kind = 0;  // FormKind
  std::string name;     // GBK, without terminator
  std::string comment;  // GBK
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t parentId = 0;           // 0 = the window
  std::vector<uint32_t> children;  // in form order
  std::vector<uint8_t> cursorData; // 4 bytes (the MousePointer word) when written by the compiler
  std::string tag;                 // GBK
  uint32_t flags = 0;              // kUnitVisible | kUnitDisabled | kUnitTabStop
  std::vector<FormEvent> events;   // event numbers unique
  std::vector<uint8_t> props;      // the kind's property record
};

struct FormTemplate {
  uint32_t windowId = 0;
  std::vector<FormUnit> units;  // form order; units[0] is the window
};

bool operator==(const FormEvent& a, const FormEvent& b);
bool operator==(const FormUnit& a, const FormUnit& b);
bool operator==(const FormTemplate& a, const FormTemplate& b);

enum class FormError {
  kNone = 0,
  kBadMagic,            // not form data
  kUnsupportedVersion,  // format version other than kFormFormatVersion
  kTruncated,           // a field runs past the end of the blob or of its record
  kLengthPastEnd,       // a count or length asks for more than its record holds
  kNoTerminator,        // a name, comment or tag without its NUL
  kBadOffset,           // a record offset or record length disagrees with the layout
  kReservedNotZero,     // a reserved field is not zero
  kUnknownKind,         // a kind code that is not a FormKind
  kEmptyForm,           // a form without units
  kDuplicateWindowId,   // two forms with the same window id
  kBadWindowUnit,       // the first unit is not the window (kind and id), or a second window unit
  kBadUnitId,           // a control id that is not 0x1xxxxxxx
  kDuplicateUnitId,     // two units of a form with the same id
  kUnknownParent,       // a parent id that is not a control of the form, or the window's parent not 0
  kParentCycle,         // a parent chain that never reaches the window
  kChildListMismatch,   // a child list that differs from the units naming this parent
  kBadFlags,            // state flags with bits other than kUnitFlagMask
  kDuplicateEvent,      // one event number twice in a unit's table
  kBadHandlerOffset,    // neither kNoHandler nor a non-negative multiple of 4
};

// Where and why reading stopped.
struct FormReadError {
  FormError code = FormError::kNone;
  size_t offset = 0;      // byte offset in the blob
  int form = -1;          // form index, -1 for the header proper
  int unit = -1;          // unit index within the form, -1 when not about one unit
  const char* field = ""; // field name, "" when not about one field
};

// A short English description of the error code.
const char* FormErrorText(FormError code);
// One line naming the code, form, unit, field and offset, for logs and tools.
std::string DescribeFormError(const FormReadError& error);

// Parses data[0, size) into templates. On success returns true and replaces
// *forms. On failure returns false, leaves *forms empty and fills *error (if
// not null). Never reads outside data[0, size).
bool ReadForms(const uint8_t* data, size_t size, std::vector<FormTemplate>* forms, FormReadError* error);

// The template with the given window id, or null.
const FormTemplate* FindForm(const std::vector<FormTemplate>& forms, uint32_t windowId);
FormTemplate* FindForm(std::vector<FormTemplate>& forms, uint32_t windowId);
// The unit with the given id, or null.
const FormUnit* FindUnit(const FormTemplate& form, uint32_t unitId);
FormUnit* FindUnit(FormTemplate& form, uint32_t unitId);
