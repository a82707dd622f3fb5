#include "frame/form_reader.h"

#include <algorithm>
#include <cstdio>

#include "frame/byte_cursor.h"

bool operator==(const FormEvent& a, const FormEvent& b) {
  return a.eventNumber == b.eventNumber && a.handlerOffset == b.handlerOffset;
}

bool operator==(const FormUnit& a, const FormUnit& b) {
  return a.unitId == b.unitId && a.kind == b.kind && a.name == b.name && a.comment == b.comment &&
         a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height &&
         a.parentId == b.parentId && a.children == b.children && a.cursorData == b.cursorData &&
         a.tag == b.tag && a.flags == b.flags && a.events == b.events && a.props == b.props;
}

bool operator==(const FormTemplate& a, const FormTemplate& b) {
  return a.windowId == b.windowId && a.units == b.units;
}

const char* FormErrorText(FormError code) {
  switch (code) {
    case FormError::kNone: return "no error";
    case FormError::kBadMagic: return "not form data (bad magic)";
    case FormError::kUnsupportedVersion: return "unsupported form data version";
    case FormError::kTruncated: return "data ends inside a field";
    case FormError::kLengthPastEnd: return "count or length runs past the end of its data";
    case FormError::kNoTerminator: return "text without terminating NUL";
    case FormError::kBadOffset: return "record offsets disagree with the records";
    case FormError::kReservedNotZero: return "reserved field not zero";
    case FormError::kUnknownKind: return "unknown unit kind";
    case FormError::kEmptyForm: return "form without units";
    case FormError::kDuplicateWindowId: return "duplicate window id";
    case FormError::kBadWindowUnit: return "the window unit must come first, once";
    case FormError::kBadUnitId: return "control unit id out of the control range";
    case FormError::kDuplicateUnitId: return "duplicate unit id";
    case FormError::kUnknownParent: return "parent unit does not exist";
    case FormError::kParentCycle: return "parent chain does not reach the window";
    case FormError::kChildListMismatch: return "child list disagrees with the parents";
    case FormError::kBadFlags: return "unknown state flags";
    case FormError::kDuplicateEvent: return "event bound twice";
    case FormError::kBadHandlerOffset: return "bad handler offset";
  }
  return "unknown error";
}

std::string DescribeFormError(const FormReadError& error) {
  std::string text = FormErrorText(error.code);
  char where[96];
  if (error.form >= 0) {
    std::snprintf(where, sizeof where, " (form %d", error.form);
    text += where;
    if (error.unit >= 0) {
      std::snprintf(where, sizeof where, ", unit %d", error.unit);
      text += where;
    }
    text += ")";
  }
  if (error.field && *error.field) {
    text += " in field '";
    text += error.field;
    text += "'";
  }
  std::snprintf(where, sizeof where, " at offset %lu", static_cast<unsigned long>(error.offset));
  text += where;
  return text;
}

namespace {

// Duplicate checks and look-ups sort a 32-bit value together with where it
// came from (an index or an offset, which a blob's size keeps below 2^32) as
// one 64-bit key: one sort for all of them, and equal values side by side.
uint64_t SortKey(uint32_t value, size_t where) { return (uint64_t(value) << 32) | uint32_t(where); }
uint32_t KeyValue(uint64_t key) { return uint32_t(key >> 32); }
size_t KeyIndex(uint64_t key) { return size_t(uint32_t(key)); }

struct UnitEntry {
  uint32_t unitId;
  uint32_t recordOffset;
  size_t entryOffset;  // where the record offset word sits in the header
};

struct FormEntry {
  size_t entryOffset;  // where the form's window id sits in the header
  uint32_t windowId;
  std::vector<UnitEntry> units;
};

FormError FromCursorError(CursorError error) {
  switch (error) {
    case CursorError::kLengthPastEnd: return FormError::kLengthPastEnd;
    case CursorError::kNoTerminator: return FormError::kNoTerminator;
    default: return FormError::kTruncated;
  }
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size, FormReadError* error) : data_(data), size_(size), error_(error) {}

  bool Read(std::vector<FormTemplate>* forms);

 private:
  bool Fail(FormError code, size_t offset, const char* field) {
    error_->code = code;
    error_->offset = offset;
    error_->form = form_;
    error_->unit = unit_;
    error_->field = field;
    return false;
  }
  bool FailCursor(const ByteCursor& cursor) {
    const CursorFailure& f = cursor.Failure();
    return Fail(FromCursorError(f.error), f.offset, f.field);
  }

