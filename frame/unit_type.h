// The unit-type descriptor: what a library tells the frame about one kind of
// window unit (the window itself, a picture box, a timer, ...) and the three
// operations through which the frame creates a unit and reaches its own
// properties. Portable: no Windows header here.
//
// Registration. Each library of the ProgramDescriptor lists its unit types in
// LibraryInfo::unitTypes, indexed by unit number - 1 (unused numbers hold
// null). A unit type's TypeTag is (library number << 16) | unit number, both
// 1-based: the window unit 0x00010001 is entry 0 of library 1, a kind
// 0x0001002D is entry 44 of library 1. FindUnitType does this look-up; the
// frame answers FrameService kFsUnitType with it.
//
// Live objects. In this frame the live object of a unit is its HWND, passed
// as void*. Every unit has one, also the types that are never shown (a timer
// keeps a hidden window for its timer messages). The frame destroys units by
// destroying their windows; a unit frees what it owns when its window gets
// WM_NCDESTROY. The frame watches each unit window for its own needs (the
// unit's cursor, forgetting the window when it goes) by subclassing it right
// after create returns, so a unit does not have to report its destruction; a
// unit that subclasses its own window does so inside create.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/frame_api.h"
#include "frame/value.h"

// Type flags.
constexpr uint32_t kUnitTypeHidden = 1;        // never shown as a window (timer, ZIP unit)
constexpr uint32_t kUnitTypeRaisesEvents = 2;  // RaiseEvent accepts events of this type

// One own property: number 8 + its index in the descriptor's list.
struct UnitPropertyDecl {
  const char* name;  // for tools and diagnostics, e.g. "Caption"
  uint32_t type;     // declared TypeTag: kTagInt, kTagBool, kTagText, kTagByteArray, ...
};

// What create receives.
struct UnitCreateParams {
  void* parent;          // HWND of the window for controls; null for the window itself
  const uint8_t* data;   // the unit's stored property record (may be null when size is 0)
  size_t size;           //   its byte size; the data lives only during the call
  uint32_t extraStyles;  // WS_DISABLED / WS_TABSTOP from the unit's state flags
  int controlId;         // 100, 110, ... for controls; 0 for the window
  int32_t left, top, width, height;  // relative to the parent's client area
  uint32_t windowId;     // the window the unit belongs to, e.g. 0x52010001
  uint32_t unitId;       // the unit's own id (kWindowSelfUnit for the window)
  // Re-creation after setProperty returned 1: the unit's old window, still
  // alive (the frame destroys it after create returns). The unit takes its
  // current state from there rather than from data. Null when loading.
  void* previous;
};

// Creates the unit's window, hidden (the frame shows it later). Result: the
// HWND as void*, or null when the record is rejected (e.g. a version newer
// than the type knows) or the window cannot be made. Must not raise events
// (they are held back during loading anyway) and must not show a box.
using UnitCreateFn = void* (*)(const UnitCreateParams& params);

// Reads own property `index` (0-based; property number 8 + index) of the live
// unit. The result holds a value of the declared type: integers and bools
// sign-extended, float bits in the low 32 bits, int64/double/date-time in all
// 64 bits; a text or byte array is a new block (NewText / NewByteArray,
// possibly null for empty) whose address is the value and which the caller
// frees with FreeBlock. An index out of range gives 0.
using UnitGetPropertyFn = int64_t (*)(void* live, int index);

// Writes own property `index` of the live unit. value.tag is the declared
// type and the value is already in that type: a text is never null (the empty
// text instead), a bool is 0 or 1, a byte array is a byte-array block (never
// null; read it with ViewByteArray). The unit copies what it keeps. Result:
// 1 when the unit's window must be re-created to show the change (the frame
// then destroys it and calls create again with the current stored record at
// the same place), else 0.
using UnitSetPropertyFn = int (*)(void* live, int index, const ArgValue& value);

struct UnitTypeDescriptor {
  const char* name;  // short English kind name, e.g. "PicBtn"; the window's is "CWinFormUnit"
  uint32_t flags;    // kUnitTypeHidden | kUnitTypeRaisesEvents
  int propertyCount;                    // own properties
  const UnitPropertyDecl* properties;   // propertyCount entries, property 8 first
  UnitCreateFn create;
  UnitGetPropertyFn getProperty;        // may be null when propertyCount is 0
  UnitSetPropertyFn setProperty;        // may be null when propertyCount is 0
};

// Library and unit number of a TypeTag.
inline int UnitTypeLibrary(uint32_t typeTag) { return static_cast<int>(typeTag >> 16); }
inline int UnitTypeNumber(uint32_t typeTag) { return static_cast<int>(typeTag & 0xFFFF); }

// The descriptor of typeTag among the program's libraries, or null when the
// library or the entry does not exist.
inline const UnitTypeDescriptor* FindUnitType(const ProgramDescriptor& program, uint32_t typeTag) {
  int library = UnitTypeLibrary(typeTag);
  int number = UnitTypeNumber(typeTag);
  if (library < 1 || library > program.libraryCount || !program.libraries) return nullptr;
  const LibraryInfo& info = program.libraries[library - 1];
  if (number < 1 || number > info.unitTypeCount || !info.unitTypes) return nullptr;
  return info.unitTypes[number - 1];
}

// The window unit, class "CWinFormUnit" (type 0x00010001). Defined by the
// frame's Windows side; a program puts its address at entry 0 of library 1.
extern const UnitTypeDescriptor gWindowUnitType;
