// The contract between the program frame, the program it runs and the
// built-in libraries: the program descriptor, the system function table,
// the frame service entry and the library notification scheme. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/value.h"

// An event handler takes up to five 32-bit arguments (first argument first)
// and either returns no value or one 32-bit value.
struct HandlerResult {
  bool hasValue;
  int32_t value;
};
using EventHandler = HandlerResult (*)(const int32_t* args, int argCount);
inline HandlerResult NoValue() { return {false, 0}; }
inline HandlerResult Returns(int32_t v) { return {true, v}; }

// The frame's numbered entry for units and commands (codes in FrameCode).
using FrameServiceFn = intptr_t (*)(int code, intptr_t a1, intptr_t a2, intptr_t a3);

enum FrameCode : int {
  kFsForms = 1001,              // -> the list of window templates
  kFsUnitType = 1002,           // a1 TypeTag -> const UnitTypeDescriptor* or 0
  kFsUnitDestroyed = 2000,      // a1 window id, a2 unit id
  kFsProgramFolder = 2003,      // -> const char*
  kFsProgramFileName = 2004,    // -> const char*
  kFsFindUnitObject = 2006,     // a1 window id, a2 unit id -> live object or 0
  kFsRequireUnitObject = 2007,  // as 2006; none is a fatal error
  kFsRaiseEvent = 2008,         // a1 EventRecord* -> 1 delivered, 0 not
  kFsSuspendEvents = 2009,
  kFsResumeEvents = 2010,
  kFsEventSource = 2017,        // a1 UnitRef* receives the source
  kFsProcessMessages = 2018,
  kFsAllocate = 2024,           // a1 size, a2 non-zero: null instead of the error box
  kFsFree = 2025,               // a1 block
  kFsReallocate = 2026,         // a1 block, a2 size
  kFsFatalMessage = 2027,       // a1 const char* message
  kFsExitProgram = 2028,        // a1 exit code
  kFsRunMode = 2030,
};

// Library notifications sent by the frame.
enum LibraryNotification : int {
  kNotifyFrameEntry = 1,  // a1: the FrameServiceFn
  kNotifyProgramEnd = 6,  // a1: the library's word
};
using LibraryNotifyFn = intptr_t (*)(int code, intptr_t a1, intptr_t a2);

struct UnitTypeDescriptor;  // defined with window loading

// An event raised through kFsRaiseEvent. The frame fills hasResult and
// result: hasResult is 1 when the handler returned a value.
struct EventRecord {
  uint32_t windowId;
  uint32_t unitId;  // 0 or kWindowSelfUnit: the window itself
  int32_t eventNumber;
  int32_t argCount;  // 0..5
  int32_t args[5];
  int32_t hasResult;
  int32_t result;
};

struct LibraryInfo {
  const char* name;
  LibraryNotifyFn notify;  // may be null
  const UnitTypeDescriptor* const* unitTypes;  // indexed by unit number - 1
  int unitTypeCount;
};

// A constant record emitted with the program; the frame reads it once.
struct ProgramDescriptor {
  int runMode;  // 3 = finished program
  // Handler code base: stored handler offsets are byte offsets into this
  // table (offset / 4 = index); -1 means no handler.
  const EventHandler* handlerTable;
  int handlerCount;
  const uint8_t* constantStart;
  size_t constantSize;
  const uint8_t* formData;
  size_t formSize;
  int libraryCount;
  const LibraryInfo* libraries;
  int dllCommandCount;
  const char* const* dllLibraryNames;
  const char* const* dllCommandNames;
};

// Defined by the program; the frame starts it.
extern const ProgramDescriptor gProgramDescriptor;
int ProgramEntry();

// One argument of a declared DLL command: an integer or an address, as wide
// as a pointer (a 32-bit program's integers and addresses alike fill one).
using DllArg = uintptr_t;

// A property value as WriteUnitProperty takes it and ReadUnitProperty gives
// it: 32-bit kinds in the low word (integers sign-extended), 64-bit kinds in
// all 64 bits, texts and byte arrays as the block's address.
inline uint64_t PropertyValue(int32_t v) { return static_cast<uint64_t>(static_cast<int64_t>(v)); }
inline uint64_t PropertyValue(const void* p) { return reinterpret_cast<uintptr_t>(p); }
template <typename T>
T* PropertyPointer(uint64_t value) { return reinterpret_cast<T*>(static_cast<uintptr_t>(value)); }

// The thirteen system functions, in table order. ReportRuntimeError and
// ExitProgram never return.
struct SystemFunctionTable {
  void (*ReportRuntimeError)(int code);                        // 0
  uint64_t (*CallDllCommand)(int index, int argCount, const DllArg* args);    // 1
  ArgValue (*CallLibraryCommand)(CommandFn command, int count, const ArgValue* args);  // 2
  ArgValue (*CallCoreCommand)(CommandFn command, int count, const ArgValue* args);     // 3
  int64_t (*ReadUnitProperty)(uint32_t windowId, uint32_t unitId, int property, int member);  // 4
  void (*WriteUnitProperty)(uint32_t windowId, uint32_t unitId, int property, int member,
                            uint64_t value);                                 // 5
  void* (*AllocateBlock)(int32_t n);                                         // 6
  void* (*ReallocateBlock)(void* p, int32_t n);                              // 7
  void (*FreeBlock)(void* p);                                                // 8
  void (*ExitProgram)(int code);                                // 9
  void (*RunMessageLoop)();                                                  // 10
  void (*LoadStartWindow)(uint32_t windowId);                                // 11
  intptr_t (*RuntimeService)(int number, intptr_t a1, intptr_t a2, intptr_t a3);  // 12
};
extern const SystemFunctionTable gSystem;

enum RuntimeServiceNumber : int {
  kServiceFindFile = 0,
  kServiceCloseFind = 1,
  kServicePrivateCopy = 2,
  kServiceRegisterCleanup = 3,  // a1: void (*)()
  kServiceReadOwnProperty = 4,
  kServiceWriteOwnProperty = 5,
  kServiceInitialise = 6,
};
// Result of a runtime service the frame does not provide.
constexpr intptr_t kServiceNotSupported = -1;