  bool ReadHeader(ByteCursor& cursor, std::vector<FormEntry>* entries);
  bool ReadReserved(ByteCursor& cursor, size_t count, const char* field);
  bool ReadRecord(ByteCursor& cursor, FormUnit* unit);
  bool CheckStructure(const FormTemplate& form, const std::vector<size_t>& recordOffsets);

  const uint8_t* data_;
  size_t size_;
  FormReadError* error_;
  int form_ = -1;
  int unit_ = -1;
};

bool Reader::ReadHeader(ByteCursor& cursor, std::vector<FormEntry>* entries) {
  uint32_t magic, version, formCount;
  if (!cursor.ReadU32(&magic, "magic")) return FailCursor(cursor);
  if (magic != kFormMagic) return Fail(FormError::kBadMagic, 0, "magic");
  if (!cursor.ReadU32(&version, "format version")) return FailCursor(cursor);
  if (version != kFormFormatVersion) return Fail(FormError::kUnsupportedVersion, 4, "format version");
  if (!cursor.ReadU32(&formCount, "form count") ||
      !cursor.CheckCount(formCount, kFormEntrySize, "form count")) {
    return FailCursor(cursor);
  }
  entries->resize(formCount);
  for (form_ = 0; form_ < int(formCount); ++form_) {
    FormEntry& entry = (*entries)[form_];
    size_t at = cursor.Offset();
    entry.entryOffset = at;
    uint32_t unitCount;
    if (!cursor.ReadU32(&entry.windowId, "window id") || !cursor.ReadU32(&unitCount, "unit count") ||
        !cursor.CheckCount(unitCount, kFormUnitEntrySize, "unit count")) {
      return FailCursor(cursor);
    }
    if (unitCount == 0) return Fail(FormError::kEmptyForm, at + 4, "unit count");
    entry.units.resize(unitCount);
    for (UnitEntry& unit : entry.units) {
      cursor.ReadU32(&unit.unitId, "unit id");
      unit.entryOffset = cursor.Offset();
      cursor.ReadU32(&unit.recordOffset, "record offset");
    }
    if (!cursor.Ok()) return FailCursor(cursor);
  }

  std::vector<uint64_t> windowIds;
  for (form_ = 0; form_ < int(formCount); ++form_) windowIds.push_back(SortKey((*entries)[form_].windowId, form_));
  std::sort(windowIds.begin(), windowIds.end());
  for (size_t i = 1; i < windowIds.size(); ++i) {
    if (KeyValue(windowIds[i]) == KeyValue(windowIds[i - 1])) {
      form_ = int(std::max(KeyIndex(windowIds[i]), KeyIndex(windowIds[i - 1])));
      return Fail(FormError::kDuplicateWindowId, (*entries)[form_].entryOffset, "window id");
    }
  }
  form_ = -1;
  return true;
}

bool Reader::ReadReserved(ByteCursor& cursor, size_t count, const char* field) {
  size_t at = cursor.Offset();
  const uint8_t* bytes;
  if (!cursor.ReadView(count, &bytes, field)) return FailCursor(cursor);
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != 0) return Fail(FormError::kReservedNotZero, at + i, field);
  }
  return true;
}

