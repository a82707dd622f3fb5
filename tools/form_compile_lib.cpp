#include "tools/form_compile_lib.h"

#include <cstdio>
#include <map>

#include "frame/form_format.h"
#include "frame/form_writer.h"
#include "tools/form_json_fields.h"
#include "tools/form_kinds.h"

namespace {

constexpr int32_t kMaxCoordinate = 32627;  // the range the frame clamps Left/Top/Width/Height to
constexpr int32_t kHandCursor = 32649;

// The unit an error is about, as named in the description.
struct UnitError : FormCompileError {
  UnitError(const std::string& unit, const std::string& what) : FormCompileError(what), unitName(unit) {}
  std::string unitName;
};

struct SourceUnit {
  FormUnit unit;
  std::string displayName;  // UTF-8, for messages
  std::string parentName;   // UTF-8, empty = the window
};

std::string Hex(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", v);
  return buffer;
}

std::string DisplayName(const Json& unit, size_t index) {
  if (unit.is_object()) {
    auto name = unit.find("name");
    if (name != unit.end() && name->is_string() && !name->get_ref<const std::string&>().empty()) {
      return name->get<std::string>();
    }
    auto kind = unit.find("kind");
    if (kind != unit.end() && kind->is_string() && kind->get_ref<const std::string&>() == "window") {
      return "(window)";
    }
  }
  return "#" + std::to_string(index + 1);
}

int32_t ParseEventKey(const FormKindInfo& kind, const std::string& key) {
  int32_t number;
  if (FindEventNumber(kind, key, &number)) return number;
  // A decimal event number, optionally negative.
  size_t digits = key.size() - (!key.empty() && key[0] == '-' ? 1 : 0);
  if (digits == 0 || digits > 9 || key.find_first_not_of("0123456789", key.size() - digits) != std::string::npos) {
    throw FormCompileError("events." + key + ": not an event of kind " + kind.word);
  }
  return int32_t(std::stol(key));
}

void ReadEvents(const Json* events, const FormKindInfo& kind, const std::map<std::string, int32_t>& routineIndex,
                FormUnit* unit) {
  if (!events) return;
  if (!events->is_object()) throw FormCompileError("events: must be a JSON object");
  for (auto it = events->begin(); it != events->end(); ++it) {
    int32_t number = ParseEventKey(kind, it.key());
    if (!it->is_string()) throw FormCompileError("events." + it.key() + ": routine name must be a string");
    auto routine = routineIndex.find(it->get<std::string>());
    if (routine == routineIndex.end()) {
      throw FormCompileError("events." + it.key() + ": unknown routine '" + it->get<std::string>() + "'");
    }
    for (const FormEvent& earlier : unit->events) {
      if (earlier.eventNumber == number) {
        throw FormCompileError("events." + it.key() + ": event " + std::to_string(number) + " bound twice");
      }
    }
    unit->events.push_back({number, HandlerOffsetOf(routine->second)});
  }
}

int32_t ReadMousePointer(JsonFields& fields) {
  if (const Json* value = fields.Value("mousePointer")) {
    if (value->is_string()) {
      if (*value == "arrow") return 0;
      if (*value == "hand") return kHandCursor;
      fields.Fail("mousePointer", "must be a cursor id, \"arrow\" or \"hand\"");
    }
  }
  return fields.Int("mousePointer", 0, 0, 65535);
}

SourceUnit ReadUnit(const Json& json, size_t index, const std::string& baseDir,
                    const std::map<std::string, int32_t>& routineIndex) {
  SourceUnit source;
  source.displayName = DisplayName(json, index);
  try {
    JsonFields fields(json, "", baseDir);
    FormUnit& unit = source.unit;
    std::string kindWord = fields.Utf8("kind", "");
    const FormKindInfo* kind = FindFormKind(kindWord);
    if (!kind) fields.Fail("kind", kindWord.empty() ? "is required" : "unknown kind '" + kindWord + "'");
    unit.kind = kind->code;
    bool isWindow = unit.kind == kKindWindow;
    if (index == 0 && !isWindow) fields.Fail("kind", "the first unit must be the window");
    if (index != 0 && isWindow) fields.Fail("kind", "only the first unit may be the window");

    unit.name = fields.Text("name", "");
    if (isWindow && !unit.name.empty()) fields.Fail("name", "the window has no name");
    if (!isWindow && unit.name.empty()) fields.Fail("name", "is required for a control");

    if (isWindow) {
      unit.unitId = fields.Id("id", kWindowSelfUnit);
      if (unit.unitId != kWindowSelfUnit) fields.Fail("id", "the window's unit id is " + Hex(kWindowSelfUnit));
      if (fields.Has("parent")) fields.Fail("parent", "the window has no parent");
    } else {
      if (!fields.Has("id")) fields.Fail("id", "is required for a control");
      unit.unitId = fields.Id("id", 0);
      if (!IsControlUnitId(unit.unitId)) fields.Fail("id", Hex(unit.unitId) + " is not a control id (0x1xxxxxxx)");
      source.parentName = fields.Utf8("parent", "");
      if (fields.Has("parent") && source.parentName.empty()) fields.Fail("parent", "must name a control");
    }

    unit.left = fields.Int("left", 0, -kMaxCoordinate, kMaxCoordinate);
    unit.top = fields.Int("top", 0, -kMaxCoordinate, kMaxCoordinate);
    unit.width = fields.Int("width", 0, 0, kMaxCoordinate);
    unit.height = fields.Int("height", 0, 0, kMaxCoordinate);
    unit.flags = (fields.Flag("visible", true) ? kUnitVisible : 0) |
                 (fields.Flag("disabled", false) ? kUnitDisabled : 0) |
                 (fields.Flag("tabstop", false) ? kUnitTabStop : 0);
    int32_t pointer = ReadMousePointer(fields);
    for (int i = 0; i < 4; ++i) unit.cursorData.push_back(uint8_t(uint32_t(pointer) >> (8 * i)));
    unit.tag = fields.Text("tag", "");
    unit.comment = fields.Text("comment", "");
    ReadEvents(fields.Value("events"), *kind, routineIndex, &unit);

    static const Json kNoProps = Json::object();
    const Json* propsJson = fields.Value("props");
    JsonFields props(propsJson ? *propsJson : kNoProps, "props.", baseDir);
    if (kind->encoder) {
      kind->encoder(props, &unit.props);
    } else if (propsJson && !propsJson->empty()) {
      fields.Fail("props", std::string("kind ") + kind->word + " has no property encoder yet; props must be empty");
    }
    props.Finish();
    fields.Finish();
  } catch (const FormCompileError& e) {
    throw UnitError(source.displayName, e.what());
  }
  return source;
}

// Resolves parents, derives child lists and checks names and ids.
void LinkUnits(std::vector<SourceUnit>& units) {
  std::map<std::string, size_t> byName;  // control names as written (UTF-8)
  std::map<uint32_t, size_t> byId;
  for (size_t i = 0; i < units.size(); ++i) {
    if (i != 0 && !byName.emplace(units[i].displayName, i).second) {
      throw UnitError(units[i].displayName, "name used twice");
    }
    uint32_t unitId = units[i].unit.unitId;
    auto id = byId.emplace(unitId, i);
    if (!id.second) {
      throw UnitError(units[i].displayName,
                      "id " + Hex(unitId) + " already used by unit '" + units[id.first->second].displayName + "'");
    }
  }
  std::vector<size_t> parent(units.size(), 0);  // 0 = the window
  for (size_t i = 1; i < units.size(); ++i) {
    if (units[i].parentName.empty()) continue;
    auto found = byName.find(units[i].parentName);
    if (found == byName.end()) throw UnitError(units[i].displayName, "unknown parent '" + units[i].parentName + "'");
    if (found->second == i) throw UnitError(units[i].displayName, "a unit cannot be its own parent");
    parent[i] = found->second;
    units[i].unit.parentId = units[found->second].unit.unitId;
  }
  for (size_t i = 1; i < units.size(); ++i) {
    size_t steps = 0;
    for (size_t p = parent[i]; p != 0; p = parent[p]) {
      if (++steps > units.size()) throw UnitError(units[i].displayName, "parent chain loops");
    }
    if (parent[i] != 0) units[parent[i]].unit.children.push_back(units[i].unit.unitId);
  }
}

}  // namespace

