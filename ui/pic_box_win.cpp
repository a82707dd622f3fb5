// The picture box unit (kind 0x00010006): a background colour and one
// picture, drawn at natural size, stretched or fitted; an animated GIF plays
// on a thread of its own.
#include <windows.h>

#include <atomic>
#include <string>

#include "frame/blocks.h"
#include "ui/border_style_win.h"
#include "ui/gdi_handles_win.h"
#include "ui/pic_box_record.h"
#include "ui/picture_bitmap_win.h"
#include "ui/picture_geometry.h"
#include "ui/unit_window_win.h"
#include "ui/widgets.h"

namespace {

const char kPicBoxClass[] = "SkinPicBox";
// How often the animation thread looks whether it must stop.
constexpr DWORD kStopCheckMs = 10;

const UnitPropertyDecl kPicBoxProperties[kPicBoxPropertyEnd - kFirstOwnProperty] = {
    {"BorderStyle", kTagInt},  {"BackColor", kTagInt},  {"Picture", kTagByteArray}, {"DisplayMode", kTagInt},
    {"PlayAnimation", kTagBool}, {"DataSource", kTagText}, {"DataColumn", kTagText},
};

// Serialises drawing between the window's thread and the animation thread.
class DrawLock {
 public:
  DrawLock() { InitializeCriticalSection(&section_); }
  ~DrawLock() { DeleteCriticalSection(&section_); }
  DrawLock(const DrawLock&) = delete;
  DrawLock& operator=(const DrawLock&) = delete;
  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class Held {
 public:
  explicit Held(DrawLock& lock) : lock_(lock) { lock_.Enter(); }
  ~Held() { lock_.Leave(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

 private:
  DrawLock& lock_;
};

struct PicBoxUnit {
  HWND hwnd = nullptr;
  PicBoxRecord record;  // the picture blob itself is kept by `picture`
  OwnedBrush brush;
  SkinPicture picture;
  // Drawing state (brush, picture, display mode, frame) changes only under
  // the lock while the animation thread runs.
  DrawLock lock;
  OwnedKernelHandle animation;
  std::atomic<bool> stopAnimation{false};
  std::atomic<size_t> frame{0};  // the frame shown; 0 while not playing
};

COLORREF PaintColor(uint32_t stored) {
  return stored == kDefaultColor ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(stored & 0x00FFFFFF);
}

// Background and picture into dc, whose origin is the client area's. Call
// with the lock held.
void PaintInto(PicBoxUnit& unit, HDC dc, int width, int height) {
  RECT client = {0, 0, width, height};
  FillRect(dc, &client, unit.brush.get());
  if (unit.picture.Empty()) return;
  const PictureLayout layout = PicBoxLayout(unit.record.displayMode);
  const PictureRect box = {0, 0, width, height};
  if (PlacementCount(layout, box, unit.picture.Width(), unit.picture.Height()) == 0) return;
  const PictureRect d = PlacementAt(layout, box, unit.picture.Width(), unit.picture.Height(), 0).dest;
  const RECT dest = {d.x, d.y, d.x + d.width, d.y + d.height};
  unit.picture.Draw(dc, unit.frame.load(), dest);
}

// Paints through an off-screen bitmap, so that the background never flashes
// between frames; straight into dc when no bitmap can be made.
void PaintBuffered(PicBoxUnit& unit, HDC dc) {
  RECT client;
  GetClientRect(unit.hwnd, &client);
  const int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return;
  OwnedMemoryDc memory(CreateCompatibleDC(dc));
  OwnedBitmap bitmap(memory ? CreateCompatibleBitmap(dc, width, height) : nullptr);
  Held held(unit.lock);
  if (!bitmap) {
    PaintInto(unit, dc, width, height);
    return;
  }
  SelectGuard select(memory.get(), bitmap.get());
  PaintInto(unit, memory.get(), width, height);
  BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

// Shows each frame for its delay (10 ms units), looking every 10 ms whether
// it must stop, and starts again after the last one.
DWORD WINAPI AnimationThread(void* param) {
  PicBoxUnit& unit = *static_cast<PicBoxUnit*>(param);
  const size_t count = unit.picture.FrameCount();
  size_t frame = unit.frame.load();
  while (!unit.stopAnimation.load()) {
    if (HDC dc = GetDC(unit.hwnd)) {
      PaintBuffered(unit, dc);
      ReleaseDC(unit.hwnd, dc);
    }
    uint32_t delay = unit.picture.FrameDelay(frame);
    if (delay == 0) delay = kGifDefaultDelay;
    for (uint32_t waited = 0; waited < delay && !unit.stopAnimation.load(); ++waited) Sleep(kStopCheckMs);
    frame = (frame + 1) % count;
    unit.frame.store(frame);
  }
  return 0;
}

void StopAnimation(PicBoxUnit& unit) {
  if (!unit.animation) return;
  unit.stopAnimation.store(true);
  WaitForSingleObject(unit.animation.get(), INFINITE);
  unit.animation.Reset();
  unit.frame.store(0);
}

// Plays a picture of more than one frame while PlayAnimation is set.
void StartAnimation(PicBoxUnit& unit) {
  if (unit.animation || !unit.record.playAnimation || unit.picture.FrameCount() < 2) return;
  unit.stopAnimation.store(false);
  unit.frame.store(0);
  unit.animation.Reset(CreateThread(nullptr, 0, AnimationThread, &unit, 0, nullptr));
}

void MakeBrush(PicBoxUnit& unit) {
  OwnedBrush brush(CreateSolidBrush(PaintColor(unit.record.backColor)));
  Held held(unit.lock);
  unit.brush = std::move(brush);
}

void LoadPicture(PicBoxUnit& unit, const uint8_t* data, size_t size) {
  StopAnimation(unit);
  unit.picture.Load(data, size);
  StartAnimation(unit);
}

int64_t ReadProperty(HWND hwnd, int index) {
  const int number = index + kFirstOwnProperty;
  PicBoxUnit* unit = UnitOf<PicBoxUnit>(hwnd);
  if (!unit) return 0;
  const PicBoxRecord& r = unit->record;
  switch (number) {
    case kPicBoxBorderStyle: return r.borderStyle;
    case kPicBoxBackColor: return static_cast<int32_t>(r.backColor);
    case kPicBoxPicture: {
      const std::vector<uint8_t>& blob = unit->picture.Blob();
      return static_cast<int64_t>(
          reinterpret_cast<uintptr_t>(NewByteArray(blob.data(), static_cast<uint32_t>(blob.size()))));
    }
    case kPicBoxDisplayMode: return r.displayMode;
    case kPicBoxPlayAnimation: return r.playAnimation;
    case kPicBoxDataSource: return static_cast<int64_t>(reinterpret_cast<uintptr_t>(NewText(r.dataSource.c_str())));
    case kPicBoxDataColumn: return static_cast<int64_t>(reinterpret_cast<uintptr_t>(NewText(r.dataColumn.c_str())));
  }
  return 0;
}

int WriteProperty(HWND hwnd, int index, const ArgValue& value) {
  const int number = index + kFirstOwnProperty;
  PicBoxUnit* unit = UnitOf<PicBoxUnit>(hwnd);
  if (!unit) return 0;
  PicBoxRecord& r = unit->record;
  switch (number) {
    case kPicBoxBorderStyle:
      r.borderStyle = ClampToRange(value.i32, 0, kMaxWidgetBorderStyle);
      ApplyBorderStyle(hwnd, r.borderStyle);
      break;
    case kPicBoxBackColor:
      r.backColor = value.u32;
      MakeBrush(*unit);
      InvalidateRect(hwnd, nullptr, FALSE);
      break;
    case kPicBoxPicture: {
      const uint8_t* data = nullptr;
      uint32_t len = 0;
      if (!ViewByteArray(value.ptr, &data, &len)) len = 0;
      LoadPicture(*unit, data, len);
      InvalidateRect(hwnd, nullptr, FALSE);
      break;
    }
    case kPicBoxDisplayMode: {
      int32_t mode = ClampToRange(value.i32, 0, kMaxDisplayMode);
      if (mode == r.displayMode) break;
      {
        Held held(unit->lock);
        r.displayMode = mode;
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      UpdateWindow(hwnd);
      break;
    }
    case kPicBoxPlayAnimation:
      r.playAnimation = value.i32 != 0 ? 1 : 0;
      if (r.playAnimation) {
        StartAnimation(*unit);
      } else {
        StopAnimation(*unit);
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      break;
    case kPicBoxDataSource:
      r.dataSource = value.text;
      break;
    case kPicBoxDataColumn:
      r.dataColumn = value.text;
      break;
  }
  return 0;
}

LRESULT CALLBACK PicBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  PicBoxUnit* unit = AttachedUnit<PicBoxUnit>(hwnd, msg, lParam);
  if (!unit) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCCREATE) unit->hwnd = hwnd;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (HDC dc = BeginPaint(hwnd, &ps)) {
        PaintBuffered(*unit, dc);
        EndPaint(hwnd, &ps);
      }
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintBuffered(*unit, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the whole client area
    case kMsgUnitProperty:
      return RunPropertyCall(hwnd, lParam);
    case WM_DESTROY:
      StopAnimation(*unit);
      break;
    case WM_NCDESTROY:
      StopAnimation(*unit);
      DetachUnit(hwnd);
      delete unit;
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void* CreatePicBox(const UnitCreateParams& p) {
  PicBoxRecord record;
  if (PicBoxUnit* old = p.previous ? UnitOf<PicBoxUnit>(static_cast<HWND>(p.previous)) : nullptr) {
    record = old->record;
    record.picture = old->picture.Blob();
  } else if (!DecodePicBoxRecord(p.data, p.size, &record, nullptr)) {
    return nullptr;
  }
  if (!RegisterUnitClass(kPicBoxClass, PicBoxProc, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS)) return nullptr;
  auto* unit = new PicBoxUnit;
  bool taken = false;
  HWND hwnd = CreateUnitWindow(p, 0, kPicBoxClass, "", WS_CHILD | WS_CLIPSIBLINGS, unit, &taken);
  if (!hwnd) {
    if (!taken) delete unit;  // else the window's WM_NCDESTROY freed it
    return nullptr;
  }
  std::vector<uint8_t> picture;
  picture.swap(record.picture);
  unit->record = std::move(record);
  MakeBrush(*unit);
  LoadPicture(*unit, picture.data(), picture.size());
  ApplyBorderStyle(hwnd, unit->record.borderStyle);
  return hwnd;
}

}  // namespace

const UnitTypeDescriptor gPicBoxUnitType = {
    "PicBox", kUnitTypeRaisesEvents, kPicBoxPropertyEnd - kFirstOwnProperty, kPicBoxProperties,
    CreatePicBox, GetPropertyOnWindowThread<ReadProperty>, SetPropertyOnWindowThread<WriteProperty>,
};
