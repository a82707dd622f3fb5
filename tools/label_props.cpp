// Encoder of the label's property record from a form description. A unit
// without props keeps an empty record, which the label reads as its defaults.
#include "tools/form_kinds.h"
#include "ui/label_record.h"

void EncodeLabelProps(JsonFields& p, std::vector<uint8_t>* record) {
  record->clear();
  const char* const kKeys[] = {
      "version", "caption", "effect", "borderStyle", "gradientBorderWidth", "gradientBorderColor1",
      "gradientBorderColor2", "gradientBorderColor3", "font", "textColor", "backColor", "backPicture",
      "backPictureMode", "gradientBackMode", "gradientBackColor1", "gradientBackColor2", "gradientBackColor3",
      "hAlign", "wordWrap", "vAlign", "dataSource", "dataColumn"};
  bool any = false;
  for (const char* key : kKeys) any = any || p.Has(key);
  if (!any) return;
  LabelRecord r;  // keys that are absent keep LabelRecord's defaults
  r.version = static_cast<uint32_t>(p.Int("version", static_cast<int32_t>(r.version), 1, kLabelRecordVersion));
  r.caption = p.Text("caption", r.caption);
  r.effect = p.Int("effect", r.effect, 0, kMaxTextEffect);
  r.borderStyle = p.Int("borderStyle", r.borderStyle, 0, kMaxLabelBorderStyle);
  r.gradientBorderWidth = p.Int("gradientBorderWidth", r.gradientBorderWidth, kMinGradientBorderWidth, INT32_MAX);
  r.gradientBorderColors[0] = p.Color("gradientBorderColor1", r.gradientBorderColors[0]);
  r.gradientBorderColors[1] = p.Color("gradientBorderColor2", r.gradientBorderColors[1]);
  r.gradientBorderColors[2] = p.Color("gradientBorderColor3", r.gradientBorderColors[2]);
  r.font = p.Font("font");
  r.textColor = p.Color("textColor", r.textColor);
  r.backColor = p.Color("backColor", r.backColor);
  r.backPicture = p.File("backPicture");
  r.backPictureMode = p.Int("backPictureMode", r.backPictureMode, 0, kMaxLabelBackPictureMode);
  r.gradientBackMode = p.Int("gradientBackMode", r.gradientBackMode, 0, kMaxGradientBackMode);
  r.gradientBackColors[0] = p.Color("gradientBackColor1", r.gradientBackColors[0]);
  r.gradientBackColors[1] = p.Color("gradientBackColor2", r.gradientBackColors[1]);
  r.gradientBackColors[2] = p.Color("gradientBackColor3", r.gradientBackColors[2]);
  r.hAlign = p.Int("hAlign", r.hAlign, 0, kMaxHAlign);
  r.wordWrap = p.Flag("wordWrap", r.wordWrap != 0);
  r.vAlign = p.Int("vAlign", r.vAlign, 0, kMaxVAlign);
  r.dataSource = p.Text("dataSource", r.dataSource);
  r.dataColumn = p.Text("dataColumn", r.dataColumn);
  // A version-1 record has no room for the data binding.
  if (r.version < 2 && !r.dataSource.empty()) p.Fail("dataSource", "needs version 2");
  if (r.version < 2 && !r.dataColumn.empty()) p.Fail("dataColumn", "needs version 2");
  if (!EncodeLabelRecord(r, record)) throw FormCompileError("props: label record cannot be encoded");
}