bool ParseRoutineList(const std::string& text, std::vector<std::string>* routines, std::string* error) {
  routines->clear();
  std::map<std::string, size_t> lineOf;
  size_t lineNumber = 0;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
    auto seen = lineOf.emplace(line, lineNumber);
    if (!seen.second) {
      *error = "routine '" + line + "' listed twice (lines " + std::to_string(seen.first->second) + " and " +
               std::to_string(lineNumber) + ")";
      routines->clear();
      return false;
    }
    routines->push_back(line);
  }
  return true;
}

bool LoadRoutineList(const std::string& path, std::vector<std::string>* routines, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes)) {
    *error = path + ": cannot read the routine list";
    return false;
  }
  if (!ParseRoutineList(std::string(bytes.begin(), bytes.end()), routines, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

bool CompileFormDescription(const std::string& jsonText, const std::string& displayName,
                            const std::string& baseDir, const std::vector<std::string>& routines,
                            FormTemplate* form, std::string* error) {
  std::map<std::string, int32_t> routineIndex;
  for (size_t i = 0; i < routines.size(); ++i) routineIndex.emplace(routines[i], int32_t(i));
  try {
    Json root = Json::parse(jsonText);
    JsonFields top(root, "", baseDir);
    if (!top.Has("windowId")) top.Fail("windowId", "is required");
    FormTemplate result;
    result.windowId = top.Id("windowId", 0);
    if (result.windowId == 0) top.Fail("windowId", "must not be 0");
    const Json* units = top.Value("units");
    if (!units || !units->is_array() || units->empty()) top.Fail("units", "must be a non-empty array");
    top.Finish();

    std::vector<SourceUnit> sources;
    for (size_t i = 0; i < units->size(); ++i) sources.push_back(ReadUnit((*units)[i], i, baseDir, routineIndex));
    LinkUnits(sources);
    for (SourceUnit& source : sources) result.units.push_back(std::move(source.unit));
    *form = std::move(result);
    return true;
  } catch (const UnitError& e) {
    *error = displayName + ": unit '" + e.unitName + "': " + e.what();
  } catch (const FormCompileError& e) {
    *error = displayName + ": " + e.what();
  } catch (const Json::exception& e) {
    *error = displayName + ": " + e.what();
  }
  return false;
}

bool CompileFormFiles(const std::vector<std::string>& paths, const std::vector<std::string>& routines,
                      std::vector<uint8_t>* blob, std::string* error) {
  std::vector<FormTemplate> forms;
  std::map<uint32_t, std::string> windowIds;
  for (const std::string& path : paths) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes)) {
      *error = path + ": cannot read the form description";
      return false;
    }
    size_t slash = path.find_last_of('/');
    std::string baseDir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    FormTemplate form;
    if (!CompileFormDescription(std::string(bytes.begin(), bytes.end()), path, baseDir, routines, &form, error)) {
      return false;
    }
    auto seen = windowIds.emplace(form.windowId, path);
    if (!seen.second) {
      *error = path + ": window id " + Hex(form.windowId) + " is also used by " + seen.first->second;
      return false;
    }
    forms.push_back(std::move(form));
  }
  if (!WriteForms(forms, blob)) {
    *error = "the forms cannot be serialized (a size beyond 32 bits)";
    return false;
  }
  std::vector<FormTemplate> check;
  FormReadError readError;
  if (!ReadForms(blob->data(), blob->size(), &check, &readError) || !(check == forms)) {
    *error = "internal error: the written form data does not read back: " + DescribeFormError(readError);
    blob->clear();
    return false;
  }
  return true;
}
