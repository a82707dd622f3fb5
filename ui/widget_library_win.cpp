#include "ui/widgets.h"

namespace {
FrameServiceFn gService;
}

intptr_t WidgetLibraryNotify(int code, intptr_t a1, intptr_t) {
  if (code == kNotifyFrameEntry) gService = reinterpret_cast<FrameServiceFn>(a1);
  return 0;
}

FrameServiceFn WidgetFrameService() { return gService; }
