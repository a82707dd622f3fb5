// Start-up: the window's size and place, the default drive by the free space
// on D:, the brand row and product that setup-pack wrote into the product
// section, and the default installation path in the folder label.
#include <windows.h>

#include <string>

#include "frame/blocks.h"
#include "frame/wide_text_win.h"
#include "frame/text_commands.h"
#include "installer/brand_table.h"
#include "installer/install_guard_win.h"
#include "installer/install_rules.h"
#include "installer/install_settings.h"
#include "installer/installer_window.h"
#include "payload/payload_archive.h"

int32_t QueryDiskSpace(const char* drive, int64_t* used, int64_t* free, int64_t* total) {
  std::wstring wideDrive = WideFromGbk(drive);
  int32_t ok = static_cast<int32_t>(CallDll(kDllGetDiskFreeSpaceEx, {Address(wideDrive.c_str()), Address(used),
                                                                     Address(total), Address(free)}));
  DiskSpaceMiB mib = ToWholeMiB(*used, *total, *free);
  *used = mib.used;
  *free = mib.free;
  *total = mib.total;
  return ok;
}

namespace {

// The brand row's folder name ("" without a row), kept by LoadProductSettings.
std::string gFolderName;

}  // namespace

int LoadProductSettings() {
  InstallSettings& s = Settings();
  const ProductSectionView& product = *ThisProgramProduct();  // checked at the program's entry
  s.productIndex = product.productIndex;
  gFolderName.clear();
  if (const BrandProfile* row = FindBrandProfile(product.brandKey)) {
    gFolderName = row->folderName;
    FreeBlock(s.productList);
    s.productList = NewText(row->productList);
  }
  void* names = SplitText(s.productList, "|");
  FreeTextArray(s.productNames);
  s.productNames = names;

  char* const* elements = nullptr;
  uint32_t count = 0;
  ViewTextArray(s.productNames, &elements, &count);
  if (s.productIndex < 1) return 4;
  if (static_cast<uint32_t>(s.productIndex) > count) return 1;
  FreeBlock(s.productName);
  s.productName = NewText(elements[s.productIndex - 1]);
  return 0;
}

std::string DefaultInstallFolder() {
  int64_t used = 0, free = 0, total = 0;
  QueryDiskSpace("d:", &used, &free, &total);
  const char* productName = Settings().productName;
  return std::string(DefaultDrivePrefix(free)) + gFolderName + (productName ? productName : "");
}

HandlerResult OnMainWindowCreated(const int32_t*, int) {
  WriteIntProperty(kWindowSelfUnit, kPropWidth, 250);
  WriteIntProperty(kWindowSelfUnit, kPropHeight, 400);
  WriteIntProperty(kWindowSelfUnit, kPropTop, 300);
  if (int error = LoadProductSettings()) gSystem.ReportRuntimeError(error);
  const std::string folder = DefaultInstallFolder();
  // Started again while an install into this folder runs: the running one
  // is what the user is looking for.
  HWND holder = nullptr;
  if (FolderHeldByAnother(folder, &holder)) {
    BringToFront(holder);
    gSystem.ExitProgram(0);
  }
  WriteTextProperty(kFolderLabel, kLabelCaption, folder.c_str());
  return NoValue();
}
