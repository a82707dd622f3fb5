// Form data: compiling a description, writing and reading the binary form
// data, rejecting malformed blobs, and the window's property record.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "frame/byte_cursor.h"
#include "frame/form_reader.h"
#include "frame/form_writer.h"
#include "frame/window_record.h"
#include "tools/form_compile_lib.h"
#include "tools/form_json_fields.h"

namespace {

// UTF-8 text of a u8 literal (char in C++17, char8_t in C++20).
template <typename C, size_t N>
std::string U8(const C (&s)[N]) {
  return std::string(reinterpret_cast<const char*>(s), N - 1);
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

uint32_t GetU32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/form_codec_test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::string full = path_ + "/" + name;
    FILE* f = std::fopen(full.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return full;
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

const std::vector<std::string> kRoutines = {"OnCreated", "OnClose", "OnInstall", "OnProgress"};

// ---------------------------------------------------------------------------
// Compile, write, read back.

TEST(FormCompiler, CompiledDescriptionReadsBackFieldByField) {
  TempDir dir;
  const std::vector<uint8_t> icon = Bytes("ICON-BYTES");
  dir.Write("icon.ico", icon);
  const std::string json = U8(u8R"({
    "windowId": "0x52010001",
    "units": [
      {"kind": "window", "left": 50, "top": 50, "width": 250, "height": 400,
       "events": {"Created": "OnCreated"},
       "props": {"borderStyle": 0, "backPictureMode": 1, "backColor": [117, 184, 238],
                 "maxButton": 0, "minButton": false, "controlButton": true, "startPosition": 1,
                 "shape": 3, "alwaysOnTop": 1, "title": "安装程序", "icon": "icon.ico"}},
      {"name": "透明标签4", "kind": "TransLabel", "id": "0x1601006F", "parent": "图片框_页",
       "left": -2, "top": 14, "width": 12, "height": 12, "mousePointer": "hand",
       "tag": "标记", "comment": "关闭", "events": {"LeftButtonUp": "OnClose", "-1": "OnInstall"}},
      {"name": "ZIP压缩1", "kind": "ZIP", "id": 369164378, "parent": "图形按钮1", "visible": false,
       "events": {"ExtractProgress": "OnProgress"}},
      {"name": "图形按钮1", "kind": "PicBtn", "id": "0x16010021", "parent": "图片框_页",
       "disabled": true, "tabstop": true, "mousePointer": 32512},
      {"name": "图片框_页", "kind": "PicBox", "id": "0x1601001C", "width": 250, "height": 400}
    ]})");
  FormTemplate compiled;
  std::string error;
  ASSERT_TRUE(CompileFormDescription(json, "f.json", dir.Path(), kRoutines, &compiled, &error)) << error;

  std::vector<uint8_t> blob;
  ASSERT_TRUE(WriteForms({compiled}, &blob));
  std::vector<FormTemplate> forms;
  FormReadError readError;
  ASSERT_TRUE(ReadForms(blob.data(), blob.size(), &forms, &readError)) << DescribeFormError(readError);
  ASSERT_EQ(forms.size(), 1u);
  const FormTemplate& form = forms[0];
  EXPECT_EQ(form.windowId, 0x52010001u);
  ASSERT_EQ(form.units.size(), 5u);
  const std::vector<uint8_t> hand = {0x89, 0x7F, 0, 0}, arrow = {0, 0, 0, 0}, appStarting = {0x00, 0x7F, 0, 0};

  const FormUnit& window = form.units[0];
  EXPECT_EQ(window.unitId, 0x06010000u);
  EXPECT_EQ(window.kind, uint32_t(kKindWindow));
  EXPECT_EQ(window.name, "");
  EXPECT_EQ(window.left, 50);
  EXPECT_EQ(window.height, 400);
  EXPECT_EQ(window.parentId, 0u);
  EXPECT_TRUE(window.children.empty());
  EXPECT_EQ(window.flags, kUnitVisible);
  EXPECT_EQ(window.cursorData, arrow);
  EXPECT_EQ(window.events, (std::vector<FormEvent>{{0, 0}}));

  const FormUnit& label = form.units[1];
  EXPECT_EQ(label.unitId, 0x1601006Fu);
  EXPECT_EQ(label.kind, uint32_t(kKindTransLabel));
  EXPECT_EQ(label.name, "透明标签4");  // GBK: narrow literals are compiled to GBK
  EXPECT_EQ(label.comment, "关闭");
  EXPECT_EQ(label.tag, "标记");
  EXPECT_EQ(label.left, -2);
  EXPECT_EQ(label.top, 14);
  EXPECT_EQ(label.width, 12);
  EXPECT_EQ(label.height, 12);
  EXPECT_EQ(label.parentId, 0x1601001Cu);
  EXPECT_EQ(label.cursorData, hand);
  EXPECT_EQ(label.flags, kUnitVisible);
  EXPECT_EQ(label.events, (std::vector<FormEvent>{{-2, 4}, {-1, 8}}));
  EXPECT_TRUE(label.props.empty());

  const FormUnit& zip = form.units[2];
  EXPECT_EQ(zip.unitId, 0x1601005Au);
  EXPECT_EQ(zip.parentId, 0x16010021u);
  EXPECT_EQ(zip.flags, 0u);
  EXPECT_EQ(zip.events, (std::vector<FormEvent>{{1, 12}}));
  EXPECT_TRUE(zip.props.empty());

  const FormUnit& button = form.units[3];
  EXPECT_EQ(button.kind, uint32_t(kKindPicBtn));
  EXPECT_EQ(button.flags, kUnitVisible | kUnitDisabled | kUnitTabStop);
  EXPECT_EQ(button.cursorData, appStarting);
  EXPECT_EQ(button.children, (std::vector<uint32_t>{0x1601005A}));

  const FormUnit& page = form.units[4];
  EXPECT_EQ(page.parentId, 0u);
  EXPECT_EQ(page.children, (std::vector<uint32_t>{0x1601006F, 0x16010021}));  // form order

  WindowRecord record;
  CursorFailure failure;
  ASSERT_TRUE(DecodeWindowRecord(window.props.data(), window.props.size(), &record, &failure))
      << CursorErrorText(failure.error) << " " << failure.field;
  EXPECT_EQ(record.version, 6u);
  EXPECT_EQ(record.borderStyle, 0);
  EXPECT_EQ(record.backPictureMode, 1);
  EXPECT_EQ(record.backColor, 0x00EEB875u);
  EXPECT_EQ(record.maxButton, 0);
  EXPECT_EQ(record.minButton, 0);
  EXPECT_EQ(record.controlButton, 1);
  EXPECT_EQ(record.startPosition, 1);
  EXPECT_EQ(record.shape, 3);
  EXPECT_EQ(record.alwaysOnTop, 1);
  EXPECT_EQ(record.showInTaskbar, 1);
  EXPECT_EQ(record.title, "安装程序");
  EXPECT_EQ(record.icon, icon);
  EXPECT_TRUE(record.backPicture.empty());

  // The tool's path gives the same bytes.
  std::string path = dir.Write("f.json", Bytes(json));
  std::vector<uint8_t> fromFiles;
  ASSERT_TRUE(CompileFormFiles({path}, kRoutines, &fromFiles, &error)) << error;
  EXPECT_EQ(fromFiles, blob);
}

// One line per bad description: the unit entry (or whole units list) and the
// message the compiler must give.
TEST(FormCompiler, RejectsBadDescriptions) {
  TempDir dir;
  const std::string window = R"({"kind": "window"})";
  const std::string box = R"({"name": "box", "kind": "PicBox", "id": "0x16010001"})";
  struct Case {
    std::string units;
    std::string message;
  };
  const Case cases[] = {
      {window + R"(, {"name": "a", "kind": "Label", "id": "0x16010002", "colour": 1})",
       "unit 'a': colour: unknown key"},
      {R"({"kind": "window", "props": {"icon": "missing.ico"}})", "unit '(window)': props.icon: cannot read file"},
      {R"({"kind": "window", "props": {"borderStyle": 7}})", "props.borderStyle: 7 is out of range 0..6"},
      {R"({"kind": "window", "props": {"backColor": [1, 2, 256]}})", "props.backColor: colour components"},
      {window + R"(, {"name": "a", "kind": "Label", "id": "0x16010002", "width": -1})", "width: -1 is out of range"},
      {window + ", " + box + R"(, {"name": "box", "kind": "Label", "id": "0x16010002"})", "unit 'box': name used twice"},
      {window + ", " + box + R"(, {"name": "b", "kind": "Label", "id": "0x16010001"})", "unit 'b': id 0x16010001 already used"},
      {window + R"(, {"name": "a", "kind": "Label", "id": "0x16010002", "parent": "nobody"})", "unknown parent 'nobody'"},
      {window + R"(, {"name": "a", "kind": "Label", "id": "0x16010002", "parent": "a"})", "cannot be its own parent"},
      {window + R"(, {"name": "a", "kind": "Label", "id": "0x16010002", "parent": "b"},
                   {"name": "b", "kind": "Label", "id": "0x16010003", "parent": "a"})", "parent chain loops"},
      {window + R"(, {"name": "a", "kind": "Label", "id": "0x16010002", "events": {"Clicked": "OnClose"}})",
       "events.Clicked: not an event of kind Label"},
      {window + R"(, {"name": "a", "kind": "PicBtn", "id": "0x16010002", "events": {"Clicked": "Nope"}})",
       "unknown routine 'Nope'"},
      {window + R"(, {"name": "a", "kind": "PicBtn", "id": "0x16010002", "events": {"Clicked": "OnClose", "0": "OnInstall"}})",
       "event 0 bound twice"},
      {window + R"(, {"name": "a", "kind": "Button", "id": "0x16010002"})", "kind: unknown kind 'Button'"},
      {window + R"(, {"name": "a", "kind": "Label", "id": "0x06010001"})", "is not a control id"},
      {window + R"(, {"name": "a", "kind": "Label"})", "id: is required"},
      {box, "the first unit must be the window"},
      {window + ", " + window, "only the first unit may be the window"},
      {window + R"(, {"name": "a", "kind": "PicBox", "id": "0x16010002", "props": {"picture": "x.jpg"}})",
       "props.picture: cannot read file"},
      {window + R"(, {"name": "a", "kind": "ZIP", "id": "0x16010002", "props": {"x": 1}})", "props.x: unknown key"},
      {R"({"kind": "window", "props": {"title": "\u0000"}})", "must not contain a NUL"},
      {R"({"kind": "window", "props": {"title": "\ud83d\ude00"}})", "cannot be converted to GBK"},
  };
  for (const Case& c : cases) {
    std::string json = R"({"windowId": 1, "units": [)" + c.units + "]}";
    FormTemplate form;
    std::string error;
    EXPECT_FALSE(CompileFormDescription(json, "f.json", dir.Path(), kRoutines, &form, &error)) << c.units;
    EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
    EXPECT_EQ(error.rfind("f.json: ", 0), 0u) << error;
  }
}

TEST(FormCompiler, RoutineListGivesTableIndexes) {
  std::vector<std::string> routines;
  std::string error;
  ASSERT_TRUE(ParseRoutineList("# handlers\r\nFirst\r\n\n  Second \nThird", &routines, &error));
  EXPECT_EQ(routines, (std::vector<std::string>{"First", "Second", "Third"}));
  EXPECT_FALSE(ParseRoutineList("A\nB\nA\n", &routines, &error));
  EXPECT_EQ(error, "routine 'A' listed twice (lines 1 and 3)");
}

TEST(FormCompiler, FontsAndColoursTakeTheirStoredLayout) {
  Json props = Json::parse(U8(u8R"({"font": {"height": -12, "weight": 700, "underline": true, "faceName": "宋体"},
                                   "color": "#75B8EE", "none": "none"})"));
  JsonFields fields(props, "props.", "");
  std::vector<uint8_t> font = fields.Font("font");
  ASSERT_EQ(font.size(), kLogFontSize);
  EXPECT_EQ(GetU32(font, 0), uint32_t(-12));  // lfHeight
  EXPECT_EQ(GetU32(font, 16), 700u);          // lfWeight
  EXPECT_EQ(font[20], 0);                     // lfItalic
  EXPECT_EQ(font[21], 1);                     // lfUnderline
  EXPECT_EQ(font[23], 134);                   // lfCharSet defaults to the GBK character set
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&font[28])), "宋体");
  EXPECT_EQ(font[59], 0);
  EXPECT_EQ(fields.Color("color", 0), 0x00EEB875u);
  EXPECT_EQ(fields.Color("none", 0), kDefaultColor);
  fields.Finish();

  Json longFace = Json::parse(R"({"font": {"faceName": "0123456789012345678901234567890123"}})");
  JsonFields bad(longFace, "props.", "");
  try {
    bad.Font("font");
    ADD_FAILURE() << "a 34-byte face name was accepted";
  } catch (const FormCompileError& e) {
    EXPECT_STREQ(e.what(), "props.font.faceName: is longer than 31 GBK bytes");
  }
}

