// Packing a branded installer from a setup program (the stub): the payload
// archive, brand key and product index go into the product section
// (payload/product_section.h), the application icon and the version
// resource into the resource section, and the headers that depend on them
// are rewritten. The stub may be a setup program that was packed (and
// signed) before: its product section, resources and relocations are
// rebuilt, its signature dropped. Portable: works on bytes in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/version_info.h"

// What a stub without a product section is packed with unless told
// otherwise: the maker's own brand row and its product 22, as the build's
// defaults (installer/brand_selection.cmake).
constexpr int32_t kDefaultBrandKey = 0;
constexpr int32_t kDefaultProductIndex = 22;

struct PackRequest {
  std::vector<uint8_t> archive;   // the payload ZIP; empty: the stub's own
  bool hasBrandKey = false;       // otherwise the stub's, else the default
  int32_t brandKey = 0;
  bool hasProductIndex = false;
  int32_t productIndex = 0;
  std::vector<uint8_t> iconFile;  // an .ico file; empty: the stub's icon
  bool hasVersion = false;        // otherwise the stub's version, else 1.0.0.0
  FileVersion version;
  // Writes an installer even for a brand and product it would refuse at
  // start (it then shows only the runtime error): for tests of that error.
  bool allowRefusedBrand = false;
};

struct PackResult {
  std::vector<uint8_t> installer;
  int32_t brandKey = 0;
  int32_t productIndex = 0;
  std::string productName;         // UTF-8; empty for a refused pair
  FileVersion version;
  std::vector<std::string> notes;  // what was dropped from the stub (its signature)
};

// Why packing failed; *error holds the whole message, naming the entry at
// fault for kPayload.
enum class PackError {
  kNone,
  kStub,       // the stub is not a program the packer can rebuild
  kNoPayload,  // no archive given and the stub carries none
  kBrand,      // the brand and product pair the installer would refuse
  kPayload,    // the archive fails a check of what the installer can install
  kIcon,       // the icon file cannot serve as the application icon
};

PackError PackInstaller(const std::vector<uint8_t>& stub, const PackRequest& request, PackResult* result,
                        std::string* error);
