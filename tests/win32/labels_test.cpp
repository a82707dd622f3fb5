// The label and the transparent label seen through label_probe.exe: what
// they paint (read back from the window as pixels; text is judged by colour,
// never by exact pixels), how their properties store and clamp, and that
// mouse input on them reaches bound handlers through the frame.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/driver/test_driver.h"
#include "tests/win32/probe_run.h"

namespace {

using probetest::kProbeWaitMs;

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

// A window capture: rows of BGRA pixels.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  // The pixel as a COLORREF (0x00BBGGRR).
  COLORREF At(int x, int y) const {
    uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
};

bool IsDark(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 384; }
bool IsYellow(COLORREF c) { return GetRValue(c) > 180 && GetGValue(c) > 180 && GetBValue(c) < 100; }
bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The colours of the probe's quadrant picture at (x, y) of a width x height copy.
COLORREF Quadrant(int x, int y, int width, int height) {
  const bool right = x >= width / 2, bottom = y >= height / 2;
  return !bottom ? (right ? RGB(0, 255, 0) : RGB(255, 0, 0)) : (right ? RGB(255, 255, 0) : RGB(0, 0, 255));
}

// What the probe's backdrop paints at window x.
COLORREF Backdrop(int x) { return x < 200 ? RGB(22, 131, 196) : RGB(40, 160, 60); }

// One run of label_probe.exe with its own log file and window captures
// (<log>.<name>.raw).
class LabelProbe : public probetest::ProbeRun {
 public:
  explicit LabelProbe(const char* mode)
      : probetest::ProbeRun("label_probe", mode, {".initial.raw", ".caption.raw", ".moved.raw"}) {}

  bool Has(const std::string& line) const { return probetest::Has(Lines(), line); }

  // Polls the log until it holds line (or the probe has ended, or time is up).
  bool WaitForLine(const std::string& line) {
    for (DWORD waited = 0; waited < kProbeWaitMs; waited += 50) {
      if (Has(line)) return true;
      if (testdriver::WaitForExit(process(), 0, nullptr) == testdriver::WaitResult::kExited) return Has(line);
      Sleep(50);
    }
    return false;
  }

  // The last "<prefix> a b c ..." line's numbers.
  std::vector<long> Numbers(const std::string& prefix) const {
    std::vector<long> numbers;
    for (const std::string& l : Lines()) {
      if (l.compare(0, prefix.size() + 1, prefix + " ") != 0) continue;
      numbers.clear();
      const char* p = l.c_str() + prefix.size();
      char* end;
      for (long v = strtol(p, &end, 10); end != p; v = strtol(p, &end, 10)) {
        numbers.push_back(v);
        p = end;
      }
    }
    return numbers;
  }

  Rect RectOf(const std::string& unit) const {
    std::vector<long> n = Numbers("rect " + unit);
    Rect r;
    if (n.size() == 4) r = {int(n[0]), int(n[1]), int(n[2]), int(n[3])};
    return r;
  }
  HWND WindowOf(const std::string& unit) const {
    std::vector<long> n = Numbers("hwnd " + unit);
    return n.size() == 1 ? reinterpret_cast<HWND>(static_cast<intptr_t>(n[0])) : nullptr;
  }

  Capture Load(const char* name) const {
    Capture c;
    FILE* f = fopen(SidePath(std::string(".") + name + ".raw").c_str(), "rb");
    if (!f) return c;
    int32_t size[2] = {};
    if (fread(size, sizeof size, 1, f) == 1 && size[0] > 0 && size[1] > 0 && size[0] < 4096 && size[1] < 4096) {
      c.pixels.resize(static_cast<size_t>(size[0]) * size[1]);
      if (fread(c.pixels.data(), 4, c.pixels.size(), f) == c.pixels.size()) {
        c.width = size[0];
        c.height = size[1];
      } else {
        c.pixels.clear();
      }
    }
    fclose(f);
    return c;
  }

  // Starts the paint scenario's checks: the probe is ready, the display
  // shows true colour.
  void ExpectReady() {
    ASSERT_TRUE(WaitForLine("ready")) << Joined();
    std::vector<long> bits = Numbers("bits");
    ASSERT_EQ(bits.size(), 1u);
    ASSERT_GE(bits[0], 24) << "the pixel checks need a true-colour display (Xvfb -screen 0 WxHx24)";
  }