// ---------------------------------------------------------------------------
// Malformed blobs.

// A valid form: the window, a label on a box, the box (listed after its child).
std::vector<FormTemplate> SampleForms() {
  FormTemplate form;
  form.windowId = 0x52010001;
  FormUnit window;
  window.unitId = kWindowSelfUnit;
  window.kind = kKindWindow;
  window.flags = kUnitVisible;
  window.cursorData = {0, 0, 0, 0};
  window.events = {{0, 0}};
  window.props = {6, 0, 0, 0};
  FormUnit label;
  label.unitId = 0x16010002;
  label.kind = kKindLabel;
  label.name = "label";
  label.left = 0x11223344;  // a marker to find the record's fields by
  label.parentId = 0x16010001;
  label.cursorData = {0x89, 0x7F, 0, 0};
  label.events = {{-2, 4}};
  FormUnit box;
  box.unitId = 0x16010001;
  box.kind = kKindPicBox;
  box.name = "ABCDEFGH";
  box.left = 0x55667788;
  box.children = {0x16010002};
  box.cursorData = {0, 0, 0, 0};
  box.events = {{-1, 8}};
  form.units = {window, label, box};
  return {form};
}

size_t FindMarker(const std::vector<uint8_t>& blob, uint32_t marker) {
  for (size_t i = 0; i + 4 <= blob.size(); ++i) {
    if (GetU32(blob, i) == marker) return i;
  }
  ADD_FAILURE() << "marker not found";
  return 0;
}

