// Shared pieces of the probe programs that run on the frame: reading and
// writing unit properties through the system functions, finding a unit's
// window, and assembling a window template whose child lists follow the
// units' parents. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "frame/blocks.h"
#include "frame/form_reader.h"
#include "frame/frame_api.h"

namespace probe {

inline HWND UnitWindow(FrameServiceFn service, uint32_t windowId, uint32_t unitId) {
  return reinterpret_cast<HWND>(service(kFsFindUnitObject, windowId, unitId, 0));
}

inline int32_t ReadInt(uint32_t windowId, uint32_t unitId, int property) {
  return static_cast<int32_t>(gSystem.ReadUnitProperty(windowId, unitId, property, -1));
}

inline void WriteInt(uint32_t windowId, uint32_t unitId, int property, int32_t value) {
  gSystem.WriteUnitProperty(windowId, unitId, property, -1, PropertyValue(value));
}

inline void WritePointer(uint32_t windowId, uint32_t unitId, int property, const void* p) {
  gSystem.WriteUnitProperty(windowId, unitId, property, -1, PropertyValue(p));
}

// A text property; nullText for a null block. The block is freed.
inline std::string ReadText(uint32_t windowId, uint32_t unitId, int property, const char* nullText = "") {
  char* text = PropertyPointer<char>(gSystem.ReadUnitProperty(windowId, unitId, property, -1));
  std::string s = text ? text : nullText;
  gSystem.FreeBlock(text);
  return s;
}

// A byte-array property; the block is freed.
inline std::vector<uint8_t> ReadBytes(uint32_t windowId, uint32_t unitId, int property) {
  void* block = reinterpret_cast<void*>(
      static_cast<uintptr_t>(gSystem.ReadUnitProperty(windowId, unitId, property, -1)));
  const uint8_t* data = nullptr;
  uint32_t len = 0;
  std::vector<uint8_t> bytes;
  if (ViewByteArray(block, &data, &len)) bytes.assign(data, data + len);
  gSystem.FreeBlock(block);
  return bytes;
}

inline void WriteBytes(uint32_t windowId, uint32_t unitId, int property, const std::vector<uint8_t>& bytes) {
  void* block = NewByteArray(bytes.data(), static_cast<uint32_t>(bytes.size()));
  WritePointer(windowId, unitId, property, block);
  gSystem.FreeBlock(block);
}

// A window template of the units in form order; each unit's child list is
// derived from the others' parents.
inline FormTemplate Form(uint32_t windowId, std::vector<FormUnit> units) {
  for (FormUnit& parent : units)
    for (const FormUnit& child : units)
      if (child.parentId != 0 && child.parentId == parent.unitId) parent.children.push_back(child.unitId);
  FormTemplate form;
  form.windowId = windowId;
  form.units = std::move(units);
  return form;
}

}  // namespace probe
