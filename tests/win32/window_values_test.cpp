// The per-window value table that stands in for window properties.
#include "frame/window_values_win.h"

#include <gtest/gtest.h>

namespace {

HWND FakeWindow(uintptr_t n) { return reinterpret_cast<HWND>(n); }
void* Value(uintptr_t n) { return reinterpret_cast<void*>(n); }

TEST(WindowValuesTest, SlotsOfOneWindowAndOthersStayApartThroughClearing) {
  const HWND a = FakeWindow(0x1001), b = FakeWindow(0x1002), c = FakeWindow(0x1003);
  EXPECT_EQ(WindowValue(a, WindowSlot::kUnitRef), nullptr);
  EXPECT_EQ(WindowValue(nullptr, WindowSlot::kUnitRef), nullptr);

  SetWindowValue(a, WindowSlot::kUnitRef, Value(1));
  SetWindowValue(a, WindowSlot::kUnitProc, Value(2));
  SetWindowValue(b, WindowSlot::kBarUnit, Value(3));
  SetWindowValue(c, WindowSlot::kWindowUnit, Value(4));
  SetWindowValue(nullptr, WindowSlot::kUnitRef, Value(5));  // ignored
  EXPECT_EQ(WindowValue(a, WindowSlot::kUnitRef), Value(1));
  EXPECT_EQ(WindowValue(a, WindowSlot::kUnitProc), Value(2));
  EXPECT_EQ(WindowValue(a, WindowSlot::kBarUnit), nullptr);
  EXPECT_EQ(WindowValue(nullptr, WindowSlot::kUnitRef), nullptr);

  // Clearing one slot keeps the window's others; a value is replaced in place.
  SetWindowValue(a, WindowSlot::kUnitRef, nullptr);
  SetWindowValue(b, WindowSlot::kBarUnit, Value(6));
  EXPECT_EQ(WindowValue(a, WindowSlot::kUnitRef), nullptr);
  EXPECT_EQ(WindowValue(a, WindowSlot::kUnitProc), Value(2));

  // A window whose last value goes is forgotten without disturbing the
  // windows listed after it.
  SetWindowValue(a, WindowSlot::kUnitProc, nullptr);
  EXPECT_EQ(WindowValue(b, WindowSlot::kBarUnit), Value(6));
  EXPECT_EQ(WindowValue(c, WindowSlot::kWindowUnit), Value(4));

  // A later window with a gone window's handle starts empty.
  SetWindowValue(a, WindowSlot::kBarUnit, Value(7));
  EXPECT_EQ(WindowValue(a, WindowSlot::kUnitProc), nullptr);
  EXPECT_EQ(WindowValue(a, WindowSlot::kBarUnit), Value(7));

  for (HWND w : {a, b, c})
    for (int s = 0; s < static_cast<int>(WindowSlot::kCount); ++s) SetWindowValue(w, static_cast<WindowSlot>(s), nullptr);
  EXPECT_EQ(WindowValue(c, WindowSlot::kWindowUnit), nullptr);
}

}  // namespace
