// A program on the frame for the label tests: a form of labels and
// transparent labels on a two-coloured backdrop, built at start with the form
// writer and the labels' own record encoders. The first command-line word
// picks a scenario, the second names a log file to which the probe appends
// one line per observation (GBK, "\n"-separated); window captures go to
// files next to it (<log>.<name>.raw: width, height, then BGRA rows top
// down). labels_test.cpp reads both back and judges them.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/blocks.h"
#include "frame/form_format.h"
#include "frame/form_writer.h"
#include "frame/property_values.h"
#include "frame/wide_text_win.h"
#include "frame/window_record.h"
#include "tests/win32/probe_log.h"
#include "tests/win32/probe_units.h"
#include "ui/label_record.h"
#include "ui/trans_label_record.h"
#include "ui/unit_window_win.h"
#include "ui/widgets.h"

namespace {

constexpr uint32_t kMainWindow = 0x52010001;
constexpr uint32_t kBadVersionWindow = 0x52010002;

constexpr uint32_t kBackdrop = 0x16010001, kFill = 0x16010002, kNatural = 0x16010003, kTiled = 0x16010004,
                   kFitted = 0x16010005, kFittedLarge = 0x16010006, kPlain = 0x16010007, kShadow = 0x16010008,
                   kUnderlined = 0x16010009, kNotUnderlined = 0x1601000A, kTrans = 0x1601000B,
                   kGradient = 0x1601000C, kBroken = 0x1601000D;

struct NamedUnit {
  uint32_t id;
  const char* name;
};
const NamedUnit kNames[] = {
    {kWindowSelfUnit, "window"}, {kBackdrop, "backdrop"}, {kFill, "fill"},
    {kNatural, "natural"},       {kTiled, "tiled"},       {kFitted, "fitted"},
    {kFittedLarge, "fitted-large"}, {kPlain, "plain"},    {kShadow, "shadow"},
    {kUnderlined, "underlined"}, {kNotUnderlined, "not-underlined"}, {kTrans, "trans"},
    {kGradient, "gradient"},     {kBroken, "broken"},
};

const char* NameOf(uint32_t unitId) {
  for (const NamedUnit& n : kNames)
    if (n.id == unitId) return n.name;
  return "?";
}

// The backdrop's two halves, left and right of x = kSplitX in its client area.
constexpr COLORREF kBackLeft = RGB(22, 131, 196);
constexpr COLORREF kBackRight = RGB(40, 160, 60);
constexpr int kSplitX = 200;

// ---- The backdrop: a stand-in for the picture box beneath the labels ---------------

const char kBackdropClass[] = "LabelProbeBackdrop";

LRESULT CALLBACK BackdropProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      RECT left = {r.left, r.top, kSplitX, r.bottom}, right = {kSplitX, r.top, r.right, r.bottom};
      HBRUSH a = CreateSolidBrush(kBackLeft), b = CreateSolidBrush(kBackRight);
      FillRect(dc, &left, a);
      FillRect(dc, &right, b);
      DeleteObject(a);
      DeleteObject(b);
      EndPaint(hwnd, &ps);
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void* CreateBackdrop(const UnitCreateParams& p) {
  if (!RegisterUnitClass(kBackdropClass, BackdropProc, CS_DBLCLKS)) return nullptr;
  return CreateUnitWindow(p, 0, kBackdropClass, "", WS_CHILD | WS_CLIPSIBLINGS, nullptr);
}

const UnitTypeDescriptor kBackdropType = {"ProbeBackdrop", kUnitTypeRaisesEvents, 0, nullptr, CreateBackdrop,
                                          nullptr, nullptr};

const UnitTypeDescriptor* gLibrary1Types[0x0A];
const UnitTypeDescriptor* gLibrary2Types[0x05];
const LibraryInfo kLibraries[2] = {
    {"core", WidgetLibraryNotify, gLibrary1Types, 0x0A},
    {"skin", nullptr, gLibrary2Types, 0x05},
};

void FillLibraries() {
  gLibrary1Types[0] = &gWindowUnitType;
  gLibrary1Types[kKindPicBox - 0x10000 - 1] = &kBackdropType;
  gLibrary1Types[kKindLabel - 0x10000 - 1] = &gLabelUnitType;
  gLibrary2Types[kKindTransLabel - 0x20000 - 1] = &gTransLabelUnitType;
}

// ---- Event handlers --------------------------------------------------------------

HandlerResult LogEvent(int32_t event, const int32_t* args, int argCount) {
  UnitRef source = {};
  WidgetFrameService()(kFsEventSource, reinterpret_cast<intptr_t>(&source), 0, 0);
  char line[128];
  int n = wsprintfA(line, "ev %s %d", NameOf(source.unitId), event);
  for (int i = 0; i < argCount; ++i) n += wsprintfA(line + n, " %d", args[i]);
  ProbeLog("%s", line);
  return NoValue();
}
HandlerResult OnLeftButtonDown(const int32_t* args, int argCount) { return LogEvent(-1, args, argCount); }
HandlerResult OnLeftButtonUp(const int32_t* args, int argCount) { return LogEvent(-2, args, argCount); }
const EventHandler kHandlers[] = {OnLeftButtonDown, OnLeftButtonUp};

// ---- Forms -------------------------------------------------------------------------

// A 24-bit bottom-up BMP of width x height in four quadrants: red, green
// (top row), blue, yellow (bottom row).
std::vector<uint8_t> QuadrantBmp(int width, int height) {
  const int rowBytes = (width * 3 + 3) & ~3;
  const uint32_t imageSize = static_cast<uint32_t>(rowBytes * height);
  std::vector<uint8_t> b(54 + imageSize, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  b[26] = 1;
  b[28] = 24;
  put32(34, imageSize);
  for (int y = 0; y < height; ++y) {
    const int fromTop = height - 1 - y;
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = fromTop >= height / 2;
      COLORREF c = !bottom ? (right ? RGB(0, 255, 0) : RGB(255, 0, 0)) : (right ? RGB(255, 255, 0) : RGB(0, 0, 255));
      uint8_t* p = &b[54 + static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x) * 3];
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  }
  return b;
}

std::vector<uint8_t> Font(int height, int weight, bool underline) {
  LOGFONTA f = {};
  f.lfHeight = height;
  f.lfWeight = weight;
  f.lfUnderline = underline ? 1 : 0;
  f.lfCharSet = 134;  // as stored by the form designer; painting forces DEFAULT_CHARSET
  std::vector<uint8_t> out(sizeof f);
  std::memcpy(out.data(), &f, sizeof f);
  return out;
}

std::vector<uint8_t> LabelProps(const LabelRecord& r) {
  std::vector<uint8_t> out;
  EncodeLabelRecord(r, &out);
  return out;
}

LabelRecord TextLabel(const char* caption, int effect, std::vector<uint8_t> font) {
  LabelRecord r;
  r.caption = caption;
  r.effect = effect;
  r.textColor = RGB(0, 0, 0);
  r.backColor = RGB(255, 255, 255);
  r.vAlign = 0;
  r.font = std::move(font);
  return r;
}

LabelRecord PictureLabel(int mode, std::vector<uint8_t> picture) {
  LabelRecord r;
  r.caption = "";
  r.backColor = RGB(255, 0, 255);
  r.backPictureMode = mode;
  r.backPicture = std::move(picture);
  return r;
}

std::vector<uint8_t> WindowProps(const char* title) {
  WindowRecord r;
  r.borderStyle = 0;
  r.backColor = RGB(128, 128, 128);
  r.startPosition = 1;
  r.title = title;
  std::vector<uint8_t> out;
  EncodeWindowRecord(r, &out);
  return out;
}

FormUnit Unit(uint32_t id, uint32_t kind, uint32_t parent, int32_t left, int32_t top, int32_t width, int32_t height,
              std::vector<uint8_t> props, std::vector<FormEvent> events = {}) {
  FormUnit u;
  u.unitId = id;
  u.kind = kind;
  u.name = id == kWindowSelfUnit ? "" : NameOf(id);
  u.left = left;
  u.top = top;
  u.width = width;
  u.height = height;
  u.parentId = parent;
  u.cursorData = {0, 0, 0, 0};
  u.flags = kUnitVisible;
  u.events = std::move(events);
  u.props = std::move(props);
  return u;
}

using probe::Form;

std::vector<uint8_t> BuildForms() {
  const FormEvent down = {-1, HandlerOffsetOf(0)}, up = {-2, HandlerOffsetOf(1)};

  LabelRecord fill;
  fill.caption = "";
  fill.backColor = RGB(10, 200, 30);

  LabelRecord gradient;
  gradient.caption = "";
  gradient.borderStyle = kBorderStyleGradient;
  gradient.gradientBorderWidth = 5;
  gradient.gradientBackMode = 1;
  gradient.gradientBackColors[0] = RGB(255, 0, 0);
  gradient.gradientBackColors[1] = kDefaultColor;
  gradient.gradientBackColors[2] = RGB(0, 0, 255);

  LabelRecord broken = PictureLabel(0, {'B', 'M', 0, 0, 0, 0, 0, 0});  // not a whole picture
  broken.backColor = RGB(90, 90, 90);

  TransLabelRecord trans;
  trans.caption = "安装程序安装程序";
  trans.textColor = RGB(255, 255, 0);
  trans.font = Font(-12, 700, false);
  std::vector<uint8_t> transProps;
  EncodeTransLabelRecord(trans, &transProps);

  std::vector<FormTemplate> forms;
  forms.push_back(Form(kMainWindow, {
      Unit(kWindowSelfUnit, kKindWindow, 0, 0, 0, 400, 300, WindowProps("标签探针")),
      Unit(kFill, kKindLabel, kBackdrop, 10, 10, 60, 30, LabelProps(fill)),
      Unit(kNatural, kKindLabel, kBackdrop, 80, 10, 50, 30, LabelProps(PictureLabel(0, QuadrantBmp(20, 10)))),
      Unit(kTiled, kKindLabel, kBackdrop, 140, 10, 50, 30, LabelProps(PictureLabel(1, QuadrantBmp(20, 10)))),
      Unit(kFitted, kKindLabel, kBackdrop, 210, 10, 50, 30, LabelProps(PictureLabel(2, QuadrantBmp(20, 10)))),
      Unit(kFittedLarge, kKindLabel, kBackdrop, 270, 10, 50, 30, LabelProps(PictureLabel(2, QuadrantBmp(100, 20)))),
      Unit(kBroken, kKindLabel, kBackdrop, 330, 10, 50, 30, LabelProps(broken)),
      Unit(kPlain, kKindLabel, kBackdrop, 10, 60, 120, 24, LabelProps(TextLabel("阴影Test", 0, {}))),
      Unit(kShadow, kKindLabel, kBackdrop, 140, 60, 120, 24, LabelProps(TextLabel("阴影Test", 3, {}))),
      Unit(kUnderlined, kKindLabel, kBackdrop, 10, 100, 150, 25,
           LabelProps(TextLabel("D:\\iii", 0, Font(-12, 400, true))), {down}),
      Unit(kNotUnderlined, kKindLabel, kBackdrop, 170, 100, 150, 25,
           LabelProps(TextLabel("D:\\iii", 0, Font(-12, 400, false)))),
      Unit(kGradient, kKindLabel, kBackdrop, 270, 140, 120, 60, LabelProps(gradient)),
      Unit(kTrans, kKindTransLabel, kBackdrop, 150, 220, 110, 24, transProps, {down, up}),
      Unit(kBackdrop, kKindPicBox, 0, 0, 0, 400, 300, {}),
  }));

  LabelRecord tooNew;
  std::vector<uint8_t> tooNewProps = LabelProps(tooNew);
  tooNewProps[0] = 3;  // a version this label does not know
  forms.push_back(Form(kBadVersionWindow, {
      Unit(kWindowSelfUnit, kKindWindow, 0, 0, 0, 200, 100, WindowProps("坏版本")),
      Unit(kFill, kKindLabel, 0, 1, 1, 50, 20, tooNewProps),
  }));
  std::vector<uint8_t> blob;
  WriteForms(forms, &blob);
  return blob;
}

const std::vector<uint8_t> gFormBlob = BuildForms();

}  // namespace

