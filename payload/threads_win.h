// The thread facility: StartThread runs a program routine on a new thread,
// and a process-wide list keeps the critical sections that the facility's
// mutual-exclusion commands create, so that program end can release them.
//
// Windows only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "frame/value.h"

// StartThread: args[0] the entry (TypeTag kTagSubroutine, an
// LPTHREAD_START_ROUTINE in ptr); args[1] optional int parameter handed to the
// entry (0 when omitted); args[2] optional handle variable, a pointer to an
// int32 in ptr. The thread starts at once with the default stack and no
// set-up (no COM, no message queue).
// Result: bool, true when the thread was created. A missing or null entry
// creates no thread. With a handle variable the variable receives the handle
// (0 on failure) and the caller closes it; without one the handle is closed
// before StartThread returns. The facility never waits for a thread.
void StartThread(ArgValue* result, int argCount, const ArgValue* args);

// The thread library's notification entry: 1 keeps the FrameServiceFn in a1
// and answers 0; 6 (program end) releases every listed critical section and
// answers 0; anything else answers -1.
intptr_t ThreadLibraryNotify(int code, intptr_t a1, intptr_t a2);

// Creates and initialises a critical section and adds it to the process-wide
// list; it stays valid until program end releases the list. Null when memory
// runs out. Safe to call from any thread.
CRITICAL_SECTION* NewListedCriticalSection();

// Number of critical sections on the list.
size_t ListedCriticalSectionCount();

// Deletes and frees every listed critical section and empties the list. Only
// for program end, when no thread uses them any more.
void ReleaseListedCriticalSections();
