// The picture box, progress bar, timer and picture button seen through
// widget_probe.exe: each scenario runs in its own process on a form of
// generated pictures and logs what it observes; the tests read the log back.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/driver/test_driver.h"
#include "tests/win32/probe_run.h"

namespace {

using probetest::Has;
using probetest::Joined;

// Runs a scenario to its end and gives its log.
std::vector<std::string> RunProbe(const char* mode) {
  probetest::ProbeRun probe("widget_probe", mode);
  EXPECT_EQ(probe.ExitCode(), 0u) << mode;
  return probe.Lines();
}

size_t Count(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.compare(0, prefix.size(), prefix) == 0;
  }));
}

void ExpectLines(const std::vector<std::string>& log, std::initializer_list<const char*> expected) {
  for (const char* line : expected) EXPECT_TRUE(Has(log, line)) << line;
}

TEST(PicBoxWidget, DrawsItsPictureByDisplayMode) {
  std::vector<std::string> log = RunProbe("picbox");
  SCOPED_TRACE(Joined(log));
  ExpectLines(log, {
      // 424 x 534 quadrants stretched into 211 x 211: each quadrant a quarter.
      "px stretch 50 50 ff0000", "px stretch 160 50 00ff00", "px stretch 50 160 0000ff", "px stretch 160 160 ffff00",
      // Fitted into 100 x 100: scaled to 79 x 100 and centred, grey beside it.
      "px fit 5 50 808080", "px fit 12 5 ff0000", "px fit 86 95 ffff00", "px fit 95 50 808080",
      // A 20 x 10 picture fits unscaled, centred; the box shows button face around it.
      "smallfit client 58 58", "px smallfit 29 29 0000ff",
      // Not a picture: only the back colour; the blob reads back as written.
      "px bad 15 15 00ffff", "bad picture bytes 7",
      // Natural size at the top-left after a DisplayMode write.
      "px natural 5 5 ff0000", "px natural 95 95 ff0000", "mode clamped 2",
      "px backcolor 15 15 ffff00", "px newpicture 5 5 0000ff", "px newpicture 20 20 ffff00",
      "border 0", "zero width 0",
  });
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  char line[64];
  wsprintfA(line, "px smallfit 2 2 %02x%02x%02x", GetRValue(face), GetGValue(face), GetBValue(face));
  EXPECT_TRUE(Has(log, line)) << line;
}

TEST(PicBoxWidget, PlaysAnAnimatedGifUntilToldToStop) {
  std::vector<std::string> log = RunProbe("anim");
  SCOPED_TRACE(Joined(log));
  ExpectLines(log, {
      "anim plays both frames=1",
      // Stopped: the first frame, and it stays.
      "px anim-stopped 15 15 ff0000", "px anim-still 15 15 ff0000",
      "anim plays again=1",
  });
  // The new picture's frames, whichever is on show.
  EXPECT_TRUE(Has(log, "px anim-new 15 15 00ff00") || Has(log, "px anim-new 15 15 ffff00"));
}

TEST(ProcessBarWidget, ClampsRangeAndPositionAndRecreatesForStyles) {
  std::vector<std::string> log = RunProbe("bar");
  SCOPED_TRACE(Joined(log));
  ExpectLines(log, {
      "bar start pos=60 range=0..100 Position=60 Minimum=0 Maximum=100",
      "bar style smooth=1 vertical=0 border=3",
      // Position 150 on 0..100: full, and it reads 150.
      "bar 150 pos=100 range=0..100 Position=150 Minimum=0 Maximum=100",
      // Minimum 100 with Maximum 0: the range 0..100; Maximum is shown.
      "bar swapped pos=0 range=0..100 Position=50 Minimum=100 Maximum=0",
      "bar clamped pos=32767 range=0..32767 Position=32767 Minimum=0 Maximum=32767",
      // Vertical needs a new control, which keeps the values.
      "bar recreated=1 old-gone=1 vertical=1 smooth=1",
      "bar rebuilt pos=30 range=0..100 Position=30 Minimum=0 Maximum=100",
      "bar same=1",
      // Written from another thread while this one waited: both arrive, in order.
      "bar worker done without this thread=1",
      "bar from worker pos=150 range=0..200 Position=150 Minimum=0 Maximum=200",
      // A burst written faster than the window thread shows it: shown once,
      // with the last position.
      "bar burst of 100 shown 1 time(s)",
      "bar after burst pos=100 range=0..200 Position=100 Minimum=0 Maximum=200",
      "comctl32 from system folder=1",
  });
}

