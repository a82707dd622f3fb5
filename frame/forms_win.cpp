// Window templates read from the form data, their handlers, event delivery
// and the frame services about templates, unit types and live windows.
#include "frame/forms_win.h"

#include "frame/blocks.h"

namespace {

const char kFormDataError[] = "载入窗口模板数据段出错!";
constexpr int32_t kEventIdle = 7;

// Turns the stored handler offsets of every unit into routine addresses:
// offset / 4 indexes the program's handler table. An offset outside the
// table is corrupt form data.
std::vector<std::vector<UnitHandler>> ResolveHandlers(const FormTemplate& form) {
  const ProgramDescriptor& program = gProgramDescriptor;
  std::vector<std::vector<UnitHandler>> result(form.units.size());
  for (size_t u = 0; u < form.units.size(); ++u) {
    for (const FormEvent& e : form.units[u].events) {
      if (e.handlerOffset == kNoHandler) continue;
      int32_t index = e.handlerOffset / kHandlerSlotSize;
      if (e.handlerOffset < 0 || index >= program.handlerCount || !program.handlerTable)
        FrameFatal(0, kFormDataError);
      EventHandler handler = program.handlerTable[index];
      if (handler) result[u].push_back({e.eventNumber, handler});
    }
  }
  return result;
}

EventHandler FindHandler(const LiveForm& form, int unitIndex, int32_t eventNumber) {
  for (const UnitHandler& h : form.handlers[static_cast<size_t>(unitIndex)])
    if (h.eventNumber == eventNumber) return h.handler;
  return nullptr;
}

HWND LiveWindowOf(uint32_t windowId, uint32_t unitId) {
  LiveForm* form = FindLiveForm(windowId);
  if (!form) return nullptr;
  int index = FindUnitIndex(*form, unitId);
  if (index < 0) return nullptr;
  HWND hwnd = form->live[static_cast<size_t>(index)].hwnd;
  return hwnd && IsWindow(hwnd) ? hwnd : nullptr;
}

}  // namespace

FormsState& Forms() {
  // Never destroyed: worker threads may still read templates while the
  // process ends.
  static FormsState* state = new FormsState;
  return *state;
}

LiveForm* FindLiveForm(uint32_t windowId) {
  for (LiveForm& form : Forms().forms)
    if (form.tmpl.windowId == windowId) return &form;
  return nullptr;
}

int FindUnitIndex(const LiveForm& form, uint32_t unitId) {
  if (unitId == 0 || unitId == kWindowSelfUnit) return 0;
  for (size_t i = 0; i < form.tmpl.units.size(); ++i)
    if (form.tmpl.units[i].unitId == unitId) return static_cast<int>(i);
  return -1;
}

const UnitTypeDescriptor* UnitTypeOf(const FormUnit& unit) {
  return FindUnitType(gProgramDescriptor, unit.kind);
}

bool AnyFormHasLiveWindow() {
  for (const LiveForm& form : Forms().forms)
    if (FormWindow(form)) return true;
  return false;
}

void FormsInitialise(const uint8_t* data, size_t size) {
  std::vector<FormTemplate> templates;
  if (size > 0 && (!data || !ReadForms(data, size, &templates, nullptr)))
    FrameFatal(0, kFormDataError);
  std::vector<LiveForm> forms(templates.size());
  for (size_t i = 0; i < templates.size(); ++i) {
    forms[i].handlers = ResolveHandlers(templates[i]);
    forms[i].live.assign(templates[i].units.size(), LiveUnit{});
    forms[i].tmpl = std::move(templates[i]);
  }
  Forms().forms = std::move(forms);
  Forms().released = false;
}

bool FormsHaveLiveWindow() { return AnyFormHasLiveWindow(); }

// The templates stay in memory: a worker thread may still be writing a
// property while the process ends. Idle calls and input events stop.
void FormsRelease() { Forms().released = true; }

HandlerResult RaiseUnitEvent(uint32_t windowId, uint32_t unitId, int32_t eventNumber,
                             const int32_t* args, int argCount) {
  EventRecord record = {};
  record.windowId = windowId;
  record.unitId = unitId;
  record.eventNumber = eventNumber;
  record.argCount = argCount < 0 ? 0 : argCount > 5 ? 5 : argCount;
  for (int i = 0; i < record.argCount; ++i) record.args[i] = args[i];
  RaiseEventRecord(&record);
  return {record.hasResult != 0, record.result};
}

intptr_t RaiseEventRecord(EventRecord* record) {
  if (!record) return 0;
  record->hasResult = 0;
  record->result = 0;
  if (EventsSuspended()) return 0;
  LiveForm* form = FindLiveForm(record->windowId);
  if (!form) FrameFatal(0, "未找到引发事件的窗口");
  int index = FindUnitIndex(*form, record->unitId);
  if (index < 0) FrameFatal(0, "未找到引发事件的窗口组件");
  const UnitTypeDescriptor* type = UnitTypeOf(form->tmpl.units[static_cast<size_t>(index)]);
  if (!type || !(type->flags & kUnitTypeRaisesEvents)) FrameFatal(0, "引发事件的窗口组件无效");
  EventHandler handler = FindHandler(*form, index, record->eventNumber);
  if (!handler) return 0;
  int argCount = record->argCount < 0 ? 0 : record->argCount > 5 ? 5 : record->argCount;
  ProgramFrame& f = Frame();
  f.eventSource.unitId = record->unitId;
  f.eventSource.windowId = record->windowId;
  HandlerResult result = handler(record->args, argCount);
  f.eventSource.windowId = 0;
  if (!result.hasValue) return 0;
  record->hasResult = 1;
  record->result = result.value;
  return 1;
}

bool FormsIdle(DWORD idleMs) {
  if (Forms().released) return false;
  bool more = false;
  int32_t arg = static_cast<int32_t>(idleMs);
  for (LiveForm& form : Forms().forms) {
    if (!form.loaded || !FormWindow(form) || !FindHandler(form, 0, kEventIdle)) continue;
    HandlerResult r = RaiseUnitEvent(form.tmpl.windowId, kWindowSelfUnit, kEventIdle, &arg, 1);
    if (r.hasValue && r.value != 0) more = true;
  }
  return more;
}

intptr_t FormsService(int code, intptr_t a1, intptr_t a2, intptr_t a3) {
  switch (code) {
    case kFsForms:
      return reinterpret_cast<intptr_t>(&Forms().forms);
    case kFsUnitType:
      return reinterpret_cast<intptr_t>(FindUnitType(gProgramDescriptor, static_cast<uint32_t>(a1)));
    case kFsUnitDestroyed: {
      LiveForm* form = FindLiveForm(static_cast<uint32_t>(a1));
      int index = form ? FindUnitIndex(*form, static_cast<uint32_t>(a2)) : -1;
      if (index >= 0) UnitWindowGone(*form, index);
      return 0;
    }
    case kFsFindUnitObject:
      return reinterpret_cast<intptr_t>(LiveWindowOf(static_cast<uint32_t>(a1), static_cast<uint32_t>(a2)));
    case kFsRequireUnitObject: {
      HWND hwnd = LiveWindowOf(static_cast<uint32_t>(a1), static_cast<uint32_t>(a2));
      if (!hwnd) FrameFatal(0, "指定窗口或窗口组件不存在或尚未载入");
      return reinterpret_cast<intptr_t>(hwnd);
    }
    case kFsRaiseEvent:
      return RaiseEventRecord(reinterpret_cast<EventRecord*>(a1));
    default:
      return 0;
  }
}