const ProgramDescriptor gProgramDescriptor = {
    3, kHandlers, 2, nullptr, 0, gFormBlob.data(), gFormBlob.size(), 2, kLibraries, 0, nullptr, nullptr,
};

namespace {

// ---- Frame access --------------------------------------------------------------------

HWND UnitWindow(uint32_t unitId) { return probe::UnitWindow(WidgetFrameService(), kMainWindow, unitId); }
int32_t ReadInt(uint32_t unitId, int property) { return probe::ReadInt(kMainWindow, unitId, property); }
void WriteInt(uint32_t unitId, int property, int32_t value) { probe::WriteInt(kMainWindow, unitId, property, value); }
void WritePointer(uint32_t unitId, int property, const void* p) {
  probe::WritePointer(kMainWindow, unitId, property, p);
}
std::string ReadText(uint32_t unitId, int property) { return probe::ReadText(kMainWindow, unitId, property); }
uint32_t ReadBytesLength(uint32_t unitId, int property) {
  return static_cast<uint32_t>(probe::ReadBytes(kMainWindow, unitId, property).size());
}

void Pump() { WidgetFrameService()(kFsProcessMessages, 0, 0, 0); }

// Paints whatever is pending and writes the window's client area to
// <log>.<name>.raw.
void Capture(const char* name) {
  HWND window = UnitWindow(kWindowSelfUnit);
  Pump();
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
  RECT client;
  GetClientRect(window, &client);
  const int w = client.right, h = client.bottom;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC windowDc = GetDC(window);
  HDC memory = CreateCompatibleDC(windowDc);
  HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, section);
  BitBlt(memory, 0, 0, w, h, windowDc, 0, 0, SRCCOPY);
  GdiFlush();
  std::string path = std::string(gLogPath) + "." + name + ".raw";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written;
    int32_t size[2] = {w, h};
    WriteFile(file, size, sizeof size, &written, nullptr);
    WriteFile(file, bits, static_cast<DWORD>(w * h * 4), &written, nullptr);
    CloseHandle(file);
  }
  SelectObject(memory, old);
  DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(window, windowDc);
  ProbeLog("capture %s", name);
}

