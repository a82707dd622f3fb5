#include "ui/pic_btn_record.h"

bool operator==(const PicBtnRecord& a, const PicBtnRecord& b) {
  if (a.buttonKind != b.buttonKind || a.checked != b.checked || a.transparentColor != b.transparentColor)
    return false;
  for (int i = 0; i < kSlotCount; ++i)
    if (a.pictures[i] != b.pictures[i]) return false;
  return true;
}

bool DecodePicBtnRecord(const uint8_t* data, size_t size, PicBtnRecord* record, CursorFailure* failure) {
  if (size == 0) {
    *record = PicBtnRecord();
    return true;
  }
  static const char* const kSlotNames[kSlotCount] = {"NormalPicture", "HoverPicture", "PressedPicture",
                                                     "DisabledPicture"};
  ByteCursor c(data, size);
  uint32_t version = 0;
  PicBtnRecord r;
  ReadRecordVersion(c, kPicBtnRecordVersion, &version);
  c.ReadI32(&r.buttonKind, "ButtonKind");
  c.ReadI32(&r.checked, "Checked");
  c.ReadU32(&r.transparentColor, "TransparentColor");
  for (int i = 0; i < kSlotCount; ++i) c.ReadBlob(&r.pictures[i], kSlotNames[i]);
  if (!ExpectRecordEnd(c)) {
    if (failure) *failure = c.Failure();
    return false;
  }
  r.buttonKind = ClampButtonKind(r.buttonKind);
  r.checked = FlagValue(r.checked);
  *record = std::move(r);
  return true;
}

bool EncodePicBtnRecord(const PicBtnRecord& r, std::vector<uint8_t>* out) {
  out->clear();
  ByteWriter w;
  w.U32(kPicBtnRecordVersion);
  w.I32(r.buttonKind);
  w.I32(r.checked);
  w.U32(r.transparentColor);
  for (const std::vector<uint8_t>& picture : r.pictures) w.Blob(picture);
  if (!w.Ok()) return false;
  *out = w.Take();
  return true;
}
