// A program on the frame for the widget tests: one form with picture boxes,
// a progress bar, a timer and picture buttons, built at start with the form
// writer from pictures made here. The first command-line word picks a
// scenario, the second names a log file to which the probe appends one line
// per observation; widgets_test.cpp reads it back. "show" keeps the window
// up for a screenshot.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "frame/blocks.h"
#include "frame/form_writer.h"
#include "frame/property_values.h"
#include "frame/window_record.h"
#include "tests/win32/probe_log.h"
#include "tests/win32/probe_units.h"
#include "ui/gdi_handles_win.h"
#include "ui/pic_box_record.h"
#include "ui/pic_btn_record.h"
#include "ui/picture_bitmap_win.h"
#include "ui/process_bar_record.h"
#include "ui/timer_record.h"
#include "ui/widgets.h"

namespace {

constexpr uint32_t kForm = 0x52010001;
constexpr uint32_t kStretchBox = 0x16010001, kFitBox = 0x16010002, kSmallFitBox = 0x16010003,
                   kBadBox = 0x16010004, kBar = 0x16010005, kTimer = 0x16010006, kPushBtn = 0x16010007,
                   kToggleBtn = 0x16010008, kKeyBtn = 0x16010009, kAnimBox = 0x1601000A;

struct NamedUnit {
  uint32_t id;
  const char* name;
};
const NamedUnit kNames[] = {
    {kStretchBox, "stretch"}, {kFitBox, "fit"},   {kSmallFitBox, "smallfit"}, {kBadBox, "bad"},
    {kBar, "bar"},            {kTimer, "timer"},  {kPushBtn, "push"},         {kToggleBtn, "toggle"},
    {kKeyBtn, "key"},         {kAnimBox, "anim"},
};
const char* NameOf(uint32_t id) {
  for (const NamedUnit& n : kNames)
    if (n.id == id) return n.name;
  return "?";
}

// Colours of the test pictures (COLORREF).
constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255),
                   kYellow = RGB(255, 255, 0), kMagenta = RGB(255, 0, 255), kGrey = RGB(128, 128, 128),
                   kCyan = RGB(0, 255, 255), kPink = RGB(255, 128, 192);

// ---- Pictures ----------------------------------------------------------------