// The unit's client rectangle in the window's client coordinates.
void LogRect(uint32_t unitId) {
  HWND hwnd = UnitWindow(unitId);
  RECT r;
  GetClientRect(hwnd, &r);
  MapWindowPoints(hwnd, UnitWindow(kWindowSelfUnit), reinterpret_cast<POINT*>(&r), 2);
  ProbeLog("rect %s %d %d %d %d", NameOf(unitId), r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// ---- Scenarios -----------------------------------------------------------------------

// Paints the form, changes and moves the transparent label, then answers
// mouse input until the window is closed.
int Paint() {
  gSystem.LoadStartWindow(kMainWindow);
  HWND window = UnitWindow(kWindowSelfUnit);
  HDC screen = GetDC(window);
  ProbeLog("bits %d", GetDeviceCaps(screen, BITSPIXEL));
  ReleaseDC(window, screen);
  ProbeLog("hwnd window %d", static_cast<int>(reinterpret_cast<intptr_t>(window)));
  for (const NamedUnit& n : kNames) {
    if (n.id == kWindowSelfUnit) continue;
    LogRect(n.id);
    ProbeLog("hwnd %s %d", n.name, static_cast<int>(reinterpret_cast<intptr_t>(UnitWindow(n.id))));
  }
  Capture("initial");
  // The broken picture was emptied on the first paint.
  ProbeLog("broken picture length %u", ReadBytesLength(kBroken, kLabelBackPicture));

  WritePointer(kTrans, kTransLabelCaption, "程");
  Capture("caption");
  WriteInt(kTrans, kPropLeft, 20);
  LogRect(kTrans);
  Capture("moved");
  ProbeLog("ready");
  gSystem.RunMessageLoop();
  ProbeLog("loop-returned");
  return 0;
}

// Own properties: clamps on writes, stored values on reads, the border
// styles' window styles.
int Properties() {
  gSystem.LoadStartWindow(kMainWindow);
  const struct {
    uint32_t unit;
    int property;
    int32_t value;
  } kWrites[] = {
      {kFill, kLabelGradientBorderWidth, 1},  {kFill, kLabelGradientBorderWidth, 12},
      {kFill, kLabelEffect, 7},               {kFill, kLabelEffect, -2},
      {kFill, kLabelBackPictureMode, 5},      {kFill, kLabelGradientBackMode, 9},
      {kFill, kLabelHAlign, -1},              {kFill, kLabelVAlign, 3},
      {kFill, kLabelWordWrap, 5},             {kFill, kLabelBackColor, static_cast<int32_t>(0xFF000000)},
      {kFill, kLabelTextColor, 0x123456},     {kFill, kLabelGradientBackColor1 + 2, 0x00ABCDEF},
      {kFill, kLabelGradientBorderColor1 + 1, 0x00010203},
      {kTrans, kTransLabelEffect, 4},         {kTrans, kTransLabelHAlign, 2},
      {kTrans, kTransLabelVAlign, -5},        {kTrans, kTransLabelWordWrap, 9},
      {kTrans, kTransLabelTextColor, 0x00FF00},
  };
  for (const auto& w : kWrites) {
    WriteInt(w.unit, w.property, w.value);
    ProbeLog("write %s %d %d -> %d", NameOf(w.unit), w.property, w.value, ReadInt(w.unit, w.property));
  }
  const int32_t kBorderStyles[] = {1, 2, 3, 4, 5, 6, 9, 0};
  for (int32_t style : kBorderStyles) {
    WriteInt(kFill, kLabelBorderStyle, style);
    HWND h = UnitWindow(kFill);
    ProbeLog("border %d -> %d style %x ex %x", style, ReadInt(kFill, kLabelBorderStyle),
             static_cast<unsigned>(GetWindowLongW(h, GWL_STYLE) & WS_BORDER),
             static_cast<unsigned>(GetWindowLongW(h, GWL_EXSTYLE) &
                                   (WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME | WS_EX_STATICEDGE)));
  }
  ProbeLog("caption %s|%s", ReadText(kFill, kLabelCaption).c_str(), ReadText(kTrans, kTransLabelCaption).c_str());
  WritePointer(kFill, kLabelCaption, "新的");
  WritePointer(kTrans, kTransLabelCaption, nullptr);
  ProbeLog("caption %s|%s window %s", ReadText(kFill, kLabelCaption).c_str(),
           ReadText(kTrans, kTransLabelCaption).c_str(), WindowTextGbk(UnitWindow(kFill)).c_str());
  WritePointer(kFill, kLabelDataSource, "源");
  WritePointer(kFill, kLabelDataColumn, "列");
  ProbeLog("binding %s %s caption %s", ReadText(kFill, kLabelDataSource).c_str(),
           ReadText(kFill, kLabelDataColumn).c_str(), ReadText(kFill, kLabelCaption).c_str());
  ProbeLog("font %u %u %u", ReadBytesLength(kUnderlined, kLabelFont), ReadBytesLength(kTrans, kTransLabelFont),
           ReadBytesLength(kFill, kLabelFont));
  const uint8_t kTwoBytes[] = {1, 2};
  void* shortFont = NewByteArray(kTwoBytes, 2);
  WritePointer(kTrans, kTransLabelFont, shortFont);
  FreeBlock(shortFont);
  ProbeLog("short font %u", ReadBytesLength(kTrans, kTransLabelFont));
  ProbeLog("picture %u", ReadBytesLength(kNatural, kLabelBackPicture));
  WritePointer(kNatural, kLabelBackPicture, nullptr);
  ProbeLog("picture %u", ReadBytesLength(kNatural, kLabelBackPicture));
  ProbeLog("ex trans %x", static_cast<unsigned>(GetWindowLongW(UnitWindow(kTrans), GWL_EXSTYLE) & WS_EX_TRANSPARENT));
  return 0;
}

// Property writes from a thread other than the window's.
DWORD WINAPI WorkerWrites(void*) {
  WritePointer(kFill, kLabelCaption, "1.释放压缩包..");
  WritePointer(kTrans, kTransLabelCaption, "线程");
  ProbeLog("worker read %s|%s", ReadText(kFill, kLabelCaption).c_str(), ReadText(kTrans, kTransLabelCaption).c_str());
  return 0;
}

int Worker() {
  gSystem.LoadStartWindow(kMainWindow);
  HANDLE thread = CreateThread(nullptr, 0, WorkerWrites, nullptr, 0, nullptr);
  // The window thread keeps its messages moving while the worker writes.
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) Pump();
  CloseHandle(thread);
  ProbeLog("window text %s", WindowTextGbk(UnitWindow(kFill)).c_str());
  return 0;
}

}  // namespace

int ProgramEntry() {
  ParseProbeCommandLine();
  FillLibraries();
  gSystem.RuntimeService(kServiceInitialise, 0, 0, 0);
  if (!strcmp(gMode, "paint")) return Paint();
  if (!strcmp(gMode, "properties")) return Properties();
  if (!strcmp(gMode, "worker")) return Worker();
  if (!strcmp(gMode, "bad-version")) gSystem.LoadStartWindow(kBadVersionWindow);
  return 2;
}
