#include "ui/trans_label_record.h"

#include <utility>

bool operator==(const TransLabelRecord& a, const TransLabelRecord& b) {
  return a.version == b.version && a.effect == b.effect && a.textColor == b.textColor && a.hAlign == b.hAlign &&
         a.vAlign == b.vAlign && a.wordWrap == b.wordWrap && a.font == b.font && a.caption == b.caption;
}

bool DecodeTransLabelRecord(const uint8_t* data, size_t size, TransLabelRecord* record, CursorFailure* failure) {
  TransLabelRecord r;
  if (size == 0) {
    *record = std::move(r);
    return true;
  }
  ByteCursor c(data, size);
  ReadRecordVersion(c, kTransLabelRecordVersion, &r.version);
  c.ReadI32(&r.effect, "Effect");
  c.ReadU32(&r.textColor, "TextColor");
  c.ReadI32(&r.hAlign, "HAlign");
  c.ReadI32(&r.vAlign, "VAlign");
  c.ReadI32(&r.wordWrap, "WordWrap");
  c.ReadBlob(&r.font, "Font");
  c.ReadText(&r.caption, "Caption");
  if (!ExpectRecordEnd(c)) {
    if (failure) *failure = c.Failure();
    return false;
  }
  r.effect = ClampChoice(r.effect, kMaxTextEffect);
  r.hAlign = ClampChoice(r.hAlign, kMaxHAlign);
  r.vAlign = ClampChoice(r.vAlign, kMaxVAlign);
  r.wordWrap = LabelFlagValue(r.wordWrap);
  *record = std::move(r);
  return true;
}

bool EncodeTransLabelRecord(const TransLabelRecord& r, std::vector<uint8_t>* out) {
  out->clear();
  if (r.version != kTransLabelRecordVersion) return false;
  ByteWriter w;
  w.U32(r.version);
  w.I32(r.effect);
  w.U32(r.textColor);
  w.I32(r.hAlign);
  w.I32(r.vAlign);
  w.I32(r.wordWrap);
  w.Blob(r.font);
  w.Text(r.caption);
  if (!w.Ok()) return false;
  *out = w.Take();
  return true;
}