// Offsets after the box's Left field (the last record): Top, Width, Height,
// reserved, parent, child count, child id, cursor length, cursor data, tag NUL,
// reserved, flags, reserved, event count.
constexpr size_t kToChildCount = 24, kToCursorLength = 32, kToEventCount = 53;

constexpr size_t kFirstRecord = 12 + 8 + 3 * 8;
size_t RecordOffset(const std::vector<uint8_t>& blob, int unit) { return GetU32(blob, 12 + 8 + unit * 8 + 4); }

// Ends the last record (the box) after `keep` bytes of its body.
void CutLastRecord(std::vector<uint8_t>& blob, size_t keep) {
  size_t at = RecordOffset(blob, 2);
  PutU32(blob, at, uint32_t(keep));
  blob.resize(at + 4 + keep);
}

TEST(FormReader, RejectsMalformedBlobs) {
  using Forms = std::vector<FormTemplate>;
  using Blob = std::vector<uint8_t>;
  const uint32_t kBoxLeft = 0x55667788;
  struct Case {
    const char* what;
    std::function<void(Forms&)> editForms;
    std::function<void(Blob&)> editBytes;
    FormError expected;
  };
  const Case cases[] = {
      {"empty blob", nullptr, [](Blob& b) { b.clear(); }, FormError::kTruncated},
      {"bad magic", nullptr, [](Blob& b) { b[0] ^= 1; }, FormError::kBadMagic},
      {"format version 2", nullptr, [](Blob& b) { PutU32(b, 4, 2); }, FormError::kUnsupportedVersion},
      {"form count beyond the blob", nullptr, [](Blob& b) { PutU32(b, 8, 0x10000000); }, FormError::kLengthPastEnd},
      {"unit count beyond the blob", nullptr, [](Blob& b) { PutU32(b, 16, 0x01000000); }, FormError::kLengthPastEnd},
      {"form without units", nullptr, [](Blob& b) { PutU32(b, 16, 0); }, FormError::kEmptyForm},
      {"first record offset off by one", nullptr, [](Blob& b) { PutU32(b, 24, kFirstRecord + 1); }, FormError::kBadOffset},
      {"second record offset points back", nullptr, [](Blob& b) { PutU32(b, 32, kFirstRecord); }, FormError::kBadOffset},
      {"record length past the blob", nullptr, [](Blob& b) { PutU32(b, RecordOffset(b, 2), uint32_t(b.size())); },
       FormError::kLengthPastEnd},
      {"trailing byte", nullptr, [](Blob& b) { b.push_back(0); }, FormError::kBadOffset},
      {"record ends inside the kind", nullptr, [](Blob& b) { CutLastRecord(b, 2); }, FormError::kTruncated},
      {"name without its NUL", nullptr, [](Blob& b) { CutLastRecord(b, 4 + 20 + 5); }, FormError::kNoTerminator},
      {"record ends inside Left", nullptr, [](Blob& b) { CutLastRecord(b, 4 + 20 + 9 + 1 + 4 + 2); },
       FormError::kTruncated},
      {"child count larger than what is left", nullptr,
       [&](Blob& b) { PutU32(b, FindMarker(b, kBoxLeft) + kToChildCount, 1000); }, FormError::kLengthPastEnd},
      {"cursor length larger than what is left", nullptr,
       [&](Blob& b) { PutU32(b, FindMarker(b, kBoxLeft) + kToCursorLength, 0xFFFFFFF0); }, FormError::kLengthPastEnd},
      {"event count larger than what is left", nullptr,
       [&](Blob& b) { PutU32(b, FindMarker(b, kBoxLeft) + kToEventCount, 100); }, FormError::kLengthPastEnd},
      {"reserved head not zero", nullptr, [](Blob& b) { b[RecordOffset(b, 1) + 8 + 7] = 1; }, FormError::kReservedNotZero},
      {"reserved after height not zero", nullptr, [&](Blob& b) { b[FindMarker(b, kBoxLeft) + 16] = 1; },
       FormError::kReservedNotZero},
      {"unknown kind", [](Forms& f) { f[0].units[1].kind = 0x00010099; }, nullptr, FormError::kUnknownKind},
      {"unknown state flag", [](Forms& f) { f[0].units[1].flags = 8; }, nullptr, FormError::kBadFlags},
      {"event bound twice", [](Forms& f) { f[0].units[1].events.push_back({-2, 0}); }, nullptr,
       FormError::kDuplicateEvent},
      {"handler offset not a slot", [](Forms& f) { f[0].units[1].events[0].handlerOffset = 6; }, nullptr,
       FormError::kBadHandlerOffset},
      {"negative handler offset", [](Forms& f) { f[0].units[1].events[0].handlerOffset = -8; }, nullptr,
       FormError::kBadHandlerOffset},
      {"duplicate window id", [](Forms& f) { f.push_back(f[0]); }, nullptr, FormError::kDuplicateWindowId},
      {"window not first", [](Forms& f) { std::swap(f[0].units[0], f[0].units[2]); }, nullptr,
       FormError::kBadWindowUnit},
      {"second window unit", [](Forms& f) { f[0].units[1].kind = kKindWindow; }, nullptr, FormError::kBadWindowUnit},
      {"window unit id wrong", [](Forms& f) { f[0].units[0].unitId = 0x06010001; }, nullptr,
       FormError::kBadWindowUnit},
      {"control id out of range", [](Forms& f) { f[0].units[1].unitId = 0x26010002; }, nullptr, FormError::kBadUnitId},
      {"duplicate unit id", [](Forms& f) { f[0].units[1].unitId = 0x16010001; }, nullptr, FormError::kDuplicateUnitId},
      {"parent does not exist", [](Forms& f) { f[0].units[1].parentId = 0x16010009; }, nullptr,
       FormError::kUnknownParent},
      {"parent spelt as the window's id", [](Forms& f) { f[0].units[1].parentId = kWindowSelfUnit; }, nullptr,
       FormError::kUnknownParent},
      {"window with a parent", [](Forms& f) { f[0].units[0].parentId = 0x16010001; }, nullptr,
       FormError::kUnknownParent},
      {"parents form a loop",
       [](Forms& f) {
         f[0].units[2].parentId = 0x16010002;
         f[0].units[1].children = {0x16010001};
       },
       nullptr, FormError::kParentCycle},
      {"child missing from the list", [](Forms& f) { f[0].units[2].children.clear(); }, nullptr,
       FormError::kChildListMismatch},
      {"window lists children", [](Forms& f) { f[0].units[0].children = {0x16010001}; }, nullptr,
       FormError::kChildListMismatch},
  };

  std::vector<uint8_t> valid;
  ASSERT_TRUE(WriteForms(SampleForms(), &valid));
  std::vector<FormTemplate> forms;
  ASSERT_TRUE(ReadForms(valid.data(), valid.size(), &forms, nullptr));
  EXPECT_EQ(forms, SampleForms());

  for (const Case& c : cases) {
    Forms edited = SampleForms();
    if (c.editForms) c.editForms(edited);
    std::vector<uint8_t> blob;
    ASSERT_TRUE(WriteForms(edited, &blob)) << c.what;
    if (c.editBytes) c.editBytes(blob);
    FormReadError error;
    forms = SampleForms();
    EXPECT_FALSE(ReadForms(blob.data(), blob.size(), &forms, &error)) << c.what;
    EXPECT_EQ(error.code, c.expected) << c.what << ": " << DescribeFormError(error);
    EXPECT_TRUE(forms.empty()) << c.what;
  }
}

