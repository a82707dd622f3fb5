// Unit property numbers and the value rules of property access that need no
// window: the clamps of the common geometry properties and the conversion of
// own-property values to and from their declared types. Portable: no Windows
// header here.
#pragma once

#include <cstdint>

#include "frame/value.h"

// Common properties of every window and control. Numbers from
// kFirstOwnProperty up are the unit type's own, counted from 0 in its
// descriptor.
enum CommonProperty : int {
  kPropLeft = 0,
  kPropTop = 1,
  kPropWidth = 2,
  kPropHeight = 3,
  kPropTag = 4,
  kPropVisible = 5,
  kPropDisabled = 6,
  kPropMousePointer = 7,
};
constexpr int kFirstOwnProperty = 8;

// Positions and sizes are kept within what a 16-bit window coordinate holds,
// with a margin.
constexpr int32_t kMaxCoordinate = 32627;

// Left and Top: clamped to -32627..32627.
inline int32_t ClampPosition(int32_t v) {
  return v > kMaxCoordinate ? kMaxCoordinate : v < -kMaxCoordinate ? -kMaxCoordinate : v;
}
// Width and Height: clamped to 0..32627.
inline int32_t ClampSize(int32_t v) {
  return v > kMaxCoordinate ? kMaxCoordinate : v < 0 ? 0 : v;
}

// True for declared types whose value uses all eight bytes.
inline bool IsWideType(uint32_t type) {
  return type == kTagInt64 || type == kTagDouble || type == kTagDateTime;
}

// The value of a property write (as the program passes it: 32-bit kinds in
// the low word, 64-bit kinds in all of it, blocks by address) as an ArgValue of the declared type, ready for the type's set
// property: a null text becomes emptyText, a null byte array becomes
// emptyBytes (a valid empty byte-array block), a bool becomes 1 or 0, byte
// and short keep their own width, 64-bit kinds take all 64 bits. Addresses
// take the pointer's width, so a block above 4 GB arrives whole.
inline ArgValue OwnPropertyArgument(uint32_t type, uint64_t value, const char* emptyText,
                                    const void* emptyBytes) {
  ArgValue v{};
  v.tag = type;
  const auto low = static_cast<uint32_t>(value);
  const auto address = static_cast<uintptr_t>(value);
  switch (type) {
    case kTagText:
      v.text = address ? reinterpret_cast<const char*>(address) : emptyText;
      break;
    case kTagByteArray:
      v.ptr = address ? reinterpret_cast<void*>(address) : const_cast<void*>(emptyBytes);
      break;
    case kTagBool:
      v.i32 = low != 0 ? 1 : 0;
      break;
    case kTagByte:
      v.u32 = low & 0xFF;
      break;
    case kTagShort:
      v.i32 = static_cast<int16_t>(low & 0xFFFF);
      break;
    default:
      if (IsWideType(type))
        v.i64 = static_cast<int64_t>(value);
      else
        v.u32 = low;
      break;
  }
  return v;
}

// A get-property result brought into the declared type, as the 64-bit value
// that ReadUnitProperty returns: bool 0 or 1, byte 0..255, short and int
// sign-extended, float bits in the low word, 64-bit kinds, texts and byte
// arrays (block addresses) unchanged.
inline int64_t NormaliseOwnPropertyValue(uint32_t type, int64_t raw) {
  switch (type) {
    case kTagBool: return raw != 0 ? 1 : 0;
    case kTagByte: return raw & 0xFF;
    case kTagShort: return static_cast<int16_t>(raw & 0xFFFF);
    case kTagInt: return static_cast<int32_t>(raw & 0xFFFFFFFF);
    case kTagFloat: return raw & 0xFFFFFFFF;
    default: return raw;
  }
}
