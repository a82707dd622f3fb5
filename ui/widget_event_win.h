// Raising a widget's own event through the frame's event delivery.
// Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/widgets.h"

// Raises eventNumber (no arguments) of unit unitId in window windowId through
// FrameService kFsRaiseEvent. The handler runs before this returns and may
// destroy the unit's window. False when the frame has not started the
// library or the event was not delivered.
inline bool RaiseWidgetEvent(uint32_t windowId, uint32_t unitId, int32_t eventNumber) {
  FrameServiceFn service = WidgetFrameService();
  if (!service) return false;
  EventRecord record = {};
  record.windowId = windowId;
  record.unitId = unitId;
  record.eventNumber = eventNumber;
  return service(kFsRaiseEvent, reinterpret_cast<intptr_t>(&record), 0, 0) != 0;
}