TEST(FormReader, ErrorNamesUnitFieldAndOffset) {
  std::vector<uint8_t> blob;
  ASSERT_TRUE(WriteForms(SampleForms(), &blob));
  CutLastRecord(blob, 4 + 20 + 5);
  std::vector<FormTemplate> forms;
  FormReadError error;
  ASSERT_FALSE(ReadForms(blob.data(), blob.size(), &forms, &error));
  EXPECT_EQ(error.form, 0);
  EXPECT_EQ(error.unit, 2);
  EXPECT_STREQ(error.field, "name");
  EXPECT_EQ(error.offset, RecordOffset(blob, 2) + 4 + 4 + 20);
  EXPECT_EQ(DescribeFormError(error), "text without terminating NUL (form 0, unit 2) in field 'name' at offset " +
                                          std::to_string(error.offset));
}

TEST(FormWriter, RefusesTextsWithNul) {
  std::vector<FormTemplate> forms = SampleForms();
  forms[0].units[1].tag = std::string("a\0b", 3);
  std::vector<uint8_t> blob = {1};
  EXPECT_FALSE(WriteForms(forms, &blob));
  EXPECT_TRUE(blob.empty());
}

TEST(FormLookup, FindsFormsAndUnits) {
  std::vector<FormTemplate> forms = SampleForms();
  ASSERT_NE(FindForm(forms, 0x52010001), nullptr);
  EXPECT_EQ(FindForm(forms, 0x52010002), nullptr);
  const FormUnit* box = FindUnit(forms[0], 0x16010001);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->name, "ABCDEFGH");
  EXPECT_EQ(FindUnit(forms[0], 0x16010003), nullptr);
}

