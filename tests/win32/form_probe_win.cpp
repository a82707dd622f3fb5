// A program on the frame for the window-loading tests: its own forms (built
// at start with the form writer), handler table and test unit types. The
// first command-line word picks a scenario, the second names a log file to
// which the probe appends one line per observation (GBK, "\n"-separated);
// window_loading_test.cpp reads it back.
#include <windows.h>

#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "frame/blocks.h"
#include "frame/core_commands.h"
#include "frame/form_writer.h"
#include "frame/property_values.h"
#include "frame/text_commands.h"
#include "frame/wide_text_win.h"
#include "frame/window_record.h"
#include "tests/win32/form_probe.h"
#include "tests/win32/probe_units.h"

namespace {

struct NamedUnit {
  uint32_t id;
  const char* name;
};
const NamedUnit kNames[] = {
    {kWindowSelfUnit, "窗口"}, {kBoxA, "框A"}, {kHiddenBox, "隐藏框"}, {kBoxB, "框B"},
    {kTimer, "时钟"}, {kBoxC, "框C"}, {kPage, "页"}, {kLastBox, "尾框"},
    {kSilentBox, "静框"}, {kNeverBox, "框N"},
};

}  // namespace

const char* NameOf(uint32_t unitId) {
  for (const NamedUnit& n : kNames)
    if (n.id == unitId) return n.name;
  return "?";
}

namespace {

// ---- Frame access --------------------------------------------------------------

HWND UnitWindow(uint32_t windowId, uint32_t unitId) { return probe::UnitWindow(gFrameService, windowId, unitId); }
using probe::ReadInt;
using probe::WriteInt;
using probe::WritePointer;
// Reads a text property; "<null>" for a null block.
std::string ReadText(uint32_t windowId, uint32_t unitId, int property) {
  return probe::ReadText(windowId, unitId, property, "<null>");
}

// ---- Event handlers ------------------------------------------------------------

// Handler table order: handler i serves event kHandledEvents[i].
const int32_t kHandledEvents[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, -7, -8,
                                  -1, -2, -3, -4, -5, -9, -10, -11, -12};
int32_t HandlerOffsetFor(int32_t event) {
  for (size_t i = 0; i < sizeof kHandledEvents / sizeof kHandledEvents[0]; ++i)
    if (kHandledEvents[i] == event) return HandlerOffsetOf(static_cast<int32_t>(i));
  return kNoHandler;
}

enum class Reply { kNothing, kFalse, kTrue };
Reply gLeftButtonUpReply = Reply::kNothing;
int gCloseRequests = 0;
bool gIdleLogged = false;

HandlerResult Policy(int32_t event, uint32_t unitId, const int32_t* args) {
  if (event == 0 && !strcmp(gMode, "destroy-on-create"))
    DestroyWindow(UnitWindow(kDestroyedOnCreate, kWindowSelfUnit));
  if (event == 1 && !strcmp(gMode, "close") && ++gCloseRequests == 1) {
    PostMessageW(UnitWindow(kMainWindow, kWindowSelfUnit), WM_CLOSE, 0, 0);
    return Returns(0);
  }
  if (event == -2) {
    if (gLeftButtonUpReply == Reply::kFalse) return Returns(0);
    if (gLeftButtonUpReply == Reply::kTrue) return Returns(1);
  }
  if (event == -11) {
    if (args[0] == 'a') return Returns('B');
    if (args[0] == 'x') return Returns(0);
  }
  (void)unitId;
  return NoValue();
}

template <int Index>
HandlerResult OnEvent(const int32_t* args, int argCount) {
  const int32_t event = kHandledEvents[Index];
  UnitRef source = {};
  gFrameService(kFsEventSource, reinterpret_cast<intptr_t>(&source), 0, 0);
  if (event == 7) {  // idle: logged once, it comes often
    if (!gIdleLogged) ProbeLog("ev %s 7", NameOf(source.unitId));
    gIdleLogged = true;
    return NoValue();
  }
  char line[128];
  int n = wsprintfA(line, "ev %s %d", NameOf(source.unitId), event);
  for (int i = 0; i < argCount; ++i) n += wsprintfA(line + n, " %d", args[i]);
  ProbeLog("%s", line);
  if (event == 0) ProbeLog("source %08x %08x", source.windowId, source.unitId);
  return Policy(event, source.unitId, args);
}

template <int... I>
constexpr std::array<EventHandler, sizeof...(I)> MakeHandlers(std::integer_sequence<int, I...>) {
  return {&OnEvent<I>...};
}
const auto kHandlers =
    MakeHandlers(std::make_integer_sequence<int, sizeof kHandledEvents / sizeof kHandledEvents[0]>());

// ---- Forms -------------------------------------------------------------------

std::vector<uint8_t> WindowProps(const char* title) {
  WindowRecord r;
  r.borderStyle = 0;
  r.backPictureMode = 1;
  r.backColor = 0x00EEB875;
  r.maxButton = 0;
  r.minButton = 0;
  r.controlButton = 1;
  r.startPosition = 1;
  r.showInTaskbar = 1;
  r.title = title;
  std::vector<uint8_t> out;
  EncodeWindowRecord(r, &out);
  return out;
}

// A little-endian word: a colour record of the probe box, or cursor data.
std::vector<uint8_t> Word(uint32_t w) {
  return {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w >> 16),
          static_cast<uint8_t>(w >> 24)};
}

