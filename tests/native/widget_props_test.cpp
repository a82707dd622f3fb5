// The form compiler's encoders of the picture box, progress bar, timer and
// picture button: empty props keep an empty record, given keys land in the
// stored record, bad values are refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/form_compile_lib.h"
#include "ui/pic_box_record.h"
#include "ui/pic_btn_record.h"
#include "ui/process_bar_record.h"
#include "ui/timer_record.h"

namespace {

class PropsDir {
 public:
  PropsDir() {
    char pattern[] = "/tmp/widget_props_test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~PropsDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    FILE* f = std::fopen((path_ + "/" + name).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Compiles a window plus the given control units; *error on failure.
bool Compile(const PropsDir& dir, const std::string& units, FormTemplate* form, std::string* error) {
  std::string json = R"({"windowId": 1, "units": [{"kind": "window"}, )" + units + "]}";
  return CompileFormDescription(json, "w.json", dir.Path(), {"OnTick"}, form, error);
}

TEST(WidgetProps, EmptyPropsKeepAnEmptyRecord) {
  PropsDir dir;
  FormTemplate form;
  std::string error;
  ASSERT_TRUE(Compile(dir, R"({"name": "a", "kind": "PicBox", "id": "0x16010001"},
      {"name": "b", "kind": "ProcessBar", "id": "0x16010002", "props": {}},
      {"name": "c", "kind": "Timer", "id": "0x16010003", "props": {}, "events": {"Tick": "OnTick"}},
      {"name": "d", "kind": "PicBtn", "id": "0x16010004"})", &form, &error)) << error;
  ASSERT_EQ(form.units.size(), 5u);
  for (size_t i = 1; i < 5; ++i) EXPECT_TRUE(form.units[i].props.empty()) << i;
  EXPECT_EQ(form.units[3].events, (std::vector<FormEvent>{{0, 0}}));
}

TEST(WidgetProps, KeysLandInTheStoredRecords) {
  PropsDir dir;
  const std::vector<uint8_t> logo = {'B', 'M', 'x', 'y'}, hover = {0xFF, 0xD8, 1};
  dir.Write("logo.bmp", logo);
  dir.Write("hover.jpg", hover);
  FormTemplate form;
  std::string error;
  ASSERT_TRUE(Compile(dir, R"({"name": "a", "kind": "PicBox", "id": "0x16010001",
        "props": {"borderStyle": 5, "backColor": [22, 131, 196], "picture": "logo.bmp", "displayMode": 1,
                  "playAnimation": false}},
      {"name": "b", "kind": "ProcessBar", "id": "0x16010002",
        "props": {"smooth": true, "vertical": 0, "minimum": 5, "maximum": 32767, "position": 7}},
      {"name": "c", "kind": "Timer", "id": "0x16010003", "props": {"interval": 0}},
      {"name": "d", "kind": "PicBtn", "id": "0x16010004",
        "props": {"buttonKind": 1, "checked": true, "transparentColor": "#FF00FF",
                  "normalPicture": "logo.bmp", "hoverPicture": "hover.jpg"}})", &form, &error)) << error;

  PicBoxRecord box;
  const std::vector<uint8_t>& a = form.units[1].props;
  ASSERT_TRUE(DecodePicBoxRecord(a.data(), a.size(), &box, nullptr));
  EXPECT_EQ(box.version, kPicBoxRecordVersion);
  EXPECT_EQ(box.borderStyle, 5);
  EXPECT_EQ(box.backColor, 0x00C48316u);
  EXPECT_EQ(box.picture, logo);
  EXPECT_EQ(box.displayMode, 1);
  EXPECT_EQ(box.playAnimation, 0);

  ProcessBarRecord bar;
  const std::vector<uint8_t>& b = form.units[2].props;
  ASSERT_TRUE(DecodeProcessBarRecord(b.data(), b.size(), &bar, nullptr));
  EXPECT_EQ(bar, (ProcessBarRecord{3, 0, 1, 5, 32767, 7}));

  // An explicit interval writes the version-1 record, even for 0.
  const std::vector<uint8_t>& c = form.units[3].props;
  EXPECT_EQ(c, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));

  PicBtnRecord button;
  const std::vector<uint8_t>& d = form.units[4].props;
  ASSERT_TRUE(DecodePicBtnRecord(d.data(), d.size(), &button, nullptr));
  EXPECT_EQ(button.buttonKind, kToggleButton);
  EXPECT_EQ(button.checked, 1);
  EXPECT_EQ(button.transparentColor, 0x00FF00FFu);
  EXPECT_EQ(button.pictures[kNormalSlot], logo);
  EXPECT_EQ(button.pictures[kHoverSlot], hover);
  EXPECT_TRUE(button.pictures[kPressedSlot].empty());
}

TEST(WidgetProps, RefusesBadValues) {
  PropsDir dir;
  struct Case {
    std::string unit;
    std::string message;
  };
  const Case cases[] = {
      {R"({"kind": "PicBox", "props": {"borderStyle": 6}})", "props.borderStyle: 6 is out of range 0..5"},
      {R"({"kind": "PicBox", "props": {"displayMode": 3}})", "props.displayMode: 3 is out of range 0..2"},
      {R"({"kind": "PicBox", "props": {"picture": "none.jpg"}})", "props.picture: cannot read file"},
      {R"({"kind": "PicBox", "props": {"stretch": 1}})", "props.stretch: unknown key"},
      {R"({"kind": "ProcessBar", "props": {"maximum": 32768}})", "props.maximum: 32768 is out of range 0..32767"},
      {R"({"kind": "ProcessBar", "props": {"smooth": 2}})", "props.smooth: must be true, false, 0 or 1"},
      {R"({"kind": "Timer", "props": {"interval": -1}})", "props.interval: -1 is out of range"},
      {R"({"kind": "PicBtn", "props": {"buttonKind": 2}})", "props.buttonKind: 2 is out of range 0..1"},
      {R"({"kind": "PicBtn", "props": {"checked": true, "pressed": "x.jpg"}})", "props.pressed: unknown key"},
  };
  for (const Case& c : cases) {
    std::string unit = c.unit;
    unit.insert(1, R"("name": "u", "id": "0x16010009", )");
    FormTemplate form;
    std::string error;
    EXPECT_FALSE(Compile(dir, unit, &form, &error)) << c.unit;
    EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
  }
}

}  // namespace