// ---------------------------------------------------------------------------
// Window property record.

WindowRecord DistinctWindowRecord() {
  WindowRecord r;
  r.borderStyle = 1;
  r.backPictureMode = 2;
  r.backColor = 0x00030303;
  r.maxButton = 4;
  r.minButton = 5;
  r.controlButton = 6;
  r.startPosition = 7;
  r.movable = 8;
  r.musicPlayCount = 9;
  r.extraFlags[0] = 10;
  r.extraFlags[1] = 11;
  r.extraFlags[2] = 12;
  r.helpNumber = 13;
  r.showInTaskbar = 14;
  r.dragAnywhere = 15;
  r.shape = 16;
  r.alwaysOnTop = 17;
  r.keepTitleActive = 18;
  r.className = "cls";
  r.backPicture = {1, 2};
  r.icon = {3};
  r.music = {4, 5, 6};
  r.title = "安装程序";
  r.helpFile = "h";
  return r;
}

TEST(WindowRecord, StoresFieldsInRecordOrder) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeWindowRecord(DistinctWindowRecord(), &bytes));
  // version, then border style, picture mode, BackColor, max, min, control,
  // StartPosition, movable, music count, flags 21-23, help number, taskbar,
  // drag, shape, on top, keep title active: each a word, values 1..18 above.
  EXPECT_EQ(GetU32(bytes, 0), 6u);
  for (uint32_t field = 1; field <= 18; ++field) EXPECT_EQ(GetU32(bytes, 4 * field) & 0xFF, field) << field;
  std::vector<uint8_t> tail(bytes.begin() + 76, bytes.end());
  std::vector<uint8_t> expected = {3, 0, 0, 0, 'c', 'l', 's', 2, 0, 0, 0, 1, 2, 1, 0, 0, 0, 3, 3, 0, 0, 0, 4, 5, 6,
                                   8, 0, 0, 0};
  const std::string title = "安装程序";
  expected.insert(expected.end(), title.begin(), title.end());
  expected.insert(expected.end(), {1, 0, 0, 0, 'h'});
  EXPECT_EQ(tail, expected);
}

