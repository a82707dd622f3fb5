// The form compiler's encoders of the two label kinds: description keys to
// stored records, and the values they refuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/form_json_fields.h"
#include "tools/form_kinds.h"
#include "ui/label_record.h"
#include "ui/trans_label_record.h"

namespace {

LabelRecord CompileLabel(const char* json) {
  Json props = Json::parse(json);
  JsonFields fields(props, "props.", ".");
  std::vector<uint8_t> bytes;
  FindFormKind("Label")->encoder(fields, &bytes);
  fields.Finish();
  LabelRecord r;
  EXPECT_TRUE(DecodeLabelRecord(bytes.data(), bytes.size(), &r, nullptr));
  return r;
}

TransLabelRecord CompileTransLabel(const char* json) {
  Json props = Json::parse(json);
  JsonFields fields(props, "props.", ".");
  std::vector<uint8_t> bytes;
  FindFormKind("TransLabel")->encoder(fields, &bytes);
  fields.Finish();
  TransLabelRecord r;
  EXPECT_TRUE(DecodeTransLabelRecord(bytes.data(), bytes.size(), &r, nullptr));
  return r;
}

std::string CompileError(const char* kind, const char* json) {
  Json props = Json::parse(json);
  try {
    JsonFields fields(props, "props.", ".");
    std::vector<uint8_t> bytes;
    FindFormKind(kind)->encoder(fields, &bytes);
    fields.Finish();
  } catch (const FormCompileError& e) {
    return e.what();
  }
  return "<no error>";
}

TEST(LabelProps, EveryKeyLandsInItsField) {
  LabelRecord r = CompileLabel(u8R"({
    "caption": "安装目录：", "effect": 2, "borderStyle": 6, "gradientBorderWidth": 9,
    "gradientBorderColor1": "#102030", "gradientBorderColor2": "default", "gradientBorderColor3": [1, 2, 3],
    "font": {"height": -12, "weight": 400, "underline": true}, "textColor": "#FFFFFF",
    "backColor": [22, 131, 196], "backPictureMode": 0, "gradientBackMode": 4,
    "gradientBackColor1": "#000001", "gradientBackColor2": "#000002", "gradientBackColor3": "none",
    "hAlign": 1, "wordWrap": true, "vAlign": 2, "dataSource": "源", "dataColumn": "列"})");
  EXPECT_EQ(r.version, 2u);
  EXPECT_EQ(r.caption, "\xB0\xB2\xD7\xB0\xC4\xBF\xC2\xBC\xA3\xBA");
  EXPECT_EQ(r.effect, 2);
  EXPECT_EQ(r.borderStyle, 6);
  EXPECT_EQ(r.gradientBorderWidth, 9);
  EXPECT_EQ(r.gradientBorderColors[0], 0x302010u);
  EXPECT_EQ(r.gradientBorderColors[1], kDefaultColor);
  EXPECT_EQ(r.gradientBorderColors[2], 0x030201u);
  ASSERT_EQ(r.font.size(), kLogFontSize);
  EXPECT_EQ(r.font[0], 0xF4);  // height -12
  EXPECT_EQ(r.font[21], 1);    // underline
  EXPECT_EQ(r.textColor, 0xFFFFFFu);
  EXPECT_EQ(r.backColor, ColorFromRgb(22, 131, 196));
  EXPECT_EQ(r.backPictureMode, 0);
  EXPECT_EQ(r.gradientBackMode, 4);
  EXPECT_EQ(r.gradientBackColors[0], 0x010000u);
  EXPECT_EQ(r.gradientBackColors[1], 0x020000u);
  EXPECT_EQ(r.gradientBackColors[2], kDefaultColor);
  EXPECT_EQ(r.hAlign, 1);
  EXPECT_EQ(r.wordWrap, 1);
  EXPECT_EQ(r.vAlign, 2);
  EXPECT_EQ(r.dataSource, "\xD4\xB4");
  EXPECT_EQ(r.dataColumn, "\xC1\xD0");

  // No keys: the defaults.
  EXPECT_TRUE(CompileLabel("{}") == LabelRecord());
  EXPECT_TRUE(CompileTransLabel("{}") == TransLabelRecord());

  TransLabelRecord t = CompileTransLabel(u8R"({"caption": "×", "effect": 3, "textColor": "#FFFF00",
      "font": {"height": -12, "weight": 700}, "hAlign": 2, "wordWrap": 1, "vAlign": 0})");
  EXPECT_EQ(t.caption, "\xA1\xC1");
  EXPECT_EQ(t.effect, 3);
  EXPECT_EQ(t.textColor, 0x00FFFFu);
  ASSERT_EQ(t.font.size(), kLogFontSize);
  EXPECT_EQ(t.font[16], 700 & 0xFF);
  EXPECT_EQ(t.hAlign, 2);
  EXPECT_EQ(t.wordWrap, 1);
  EXPECT_EQ(t.vAlign, 0);
}

TEST(LabelProps, VersionOneLabelHasNoDataBinding) {
  LabelRecord r = CompileLabel(R"({"version": 1, "caption": "a"})");
  EXPECT_EQ(r.version, 1u);
  EXPECT_EQ(r.caption, "a");
  EXPECT_NE(CompileError("Label", R"({"version": 1, "dataColumn": "x"})").find("props.dataColumn"),
            std::string::npos);
}

TEST(LabelProps, RefusesValuesOutsideTheirRanges) {
  const struct {
    const char* kind;
    const char* json;
    const char* key;
  } cases[] = {
      {"Label", R"({"effect": 4})", "props.effect"},
      {"Label", R"({"borderStyle": 7})", "props.borderStyle"},
      {"Label", R"({"gradientBorderWidth": 4})", "props.gradientBorderWidth"},
      {"Label", R"({"backPictureMode": 3})", "props.backPictureMode"},
      {"Label", R"({"gradientBackMode": 9})", "props.gradientBackMode"},
      {"Label", R"({"vAlign": -1})", "props.vAlign"},
      {"Label", R"({"version": 3})", "props.version"},
      {"Label", R"({"wordWrap": 2})", "props.wordWrap"},
      {"TransLabel", R"({"hAlign": 3})", "props.hAlign"},
      {"TransLabel", R"({"backColor": "#000000"})", "props.backColor"},  // not a key of this kind
  };
  for (const auto& c : cases) {
    std::string error = CompileError(c.kind, c.json);
    EXPECT_EQ(error.rfind(c.key, 0), 0u) << c.json << " gave " << error;
  }
}

}  // namespace
