#include "frame/window_record.h"

bool operator==(const WindowRecord& a, const WindowRecord& b) {
  return a.version == b.version && a.borderStyle == b.borderStyle && a.backPictureMode == b.backPictureMode &&
         a.backColor == b.backColor && a.maxButton == b.maxButton && a.minButton == b.minButton &&
         a.controlButton == b.controlButton && a.startPosition == b.startPosition && a.movable == b.movable &&
         a.musicPlayCount == b.musicPlayCount && a.extraFlags[0] == b.extraFlags[0] &&
         a.extraFlags[1] == b.extraFlags[1] && a.extraFlags[2] == b.extraFlags[2] &&
         a.helpNumber == b.helpNumber && a.showInTaskbar == b.showInTaskbar &&
         a.dragAnywhere == b.dragAnywhere && a.shape == b.shape && a.alwaysOnTop == b.alwaysOnTop &&
         a.keepTitleActive == b.keepTitleActive && a.className == b.className &&
         a.backPicture == b.backPicture && a.icon == b.icon && a.music == b.music && a.title == b.title &&
         a.helpFile == b.helpFile;
}

bool DecodeWindowRecord(const uint8_t* data, size_t size, WindowRecord* record, CursorFailure* failure) {
  ByteCursor c(data, size);
  WindowRecord r;  // fields a version lacks keep these defaults
  ReadRecordVersion(c, kWindowRecordVersion, &r.version);
  c.ReadI32(&r.borderStyle, "border style");
  c.ReadI32(&r.backPictureMode, "background picture mode");
  c.ReadU32(&r.backColor, "BackColor");
  c.ReadI32(&r.maxButton, "maximise button");
  c.ReadI32(&r.minButton, "minimise button");
  c.ReadI32(&r.controlButton, "control button");
  c.ReadI32(&r.startPosition, "StartPosition");
  c.ReadI32(&r.movable, "movable");
  c.ReadI32(&r.musicPlayCount, "music play count");
  c.ReadI32(&r.extraFlags[0], "flag 21");
  c.ReadI32(&r.extraFlags[1], "flag 22");
  c.ReadI32(&r.extraFlags[2], "flag 23");
  c.ReadI32(&r.helpNumber, "help number");
  // Every read above fails once the cursor has failed, so r.version is only
  // trusted while the cursor is good.
  if (c.Ok() && r.version >= 2) c.ReadI32(&r.showInTaskbar, "ShowInTaskbar");
  if (c.Ok() && r.version >= 3) {
    c.ReadI32(&r.dragAnywhere, "drag-anywhere flag");
    c.ReadI32(&r.shape, "shape");
  }
  if (c.Ok() && r.version >= 4) c.ReadI32(&r.alwaysOnTop, "always on top");
  if (c.Ok() && r.version >= 5) c.ReadI32(&r.keepTitleActive, "keep-title-active flag");
  if (c.Ok() && r.version >= 6) c.ReadText(&r.className, "class name");
  c.ReadBlob(&r.backPicture, "background picture");
  c.ReadBlob(&r.icon, "icon");
  c.ReadBlob(&r.music, "background music");
  c.ReadText(&r.title, "Title");
  c.ReadText(&r.helpFile, "help file name");
  if (!ExpectRecordEnd(c)) {
    if (failure) *failure = c.Failure();
    return false;
  }
  *record = std::move(r);
  return true;
}

bool EncodeWindowRecord(const WindowRecord& r, std::vector<uint8_t>* out) {
  out->clear();
  if (r.version < 1 || r.version > kWindowRecordVersion) return false;
  ByteWriter w;
  w.U32(r.version);
  w.I32(r.borderStyle);
  w.I32(r.backPictureMode);
  w.U32(r.backColor);
  w.I32(r.maxButton);
  w.I32(r.minButton);
  w.I32(r.controlButton);
  w.I32(r.startPosition);
  w.I32(r.movable);
  w.I32(r.musicPlayCount);
  for (int32_t flag : r.extraFlags) w.I32(flag);
  w.I32(r.helpNumber);
  if (r.version >= 2) w.I32(r.showInTaskbar);
  if (r.version >= 3) {
    w.I32(r.dragAnywhere);
    w.I32(r.shape);
  }
  if (r.version >= 4) w.I32(r.alwaysOnTop);
  if (r.version >= 5) w.I32(r.keepTitleActive);
  if (r.version >= 6) w.Text(r.className);
  w.Blob(r.backPicture);
  w.Blob(r.icon);
  w.Blob(r.music);
  w.Text(r.title);
  w.Text(r.helpFile);
  if (!w.Ok()) return false;
  *out = w.Take();
  return true;
}

const char* WindowRecordRangeError(const WindowRecord& r) {
  if (r.borderStyle < 0 || r.borderStyle > kMaxWindowBorderStyle) return "border style";
  if (r.backPictureMode < 0 || r.backPictureMode > kMaxBackPictureMode) return "background picture mode";
  if (r.startPosition < 0 || r.startPosition > kMaxStartPosition) return "StartPosition";
  if (r.shape < 0 || r.shape > kMaxWindowShape) return "shape";
  return nullptr;
}
