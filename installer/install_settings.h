// The installer's program-wide variables. Only the start-up routine writes
// them, on the window thread; the texts and the array are owned blocks.
#pragma once

#include <cstdint>

struct InstallSettings {
  int32_t productIndex = 0;      // 1-based position of the product in its list
  char* productList = nullptr;   // the brand's product list, "|"-separated
  void* productNames = nullptr;  // text array: productList split at "|"
  char* productName = nullptr;   // element productIndex of productNames
};

InstallSettings& Settings();

// Program start: productNames becomes an empty one-dimensional array.
void InitialiseInstallSettings();
// The clean-up routine run at program end: frees every text and the array.
void CleanupInstallSettings();
