// The skin widgets' unit types, for the programs' library tables. Library 1
// holds the picture box (unit 0x06), the label (0x0A), the progress bar
// (0x13), the timer (0x20) and the picture button (0x2D); library 2 holds
// the transparent label (unit 0x05). Windows only.
#pragma once

#include "frame/unit_type.h"

extern const UnitTypeDescriptor gPicBoxUnitType;
extern const UnitTypeDescriptor gLabelUnitType;
extern const UnitTypeDescriptor gProcessBarUnitType;
extern const UnitTypeDescriptor gTimerUnitType;
extern const UnitTypeDescriptor gPicBtnUnitType;
extern const UnitTypeDescriptor gTransLabelUnitType;

// Library notification of the widget libraries: keeps the frame's service
// entry that the widgets raise their events through.
intptr_t WidgetLibraryNotify(int code, intptr_t a1, intptr_t a2);
// The frame's service entry, or null before the frame started the library.
FrameServiceFn WidgetFrameService();
