// The value model shared by the system functions, the commands and the units.
//
// A command receives an argument count and an array of ArgValue and fills one
// result ArgValue. Texts are NUL-terminated GBK byte strings in heap blocks;
// byte arrays and text arrays are single heap blocks with a small header (see
// blocks.h). Portable: no Windows header here.
#pragma once

#include <cstdint>

// Kinds of value. Unit types use (library number << 16) | unit number, both
// 1-based; kTagWindowUnit is the window unit.
enum TypeTag : uint32_t {
  kTagNone = 0,  // an optional argument the caller left out
  kTagByte = 0x80000101,
  kTagShort = 0x80000201,
  kTagInt = 0x80000301,
  kTagInt64 = 0x80000401,
  kTagFloat = 0x80000501,
  kTagDouble = 0x80000601,
  kTagBool = 0x80000002,
  kTagDateTime = 0x80000003,  // double, days in the OLE date convention
  kTagText = 0x80000004,
  kTagByteArray = 0x80000005,
  kTagSubroutine = 0x80000006,  // address of a program subroutine
  kTagWindowUnit = 0x00010001,
};

// An 8-byte value and its tag. 64-bit kinds use all eight bytes, every other
// kind the first four (pointers included: the product is a 32-bit program).
struct ArgValue {
  union {
    uint8_t raw[8];
    int32_t i32;
    uint32_t u32;
    int64_t i64;
    float f32;
    double f64;
    const char* text;
    void* ptr;
  };
  uint32_t tag;
};

inline ArgValue MakeInt(int32_t v) { ArgValue a{}; a.i32 = v; a.tag = kTagInt; return a; }
inline ArgValue MakeBool(bool v) { ArgValue a{}; a.i32 = v ? 1 : 0; a.tag = kTagBool; return a; }
inline ArgValue MakeText(const char* t) { ArgValue a{}; a.text = t; a.tag = kTagText; return a; }
inline ArgValue MakeInt64(int64_t v) { ArgValue a{}; a.i64 = v; a.tag = kTagInt64; return a; }
inline ArgValue MakeDouble(double v) { ArgValue a{}; a.f64 = v; a.tag = kTagDouble; return a; }
inline ArgValue MakeDateTime(double v) { ArgValue a{}; a.f64 = v; a.tag = kTagDateTime; return a; }
inline ArgValue MakeBytes(const void* block) { ArgValue a{}; a.ptr = const_cast<void*>(block); a.tag = kTagByteArray; return a; }
inline ArgValue MakePointer(void* p, uint32_t tag) { ArgValue a{}; a.ptr = p; a.tag = tag; return a; }

// An argument counts as given when its tag is not 0.
inline bool IsGiven(const ArgValue* args, int count, int index) {
  return index < count && args[index].tag != kTagNone;
}

// Window id and unit id of a unit. The window itself is unit kWindowSelfUnit.
struct UnitRef {
  uint32_t windowId;
  uint32_t unitId;
};
constexpr uint32_t kWindowSelfUnit = 0x06010000;

// Signature of every core and library command: fill *result from the
// arguments. The result is zeroed by the caller before the call.
using CommandFn = void (*)(ArgValue* result, int argCount, const ArgValue* args);