// A 24-bit bottom-up BMP file of width x height whose pixel (x, y) has the
// colour pixel(x, y) gives.
template <typename PixelFn>
std::vector<uint8_t> MakeBmp(int width, int height, PixelFn pixel) {
  const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t dataSize = rowBytes * static_cast<uint32_t>(height);
  std::vector<uint8_t> file(54 + dataSize, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  put32(34, dataSize);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &file[54 + rowBytes * static_cast<uint32_t>(height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      COLORREF c = pixel(x, y);
      row[x * 3] = GetBValue(c);
      row[x * 3 + 1] = GetGValue(c);
      row[x * 3 + 2] = GetRValue(c);
    }
  }
  return file;
}

std::vector<uint8_t> Solid(int width, int height, COLORREF c) {
  return MakeBmp(width, height, [c](int, int) { return c; });
}

// 424 x 534 in four quadrants: red, green above; blue, yellow below.
std::vector<uint8_t> Quadrants() {
  return MakeBmp(424, 534, [](int x, int y) { return y < 267 ? (x < 212 ? kRed : kGreen) : (x < 212 ? kBlue : kYellow); });
}

// An animated GIF of width x height: one solid frame per colour, each shown
// for delay x 10 ms. The pixel codes are written without compression: a
// clear code before every two pixels keeps the code width at 3 bits.
std::vector<uint8_t> MakeGif(int width, int height, std::initializer_list<COLORREF> colors, uint16_t delay) {
  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  auto put16 = [&](int v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  put16(width);
  put16(height);
  out.insert(out.end(), {0xF1, 0, 0});  // global table of 4 colours
  std::vector<COLORREF> table(colors);
  table.resize(4, 0);
  for (COLORREF c : table) out.insert(out.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
  const char kLoop[] = "\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00";
  out.insert(out.end(), kLoop, kLoop + sizeof kLoop - 1);
  const int kClear = 4, kEnd = 5;
  uint8_t index = 0;
  for (size_t frame = 0; frame < colors.size(); ++frame, ++index) {
    out.insert(out.end(), {0x21, 0xF9, 0x04, 0x04});  // disposal 1: keep
    put16(delay);
    out.insert(out.end(), {0, 0, 0x2C});
    put16(0);
    put16(0);
    put16(width);
    put16(height);
    out.insert(out.end(), {0, 2});  // no local table; minimum code size 2
    std::vector<uint8_t> codes;
    uint32_t bits = 0;
    int bitCount = 0;
    auto code = [&](int c) {
      bits |= static_cast<uint32_t>(c) << bitCount;
      bitCount += 3;
      while (bitCount >= 8) {
        codes.push_back(static_cast<uint8_t>(bits));
        bits >>= 8;
        bitCount -= 8;
      }
    };
    for (int i = 0; i < width * height; ++i) {
      if (i % 2 == 0) code(kClear);
      code(index);
    }
    code(kEnd);
    if (bitCount > 0) codes.push_back(static_cast<uint8_t>(bits));
    for (size_t at = 0; at < codes.size(); at += 255) {
      size_t n = codes.size() - at < 255 ? codes.size() - at : 255;
      out.push_back(static_cast<uint8_t>(n));
      out.insert(out.end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
                 codes.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    out.push_back(0);
  }
  out.push_back(0x3B);
  return out;
}

// ---- Forms -------------------------------------------------------------------

std::vector<uint8_t> WindowProps() {
  WindowRecord r;
  r.borderStyle = 0;
  r.backColor = kPink;
  r.maxButton = 0;
  r.minButton = 0;
  r.startPosition = 0;
  r.alwaysOnTop = 1;
  r.title = "部件探针";
  std::vector<uint8_t> out;
  EncodeWindowRecord(r, &out);
  return out;
}

std::vector<uint8_t> PicBoxProps(int displayMode, uint32_t backColor, std::vector<uint8_t> picture,
                                 int borderStyle = 0) {
  PicBoxRecord r;
  r.displayMode = displayMode;
  r.backColor = backColor;
  r.picture = std::move(picture);
  r.borderStyle = borderStyle;
  std::vector<uint8_t> out;
  EncodePicBoxRecord(r, &out);
  return out;
}

std::vector<uint8_t> PicBtnProps(int kind, uint32_t key, std::vector<uint8_t> normal, std::vector<uint8_t> hover,
                                 std::vector<uint8_t> pressed) {
  PicBtnRecord r;
  r.buttonKind = kind;
  r.transparentColor = key;
  r.pictures[kNormalSlot] = std::move(normal);
  r.pictures[kHoverSlot] = std::move(hover);
  r.pictures[kPressedSlot] = std::move(pressed);
  std::vector<uint8_t> out;
  EncodePicBtnRecord(r, &out);
  return out;
}

// Handler table: 0 Clicked of every button, 1 Tick.
constexpr int32_t kOnClicked = 0, kOnTick = 4;

FormUnit Unit(uint32_t id, uint32_t kind, int32_t left, int32_t top, int32_t width, int32_t height, bool visible,
              std::vector<FormEvent> events, std::vector<uint8_t> props) {
  FormUnit u;
  u.unitId = id;
  u.kind = kind;
  u.name = id == kWindowSelfUnit ? "" : NameOf(id);
  u.left = left;
  u.top = top;
  u.width = width;
  u.height = height;
  u.cursorData = {0, 0, 0, 0};
  u.flags = visible ? kUnitVisible : 0;
  u.events = std::move(events);
  u.props = std::move(props);
  return u;
}

std::vector<uint8_t> BuildForms() {
  ProcessBarRecord bar;
  bar.smooth = 1;
  bar.position = 60;
  std::vector<uint8_t> barProps;
  EncodeProcessBarRecord(bar, &barProps);
  // The key button: its normal picture has a key-coloured left third, its
  // hover picture a key-coloured top half.
  auto keyNormal = MakeBmp(60, 40, [](int x, int) { return x < 20 ? kMagenta : kRed; });
  auto keyHover = MakeBmp(60, 40, [](int, int y) { return y < 20 ? kMagenta : kGreen; });
  FormTemplate form;
  form.windowId = kForm;
  form.units = {
      Unit(kWindowSelfUnit, kKindWindow, 0, 0, 420, 300, true, {}, WindowProps()),
      Unit(kStretchBox, kKindPicBox, 10, 10, 211, 211, true, {}, PicBoxProps(1, kGrey, Quadrants())),
      Unit(kFitBox, kKindPicBox, 230, 10, 100, 100, true, {}, PicBoxProps(2, kGrey, Quadrants())),
      Unit(kSmallFitBox, kKindPicBox, 340, 10, 60, 60, true, {}, PicBoxProps(2, kDefaultColor, Solid(20, 10, kBlue), 5)),
      Unit(kBadBox, kKindPicBox, 340, 80, 30, 30, true, {}, PicBoxProps(0, kCyan, {'B', 'M', 'n', 'o', 'p', 'e', '!'})),
      Unit(kBar, kKindProcessBar, 230, 120, 170, 16, true, {}, barProps),
      Unit(kAnimBox, kKindPicBox, 380, 80, 30, 30, true, {},
           PicBoxProps(1, kGrey, MakeGif(6, 6, {kRed, kBlue}, 5))),
      Unit(kTimer, kKindTimer, 0, 0, 10, 10, false, {{0, kOnTick}}, {}),
      Unit(kPushBtn, kKindPicBtn, 10, 230, 80, 40, true, {{0, kOnClicked}},
           PicBtnProps(kPushButton, kDefaultColor, Solid(60, 30, kRed), Solid(60, 30, kGreen), Solid(60, 30, kBlue))),
      Unit(kToggleBtn, kKindPicBtn, 100, 230, 60, 30, true, {{0, kOnClicked}},
           PicBtnProps(kToggleButton, kDefaultColor, Solid(60, 30, kRed), {}, Solid(60, 30, kBlue))),
      Unit(kKeyBtn, kKindPicBtn, 180, 230, 60, 40, true, {{0, kOnClicked}},
           PicBtnProps(kPushButton, kMagenta, keyNormal, keyHover, {})),
  };
  std::vector<uint8_t> blob;
  WriteForms({form}, &blob);
  return blob;
}

const std::vector<uint8_t> gFormBlob = BuildForms();

// ---- Handlers ----------------------------------------------------------------

int gClicks = 0;
int gTicks = 0;

UnitRef EventSource() {
  UnitRef source = {};
  WidgetFrameService()(kFsEventSource, reinterpret_cast<intptr_t>(&source), 0, 0);
  return source;
}

HandlerResult OnClicked(const int32_t*, int argCount) {
  ++gClicks;
  ProbeLog("clicked %s args=%d", NameOf(EventSource().unitId), argCount);
  return NoValue();
}

HandlerResult OnTick(const int32_t*, int) {
  if (++gTicks <= 3) ProbeLog("tick %s", NameOf(EventSource().unitId));
  return NoValue();
}

const EventHandler kHandlers[] = {OnClicked, OnTick};

const UnitTypeDescriptor* gLibrary1[0x2D];
const LibraryInfo kLibraries[1] = {{"skin", WidgetLibraryNotify, gLibrary1, 0x2D}};

}  // namespace

const ProgramDescriptor gProgramDescriptor = {
    3, kHandlers, 2, nullptr, 0, gFormBlob.data(), gFormBlob.size(), 1, kLibraries, 0, nullptr, nullptr,
};

namespace {

// ---- Frame access --------------------------------------------------------------

HWND UnitWindow(uint32_t unitId) { return probe::UnitWindow(WidgetFrameService(), kForm, unitId); }
int32_t ReadInt(uint32_t unitId, int property) { return probe::ReadInt(kForm, unitId, property); }
void WriteInt(uint32_t unitId, int property, int32_t value) { probe::WriteInt(kForm, unitId, property, value); }
void WriteBytes(uint32_t unitId, int property, const std::vector<uint8_t>& bytes) {
  probe::WriteBytes(kForm, unitId, property, bytes);
}
std::vector<uint8_t> ReadBytes(uint32_t unitId, int property) { return probe::ReadBytes(kForm, unitId, property); }

void Pump() { WidgetFrameService()(kFsProcessMessages, 0, 0, 0); }

// Pumps messages for about ms milliseconds.
void PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    Pump();
    Sleep(5);
  }
}

// ---- Pixels ------------------------------------------------------------------

// What a unit's client area paints, through WM_PRINTCLIENT into a DIB section.
class Snapshot {
 public:
  explicit Snapshot(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    width_ = client.right;
    height_ = client.bottom;
    OwnedMemoryDc dc(CreateCompatibleDC(nullptr));
    void* bits = nullptr;
    OwnedBitmap section(CreateTopDownSection(dc.get(), width_, height_, &bits));
    if (!section) return;
    {
      SelectGuard select(dc.get(), section.get());
      PatBlt(dc.get(), 0, 0, width_, height_, WHITENESS);
      SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
      GdiFlush();
    }
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    pixels_.assign(p, p + static_cast<size_t>(width_) * height_ * 4);
  }
  // 0xRRGGBB, or -1 outside.
  int At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || pixels_.empty()) return -1;
    const uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
    return (p[2] << 16) | (p[1] << 8) | p[0];
  }

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint8_t> pixels_;
};

void LogPixels(const char* tag, uint32_t unitId, std::initializer_list<POINT> points) {
  Snapshot shot(UnitWindow(unitId));
  for (const POINT& pt : points) ProbeLog("px %s %d %d %06x", tag, pt.x, pt.y, shot.At(pt.x, pt.y));
}

// ---- Scenarios -----------------------------------------------------------------

int PicBoxes() {
  LogPixels("stretch", kStretchBox, {{50, 50}, {160, 50}, {50, 160}, {160, 160}});
  // 424 x 534 fitted into 100 x 100: 79 x 100 at x = 10.
  LogPixels("fit", kFitBox, {{5, 50}, {12, 5}, {86, 95}, {95, 50}});
  // 20 x 10 fits unscaled: centred at (20, 25). Border style 5 takes a pixel each side.
  RECT client;
  GetClientRect(UnitWindow(kSmallFitBox), &client);
  ProbeLog("smallfit client %d %d", client.right, client.bottom);
  LogPixels("smallfit", kSmallFitBox, {{client.right / 2, client.bottom / 2}, {2, 2}});
  LogPixels("bad", kBadBox, {{15, 15}});
  ProbeLog("bad picture bytes %d", static_cast<int>(ReadBytes(kBadBox, kPicBoxPicture).size()));

  WriteInt(kFitBox, kPicBoxDisplayMode, 0);
  LogPixels("natural", kFitBox, {{5, 5}, {95, 95}});
  WriteInt(kFitBox, kPicBoxDisplayMode, 9);
  ProbeLog("mode clamped %d", ReadInt(kFitBox, kPicBoxDisplayMode));
  WriteInt(kBadBox, kPicBoxBackColor, static_cast<int32_t>(kYellow));
  LogPixels("backcolor", kBadBox, {{15, 15}});
  WriteBytes(kBadBox, kPicBoxPicture, Solid(10, 10, kBlue));
  LogPixels("newpicture", kBadBox, {{5, 5}, {20, 20}});
  WriteInt(kBadBox, kPicBoxBorderStyle, -4);
  ProbeLog("border %d", ReadInt(kBadBox, kPicBoxBorderStyle));
  WriteInt(kBadBox, kPropWidth, 0);
  ProbeLog("zero width %d", ReadInt(kBadBox, kPropWidth));
  return 0;
}

// Counts the positions that reach a progress control (a subclass outside all
// others), and writes a burst of them from another thread.
WNDPROC gCountedNext = nullptr;
int gPositionsShown = 0;

LRESULT CALLBACK CountingBarProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == PBM_SETPOS) ++gPositionsShown;
  return CallWindowProcW(gCountedNext, h, msg, w, l);
}