FormUnit Unit(uint32_t id, uint32_t kind, uint32_t parent, int32_t left, int32_t top, int32_t width,
              int32_t height, uint32_t flags, std::vector<int32_t> events, std::vector<uint8_t> props,
              uint32_t mousePointer = 0) {
  FormUnit u;
  u.unitId = id;
  u.kind = kind;
  u.name = id == kWindowSelfUnit ? "" : NameOf(id);
  u.left = left;
  u.top = top;
  u.width = width;
  u.height = height;
  u.parentId = parent;
  u.cursorData = Word(mousePointer);
  u.flags = flags;
  for (int32_t e : events) u.events.push_back({e, HandlerOffsetFor(e)});
  u.props = std::move(props);
  return u;
}

using probe::Form;

const std::vector<int32_t> kWindowEvents = {0, 1, 2, 3, 4, 5, 8, 10, 11, -7, 7};
const std::vector<int32_t> kInputEvents = {-1, -2, -3, -4, -5, -9, -10, -11, -12};

std::vector<uint8_t> BuildForms() {
  const uint32_t kVisible = kUnitVisible;
  std::vector<FormTemplate> forms;
  forms.push_back(Form(kMainWindow, {
      Unit(kWindowSelfUnit, kKindWindow, 0, 50, 50, 250, 400, kVisible, kWindowEvents, WindowProps("窗口探针")),
      Unit(kBoxA, kKindPicBox, 0, 10, 10, 100, 40, kVisible, kInputEvents, Word(0x0000FF)),
      Unit(kHiddenBox, kKindPicBox, 0, 10, 60, 50, 20, 0, {}, Word(0x00FF00)),
      Unit(kBoxB, kKindPicBox, kPage, 20, 30, 60, 60, kVisible, {}, Word(0xFFFFFF)),
      Unit(kTimer, kKindTimer, 0, 0, 0, 26, 26, kVisible, {}, {}),
      Unit(kBoxC, kKindPicBox, kPage, 40, 50, 60, 60, kVisible, {}, Word(0x000000)),
      Unit(kPage, kKindPicBox, 0, 0, 100, 250, 300, kVisible, {}, Word(0xC48316)),
      Unit(kLastBox, kKindPicBox, 0, 150, 10, 90, 40, kVisible, {}, Word(0x00FFFF), 32649),
      Unit(kSilentBox, kKindProcessBar, 0, 150, 60, 90, 20, kVisible, {}, Word(0x808080)),
  }));
  FormUnit never = Unit(kNeverBox, kKindPicBox, 0, 5, 6, 70, 80, kVisible, {}, {});
  never.tag = "原标签";
  forms.push_back(Form(kNeverLoaded, {
      Unit(kWindowSelfUnit, kKindWindow, 0, 0, 0, 200, 100, kVisible, {}, WindowProps("从未载入")),
      never,
  }));
  forms.push_back(Form(kDestroyedOnCreate, {
      Unit(kWindowSelfUnit, kKindWindow, 0, 0, 0, 200, 100, kVisible, kWindowEvents, WindowProps("即毁")),
      Unit(kBoxA, kKindPicBox, 0, 1, 1, 10, 10, kVisible, {}, {}),
  }));
  forms.push_back(Form(kMissingType, {
      Unit(kWindowSelfUnit, kKindWindow, 0, 0, 0, 200, 100, kVisible, {}, WindowProps("缺类型")),
      Unit(kBoxA, kKindZip, 0, 1, 1, 10, 10, 0, {}, {}),
  }));
  forms.push_back(Form(kFailingCreate, {
      Unit(kWindowSelfUnit, kKindWindow, 0, 0, 0, 200, 100, kVisible, {}, WindowProps("建失败")),
      Unit(kBoxA, kKindLabel, 0, 1, 1, 10, 10, kVisible, {}, {}),
  }));
  std::vector<uint8_t> blob;
  WriteForms(forms, &blob);
  return blob;
}

