// Binary layout of the form data: the serialized window templates that the
// form compiler writes at build time and the frame reads at start. Shared by
// both sides; frame/form_reader.h and frame/form_writer.h implement it.
//
// All integers are little-endian, 32-bit unless stated. Offsets count from
// the first byte of the blob.
//
// Header:
//   magic                 kFormMagic
//   format version        kFormFormatVersion
//   form count
//   per form, in order:
//     window id           e.g. 0x52010001; unique in the blob
//     unit count          at least 1: the window's own unit comes first
//     per unit:           unit id, record offset
// Records: one FormUnitRecord per unit, form by form in the order of the
// header, back to back. The first record starts right after the header, each
// record offset is where the previous record ended, and the last record ends
// at the end of the blob; a header whose offsets say otherwise is corrupt.
//
// FormUnitRecord (fields in this order):
//    1. record length: the bytes that follow this word
//    2. kind code (FormKind)
//    3. kRecordReservedSize reserved bytes, zero
//    4. name: NUL-terminated GBK text (empty for the window)
//    5. comment: NUL-terminated text
//    6. reserved word, 0
//    7. Left, Top, Width, Height (signed), relative to the parent's client area
//    8. reserved word, 0
//    9. parent unit id; 0 = the window itself
//   10. child count, then that many child unit ids: the controls whose parent
//       is this unit, in form order. The window's own record lists none; the
//       controls placed directly on it are those with parent 0.
//   11. cursor data length, then the cursor data (the compiler writes 4 bytes:
//       one word, the MousePointer value; 0 = the class arrow)
//   12. Tag: NUL-terminated text
//   13. reserved word, 0
//   14. state flags (kUnitVisible | kUnitDisabled | kUnitTabStop; no others)
//   15. reserved word, 0
//   16. event count, then that many pairs (signed event number, handler offset)
//   17. kRecordReservedSize reserved bytes, zero
//   18. the kind's property record: the rest of the record (may be empty)
//
// Unit ids: the window's own unit is kWindowSelfUnit; controls carry 1 in the
// top four bits (0x1xxxxxxx). Menu items are not part of this format.
//
// Handler offsets: the program keeps a table of its handler routines, one
// 4-byte slot each. A handler offset is the routine's index × 4 into that
// table; kNoHandler means no handler is bound.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/value.h"

constexpr uint32_t kFormMagic = 0x4D524F46;  // the bytes "FORM"
constexpr uint32_t kFormFormatVersion = 1;

constexpr size_t kFormHeaderSize = 12;      // magic, version, form count
constexpr size_t kFormEntrySize = 8;        // window id, unit count
constexpr size_t kFormUnitEntrySize = 8;    // unit id, record offset
constexpr size_t kRecordReservedSize = 20;  // fields 3 and 17

// Unit kinds: (library number << 16) | unit number, as the unit's TypeTag.
enum FormKind : uint32_t {
  kKindWindow = 0x00010001,
  kKindPicBox = 0x00010006,
  kKindLabel = 0x0001000A,
  kKindProcessBar = 0x00010013,
  kKindTimer = 0x00010020,
  kKindPicBtn = 0x0001002D,
  kKindTransLabel = 0x00020005,
  kKindZip = 0x00040001,
};

// The kind's short English name ("window", "PicBox", ...), or null for a
// code that is not a known kind.
inline const char* FormKindWord(uint32_t kind) {
  switch (kind) {
    case kKindWindow: return "window";
    case kKindPicBox: return "PicBox";
    case kKindLabel: return "Label";
    case kKindProcessBar: return "ProcessBar";
    case kKindTimer: return "Timer";
    case kKindPicBtn: return "PicBtn";
    case kKindTransLabel: return "TransLabel";
    case kKindZip: return "ZIP";
  }
  return nullptr;
}

inline bool IsKnownFormKind(uint32_t kind) { return FormKindWord(kind) != nullptr; }

// State flag bits (field 14).
constexpr uint32_t kUnitVisible = 1;
constexpr uint32_t kUnitDisabled = 2;
constexpr uint32_t kUnitTabStop = 4;
constexpr uint32_t kUnitFlagMask = kUnitVisible | kUnitDisabled | kUnitTabStop;

// Unit id classes (top four bits).
constexpr uint32_t kUnitClassShift = 28;
constexpr uint32_t kUnitClassControl = 1;
inline bool IsControlUnitId(uint32_t unitId) { return (unitId >> kUnitClassShift) == kUnitClassControl; }

// Handler offsets.
constexpr int32_t kNoHandler = -1;
constexpr int32_t kHandlerSlotSize = 4;
inline int32_t HandlerOffsetOf(int32_t routineIndex) { return routineIndex * kHandlerSlotSize; }
// A well-formed offset is kNoHandler or a non-negative multiple of the slot size.
inline bool IsValidHandlerOffset(int32_t offset) {
  return offset == kNoHandler || (offset >= 0 && offset % kHandlerSlotSize == 0);
}