bool Reader::ReadRecord(ByteCursor& cursor, FormUnit* unit) {
  size_t at = cursor.Offset();
  if (!cursor.ReadU32(&unit->kind, "kind")) return FailCursor(cursor);
  if (!IsKnownFormKind(unit->kind)) return Fail(FormError::kUnknownKind, at, "kind");
  if (!ReadReserved(cursor, kRecordReservedSize, "reserved head")) return false;
  if (!cursor.ReadCString(&unit->name, "name") || !cursor.ReadCString(&unit->comment, "comment")) {
    return FailCursor(cursor);
  }
  if (!ReadReserved(cursor, 4, "reserved after comment")) return false;
  if (!cursor.ReadI32(&unit->left, "left") || !cursor.ReadI32(&unit->top, "top") ||
      !cursor.ReadI32(&unit->width, "width") || !cursor.ReadI32(&unit->height, "height")) {
    return FailCursor(cursor);
  }
  if (!ReadReserved(cursor, 4, "reserved after height")) return false;

  uint32_t childCount;
  if (!cursor.ReadU32(&unit->parentId, "parent") || !cursor.ReadU32(&childCount, "child count") ||
      !cursor.CheckCount(childCount, 4, "child count")) {
    return FailCursor(cursor);
  }
  unit->children.resize(childCount);
  for (uint32_t& child : unit->children) cursor.ReadU32(&child, "child id");

  uint32_t cursorLength;
  const uint8_t* cursorBytes;
  if (!cursor.ReadU32(&cursorLength, "cursor data length") ||
      !cursor.CheckCount(cursorLength, 1, "cursor data length") ||
      !cursor.ReadView(cursorLength, &cursorBytes, "cursor data") || !cursor.ReadCString(&unit->tag, "tag")) {
    return FailCursor(cursor);
  }
  unit->cursorData.assign(cursorBytes, cursorBytes + cursorLength);
  if (!ReadReserved(cursor, 4, "reserved after tag")) return false;

  at = cursor.Offset();
  if (!cursor.ReadU32(&unit->flags, "state flags")) return FailCursor(cursor);
  if (unit->flags & ~kUnitFlagMask) return Fail(FormError::kBadFlags, at, "state flags");
  if (!ReadReserved(cursor, 4, "reserved after flags")) return false;

  uint32_t eventCount;
  if (!cursor.ReadU32(&eventCount, "event count") || !cursor.CheckCount(eventCount, 8, "event count")) {
    return FailCursor(cursor);
  }
  unit->events.resize(eventCount);
  std::vector<uint64_t> numbers;  // event number, entry offset
  for (FormEvent& event : unit->events) {
    at = cursor.Offset();
    if (!cursor.ReadI32(&event.eventNumber, "event number") ||
        !cursor.ReadI32(&event.handlerOffset, "handler offset")) {
      return FailCursor(cursor);
    }
    if (!IsValidHandlerOffset(event.handlerOffset)) {
      return Fail(FormError::kBadHandlerOffset, at + 4, "handler offset");
    }
    numbers.push_back(SortKey(uint32_t(event.eventNumber), at));
  }
  std::sort(numbers.begin(), numbers.end());
  for (size_t i = 1; i < numbers.size(); ++i) {
    if (KeyValue(numbers[i]) == KeyValue(numbers[i - 1])) {
      return Fail(FormError::kDuplicateEvent, std::max(KeyIndex(numbers[i]), KeyIndex(numbers[i - 1])), "event number");
    }
  }
  if (!ReadReserved(cursor, kRecordReservedSize, "reserved tail")) return false;

  const uint8_t* props;
  size_t propsLength = cursor.Remaining();
  cursor.ReadView(propsLength, &props, "property record");
  unit->props.assign(props, props + propsLength);
  return true;
}

// Checks what no single record can show: the window first and alone, ids,
// parents, parent chains and child lists.
bool Reader::CheckStructure(const FormTemplate& form, const std::vector<size_t>& recordOffsets) {
  const std::vector<FormUnit>& units = form.units;
  for (unit_ = 0; unit_ < int(units.size()); ++unit_) {
    const FormUnit& unit = units[unit_];
    size_t at = recordOffsets[unit_];
    bool isWindow = unit.kind == kKindWindow;
    if (unit_ == 0) {
      if (!isWindow || unit.unitId != kWindowSelfUnit) return Fail(FormError::kBadWindowUnit, at, "kind");
      if (unit.parentId != 0) return Fail(FormError::kUnknownParent, at, "parent");
      if (!unit.children.empty()) return Fail(FormError::kChildListMismatch, at, "child id");
    } else {
      if (isWindow) return Fail(FormError::kBadWindowUnit, at, "kind");
      if (!IsControlUnitId(unit.unitId)) return Fail(FormError::kBadUnitId, at, "unit id");
    }
  }

  // Ids sorted with their unit index: duplicates sit side by side, and parents
  // are found by binary search.
  std::vector<uint64_t> byId;
  for (size_t i = 0; i < units.size(); ++i) byId.push_back(SortKey(units[i].unitId, i));
  std::sort(byId.begin(), byId.end());
  for (size_t i = 1; i < byId.size(); ++i) {
    if (KeyValue(byId[i]) == KeyValue(byId[i - 1])) {
      unit_ = int(KeyIndex(byId[i]));
      return Fail(FormError::kDuplicateUnitId, recordOffsets[unit_], "unit id");
    }
  }

  // Parents: 0 or a control of this form.
  std::vector<size_t> parentIndex(units.size(), 0);
  for (unit_ = 1; unit_ < int(units.size()); ++unit_) {
    uint32_t parentId = units[unit_].parentId;
    if (parentId == 0) continue;
    auto found = std::lower_bound(byId.begin(), byId.end(), SortKey(parentId, 0));
    if (found == byId.end() || KeyValue(*found) != parentId || KeyIndex(*found) == 0) {
      return Fail(FormError::kUnknownParent, recordOffsets[unit_], "parent");
    }
    parentIndex[unit_] = KeyIndex(*found);
  }

  // Every parent chain must reach the window: walk each chain once, marking
  // units as on the current walk (1) or known to reach the window (2).
  std::vector<uint8_t> state(units.size(), 0);
  state[0] = 2;
  for (size_t start = 1; start < units.size(); ++start) {
    size_t i = start;
    while (state[i] == 0) {
      state[i] = 1;
      i = parentIndex[i];
    }
    if (state[i] == 1) {
      unit_ = int(start);
      return Fail(FormError::kParentCycle, recordOffsets[start], "parent");
    }
    for (i = start; state[i] == 1; i = parentIndex[i]) state[i] = 2;
  }

  std::vector<std::vector<uint32_t>> expected(units.size());
  for (size_t i = 1; i < units.size(); ++i) {
    if (units[i].parentId != 0) expected[parentIndex[i]].push_back(units[i].unitId);
  }
  for (unit_ = 1; unit_ < int(units.size()); ++unit_) {
    if (units[unit_].children != expected[unit_]) {
      return Fail(FormError::kChildListMismatch, recordOffsets[unit_], "child id");
    }
  }
  unit_ = -1;
  return true;
}