TEST(WindowRecord, EveryVersionRoundTrips) {
  for (uint32_t version = 1; version <= 6; ++version) {
    WindowRecord written = DistinctWindowRecord();
    written.version = version;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeWindowRecord(written, &bytes));
    WindowRecord read;
    ASSERT_TRUE(DecodeWindowRecord(bytes.data(), bytes.size(), &read, nullptr)) << version;
    // Fields newer than the version are not stored and read as defaults.
    WindowRecord defaults;
    if (version < 2) written.showInTaskbar = defaults.showInTaskbar;
    if (version < 3) written.dragAnywhere = defaults.dragAnywhere, written.shape = defaults.shape;
    if (version < 4) written.alwaysOnTop = defaults.alwaysOnTop;
    if (version < 5) written.keepTitleActive = defaults.keepTitleActive;
    if (version < 6) written.className = defaults.className;
    EXPECT_EQ(read, written) << version;
  }
}

TEST(WindowRecord, VersionOneGivesDefaultsForLaterFields) {
  WindowRecord v1 = DistinctWindowRecord();
  v1.version = 1;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeWindowRecord(v1, &bytes));
  WindowRecord read;
  ASSERT_TRUE(DecodeWindowRecord(bytes.data(), bytes.size(), &read, nullptr));
  EXPECT_EQ(read.showInTaskbar, 1);
  EXPECT_EQ(read.dragAnywhere, 0);
  EXPECT_EQ(read.shape, 0);
  EXPECT_EQ(read.alwaysOnTop, 0);
  EXPECT_EQ(read.keepTitleActive, 0);
  EXPECT_EQ(read.className, "");
  EXPECT_EQ(read.title, "安装程序");
  EXPECT_EQ(read.helpNumber, 13);
}