DWORD WINAPI WritePositionBurst(void*) {
  for (int position = 1; position <= 100; ++position) WriteInt(kBar, kBarPosition, position);
  return 0;
}

int Bar() {
  HWND bar = UnitWindow(kBar);
  auto logBar = [](const char* tag) {
    HWND h = UnitWindow(kBar);
    PBRANGE range = {};
    SendMessageW(h, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    ProbeLog("bar %s pos=%d range=%d..%d Position=%d Minimum=%d Maximum=%d", tag,
        static_cast<int>(SendMessageW(h, PBM_GETPOS, 0, 0)), range.iLow, range.iHigh, ReadInt(kBar, kBarPosition),
        ReadInt(kBar, kBarMinimum), ReadInt(kBar, kBarMaximum));
  };
  logBar("start");
  ProbeLog("bar style smooth=%d vertical=%d border=%d", (GetWindowLongW(bar, GWL_STYLE) & PBS_SMOOTH) != 0,
      (GetWindowLongW(bar, GWL_STYLE) & PBS_VERTICAL) != 0, ReadInt(kBar, kBarBorderStyle));
  WriteInt(kBar, kBarPosition, 150);
  logBar("150");
  WriteInt(kBar, kBarPosition, 50);
  WriteInt(kBar, kBarMaximum, 0);
  WriteInt(kBar, kBarMinimum, 100);
  logBar("swapped");
  WriteInt(kBar, kBarMinimum, -7);
  WriteInt(kBar, kBarMaximum, 40000);
  WriteInt(kBar, kBarPosition, 33000);
  logBar("clamped");
  WriteInt(kBar, kBarMaximum, 100);
  WriteInt(kBar, kBarPosition, 30);
  WriteInt(kBar, kBarVertical, 1);
  HWND rebuilt = UnitWindow(kBar);
  ProbeLog("bar recreated=%d old-gone=%d vertical=%d smooth=%d", rebuilt != bar, !IsWindow(bar),
      (GetWindowLongW(rebuilt, GWL_STYLE) & PBS_VERTICAL) != 0, (GetWindowLongW(rebuilt, GWL_STYLE) & PBS_SMOOTH) != 0);
  logBar("rebuilt");
  WriteInt(kBar, kBarVertical, 1);
  ProbeLog("bar same=%d", UnitWindow(kBar) == rebuilt);

  // Writes from another thread (the extraction's reports) do not wait for
  // this thread, which does not pump meanwhile; the control takes range and
  // position in the order written once it does.
  struct Writer {
    static DWORD WINAPI Run(void*) {
      WriteInt(kBar, kBarMaximum, 200);
      WriteInt(kBar, kBarPosition, 150);
      return 0;
    }
  };
  HANDLE writer = CreateThread(nullptr, 0, Writer::Run, nullptr, 0, nullptr);
  const bool unanswered = WaitForSingleObject(writer, 5000) == WAIT_OBJECT_0;
  ProbeLog("bar worker done without this thread=%d", unanswered);
  while (WaitForSingleObject(writer, 0) != WAIT_OBJECT_0) PumpFor(10);
  CloseHandle(writer);
  Pump();
  logBar("from worker");

  // A burst of positions from another thread, faster than this thread shows
  // them: the control is told once, with the last one. Counted by a subclass
  // outside all others.
  HWND counted = UnitWindow(kBar);
  gCountedNext = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(counted, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingBarProc)));
  writer = CreateThread(nullptr, 0, WritePositionBurst, nullptr, 0, nullptr);
  WaitForSingleObject(writer, 5000);
  CloseHandle(writer);
  const DWORD burstStart = GetTickCount();
  while (SendMessageW(counted, PBM_GETPOS, 0, 0) != 100 && GetTickCount() - burstStart < 5000) PumpFor(10);
  PumpFor(100);
  SetWindowLongPtrW(counted, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gCountedNext));
  ProbeLog("bar burst of 100 shown %d time(s)", gPositionsShown);
  logBar("after burst");

  // The control class came from the system folder's comctl32.dll.
  char system[MAX_PATH], loaded[MAX_PATH] = "";
  GetSystemDirectoryA(system, MAX_PATH);
  if (HMODULE m = GetModuleHandleA("comctl32.dll")) GetModuleFileNameA(m, loaded, MAX_PATH);
  ProbeLog("comctl32 from system folder=%d", CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, loaded,
      static_cast<int>(strlen(system)), system, -1) == CSTR_EQUAL);
  return 0;
}