const std::vector<uint8_t> gFormBlob = BuildForms();

}  // namespace

// Declared DLL commands of the address scenario.
enum : int { kDllTextLength = 0, kDllCopyText = 1 };
const char* const kDllLibraries[] = {"kernel32", "kernel32"};
const char* const kDllCommands[] = {"lstrlenA", "lstrcpyA"};

const ProgramDescriptor gProgramDescriptor = {
    3, kHandlers.data(), static_cast<int>(kHandlers.size()), nullptr, 0,
    gFormBlob.data(), gFormBlob.size(), 2, kProbeLibraries, 2, kDllLibraries, kDllCommands,
};

namespace {

// ---- Scenarios -----------------------------------------------------------------

const uint32_t kMainUnits[] = {kBoxA, kHiddenBox, kBoxB, kTimer, kBoxC, kPage, kLastBox, kSilentBox};

std::string UnitNameOfWindow(HWND hwnd) {
  if (hwnd == UnitWindow(kMainWindow, kWindowSelfUnit)) return "窗口";
  for (uint32_t id : kMainUnits)
    if (UnitWindow(kMainWindow, id) == hwnd) return NameOf(id);
  return "?";
}

// One line per parent: its child windows from the top of the stack down.
void LogStack(uint32_t parentUnit) {
  HWND parent = UnitWindow(kMainWindow, parentUnit);
  std::string line;
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (!line.empty()) line += ",";
    line += UnitNameOfWindow(h);
  }
  ProbeLog("stack %s: %s", NameOf(parentUnit), line.c_str());
}