TEST(WindowRecord, RejectsBadRecords) {
  std::vector<uint8_t> good;
  ASSERT_TRUE(EncodeWindowRecord(DistinctWindowRecord(), &good));
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> edit;
    CursorError expected;
    const char* field;
  };
  const Case cases[] = {
      {"version 7", [](std::vector<uint8_t>& b) { PutU32(b, 0, 7); }, CursorError::kVersionTooNew, "version"},
      {"version 0", [](std::vector<uint8_t>& b) { PutU32(b, 0, 0); }, CursorError::kBadVersion, "version"},
      {"empty record", [](std::vector<uint8_t>& b) { b.clear(); }, CursorError::kEndOfData, "version"},
      {"trailing byte", [](std::vector<uint8_t>& b) { b.push_back(0); }, CursorError::kTrailingBytes, "end of record"},
      {"class name longer than the record", [](std::vector<uint8_t>& b) { PutU32(b, 76, 0x7FFFFFFF); },
       CursorError::kLengthPastEnd, "class name"},
      {"ends inside the help file name", [](std::vector<uint8_t>& b) { b.pop_back(); }, CursorError::kLengthPastEnd,
       "help file name"},
      {"ends inside BackColor", [](std::vector<uint8_t>& b) { b.resize(14); }, CursorError::kEndOfData, "BackColor"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    c.edit(bytes);
    WindowRecord read;
    read.title = "unchanged";
    CursorFailure failure;
    EXPECT_FALSE(DecodeWindowRecord(bytes.data(), bytes.size(), &read, &failure)) << c.what;
    EXPECT_EQ(failure.error, c.expected) << c.what;
    EXPECT_STREQ(failure.field, c.field) << c.what;
    EXPECT_EQ(read.title, "unchanged") << c.what;
  }
  // Every shorter prefix of a valid record fails cleanly.
  for (size_t size = 0; size < good.size(); ++size) {
    WindowRecord read;
    EXPECT_FALSE(DecodeWindowRecord(good.data(), size, &read, nullptr)) << size;
  }
  WindowRecord v7 = DistinctWindowRecord();
  v7.version = 7;
  EXPECT_FALSE(EncodeWindowRecord(v7, &good));
}

TEST(ByteCursor, KeepsTheFirstFailure) {
  const uint8_t data[] = {1, 0, 0, 0, 'a', 'b'};
  ByteCursor cursor(data, sizeof data, 100);
  uint32_t value = 0;
  std::string text = "kept";
  EXPECT_TRUE(cursor.ReadU32(&value, "first"));
  EXPECT_EQ(value, 1u);
  EXPECT_FALSE(cursor.ReadCString(&text, "name"));
  EXPECT_EQ(text, "kept");
  uint8_t byte = 0;
  EXPECT_FALSE(cursor.ReadU8(&byte, "later"));  // sticky, although a byte is left
  EXPECT_EQ(cursor.Failure().error, CursorError::kNoTerminator);
  EXPECT_STREQ(cursor.Failure().field, "name");
  EXPECT_EQ(cursor.Failure().offset, 104u);
}

}  // namespace