int Timer() {
  ProbeLog("interval %d", ReadInt(kTimer, kTimerInterval));
  WriteInt(kTimer, kTimerInterval, 20);
  DWORD start = GetTickCount();
  while (gTicks < 3 && GetTickCount() - start < 10000) PumpFor(20);
  ProbeLog("ticks reached 3: %d", gTicks >= 3);
  WriteInt(kTimer, kTimerInterval, 0);
  int stoppedAt = gTicks;
  PumpFor(300);
  ProbeLog("ticks after stop %d", gTicks - stoppedAt);
  WriteInt(kTimer, kTimerInterval, -5);
  ProbeLog("interval %d", ReadInt(kTimer, kTimerInterval));
  return 0;
}

// Polls what the animated box shows until both frames were seen (or 5 s).
bool SeesBothFrames() {
  bool red = false, blue = false;
  DWORD start = GetTickCount();
  while (!(red && blue) && GetTickCount() - start < 5000) {
    int shown = Snapshot(UnitWindow(kAnimBox)).At(15, 15);
    red = red || shown == 0xff0000;
    blue = blue || shown == 0x0000ff;
    PumpFor(10);
  }
  return red && blue;
}

int Animation() {
  ProbeLog("anim plays both frames=%d", SeesBothFrames());
  WriteInt(kAnimBox, kPicBoxPlayAnimation, 0);
  LogPixels("anim-stopped", kAnimBox, {{15, 15}});
  PumpFor(200);
  LogPixels("anim-still", kAnimBox, {{15, 15}});
  WriteInt(kAnimBox, kPicBoxPlayAnimation, 1);
  ProbeLog("anim plays again=%d", SeesBothFrames());
  // A new picture while playing: the old animation stops first.
  WriteBytes(kAnimBox, kPicBoxPicture, MakeGif(6, 6, {kGreen, kYellow}, 2));
  LogPixels("anim-new", kAnimBox, {{15, 15}});
  return 0;
}

