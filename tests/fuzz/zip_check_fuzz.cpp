// Fuzz target: the payload archive checker and the archive-entry rules.
//
// The input is checked whole as a payload ZIP (product "demo") and is also
// taken as an entry name, an extra field and a DOS date and time. Besides
// "no crash, no read outside the input", it checks what the rules promise:
// a name CheckEntryName calls safe gives a target path that stays inside the
// install folder however Windows resolves its parts; folder prefixes grow
// and end in "\"; DOS times land between 1980 and 2108; the checker's
// verdict on a name agrees with CheckEntryName.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "payload/entry_rules.h"
#include "tools/payload_zip_check.h"

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "zip_check_fuzz: %s\n", what);
  std::abort();
}

constexpr char kFolder[] = "C:\\Program Files\\Demo";
constexpr uint64_t kFileTime1980 = 119600064000000000ull;  // 1980-01-01
constexpr uint64_t kFileTime2108 = 159992928000000000ull;  // 2108-01-01

bool IsLead(char c) {
  const uint8_t b = static_cast<uint8_t>(c);
  return b >= 0x81 && b <= 0xFE;
}

// Resolves the part of `path` after the folder the way Windows reads a path:
// components split at "\" (character starts only), trailing dots and spaces
// trimmed, "." and empty components skipped, ".." going one level up.
// False when the path climbs above the folder or names a stream or drive.
bool StaysInsideFolder(const char* path, size_t folderLength) {
  int depth = 0;
  size_t i = folderLength;
  if (path[i] == '\\') ++i;
  const size_t length = std::strlen(path);
  size_t start = i;
  while (i <= length) {
    if (i == length || path[i] == '\\') {
      size_t end = i;
      while (end > start && (path[end - 1] == '.' || path[end - 1] == ' ')) --end;
      const bool dotsOnly = end == start;
      const size_t raw = i - start;
      if (dotsOnly && raw >= 2 && path[start] == '.' && path[start + 1] == '.') {
        if (--depth < 0) return false;
      } else if (!dotsOnly) {
        ++depth;
      }
      start = ++i;
      continue;
    }
    if (path[i] == ':') return false;
    i += (IsLead(path[i]) && i + 1 < length) ? 2 : 1;
  }
  return true;
}

void CheckNameRules(const uint8_t* data, size_t size) {
  const char* name = reinterpret_cast<const char*>(data);
  const EntryNameVerdict verdict = CheckEntryName(name, size);
  if (EntryNameVerdictText(verdict) == nullptr) Broken("verdict without a text");
  if (verdict != EntryNameVerdict::kSafe) return;
  if (size == 0 || size > kMaxEntryNameLength) Broken("a name of the wrong length passed");
  if (std::memchr(data, 0, size) != nullptr) Broken("a name with a NUL passed");
  const std::string text(name, size);
  char path[2 * 260 + 2];
  if (!BuildEntryPath(kFolder, text.c_str(), path, sizeof path)) Broken("no path for a safe name");
  const size_t folderLength = std::strlen(kFolder);
  if (std::strncmp(path, kFolder, folderLength) != 0 || path[folderLength] != '\\') {
    Broken("the path does not start with the folder");
  }
  if (std::strlen(path) != folderLength + 1 + size) Broken("the path has the wrong length");
  if (!StaysInsideFolder(path, folderLength)) Broken("a safe name leaves the install folder");
}

void CheckPathRules(const uint8_t* data, size_t size) {
  // The input up to its first NUL as a folder path.
  const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  // A path ending in a lone lead byte would take the appended "\" as its
  // second byte. Paths from Windows hold whole characters only, so such a
  // path is left out here.
  size_t lastChar = 0;
  for (size_t i = 0; i < text.size(); i += (IsLead(text[i]) && i + 1 < text.size()) ? 2 : 1) lastChar = i;
  if (!text.empty() && lastChar == text.size() - 1 && IsLead(text[lastChar])) return;
  char folder[600];
  if (!BuildFolderPath(text.c_str(), folder, sizeof folder)) {
    if (text.size() + 2 <= sizeof folder) Broken("a folder path that fits was refused");
    if (folder[0] != '\0') Broken("a refused folder path left text behind");
    return;
  }
  if (!EndsWithBackslash(folder, std::strlen(folder))) Broken("a folder path does not end in \\");
  size_t last = 0;
  for (size_t n = NextFolderPrefix(folder, 0); n != 0; n = NextFolderPrefix(folder, n)) {
    if (n <= last || n > std::strlen(folder) || folder[n - 1] != '\\') Broken("bad folder prefix");
    last = n;
  }
  if (last != std::strlen(folder)) Broken("the last prefix is not the whole folder");
}

void CheckTimeRules(const uint8_t* data, size_t size) {
  ExtendedTimestamps ut;
  const bool found = FindExtendedTimestamps(data, size, &ut);
  if (!found && (ut.hasLastWrite || ut.hasLastAccess || ut.hasCreation)) Broken("times without a block");
  if (size < 4) return;
  const uint16_t date = uint16_t(data[0] | (data[1] << 8));
  const uint16_t time = uint16_t(data[2] | (data[3] << 8));
  uint64_t value = 0;
  const bool valid = DosDateTimeToFileTime64(date, time, &value);
  if (valid && (value < kFileTime1980 || value >= kFileTime2108)) Broken("DOS time out of its range");
  const EntryTimes times = DeriveEntryTimes(date, time, data + 4, size - 4);
  ExtendedTimestamps tail;
  FindExtendedTimestamps(data + 4, size - 4, &tail);
  if (times.hasLastWrite != (valid || tail.hasLastWrite)) Broken("last write time present wrongly");
  if (!tail.hasLastWrite && valid && times.lastWrite != value) Broken("DOS time not used");
  if (tail.hasLastWrite && times.lastWrite != UnixTimeToFileTime64(tail.lastWrite)) Broken("UT time not used");
  const int32_t index = int32_t(data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t(data[3]) << 24));
  const int32_t percent = ExtractProgressPercent(index, int32_t(size) - 2);
  if (percent < 0 || percent > 100) Broken("progress out of range");
  if ((DeriveAttributes(uint32_t(index)) & kFileAttributeNormal) == 0) Broken("attributes lack NORMAL");
}

void CheckArchive(const uint8_t* data, size_t size) {
  const ZipCheckResult r = CheckPayloadZip(data, size, "demo");
  if (ZipProblemText(r.problem) == nullptr) Broken("problem without a text");
  if (r.problem == ZipProblem::kNone && r.entryIndex != -1) Broken("an installable archive names an entry");
  if (r.problem == ZipProblem::kUnsafeName) {
    if (r.nameVerdict == EntryNameVerdict::kSafe ||
        CheckEntryName(r.entryName.data(), r.entryName.size()) != r.nameVerdict) {
      Broken("the unsafe-name verdict disagrees with CheckEntryName");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckArchive(data, size);
  CheckNameRules(data, size);
  CheckPathRules(data, size);
  CheckTimeRules(data, size);
  return 0;
}