  // Closes the window; the probe's message loop then ends the program.
  void Close() {
    HWND window = WindowOf("window");
    ASSERT_NE(window, nullptr);
    testdriver::RequestClose(window);
    EXPECT_EQ(ExitCode(), 0u);
  }

  std::string Joined() const { return probetest::Joined(Lines()); }
};

// Counts the pixels of r in c for which test holds.
template <typename Test>
int CountPixels(const Capture& c, const Rect& r, Test test) {
  int n = 0;
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) n += test(c.At(x, y), x - r.x, y - r.y) ? 1 : 0;
  return n;
}

// The bounding box of the dark pixels of r, relative to r; w = 0 when none.
Rect DarkBox(const Capture& c, const Rect& r) {
  int left = r.w, top = r.h, right = -1, bottom = -1;
  for (int y = 0; y < r.h; ++y)
    for (int x = 0; x < r.w; ++x)
      if (IsDark(c.At(r.x + x, r.y + y))) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
  if (right < 0) return Rect{};
  return Rect{left, top, right - left + 1, bottom - top + 1};
}

// The longest horizontal run of dark pixels in r.
int LongestDarkRun(const Capture& c, const Rect& r) {
  int best = 0;
  for (int y = r.y; y < r.y + r.h; ++y) {
    int run = 0;
    for (int x = r.x; x < r.x + r.w; ++x) {
      run = IsDark(c.At(x, y)) ? run + 1 : 0;
      best = std::max(best, run);
    }
  }
  return best;
}

TEST(Labels, PaintBackColourBackPicturesAndGradients) {
  LabelProbe run("paint");
  run.ExpectReady();
  if (HasFatalFailure()) return;
  Capture c = run.Load("initial");
  ASSERT_GT(c.width, 0);

  // A label with an empty caption paints its whole rectangle in BackColor.
  Rect fill = run.RectOf("fill");
  ASSERT_EQ(fill.w, 60);
  EXPECT_EQ(CountPixels(c, fill, [](COLORREF p, int, int) { return p == RGB(10, 200, 30); }), fill.w * fill.h);

  // Natural size at the top-left, the rest in BackColor (magenta).
  Rect natural = run.RectOf("natural");
  EXPECT_EQ(CountPixels(c, natural, [](COLORREF p, int x, int y) {
              return p == (x < 20 && y < 10 ? Quadrant(x, y, 20, 10) : RGB(255, 0, 255));
            }), natural.w * natural.h);
  // Tiled from the top-left, row by row; no back colour left.
  Rect tiled = run.RectOf("tiled");
  EXPECT_EQ(CountPixels(c, tiled, [](COLORREF p, int x, int y) { return p == Quadrant(x % 20, y % 10, 20, 10); }),
            tiled.w * tiled.h);
  // Fitted: a smaller picture keeps its size and is centred.
  Rect fitted = run.RectOf("fitted");
  EXPECT_EQ(CountPixels(c, fitted, [](COLORREF p, int x, int y) {
              bool inside = x >= 15 && x < 35 && y >= 10 && y < 20;
              return p == (inside ? Quadrant(x - 15, y - 10, 20, 10) : RGB(255, 0, 255));
            }), fitted.w * fitted.h);
  // A 100 x 20 picture in a 50 x 30 box is halved to 50 x 10 and centred
  // vertically: back colour above and below, the quadrants between.
  Rect large = run.RectOf("fitted-large");
  EXPECT_EQ(CountPixels(c, large, [](COLORREF p, int, int y) { return (y < 10 || y >= 20) == (p == RGB(255, 0, 255)); }),
            large.w * large.h);
  EXPECT_TRUE(Near(c.At(large.x + 12, large.y + 12), RGB(255, 0, 0), 40));
  EXPECT_TRUE(Near(c.At(large.x + 37, large.y + 12), RGB(0, 255, 0), 40));
  EXPECT_TRUE(Near(c.At(large.x + 12, large.y + 17), RGB(0, 0, 255), 40));
  EXPECT_TRUE(Near(c.At(large.x + 37, large.y + 17), RGB(255, 255, 0), 40));

  // A picture that does not decode is dropped; the back colour shows.
  Rect broken = run.RectOf("broken");
  EXPECT_EQ(CountPixels(c, broken, [](COLORREF p, int, int) { return p == RGB(90, 90, 90); }), broken.w * broken.h);
  EXPECT_TRUE(run.Has("broken picture length 0"));

  // Gradient frame of width 5 (grey outside, white, grey inside) around a
  // left-to-right red-to-blue background.
  Rect g = run.RectOf("gradient");
  const int mid = g.y + g.h / 2;
  EXPECT_EQ(c.At(g.x, mid), RGB(128, 128, 128));
  EXPECT_EQ(c.At(g.x + 2, mid), RGB(255, 255, 255));
  EXPECT_EQ(c.At(g.x + 4, mid), RGB(128, 128, 128));
  EXPECT_EQ(c.At(g.x + 5, mid), RGB(255, 0, 0));
  EXPECT_EQ(c.At(g.x + g.w - 6, mid), RGB(0, 0, 255));
  COLORREF centre = c.At(g.x + g.w / 2, mid);
  EXPECT_TRUE(Near(centre, RGB(128, 0, 128), 4)) << std::hex << centre;
  EXPECT_EQ(c.At(g.x + g.w / 2, g.y + 5), c.At(g.x + g.w / 2, g.y + g.h - 6));  // no change down a column
  run.Close();
}