// Sends a mouse message to a button at a point of its client area.
void Mouse(uint32_t unitId, UINT msg, int x, int y, bool held) {
  SendMessageW(UnitWindow(unitId), msg, held ? MK_LBUTTON : 0,
               MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y))));
}

// The colour the button shows at (x, y) of its picture, its click count and
// whether it holds the capture.
void LogButton(const char* tag, uint32_t unitId, int x = 5, int y = 5) {
  Snapshot shot(UnitWindow(unitId));
  ProbeLog("btn %s %s shows=%06x clicks=%d capture=%d", tag, NameOf(unitId), shot.At(x, y), gClicks,
      GetCapture() == UnitWindow(unitId));
}

int Buttons() {
  LogButton("start", kPushBtn);
  LogPixels("bands", kPushBtn, {{59, 29}, {70, 10}, {10, 35}, {75, 38}});
  Mouse(kPushBtn, WM_MOUSEMOVE, 10, 10, false);
  LogButton("hover", kPushBtn);
  Mouse(kPushBtn, WM_LBUTTONDOWN, 10, 10, true);
  LogButton("down", kPushBtn);
  Mouse(kPushBtn, WM_MOUSEMOVE, -30, 10, true);  // over the window beside the button
  LogButton("dragged-out", kPushBtn);
  Mouse(kPushBtn, WM_MOUSEMOVE, 12, 12, true);
  LogButton("back-in", kPushBtn);
  Mouse(kPushBtn, WM_LBUTTONUP, 12, 12, false);
  LogButton("released", kPushBtn);
  Pump();

  Mouse(kPushBtn, WM_MOUSEMOVE, 10, 10, false);
  Mouse(kPushBtn, WM_LBUTTONDOWN, 10, 10, true);
  Mouse(kPushBtn, WM_MOUSEMOVE, -30, 10, true);
  Mouse(kPushBtn, WM_LBUTTONUP, -30, 10, false);
  LogButton("released-outside", kPushBtn);

  // Without its own pressed picture the button shows the normal one.
  WriteBytes(kPushBtn, kPicBtnPressedPicture, {});
  Mouse(kPushBtn, WM_MOUSEMOVE, 10, 10, false);
  Mouse(kPushBtn, WM_LBUTTONDOWN, 10, 10, true);
  LogButton("down-no-pressed-picture", kPushBtn);
  Mouse(kPushBtn, WM_LBUTTONUP, 10, 10, false);
  ProbeLog("pressed picture bytes %d", static_cast<int>(ReadBytes(kPushBtn, kPicBtnPressedPicture).size()));

  // Disabled: the normal picture (no disabled one), no click.
  WriteInt(kPushBtn, kPropDisabled, 1);
  Mouse(kPushBtn, WM_LBUTTONDOWN, 10, 10, true);
  Mouse(kPushBtn, WM_LBUTTONUP, 10, 10, false);
  LogButton("disabled", kPushBtn);
  WriteBytes(kPushBtn, kPicBtnDisabledPicture, Solid(60, 30, kYellow));
  LogButton("disabled-picture", kPushBtn);
  WriteInt(kPushBtn, kPropDisabled, 0);
  LogButton("enabled", kPushBtn);

  // Checked: ignored by a push button, applied to a toggle button.
  WriteInt(kPushBtn, kPicBtnChecked, 1);
  ProbeLog("push checked %d", ReadInt(kPushBtn, kPicBtnChecked));
  WriteInt(kToggleBtn, kPicBtnChecked, 1);
  LogButton("toggle-checked", kToggleBtn);
  ProbeLog("toggle checked %d", ReadInt(kToggleBtn, kPicBtnChecked));
  Mouse(kToggleBtn, WM_MOUSEMOVE, 10, 10, false);
  Mouse(kToggleBtn, WM_LBUTTONDOWN, 10, 10, true);
  Mouse(kToggleBtn, WM_LBUTTONUP, 10, 10, false);
  LogButton("toggle-clicked", kToggleBtn);
  ProbeLog("toggle checked %d", ReadInt(kToggleBtn, kPicBtnChecked));
  WriteInt(kToggleBtn, kPicBtnButtonKind, 5);
  ProbeLog("toggle kind %d", ReadInt(kToggleBtn, kPicBtnButtonKind));
  return 0;
}