void LogMainWindowFacts() {
  HWND window = UnitWindow(kMainWindow, kWindowSelfUnit);
  LONG style = GetWindowLongW(window, GWL_STYLE);
  LONG ex = GetWindowLongW(window, GWL_EXSTYLE);
  RECT r;
  GetWindowRect(window, &r);
  std::string title = WindowTextGbk(window);
  ProbeLog("window popup=%d caption=%d appwindow=%d owner=%d visible=%d", (style & WS_POPUP) != 0,
      (style & WS_CAPTION) != 0, (ex & WS_EX_APPWINDOW) != 0, GetWindow(window, GW_OWNER) != nullptr,
      IsWindowVisible(window) != 0);
  ProbeLog("rect %d %d %d %d screen %d %d", r.left, r.top, r.right - r.left, r.bottom - r.top,
      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  ProbeLog("title %s", title.c_str());
  for (uint32_t id : kMainUnits) {
    HWND h = UnitWindow(kMainWindow, id);
    ProbeLog("unit %s id=%d visible=%d parent=%s", NameOf(id), GetDlgCtrlID(h), IsWindowVisible(h) != 0,
        UnitNameOfWindow(GetParent(h)).c_str());
  }
}

int Load() {
  gSystem.LoadStartWindow(kMainWindow);
  ProbeLog("loaded");
  UnitRef source = {1, 1};
  gFrameService(kFsEventSource, reinterpret_cast<intptr_t>(&source), 0, 0);
  ProbeLog("source-after %08x", source.windowId);
  LogMainWindowFacts();
  LogStack(kWindowSelfUnit);
  LogStack(kPage);
  ProbeLog("live B left=%d top=%d", ReadInt(kMainWindow, kBoxB, kPropLeft), ReadInt(kMainWindow, kBoxB, kPropTop));

  // Own properties: conversions on the way in and out.
  WritePointer(kMainWindow, kBoxA, kOwnText, "你好");
  ProbeLog("own text=%s", ReadText(kMainWindow, kBoxA, kOwnText).c_str());
  WritePointer(kMainWindow, kBoxA, kOwnText, nullptr);
  ProbeLog("own null text=%s", ReadText(kMainWindow, kBoxA, kOwnText).c_str());
  WriteInt(kMainWindow, kBoxA, kOwnFlag, 5);
  ProbeLog("own flag=%d", ReadInt(kMainWindow, kBoxA, kOwnFlag));

  // Clamps on a live control.
  WriteInt(kMainWindow, kBoxA, kPropWidth, -5);
  WriteInt(kMainWindow, kBoxA, kPropLeft, 40000);
  WriteInt(kMainWindow, kBoxA, kPropTop, -40000);
  ProbeLog("live clamp width=%d left=%d top=%d", ReadInt(kMainWindow, kBoxA, kPropWidth),
      ReadInt(kMainWindow, kBoxA, kPropLeft), ReadInt(kMainWindow, kBoxA, kPropTop));

  // Re-creation of the page that holds B and C.
  HWND oldPage = UnitWindow(kMainWindow, kPage);
  WriteInt(kMainWindow, kPage, kOwnNumber, 0x123456);
  WriteInt(kMainWindow, kPage, kOwnRebuild, 1);
  HWND newPage = UnitWindow(kMainWindow, kPage);
  ProbeLog("rebuilt new=%d old-gone=%d number=%x", newPage != oldPage, !IsWindow(oldPage),
      ReadInt(kMainWindow, kPage, kOwnNumber));
  ProbeLog("unit 页 id=%d visible=%d", GetDlgCtrlID(newPage), IsWindowVisible(newPage) != 0);
  ProbeLog("parent 框B=%s 框C=%s", UnitNameOfWindow(GetParent(UnitWindow(kMainWindow, kBoxB))).c_str(),
      UnitNameOfWindow(GetParent(UnitWindow(kMainWindow, kBoxC))).c_str());
  LogStack(kWindowSelfUnit);
  LogStack(kPage);
  return 0;
}

int DestroyOnCreate() {
  gSystem.LoadStartWindow(kDestroyedOnCreate);
  ProbeLog("after-load live=%d", UnitWindow(kDestroyedOnCreate, kWindowSelfUnit) != nullptr);
  gSystem.RunMessageLoop();
  ProbeLog("loop-returned");
  return 0;
}

int NeverLoaded() {
  ProbeLog("stored %d %d %d %d", ReadInt(kNeverLoaded, kNeverBox, kPropLeft), ReadInt(kNeverLoaded, kNeverBox, kPropTop),
      ReadInt(kNeverLoaded, kNeverBox, kPropWidth), ReadInt(kNeverLoaded, kNeverBox, kPropHeight));
  struct Case {
    int property;
    int32_t value;
  };
  const Case kCases[] = {{kPropWidth, -5}, {kPropLeft, 40000}, {kPropTop, -40000},
                         {kPropHeight, 40000}, {kPropLeft, -12}, {kPropWidth, 32627}};
  for (const Case& c : kCases) {
    WriteInt(kNeverLoaded, kNeverBox, c.property, c.value);
    ProbeLog("write %d %d -> %d", c.property, c.value, ReadInt(kNeverLoaded, kNeverBox, c.property));
  }
  ProbeLog("tag %s", ReadText(kNeverLoaded, kNeverBox, kPropTag).c_str());
  WritePointer(kNeverLoaded, kNeverBox, kPropTag, "新标签");
  ProbeLog("tag %s", ReadText(kNeverLoaded, kNeverBox, kPropTag).c_str());
  WritePointer(kNeverLoaded, kNeverBox, kPropTag, nullptr);
  ProbeLog("tag %s", ReadText(kNeverLoaded, kNeverBox, kPropTag).c_str());
  ProbeLog("visible %d", ReadInt(kNeverLoaded, kNeverBox, kPropVisible));
  WriteInt(kNeverLoaded, kNeverBox, kPropVisible, 0);
  WriteInt(kNeverLoaded, kNeverBox, kPropDisabled, 7);
  ProbeLog("visible %d disabled %d", ReadInt(kNeverLoaded, kNeverBox, kPropVisible),
      ReadInt(kNeverLoaded, kNeverBox, kPropDisabled));
  ProbeLog("own property next");
  ReadInt(kNeverLoaded, kNeverBox, kOwnNumber);
  ProbeLog("own property returned");
  return 3;
}

void Pump() { gFrameService(kFsProcessMessages, 0, 0, 0); }

void SetModifiers(bool ctrl, bool shift, bool alt) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = ctrl ? 0x80 : 0;
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[VK_MENU] = alt ? 0x80 : 0;
  SetKeyboardState(keys);
}

