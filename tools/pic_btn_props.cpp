// Encoder of the picture button's property record from a form description.
// A unit without props keeps an empty record, which the button reads as its
// defaults.
#include "tools/form_kinds.h"
#include "ui/pic_btn_record.h"

void EncodePicBtnProps(JsonFields& p, std::vector<uint8_t>* record) {
  record->clear();
  static const char* const kPictureKeys[kSlotCount] = {"normalPicture", "hoverPicture", "pressedPicture",
                                                       "disabledPicture"};
  bool any = p.Has("buttonKind") || p.Has("checked") || p.Has("transparentColor");
  for (const char* key : kPictureKeys) any = any || p.Has(key);
  if (!any) return;
  PicBtnRecord r;
  r.buttonKind = p.Int("buttonKind", r.buttonKind, kPushButton, kToggleButton);
  r.checked = p.Flag("checked", r.checked != 0);
  r.transparentColor = p.Color("transparentColor", r.transparentColor);
  for (int i = 0; i < kSlotCount; ++i) r.pictures[i] = p.File(kPictureKeys[i]);
  if (!EncodePicBtnRecord(r, record)) throw FormCompileError("props: picture button record cannot be encoded");
}