// Whether the window under a client point of the unit is the unit.
int HitsUnit(uint32_t unitId, int x, int y) {
  HWND hwnd = UnitWindow(unitId);
  POINT pt = {x, y};
  ClientToScreen(hwnd, &pt);
  return WindowFromPoint(pt) == hwnd;
}

void LogRegion(const char* tag) {
  HWND hwnd = UnitWindow(kKeyBtn);
  OwnedRegion region(CreateRectRgn(0, 0, 0, 0));
  int kind = GetWindowRgn(hwnd, region.get());
  ProbeLog("region %s kind=%d in(5,5)=%d in(30,5)=%d in(5,30)=%d in(30,30)=%d hit(5,5)=%d hit(30,5)=%d hit(5,30)=%d "
      "hit(30,30)=%d",
      tag, kind, PtInRegion(region.get(), 5, 5) != 0, PtInRegion(region.get(), 30, 5) != 0,
      PtInRegion(region.get(), 5, 30) != 0, PtInRegion(region.get(), 30, 30) != 0, HitsUnit(kKeyBtn, 5, 5),
      HitsUnit(kKeyBtn, 30, 5), HitsUnit(kKeyBtn, 5, 30), HitsUnit(kKeyBtn, 30, 30));
}

int Region() {
  LogRegion("normal");
  // Over the cut-out part the pointer is not over the button.
  Mouse(kKeyBtn, WM_MOUSEMOVE, 5, 30, false);
  LogButton("over-cut", kKeyBtn, 30, 30);
  Mouse(kKeyBtn, WM_MOUSEMOVE, 30, 30, false);
  LogRegion("hover");
  Mouse(kKeyBtn, WM_LBUTTONDOWN, 30, 30, true);
  Mouse(kKeyBtn, WM_LBUTTONUP, 30, 30, false);
  LogRegion("clicked");
  WriteInt(kKeyBtn, kPicBtnTransparentColor, static_cast<int32_t>(kDefaultColor));
  LogRegion("no-key");
  // An all-key picture leaves nothing of the window.
  WriteInt(kKeyBtn, kPicBtnTransparentColor, static_cast<int32_t>(kMagenta));
  WriteBytes(kKeyBtn, kPicBtnNormalPicture, Solid(60, 40, kMagenta));
  LogRegion("all-key");
  return 0;
}