int Input() {
  gSystem.LoadStartWindow(kMainWindow);
  HWND box = UnitWindow(kMainWindow, kBoxA);
  const struct {
    Reply reply;
    const char* name;
  } kReplies[] = {{Reply::kFalse, "false"}, {Reply::kNothing, "nothing"}, {Reply::kTrue, "true"}};
  for (const auto& r : kReplies) {
    gLeftButtonUpReply = r.reply;
    ProbeLog("reply %s", r.name);
    PostMessageW(box, WM_LBUTTONUP, MK_CONTROL, MAKELPARAM(-3, 7));
    Pump();
  }
  gLeftButtonUpReply = Reply::kNothing;

  const struct {
    UINT key;
    bool ctrl, shift, alt;
  } kKeys[] = {{VK_NUMPAD5, true, false, false}, {VK_CONTROL, true, false, false},
               {VK_DECIMAL, false, true, false}, {VK_SUBTRACT, false, false, true},
               {VK_DIVIDE, true, true, true},   {VK_SHIFT, true, true, false},
               {'Q', false, false, false}};
  for (const auto& k : kKeys) {
    SetModifiers(k.ctrl, k.shift, k.alt);
    PostMessageW(box, WM_KEYDOWN, k.key, 1);
    Pump();
  }
  SetModifiers(false, false, false);

  for (char c : {'a', 'x', 'z'}) {
    PostMessageW(box, WM_CHAR, static_cast<WPARAM>(c), 1);
    Pump();
  }
  PostMessageW(box, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, static_cast<WORD>(-240)), 0);
  Pump();
  // A unit type that raises no events: its input goes on untouched.
  PostMessageW(UnitWindow(kMainWindow, kSilentBox), WM_LBUTTONUP, 0, 0);
  Pump();
  ProbeLog("input-done");
  return 0;
}

void RaiseOnCleanup() {
  ProbeLog("cleanup");
  EventRecord record = {};
  record.windowId = kMainWindow;
  record.unitId = kBoxA;
  record.eventNumber = -1;
  gFrameService(kFsRaiseEvent, reinterpret_cast<intptr_t>(&record), 0, 0);
  HWND window = UnitWindow(kMainWindow, kWindowSelfUnit);
  SendMessageW(window, WM_CLOSE, 0, 0);
  PostMessageW(UnitWindow(kMainWindow, kBoxA), WM_LBUTTONUP, 0, 0);
  Pump();
  ProbeLog("cleanup-done live=%d", IsWindow(window) != 0);
}

int ExitStopsEvents() {
  gSystem.LoadStartWindow(kMainWindow);
  gSystem.RuntimeService(kServiceRegisterCleanup, reinterpret_cast<intptr_t>(&RaiseOnCleanup), 0, 0);
  ProbeLog("exiting");
  gSystem.ExitProgram(0);
  return 4;
}

int Close() {
  gSystem.LoadStartWindow(kMainWindow);
  ProbeLog("left before %d", ReadInt(kMainWindow, kBoxA, kPropLeft));
  WriteInt(kMainWindow, kBoxA, kPropLeft, 77);
  WritePointer(kMainWindow, kBoxA, kPropTag, "改过");
  PostMessageW(UnitWindow(kMainWindow, kWindowSelfUnit), WM_CLOSE, 0, 0);
  gSystem.RunMessageLoop();
  ProbeLog("loop-returned");
  ProbeLog("after close left=%d tag=%s live=%d", ReadInt(kMainWindow, kBoxA, kPropLeft),
      ReadText(kMainWindow, kBoxA, kPropTag).c_str(), UnitWindow(kMainWindow, kWindowSelfUnit) != nullptr);
  gSystem.LoadStartWindow(kMainWindow);
  ProbeLog("reloaded live=%d left=%d", UnitWindow(kMainWindow, kWindowSelfUnit) != nullptr,
      ReadInt(kMainWindow, kBoxA, kPropLeft));
  return 0;
}

// Shown until the test closes it.
int Show() {
  gSystem.LoadStartWindow(kMainWindow);
  gSystem.RunMessageLoop();
  ProbeLog("loop-returned");
  return 0;
}

int RaiseFatal(uint32_t windowId, uint32_t unitId) {
  EventRecord record = {};
  record.windowId = windowId;
  record.unitId = unitId;
  record.eventNumber = -1;
  gFrameService(kFsRaiseEvent, reinterpret_cast<intptr_t>(&record), 0, 0);
  return 5;
}

