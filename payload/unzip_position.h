// Moving the unzip library's current entry to an index, shared by the
// Windows archive reader and the portable in-memory walk.
#pragma once

#include <cstdint>

#include "unzip.h"

// Moves zip's current entry to `index`: forward from *current, or from the
// first entry when a lower index is asked for (or *current is unknown, -1).
// *current follows the library's entry; -1 after a failure.
inline bool MoveToEntry(unzFile zip, int32_t* current, int32_t index) {
  if (*current < 0 || index < *current) {
    if (unzGoToFirstFile(zip) != UNZ_OK) {
      *current = -1;
      return false;
    }
    *current = 0;
  }
  while (*current < index) {
    if (unzGoToNextFile(zip) != UNZ_OK) {
      *current = -1;
      return false;
    }
    ++*current;
  }
  return true;
}