// Shown until the test or the user closes it: the bar part-way, the push
// button hovered.
int Show() {
  Mouse(kPushBtn, WM_MOUSEMOVE, 10, 10, false);
  ReleaseCapture();
  gSystem.RunMessageLoop();
  return 0;
}

int RunMode() {
  gSystem.LoadStartWindow(kForm);
  ProbeLog("loaded");
  if (!strcmp(gMode, "picbox")) return PicBoxes();
  if (!strcmp(gMode, "bar")) return Bar();
  if (!strcmp(gMode, "timer")) return Timer();
  if (!strcmp(gMode, "buttons")) return Buttons();
  if (!strcmp(gMode, "region")) return Region();
  if (!strcmp(gMode, "anim")) return Animation();
  if (!strcmp(gMode, "show")) return Show();
  return 2;
}

}  // namespace

int ProgramEntry() {
  ParseProbeCommandLine();
  gLibrary1[0] = &gWindowUnitType;
  gLibrary1[kKindPicBox - 0x10001] = &gPicBoxUnitType;
  gLibrary1[kKindProcessBar - 0x10001] = &gProcessBarUnitType;
  gLibrary1[kKindTimer - 0x10001] = &gTimerUnitType;
  gLibrary1[kKindPicBtn - 0x10001] = &gPicBtnUnitType;
  gSystem.RuntimeService(kServiceInitialise, 0, 0, 0);
  return RunMode();
}
