// Checks that a ZIP archive is one the installer's extractor can install
// completely: the build runs it on every supplied payload and stops with the
// problem it reports. Portable: works on bytes in memory, reads nothing
// outside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "payload/entry_rules.h"

enum class ZipProblem {
  kNone,
  kNoEndRecord,          // no end-of-central-directory record ending the file
  kMultiDisk,            // disk numbers other than 0, or a split directory
  kZip64,                // ZIP64 records, markers or extra fields
  kNotLocalHeaderFirst,  // fails the extractor's acceptance test of the first 32 bytes
  kBadCentralDirectory,  // a central record out of bounds or malformed
  kBadLocalHeader,       // a local header, its name, extra field or data out of
                         // bounds or disagreeing with the central record
  kEncrypted,            // general-purpose flag bit 0 or 6
  kUnsupportedMethod,    // a method other than stored (0) and deflate (8)
  kUnsafeName,           // refused by CheckEntryName (see nameVerdict)
  kFolderShape,          // a name ending in "/" without the directory attribute,
                         // or the directory attribute on a name without it
  kMissingFolderEntry,   // a file inside a folder that no earlier folder entry names
  kMissingProduct,       // no file entry "<product>.exe" at the root
};

struct ZipCheckResult {
  ZipProblem problem = ZipProblem::kNone;
  int entryIndex = -1;     // central-directory index of the entry at fault, or -1
  std::string entryName;   // its name as stored (GBK, or UTF-8 when utf8Name); for
                           // kMissingProduct the name looked for
  bool utf8Name = false;   // the entry's name is flagged as UTF-8
  EntryNameVerdict nameVerdict = EntryNameVerdict::kSafe;  // for kUnsafeName
  std::string detail;      // English detail for the message, may be empty; GBK, as it
                           // may quote a folder name from the archive
};

// Checks the `size` bytes of an archive against what the extractor installs:
// one disk, no ZIP64, the file starting with a local header, every central
// record and local header inside the file and agreeing with each other, no
// encryption, only stored and deflate, safe GBK names, folder entries before
// the files inside them (a folder entry also provides its parent folders;
// names compare without regard to ASCII case, as Windows does), and a file
// entry `productGbk` + ".exe" at the root (not looked for when productGbk is
// empty). Returns the first problem found,
// in archive order; problem kNone when the archive is installable.
ZipCheckResult CheckPayloadZip(const uint8_t* data, size_t size, const std::string& productGbk);

// A short English description of a problem. Static text; never null.
const char* ZipProblemText(ZipProblem problem);
