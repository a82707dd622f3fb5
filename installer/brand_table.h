// The brand table built into the installer: for each brand key, the brand's
// default parent folder (ending in "\") and its product names separated by
// "|". Two build constants pick the row and the product in it. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

struct BrandProfile {
  int32_t key;
  const char* folderName;   // GBK, ends in "\"
  const char* productList;  // GBK, "|"-separated, no separator at the end
};

constexpr size_t kBrandRowCount = 28;
extern const BrandProfile kBrandProfiles[kBrandRowCount];

// The row with the given key, or null.
const BrandProfile* FindBrandProfile(int32_t key);

// Number of entries in a product list ("|"-separated; an empty list has none).
int ProductCount(const char* productList);

// Whether a build with this brand key and product index starts: 0 when it
// does, else the runtime error the start-up check raises (4 for an index
// below 1, 1 for an index past the list or a key without a row).
int BrandSelectionError(int32_t brandKey, int32_t productIndex);
