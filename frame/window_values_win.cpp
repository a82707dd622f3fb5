#include "frame/window_values_win.h"

#include <vector>

namespace {

constexpr int kSlots = static_cast<int>(WindowSlot::kCount);

struct WindowValues {
  HWND hwnd;
  void* values[kSlots];
};

// A few dozen windows at most: a list searched from the front does.
SRWLOCK gLock = SRWLOCK_INIT;
std::vector<WindowValues>* gWindows = nullptr;  // never freed: threads may ask until the end

WindowValues* Find(HWND hwnd) {
  if (!gWindows) return nullptr;
  for (WindowValues& w : *gWindows) {
    if (w.hwnd == hwnd) return &w;
  }
  return nullptr;
}

}  // namespace

void SetWindowValue(HWND hwnd, WindowSlot slot, void* value) {
  if (!hwnd) return;
  const int index = static_cast<int>(slot);
  AcquireSRWLockExclusive(&gLock);
  WindowValues* found = Find(hwnd);
  if (!found && value) {
    if (!gWindows) gWindows = new std::vector<WindowValues>;
    gWindows->push_back(WindowValues{hwnd, {}});
    found = &gWindows->back();
  }
  if (found) {
    found->values[index] = value;
    bool empty = true;
    for (void* v : found->values) empty = empty && !v;
    if (empty) {
      *found = gWindows->back();
      gWindows->pop_back();
    }
  }
  ReleaseSRWLockExclusive(&gLock);
}

void* WindowValue(HWND hwnd, WindowSlot slot) {
  AcquireSRWLockShared(&gLock);
  const WindowValues* found = Find(hwnd);
  void* value = found ? found->values[static_cast<int>(slot)] : nullptr;
  ReleaseSRWLockShared(&gLock);
  return value;
}