// A text and a byte array placed at the top of the address space (above
// 4 GB in a 64-bit process) travel through a command, a unit property and a
// DLL command; every step logs whether the whole address arrived.
int HighAddress() {
  const size_t kSize = 1 << 16;
  auto* page = static_cast<char*>(
      VirtualAlloc(nullptr, kSize, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE));
  if (!page) return 3;
  ProbeLog("above-4gb=%d", reinterpret_cast<uintptr_t>(page) > 0xFFFFFFFFu);
  // The page holds constants, as the image's own do (a 64-bit image loads
  // above 4 GB): byte arrays there are blocks the frame reads but never frees.
  AddConstantRange(page, kSize);
  static const char kText[] = "高处的文字";
  char* text = page;
  std::memcpy(text, kText, sizeof kText);
  uint8_t* bytes = reinterpret_cast<uint8_t*>(page + 0x100);
  const uint32_t header[2] = {1, 3};
  std::memcpy(bytes, header, sizeof header);
  std::memcpy(bytes + 8, "\x01\x02\x03", 3);

  // The value model: commands read the text where it lies.
  ArgValue one[1] = {MakeText(text)};
  ArgValue length = gSystem.CallCoreCommand(CmdTextLength, 1, one);
  ArgValue two[2] = {MakeText(text), MakeText(text)};
  ArgValue joined = gSystem.CallCoreCommand(CmdConcatTexts, 2, two);
  ProbeLog("value length=%d joined=%d", length.i32,
           joined.text && std::string(joined.text) == std::string(kText) + kText);
  gSystem.FreeBlock(joined.ptr);

  // Unit properties: an own text, an own byte array and the common tag.
  gSystem.LoadStartWindow(kMainWindow);
  WritePointer(kMainWindow, kBoxA, kOwnText, text);
  WritePointer(kMainWindow, kBoxA, kOwnData, bytes);
  WritePointer(kMainWindow, kBoxA, kPropTag, text);
  const uint8_t* data = nullptr;
  uint32_t len = 0;
  void* block = PropertyPointer<void>(gSystem.ReadUnitProperty(kMainWindow, kBoxA, kOwnData, -1));
  bool bytesOk = ViewByteArray(block, &data, &len) && len == 3 && std::memcmp(data, "\x01\x02\x03", 3) == 0;
  gSystem.FreeBlock(block);
  ProbeLog("property text=%d data=%d tag=%d", ReadText(kMainWindow, kBoxA, kOwnText) == kText, bytesOk,
           ReadText(kMainWindow, kBoxA, kPropTag) == kText);

  // DLL commands: an address argument, and an address as the result.
  char* copy = page + 0x200;
  const DllArg lengthArgs[1] = {reinterpret_cast<DllArg>(text)};
  const DllArg copyArgs[2] = {reinterpret_cast<DllArg>(copy), reinterpret_cast<DllArg>(text)};
  auto dllLength = static_cast<int32_t>(gSystem.CallDllCommand(kDllTextLength, 1, lengthArgs));
  uint64_t returned = gSystem.CallDllCommand(kDllCopyText, 2, copyArgs);
  ProbeLog("dll length=%d result=%d copied=%d", dllLength, returned == reinterpret_cast<uintptr_t>(copy),
           std::strcmp(copy, kText) == 0);
  return 0;
}

int RunMode() {
  if (!strcmp(gMode, "load")) return Load();
  if (!strcmp(gMode, "destroy-on-create")) return DestroyOnCreate();
  if (!strcmp(gMode, "never-loaded")) return NeverLoaded();
  if (!strcmp(gMode, "input")) return Input();
  if (!strcmp(gMode, "exit-stops-events")) return ExitStopsEvents();
  if (!strcmp(gMode, "close")) return Close();
  if (!strcmp(gMode, "show")) return Show();
  if (!strcmp(gMode, "high-address")) return HighAddress();
  if (!strcmp(gMode, "missing-type")) gSystem.LoadStartWindow(kMissingType);
  if (!strcmp(gMode, "failing-create")) gSystem.LoadStartWindow(kFailingCreate);
  if (!strcmp(gMode, "raise-no-window")) return RaiseFatal(0x52019999, kBoxA);
  if (!strcmp(gMode, "raise-no-unit")) return RaiseFatal(kMainWindow, 0x16019999);
  if (!strcmp(gMode, "raise-silent-unit")) return RaiseFatal(kMainWindow, kSilentBox);
  if (!strcmp(gMode, "require-unloaded"))
    gFrameService(kFsRequireUnitObject, kNeverLoaded, kNeverBox, 0);
  if (!strcmp(gMode, "read-no-window")) ReadInt(0x52019999, kBoxA, kPropLeft);
  return 2;
}

}  // namespace

int ProgramEntry() {
  ParseProbeCommandLine();
  FillProbeLibraries();
  gSystem.RuntimeService(kServiceInitialise, 0, 0, 0);
  return RunMode();
}