TEST(Labels, TextEffectsAndStoredFonts) {
  LabelProbe run("paint");
  run.ExpectReady();
  if (HasFatalFailure()) return;
  Capture c = run.Load("initial");
  ASSERT_GT(c.width, 0);

  // Effect 3 with black text: a black copy 2 px down and right, so the dark
  // pixels reach exactly 2 px further right and down than without effect.
  Rect plain = DarkBox(c, run.RectOf("plain"));
  Rect shadow = DarkBox(c, run.RectOf("shadow"));
  ASSERT_GT(plain.w, 10);
  EXPECT_EQ(shadow.x, plain.x);
  EXPECT_EQ(shadow.y, plain.y);
  EXPECT_EQ(shadow.w, plain.w + 2);
  EXPECT_EQ(shadow.h, plain.h + 2);

  // The stored underlined font: one unbroken dark line under the whole text.
  // Its twin without the underline flag has none.
  Rect underlined = run.RectOf("underlined");
  Rect text = DarkBox(c, underlined);
  ASSERT_GT(text.w, 10);
  EXPECT_GE(LongestDarkRun(c, underlined), text.w - 1);
  Rect twin = run.RectOf("not-underlined");
  EXPECT_LT(LongestDarkRun(c, twin), DarkBox(c, twin).w / 2);
  run.Close();
}

TEST(Labels, TransparentLabelRepaintsWhatLiesBeneathOnChangeAndMove) {
  LabelProbe run("paint");
  run.ExpectReady();
  if (HasFatalFailure()) return;
  const Rect old = {150, 220, 110, 24};  // the label's place in the form
  auto isBackdrop = [&](const Rect& r) {
    return [&r](COLORREF p, int x, int) { return p == Backdrop(r.x + x); };
  };

  // The long caption in yellow, drawn straight over both backdrop colours.
  Capture initial = run.Load("initial");
  ASSERT_GT(initial.width, 0);
  const Rect beyondShort = {old.x + 20, old.y, old.w - 20, old.h};
  EXPECT_GT(CountPixels(initial, beyondShort, [](COLORREF p, int, int) { return IsYellow(p); }), 20);
  EXPECT_GT(CountPixels(initial, old, isBackdrop(old)), old.w * old.h / 2);

  // A one-character caption: beyond it, exactly the backdrop again.
  Capture caption = run.Load("caption");
  ASSERT_GT(caption.width, 0);
  EXPECT_EQ(CountPixels(caption, beyondShort, isBackdrop(beyondShort)), beyondShort.w * beyondShort.h);
  EXPECT_GT(CountPixels(caption, Rect{old.x, old.y, 20, old.h}, [](COLORREF p, int, int) { return IsYellow(p); }),
            5);

  // Moved to the left: the old place shows only the backdrop, the new one the text.
  Capture moved = run.Load("moved");
  ASSERT_GT(moved.width, 0);
  const Rect now = run.RectOf("trans");
  EXPECT_EQ(now.x, 20);
  EXPECT_EQ(now.y, old.y);
  EXPECT_EQ(CountPixels(moved, old, isBackdrop(old)), old.w * old.h);
  EXPECT_GT(CountPixels(moved, Rect{now.x, now.y, 20, now.h}, [](COLORREF p, int, int) { return IsYellow(p); }), 5);
  run.Close();
}

