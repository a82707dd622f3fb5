#include "ui/label_record.h"

#include <utility>

bool operator==(const LabelRecord& a, const LabelRecord& b) {
  for (int i = 0; i < 3; ++i) {
    if (a.gradientBorderColors[i] != b.gradientBorderColors[i]) return false;
    if (a.gradientBackColors[i] != b.gradientBackColors[i]) return false;
  }
  return a.version == b.version && a.effect == b.effect && a.gradientBorderWidth == b.gradientBorderWidth &&
         a.borderStyle == b.borderStyle && a.textColor == b.textColor && a.backColor == b.backColor &&
         a.backPictureMode == b.backPictureMode && a.gradientBackMode == b.gradientBackMode &&
         a.hAlign == b.hAlign && a.vAlign == b.vAlign && a.wordWrap == b.wordWrap && a.font == b.font &&
         a.backPicture == b.backPicture && a.caption == b.caption && a.dataSource == b.dataSource &&
         a.dataColumn == b.dataColumn;
}

bool DecodeLabelRecord(const uint8_t* data, size_t size, LabelRecord* record, CursorFailure* failure) {
  LabelRecord r;
  if (size == 0) {
    *record = std::move(r);
    return true;
  }
  ByteCursor c(data, size);
  ReadRecordVersion(c, kLabelRecordVersion, &r.version);
  c.ReadI32(&r.effect, "Effect");
  c.ReadI32(&r.gradientBorderWidth, "GradientBorderWidth");
  c.ReadI32(&r.borderStyle, "BorderStyle");
  c.ReadU32(&r.gradientBorderColors[0], "GradientBorderColor1");
  c.ReadU32(&r.gradientBorderColors[1], "GradientBorderColor2");
  c.ReadU32(&r.gradientBorderColors[2], "GradientBorderColor3");
  c.ReadU32(&r.textColor, "TextColor");
  c.ReadU32(&r.backColor, "BackColor");
  c.ReadI32(&r.backPictureMode, "BackPictureMode");
  c.ReadI32(&r.gradientBackMode, "GradientBackMode");
  c.ReadU32(&r.gradientBackColors[0], "GradientBackColor1");
  c.ReadU32(&r.gradientBackColors[1], "GradientBackColor2");
  c.ReadU32(&r.gradientBackColors[2], "GradientBackColor3");
  c.ReadI32(&r.hAlign, "HAlign");
  c.ReadI32(&r.vAlign, "VAlign");
  c.ReadI32(&r.wordWrap, "WordWrap");
  c.ReadBlob(&r.font, "Font");
  c.ReadBlob(&r.backPicture, "BackPicture");
  c.ReadText(&r.caption, "Caption");
  // Reads fail once the cursor has failed, so the version is trusted only
  // while it is good.
  if (c.Ok() && r.version >= 2) {
    c.ReadText(&r.dataSource, "DataSource");
    c.ReadText(&r.dataColumn, "DataColumn");
  }
  if (!ExpectRecordEnd(c)) {
    if (failure) *failure = c.Failure();
    return false;
  }
  r.effect = ClampChoice(r.effect, kMaxTextEffect);
  r.gradientBorderWidth = ClampGradientBorderWidth(r.gradientBorderWidth);
  r.borderStyle = ClampChoice(r.borderStyle, kMaxLabelBorderStyle);
  r.backPictureMode = ClampChoice(r.backPictureMode, kMaxLabelBackPictureMode);
  r.gradientBackMode = ClampChoice(r.gradientBackMode, kMaxGradientBackMode);
  r.hAlign = ClampChoice(r.hAlign, kMaxHAlign);
  r.vAlign = ClampChoice(r.vAlign, kMaxVAlign);
  r.wordWrap = LabelFlagValue(r.wordWrap);
  *record = std::move(r);
  return true;
}

bool EncodeLabelRecord(const LabelRecord& r, std::vector<uint8_t>* out) {
  out->clear();
  if (r.version < 1 || r.version > kLabelRecordVersion) return false;
  ByteWriter w;
  w.U32(r.version);
  w.I32(r.effect);
  w.I32(r.gradientBorderWidth);
  w.I32(r.borderStyle);
  for (uint32_t colour : r.gradientBorderColors) w.U32(colour);
  w.U32(r.textColor);
  w.U32(r.backColor);
  w.I32(r.backPictureMode);
  w.I32(r.gradientBackMode);
  for (uint32_t colour : r.gradientBackColors) w.U32(colour);
  w.I32(r.hAlign);
  w.I32(r.vAlign);
  w.I32(r.wordWrap);
  w.Blob(r.font);
  w.Blob(r.backPicture);
  w.Text(r.caption);
  if (r.version >= 2) {
    w.Text(r.dataSource);
    w.Text(r.dataColumn);
  }
  if (!w.Ok()) return false;
  *out = w.Take();
  return true;
}
