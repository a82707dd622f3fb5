#include "payload/threads_win.h"

#include "frame/frame_api.h"
#include "frame/handles_win.h"

namespace {

// Kept for the facility's commands; none of this program's uses it.
FrameServiceFn gThreadFrameService = nullptr;

struct CriticalSectionNode {
  CRITICAL_SECTION section;
  CriticalSectionNode* next;
};

// Head of the list. Nodes are pushed with a compare-exchange so that
// commands on several threads may add to it; only program end takes it apart.
CriticalSectionNode* volatile gCriticalSections = nullptr;

}  // namespace

void StartThread(ArgValue* result, int argCount, const ArgValue* args) {
  LPTHREAD_START_ROUTINE entry =
      IsGiven(args, argCount, 0) ? reinterpret_cast<LPTHREAD_START_ROUTINE>(args[0].ptr) : nullptr;
  LPVOID parameter = IsGiven(args, argCount, 1)
                         ? reinterpret_cast<LPVOID>(static_cast<intptr_t>(args[1].i32))
                         : nullptr;
  int32_t* handleVariable =
      IsGiven(args, argCount, 2) ? static_cast<int32_t*>(args[2].ptr) : nullptr;

  DWORD threadId = 0;
  OwnedKernelHandle thread(entry ? CreateThread(nullptr, 0, entry, parameter, 0, &threadId) : nullptr);
  *result = MakeBool(static_cast<bool>(thread));
  // The program keeps the handle when it gives a variable for it. Kernel
  // handles carry 32 significant bits in both flavours, so the program's
  // 32-bit variable holds one whole.
  if (handleVariable) *handleVariable = HandleToLong(thread.release());
}

intptr_t ThreadLibraryNotify(int code, intptr_t a1, intptr_t) {
  switch (code) {
    case kNotifyFrameEntry:
      gThreadFrameService = reinterpret_cast<FrameServiceFn>(a1);
      return 0;
    case kNotifyProgramEnd:
      ReleaseListedCriticalSections();
      return 0;
    default:
      return -1;
  }
}

CRITICAL_SECTION* NewListedCriticalSection() {
  auto* node = static_cast<CriticalSectionNode*>(
      HeapAlloc(GetProcessHeap(), 0, sizeof(CriticalSectionNode)));
  if (!node) return nullptr;
  InitializeCriticalSection(&node->section);
  for (;;) {
    CriticalSectionNode* head = gCriticalSections;
    node->next = head;
    if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&gCriticalSections),
                                          node, head) == head)
      return &node->section;
  }
}

size_t ListedCriticalSectionCount() {
  size_t count = 0;
  for (CriticalSectionNode* node = gCriticalSections; node; node = node->next) ++count;
  return count;
}

void ReleaseListedCriticalSections() {
  auto* node = static_cast<CriticalSectionNode*>(InterlockedExchangePointer(
      reinterpret_cast<PVOID volatile*>(&gCriticalSections), nullptr));
  while (node) {
    CriticalSectionNode* next = node->next;
    DeleteCriticalSection(&node->section);
    HeapFree(GetProcessHeap(), 0, node);
    node = next;
  }
}
