// Encoder of the window unit's property record from a form description.
#include "frame/window_record.h"
#include "tools/form_kinds.h"

void EncodeWindowProps(JsonFields& p, std::vector<uint8_t>* record) {
  WindowRecord r;  // keys that are absent keep WindowRecord's defaults
  r.borderStyle = p.Int("borderStyle", r.borderStyle, 0, kMaxWindowBorderStyle);
  r.backPictureMode = p.Int("backPictureMode", r.backPictureMode, 0, kMaxBackPictureMode);
  r.backColor = p.Color("backColor", r.backColor);
  r.maxButton = p.Flag("maxButton", r.maxButton != 0);
  r.minButton = p.Flag("minButton", r.minButton != 0);
  r.controlButton = p.Flag("controlButton", r.controlButton != 0);
  r.startPosition = p.Int("startPosition", r.startPosition, 0, kMaxStartPosition);
  r.movable = p.Flag("movable", r.movable != 0);
  r.musicPlayCount = p.Int("musicPlayCount", r.musicPlayCount, 0, INT32_MAX);
  r.extraFlags[0] = p.Flag("flag21", r.extraFlags[0] != 0);
  r.extraFlags[1] = p.Flag("flag22", r.extraFlags[1] != 0);
  r.extraFlags[2] = p.Flag("flag23", r.extraFlags[2] != 0);
  r.helpNumber = p.Int("helpNumber", r.helpNumber, 0, INT32_MAX);
  r.showInTaskbar = p.Flag("showInTaskbar", r.showInTaskbar != 0);
  r.dragAnywhere = p.Flag("dragAnywhere", r.dragAnywhere != 0);
  r.shape = p.Int("shape", r.shape, 0, kMaxWindowShape);
  r.alwaysOnTop = p.Flag("alwaysOnTop", r.alwaysOnTop != 0);
  r.keepTitleActive = p.Flag("keepTitleActive", r.keepTitleActive != 0);
  r.className = p.Text("className", r.className);
  r.backPicture = p.File("backPicture");
  r.icon = p.File("icon");
  r.music = p.File("music");
  r.title = p.Text("title", r.title);
  r.helpFile = p.Text("helpFile", r.helpFile);
  if (!EncodeWindowRecord(r, record)) throw FormCompileError("props: window record cannot be encoded");
}
