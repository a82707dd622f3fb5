// The product section of the running program's own image.
#include <windows.h>

#include <zlib.h>

#include "frame/blocks.h"
#include "payload/payload_archive.h"

namespace {

bool LocateOwnProduct(ProductSectionView* view) {
  const auto* image = reinterpret_cast<const uint8_t*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  if (LocateProductSection(image, nt->OptionalHeader.SizeOfImage, view) != ProductSectionError::kNone) {
    return false;
  }
  return AddConstantRange(view->section, view->sectionSize);
}

}  // namespace

const ProductSectionView* ThisProgramProduct() {
  static ProductSectionView view;
  static const bool located = LocateOwnProduct(&view);
  return located ? &view : nullptr;
}

const void* PayloadArchiveBlock() {
  const ProductSectionView* product = ThisProgramProduct();
  return product ? product->archiveBlock : nullptr;
}

namespace {

bool ComputePayloadIntact() {
  const ProductSectionView* product = ThisProgramProduct();
  if (!product) return false;
  // zlib takes lengths of 32 bits; the archive's length is one, but feed it
  // in pieces all the same so that no cast narrows it.
  constexpr uint32_t kPiece = 1u << 30;
  uLong crc = crc32(0, nullptr, 0);
  for (uint32_t done = 0; done < product->archiveSize;) {
    uint32_t piece = product->archiveSize - done < kPiece ? product->archiveSize - done : kPiece;
    crc = crc32(crc, product->archive + done, piece);
    done += piece;
  }
  return static_cast<uint32_t>(crc) == product->archiveCrc;
}

// The check started ahead (StartPayloadCheck): its thread and its answer.
HANDLE gCheckThread = nullptr;
volatile LONG gCheckedIntact = 0;

DWORD WINAPI CheckPayload(void*) {
  InterlockedExchange(&gCheckedIntact, ComputePayloadIntact() ? 1 : 0);
  return 0;
}

}  // namespace

void StartPayloadCheck() {
  if (gCheckThread || !ThisProgramProduct()) return;
  gCheckThread = CreateThread(nullptr, 64 * 1024, CheckPayload, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
}

bool PayloadArchiveIntact() {
  if (!gCheckThread) return ComputePayloadIntact();
  WaitForSingleObject(gCheckThread, INFINITE);
  return InterlockedCompareExchange(&gCheckedIntact, 0, 0) == 1;
}
