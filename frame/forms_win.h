// The frame's window templates and their live windows, shared by the Windows
// modules of window loading (window_loader_win.cpp), property access
// (unit_properties_win.cpp), input events (input_events_win.cpp), the window
// unit (window_unit_win.cpp) and the template store itself (forms_win.cpp).
// Windows only.
//
// Threads: templates are built once at start-up and their units never change
// in number, so LiveForm pointers and unit indexes stay valid for the whole
// process. Property reads and writes and events may come from any thread,
// without a lock, as the program expects; loading, destruction and the
// template reset run on the window thread.
#pragma once

#include <windows.h>

#include <vector>

#include "frame/form_reader.h"
#include "frame/program_frame_win.h"
#include "frame/unit_type.h"

// A bound event: the event number and the program routine (never null).
struct UnitHandler {
  int32_t eventNumber;
  EventHandler handler;
};

// The live side of one unit.
struct LiveUnit {
  HWND hwnd = nullptr;       // null while the unit has no window
  HCURSOR cursor = nullptr;  // owned; null: the class cursor
};

struct LiveForm {
  FormTemplate tmpl;      // the current template; property writes change it
  FormTemplate loadCopy;  // the template as it was when the window was loaded
  std::vector<std::vector<UnitHandler>> handlers;  // per unit index; fixed
  std::vector<LiveUnit> live;                      // per unit index
  bool loading = false;  // inside LoadStartWindow
  bool loaded = false;   // loading succeeded and the window still exists
  bool loaderShowing = false;  // the loader is showing the window (focus event raised by the loader)
  bool firstActivationSeen = false;
};

struct FormsState {
  std::vector<LiveForm> forms;
  bool released = false;  // shutdown has begun: no idle calls, no pre-translation
};

// The one store of templates; FrameService kFsForms hands out
// &Forms().forms (a const std::vector<LiveForm>*).
FormsState& Forms();

// The template of a window id, or null.
LiveForm* FindLiveForm(uint32_t windowId);
// Index of a unit in its form; 0 and kWindowSelfUnit name the window. -1 when
// the form has no such unit.
int FindUnitIndex(const LiveForm& form, uint32_t unitId);
// The registered type of a unit's kind, or null.
const UnitTypeDescriptor* UnitTypeOf(const FormUnit& unit);
// The live window of the form's window unit, or null.
inline HWND FormWindow(const LiveForm& form) { return form.live.empty() ? nullptr : form.live[0].hwnd; }
bool AnyFormHasLiveWindow();

// The unit whose live window is hwnd (not its ancestors), or false.
bool FindUnitOfWindow(HWND hwnd, LiveForm** form, int* unitIndex);
// The nearest unit window at or above hwnd (a widget's inner windows count
// as the widget), or false.
bool FindUnitAtOrAbove(HWND hwnd, LiveForm** form, int* unitIndex);

// Raises an event of a unit of a loaded form. Runs the handler on the calling
// thread unless events are held back or nothing is bound; the fatal runtime
// errors of RaiseEvent apply. Returns the handler's result (hasValue false
// when nothing ran or it returned nothing).
HandlerResult RaiseUnitEvent(uint32_t windowId, uint32_t unitId, int32_t eventNumber,
                             const int32_t* args, int argCount);
// FrameService kFsRaiseEvent: fills hasResult and result; 1 when the handler
// returned a value (the event counts as delivered), else 0.
intptr_t RaiseEventRecord(EventRecord* record);

// Window watching (window_loader_win.cpp): the frame subclasses every unit
// window to show the unit's cursor and to learn when the window goes.
void WatchUnitWindow(HWND hwnd, int formIndex, int unitIndex);
// The unit's window is gone: its cursor is destroyed and the window
// forgotten; for the window unit the whole form is reset to its load-time
// copy and, when no window is left and the loop has been entered, the quit
// message is posted. (FrameService kFsUnitDestroyed.)
void UnitWindowGone(LiveForm& form, int unitIndex);
// The cursor of a unit's cursor data: its first word is the MousePointer, 0
// (or data shorter than a word) the class cursor. Result owned by the caller.
HCURSOR BuildUnitCursor(const std::vector<uint8_t>& cursorData);
// Destroys the control's window and creates it again at its place, with its
// id, stacking, parent, children and visibility kept; events are held back
// meanwhile. False (the old window kept) when create fails.
bool RecreateControl(LiveForm& form, int unitIndex);
// Sent to the window unit to have RecreateControl(form, wParam) run on the
// window's thread.
constexpr UINT kMsgRecreateControl = 0x8090;

// Idle processing from the message loop: raises the Idle event (7) of every
// loaded window with the milliseconds since the loop became idle. True when a
// handler returned true (it wants more idle calls).
bool FormsIdle(DWORD idleMs);

// Window unit (window_unit_win.cpp).
// The show command of the window's start state: SW_SHOWMAXIMIZED for
// StartPosition 3 with a sizable frame, SW_SHOWMINIMIZED for 2, else SW_SHOW
// (also for a window that is not a window unit).
int WindowUnitShowCommand(HWND window);
