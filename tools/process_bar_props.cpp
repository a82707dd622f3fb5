// Encoder of the progress bar's property record from a form description. A
// unit without props keeps an empty record, which the progress bar reads as
// its defaults.
#include "tools/form_kinds.h"
#include "ui/process_bar_record.h"

void EncodeProcessBarProps(JsonFields& p, std::vector<uint8_t>* record) {
  record->clear();
  const char* const kKeys[] = {"borderStyle", "vertical", "smooth", "minimum", "maximum", "position"};
  bool any = false;
  for (const char* key : kKeys) any = any || p.Has(key);
  if (!any) return;
  ProcessBarRecord r;
  r.borderStyle = p.Int("borderStyle", r.borderStyle, 0, kMaxWidgetBorderStyle);
  r.vertical = p.Flag("vertical", r.vertical != 0);
  r.smooth = p.Flag("smooth", r.smooth != 0);
  r.minimum = p.Int("minimum", r.minimum, 0, kMaxBarValue);
  r.maximum = p.Int("maximum", r.maximum, 0, kMaxBarValue);
  r.position = p.Int("position", r.position, 0, kMaxBarValue);
  EncodeProcessBarRecord(r, record);
}
