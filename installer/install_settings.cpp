#include "installer/install_settings.h"

#include "frame/blocks.h"

InstallSettings& Settings() {
  static InstallSettings settings;
  return settings;
}

void InitialiseInstallSettings() {
  InstallSettings& s = Settings();
  s.productIndex = 0;
  s.productNames = NewTextArray(0);
}

void CleanupInstallSettings() {
  InstallSettings& s = Settings();
  FreeBlock(s.productList);
  s.productList = nullptr;
  FreeTextArray(s.productNames);
  s.productNames = nullptr;
  FreeBlock(s.productName);
  s.productName = nullptr;
}
