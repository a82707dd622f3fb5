// The product section of the running program's own image.
#include <windows.h>

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
