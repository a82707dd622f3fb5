// Encoder of the picture box's property record from a form description. A
// unit without props keeps an empty record, which the picture box reads as
// its defaults.
#include "tools/form_kinds.h"
#include "ui/pic_box_record.h"

void EncodePicBoxProps(JsonFields& p, std::vector<uint8_t>* record) {
  record->clear();
  const char* const kKeys[] = {"borderStyle", "backColor",  "picture",   "displayMode",
                               "playAnimation", "dataSource", "dataColumn"};
  bool any = false;
  for (const char* key : kKeys) any = any || p.Has(key);
  if (!any) return;
  PicBoxRecord r;  // keys that are absent keep the defaults
  r.borderStyle = p.Int("borderStyle", r.borderStyle, 0, kMaxWidgetBorderStyle);
  r.backColor = p.Color("backColor", r.backColor);
  r.picture = p.File("picture");
  r.displayMode = p.Int("displayMode", r.displayMode, 0, kMaxDisplayMode);
  r.playAnimation = p.Flag("playAnimation", r.playAnimation != 0);
  r.dataSource = p.Text("dataSource", r.dataSource);
  r.dataColumn = p.Text("dataColumn", r.dataColumn);
  if (!EncodePicBoxRecord(r, record)) throw FormCompileError("props: picture box record cannot be encoded");
}
