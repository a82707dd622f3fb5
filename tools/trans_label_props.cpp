// Encoder of the transparent label's property record from a form
// description. A unit without props keeps an empty record, which the
// transparent label reads as its defaults.
#include "tools/form_kinds.h"
#include "ui/trans_label_record.h"

void EncodeTransLabelProps(JsonFields& p, std::vector<uint8_t>* record) {
  record->clear();
  const char* const kKeys[] = {"caption", "effect", "font", "textColor", "hAlign", "wordWrap", "vAlign"};
  bool any = false;
  for (const char* key : kKeys) any = any || p.Has(key);
  if (!any) return;
  TransLabelRecord r;  // keys that are absent keep TransLabelRecord's defaults
  r.caption = p.Text("caption", r.caption);
  r.effect = p.Int("effect", r.effect, 0, kMaxTextEffect);
  r.font = p.Font("font");
  r.textColor = p.Color("textColor", r.textColor);
  r.hAlign = p.Int("hAlign", r.hAlign, 0, kMaxHAlign);
  r.wordWrap = p.Flag("wordWrap", r.wordWrap != 0);
  r.vAlign = p.Int("vAlign", r.vAlign, 0, kMaxVAlign);
  if (!EncodeTransLabelRecord(r, record))
    throw FormCompileError("props: transparent label record cannot be encoded");
}