TEST(TimerWidget, TicksThroughTheFrameUntilIntervalZero) {
  std::vector<std::string> log = RunProbe("timer");
  SCOPED_TRACE(Joined(log));
  ExpectLines(log, {"interval 0", "ticks reached 3: 1", "ticks after stop 0", "interval 0"});
  EXPECT_EQ(Count(log, "tick timer"), 3u);
}

TEST(PicBtnWidget, PushButtonFollowsTheMouseAndClicksOnce) {
  std::vector<std::string> log = RunProbe("buttons");
  SCOPED_TRACE(Joined(log));
  ExpectLines(log, {
      "btn start push shows=ff0000 clicks=0 capture=0",
      // Picture at natural size, black to the right and below.
      "px bands 59 29 ff0000", "px bands 70 10 000000", "px bands 10 35 000000", "px bands 75 38 000000",
      "btn hover push shows=00ff00 clicks=0 capture=1",
      "btn down push shows=0000ff clicks=0 capture=1",
      "btn dragged-out push shows=ff0000 clicks=0 capture=1",
      "btn back-in push shows=0000ff clicks=0 capture=1",
      "btn released push shows=ff0000 clicks=1 capture=0",
      // Pressed inside, released outside: nothing.
      "btn released-outside push shows=ff0000 clicks=1 capture=0",
      "btn down-no-pressed-picture push shows=ff0000 clicks=1 capture=1",
      "pressed picture bytes 0",
      "btn disabled push shows=ff0000 clicks=2 capture=0",
      "btn disabled-picture push shows=ffff00 clicks=2 capture=0",
      "btn enabled push shows=ff0000 clicks=2 capture=0",
  });
  EXPECT_EQ(Count(log, "clicked push args=0"), 2u);
}

TEST(PicBtnWidget, ToggleButtonTakesCheckedAndFlipsOnClick) {
  std::vector<std::string> log = RunProbe("buttons");
  SCOPED_TRACE(Joined(log));
  ExpectLines(log, {
      "push checked 0",
      "btn toggle-checked toggle shows=0000ff clicks=2 capture=0",
      "toggle checked 1",
      "clicked toggle args=0",
      "btn toggle-clicked toggle shows=ff0000 clicks=3 capture=0",
      "toggle checked 0",
      "toggle kind 1",
  });
}

TEST(PicBtnWidget, KeyColourCutsTheShapeAndHitTestingFollowsIt) {
  std::vector<std::string> log = RunProbe("region");
  SCOPED_TRACE(Joined(log));
  ExpectLines(log, {
      // Normal picture: the left third is key colour.
      "region normal kind=2 in(5,5)=0 in(30,5)=1 in(5,30)=0 in(30,30)=1 hit(5,5)=0 hit(30,5)=1 hit(5,30)=0 "
      "hit(30,30)=1",
      // Over the cut-out part the pointer is not over the button: no hover.
      "btn over-cut key shows=ff0000 clicks=0 capture=0",
      // Hover picture: the top half is key colour.
      "region hover kind=2 in(5,5)=0 in(30,5)=0 in(5,30)=1 in(30,30)=1 hit(5,5)=0 hit(30,5)=0 hit(5,30)=1 "
      "hit(30,30)=1",
      "clicked key args=0",
      "region clicked kind=2 in(5,5)=0 in(30,5)=1 in(5,30)=0 in(30,30)=1 hit(5,5)=0 hit(30,5)=1 hit(5,30)=0 "
      "hit(30,30)=1",
      "region no-key kind=0 in(5,5)=0 in(30,5)=0 in(5,30)=0 in(30,30)=0 hit(5,5)=1 hit(30,5)=1 hit(5,30)=1 "
      "hit(30,30)=1",
      "region all-key kind=1 in(5,5)=0 in(30,5)=0 in(5,30)=0 in(30,30)=0 hit(5,5)=0 hit(30,5)=0 hit(5,30)=0 "
      "hit(30,30)=0",
  });
}

}  // namespace