TEST(Labels, MouseInputReachesBoundHandlersThroughTheFrame) {
  LabelProbe run("paint");
  run.ExpectReady();
  if (HasFatalFailure()) return;
  HWND label = run.WindowOf("underlined");
  HWND trans = run.WindowOf("trans");
  ASSERT_TRUE(label && trans);
  PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(5, 6));
  PostMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 6));  // no handler bound: nothing logged
  PostMessageW(trans, WM_LBUTTONUP, 0, MAKELPARAM(7, 8));
  EXPECT_TRUE(run.WaitForLine("ev underlined -1 5 6 2")) << run.Joined();
  EXPECT_TRUE(run.WaitForLine("ev trans -2 7 8 0")) << run.Joined();

  // A real click on the transparent label: hit-testing finds it although it
  // paints nothing of its own.
  ASSERT_TRUE(testdriver::ClickAtReal(trans, 3, 4));
  EXPECT_TRUE(run.WaitForLine("ev trans -1 3 4 0")) << run.Joined();
  EXPECT_TRUE(run.WaitForLine("ev trans -2 3 4 0")) << run.Joined();
  std::vector<std::string> lines = run.Lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("ev underlined -2", 0) == 0; }),
            0);
  run.Close();
}

TEST(Labels, OwnPropertiesStoreClampAndReadBack) {
  LabelProbe run("properties");
  ASSERT_EQ(run.ExitCode(), 0u);
  std::vector<std::string> log = run.Lines();
  SCOPED_TRACE(run.Joined());
  auto has = [&](const std::string& line) { return std::find(log.begin(), log.end(), line) != log.end(); };
  for (const char* line : {
           "write fill 11 1 -> 5",  "write fill 11 12 -> 12", "write fill 9 7 -> 3",   "write fill 9 -2 -> 0",
           "write fill 19 5 -> 2",  "write fill 20 9 -> 8",   "write fill 24 -1 -> 0", "write fill 26 3 -> 2",
           "write fill 25 5 -> 1",  "write fill 17 -16777216 -> -16777216", "write fill 16 1193046 -> 1193046",
           "write fill 23 11259375 -> 11259375", "write fill 13 66051 -> 66051",
           "write trans 9 4 -> 3",  "write trans 12 2 -> 2",  "write trans 14 -5 -> 0", "write trans 13 9 -> 1",
           "write trans 11 65280 -> 65280",
       })
    EXPECT_TRUE(has(line)) << line;
  // Border styles 1..5 are window styles; the gradient frame (6) and 0 clear them.
  for (const char* line : {"border 1 -> 1 style 0 ex 200", "border 2 -> 2 style 0 ex 1", "border 3 -> 3 style 0 ex 20000",
                           "border 4 -> 4 style 0 ex 201", "border 5 -> 5 style 800000 ex 0",
                           "border 6 -> 6 style 0 ex 0", "border 9 -> 6 style 0 ex 0", "border 0 -> 0 style 0 ex 0"})
    EXPECT_TRUE(has(line)) << line;
  EXPECT_TRUE(has("caption |安装程序安装程序"));
  EXPECT_TRUE(has("caption 新的| window 新的"));
  // The binding is stored and read back; with no data source the caption stays.
  EXPECT_TRUE(has("binding 源 列 caption 新的"));
  EXPECT_TRUE(has("font 60 60 0"));
  EXPECT_TRUE(has("short font 2"));
  EXPECT_TRUE(has("picture 654"));
  EXPECT_TRUE(has("picture 0"));
  EXPECT_TRUE(has("ex trans 20"));
}

TEST(Labels, WritesFromAWorkerThreadReachTheLabels) {
  LabelProbe run("worker");
  ASSERT_EQ(run.ExitCode(), 0u);
  SCOPED_TRACE(run.Joined());
  EXPECT_TRUE(run.Has("worker read 1.释放压缩包..|线程"));
  EXPECT_TRUE(run.Has("window text 1.释放压缩包.."));
}

TEST(Labels, RecordOfANewerVersionFailsTheLoading) {
  LabelProbe run("bad-version");
  EXPECT_EQ(run.AnswerErrorBox(), "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
  EXPECT_EQ(run.ExitCode(), 0xFFFFFFFFu);
}

}  // namespace
