#include "ui/pic_box_record.h"

bool operator==(const PicBoxRecord& a, const PicBoxRecord& b) {
  return a.version == b.version && a.borderStyle == b.borderStyle && a.backColor == b.backColor &&
         a.displayMode == b.displayMode && a.playAnimation == b.playAnimation && a.picture == b.picture &&
         a.dataSource == b.dataSource && a.dataColumn == b.dataColumn;
}

bool DecodePicBoxRecord(const uint8_t* data, size_t size, PicBoxRecord* record, CursorFailure* failure) {
  if (size == 0) {
    *record = PicBoxRecord();
    return true;
  }
  ByteCursor c(data, size);
  PicBoxRecord r;
  ReadRecordVersion(c, kPicBoxRecordVersion, &r.version);
  c.ReadI32(&r.borderStyle, "BorderStyle");
  c.ReadU32(&r.backColor, "BackColor");
  c.ReadI32(&r.displayMode, "DisplayMode");
  c.ReadI32(&r.playAnimation, "PlayAnimation");
  c.ReadBlob(&r.picture, "Picture");
  // r.version is only trusted while the cursor is good.
  if (c.Ok() && r.version >= 2) {
    c.ReadText(&r.dataSource, "DataSource");
    c.ReadText(&r.dataColumn, "DataColumn");
  }
  if (!ExpectRecordEnd(c)) {
    if (failure) *failure = c.Failure();
    return false;
  }
  r.borderStyle = ClampToRange(r.borderStyle, 0, kMaxWidgetBorderStyle);
  r.displayMode = ClampToRange(r.displayMode, 0, kMaxDisplayMode);
  r.playAnimation = FlagValue(r.playAnimation);
  *record = std::move(r);
  return true;
}

bool EncodePicBoxRecord(const PicBoxRecord& r, std::vector<uint8_t>* out) {
  out->clear();
  if (r.version < 1 || r.version > kPicBoxRecordVersion) return false;
  ByteWriter w;
  w.U32(r.version);
  w.I32(r.borderStyle);
  w.U32(r.backColor);
  w.I32(r.displayMode);
  w.I32(r.playAnimation);
  w.Blob(r.picture);
  if (r.version >= 2) {
    w.Text(r.dataSource);
    w.Text(r.dataColumn);
  }
  if (!w.Ok()) return false;
  *out = w.Take();
  return true;
}