bool Reader::Read(std::vector<FormTemplate>* forms) {
  ByteCursor header(data_, size_);
  std::vector<FormEntry> entries;
  if (!ReadHeader(header, &entries)) return false;

  std::vector<FormTemplate> result(entries.size());
  std::vector<std::vector<size_t>> recordOffsets(entries.size());
  size_t next = header.Offset();
  for (form_ = 0; form_ < int(entries.size()); ++form_) {
    const FormEntry& entry = entries[form_];
    FormTemplate& form = result[form_];
    form.windowId = entry.windowId;
    form.units.resize(entry.units.size());
    for (unit_ = 0; unit_ < int(entry.units.size()); ++unit_) {
      const UnitEntry& unitEntry = entry.units[unit_];
      if (unitEntry.recordOffset != next) return Fail(FormError::kBadOffset, unitEntry.entryOffset, "record offset");
      ByteCursor lengthCursor(data_ + next, size_ - next, next);
      uint32_t length;
      if (!lengthCursor.ReadU32(&length, "record length")) return FailCursor(lengthCursor);
      if (length > lengthCursor.Remaining()) return Fail(FormError::kLengthPastEnd, next, "record length");
      ByteCursor record(data_ + next + 4, length, next + 4);
      FormUnit& unit = form.units[unit_];
      unit.unitId = unitEntry.unitId;
      if (!ReadRecord(record, &unit)) return false;
      recordOffsets[form_].push_back(next);
      next += 4 + size_t(length);
    }
    unit_ = -1;
  }
  form_ = -1;
  if (next != size_) return Fail(FormError::kBadOffset, next, "end of records");

  for (form_ = 0; form_ < int(result.size()); ++form_) {
    if (!CheckStructure(result[form_], recordOffsets[form_])) return false;
  }
  form_ = -1;
  *forms = std::move(result);
  return true;
}

}  // namespace

bool ReadForms(const uint8_t* data, size_t size, std::vector<FormTemplate>* forms, FormReadError* error) {
  FormReadError ignored;
  forms->clear();
  if (!data) size = 0;
  *(error ? error : &ignored) = FormReadError();
  Reader reader(data, size, error ? error : &ignored);
  return reader.Read(forms);
}

const FormTemplate* FindForm(const std::vector<FormTemplate>& forms, uint32_t windowId) {
  for (const FormTemplate& form : forms) {
    if (form.windowId == windowId) return &form;
  }
  return nullptr;
}

FormTemplate* FindForm(std::vector<FormTemplate>& forms, uint32_t windowId) {
  return const_cast<FormTemplate*>(FindForm(static_cast<const std::vector<FormTemplate>&>(forms), windowId));
}

const FormUnit* FindUnit(const FormTemplate& form, uint32_t unitId) {
  for (const FormUnit& unit : form.units) {
    if (unit.unitId == unitId) return &unit;
  }
  return nullptr;
}

FormUnit* FindUnit(FormTemplate& form, uint32_t unitId) {
  return const_cast<FormUnit*>(FindUnit(static_cast<const FormTemplate&>(form), unitId));
}
