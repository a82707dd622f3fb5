// Fuzz target: the text commands on GBK byte strings and the rules that
// resolve a declared DLL command's library and export.
//
// Input: one byte of switches, a 32-bit little-endian count, then up to four
// texts separated by NUL bytes (a missing text is null). Besides "no crash,
// no read past a NUL", it checks the results against what the commands
// promise: lengths, positions at character starts, splits that join back to
// the text, trims that leave no space at either end, and library lists that
// never put a folder before the system folder for a system library.
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame/blocks.h"
#include "frame/dll_names.h"
#include "frame/text_commands.h"

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "text_commands_fuzz: %s\n", what);
  std::abort();
}

// Counts in the input are cut to this, so that SpaceText and friends stay
// cheap; the commands themselves take any int.
constexpr int kMaxCount = 4096;

void InstallPlatform() {
  static bool installed = false;
  if (installed) return;
  BlockPlatform p{};
  p.alloc = [](size_t n) { return std::malloc(n); };
  p.realloc = [](void* q, size_t n) { return std::realloc(q, n); };
  p.free = [](void* q) { std::free(q); };
  p.size = [](const void* q) { return malloc_usable_size(const_cast<void*>(q)); };
  p.fatal = [](int, const char* message) {
    std::fprintf(stderr, "text_commands_fuzz: fatal error: %s\n", message ? message : "");
    std::abort();
  };
  SetBlockPlatform(p);
  installed = true;
}

std::string Str(const char* t) { return t ? t : ""; }

// True when `at` is reached by stepping characters from `from`. A search
// treats its start position as a character start.
bool IsCharStart(const std::string& text, size_t from, size_t at) {
  size_t i = from;
  while (i < at) i += TextCharSize(text.c_str() + i);
  return i == at;
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

void CheckLeftAndTrim(const char* text, int n) {
  const std::string t = Str(text);
  char* left = LeftText(text, n);
  const size_t want = n <= 0 ? 0 : std::min(t.size(), size_t(n));
  if ((left == nullptr) != (want == 0)) Broken("LeftText: null exactly for an empty result");
  if (left && Str(left) != t.substr(0, want)) Broken("LeftText: not the prefix");
  FreeBlock(left);

  char* trimmed = TrimSpaces(text);
  const std::string r = Str(trimmed);
  FreeBlock(trimmed);
  if (!r.empty()) {
    if (r[0] == ' ' || (uint8_t(r[0]) == 0xA1 && uint8_t(r[1]) == 0xA1)) Broken("TrimSpaces: leading space left");
    if (t.find(r) == std::string::npos) Broken("TrimSpaces: not a part of the text");
    size_t last = 0;
    for (size_t i = 0; i < r.size(); i += TextCharSize(r.c_str() + i)) last = i;
    if (r[last] == ' ' || (uint8_t(r[last]) == 0xA1 && uint8_t(r[last + 1]) == 0xA1 && last + 2 == r.size())) {
      Broken("TrimSpaces: trailing space left");
    }
  }
}

void CheckFind(const char* text, const char* needle, int start, bool ignoreCase) {
  const std::string t = Str(text), s = Str(needle);
  const int found = FindText(text, needle, start, ignoreCase);
  const size_t offset = start > 1 ? size_t(start) - 1 : 0;
  if (found == -1) {
    if (ignoreCase || offset >= t.size()) return;
    for (size_t i = offset; i + s.size() <= t.size(); i += TextCharSize(t.c_str() + i)) {
      if (t.compare(i, s.size(), s) == 0) Broken("FindText: missed an occurrence");
    }
    return;
  }
  if (found < 1 || size_t(found) > t.size()) Broken("FindText: position out of range");
  if (s.empty()) {
    if (found != 1) Broken("FindText: empty needle not at 1");
    return;
  }
  const size_t at = size_t(found) - 1;
  if (at < offset || at + s.size() > t.size()) Broken("FindText: before the start or past the end");
  if (!IsCharStart(t, offset, at)) Broken("FindText: not at a character start");
  for (size_t i = 0; i < s.size(); ++i) {
    if (ignoreCase ? Fold(t[at + i]) != Fold(s[i]) : t[at + i] != s[i]) Broken("FindText: no match there");
  }
}

void CheckSplit(const char* text, const char* delimiter, int maxCount) {
  const std::string t = Str(text);
  const std::string d = delimiter ? delimiter : ",";
  void* array = SplitText(text, delimiter, maxCount);
  char* const* elements = nullptr;
  uint32_t count = 0;
  if (!ViewTextArray(array, &elements, &count)) Broken("SplitText: not a text array");
  if (t.empty() || maxCount <= 0) {
    if (count != 0) Broken("SplitText: elements from nothing");
  } else if (d.empty()) {
    if (count != 1 || Str(elements[0]) != t) Broken("SplitText: empty delimiter must give the text");
  } else {
    if (count == 0 || count > uint32_t(maxCount)) Broken("SplitText: element count out of range");
    std::string joined;
    for (uint32_t i = 0; i < count; ++i) {
      if (elements[i] && elements[i][0] == '\0') Broken("SplitText: empty element not null");
      if (i > 0) joined += d;
      joined += Str(elements[i]);
    }
    if (t.compare(0, joined.size(), joined) != 0) Broken("SplitText: elements do not join to the text");
    const bool whole = joined == t || joined + d == t;
    if (count < uint32_t(maxCount) && !whole) Broken("SplitText: text lost below the limit");
  }
  FreeTextArray(array);
}

void CheckConcatAndCompare(const char* const* texts, int count) {
  char* joined = ConcatTexts(texts, count);
  std::string want;
  for (int i = 0; i < count; ++i) want += Str(texts[i]);
  if (!joined || Str(joined) != want) Broken("ConcatTexts: not the parts in order");
  FreeBlock(joined);
  const int ab = CompareTexts(texts[0], texts[1]), ba = CompareTexts(texts[1], texts[0]);
  if (ab != -ba || ab < -1 || ab > 1) Broken("CompareTexts: not antisymmetric");
  if ((ab == 0) != (Str(texts[0]) == Str(texts[1]))) Broken("CompareTexts: equal iff the same bytes");
  if (TextLength(texts[0]) != int(Str(texts[0]).size())) Broken("TextLength: wrong");
}

// The command forms: arguments left out by the switches must take their
// defaults and never be read.
void CheckCommands(const char* const* texts, int n, uint8_t switches) {
  ArgValue args[4];
  for (int i = 0; i < 4; ++i) {
    args[i] = (switches >> i) & 1 ? ArgValue{} : MakeText(texts[i]);
  }
  ArgValue ints[3] = {MakeInt(n), MakeInt(n >> 3), MakeInt(int(switches))};
  if (switches & 0x10) ints[1] = ArgValue{};
  auto run = [](void (*command)(ArgValue*, int, const ArgValue*), int argCount, const ArgValue* a) {
    ArgValue result{};
    command(&result, argCount, a);
    return result;
  };
  ArgValue r = run(CmdTextLength, 1, args);
  if (r.tag != kTagInt) Broken("CmdTextLength: not an int");
  ArgValue leftArgs[2] = {args[0], ints[0]};
  FreeBlock(const_cast<char*>(run(CmdLeftText, 2, leftArgs).text));
  ArgValue findArgs[4] = {args[0], args[1], ints[1], ints[2]};
  run(CmdFindText, 2 + (switches >> 5) % 3, findArgs);
  FreeBlock(const_cast<char*>(run(CmdTrimSpaces, 1, args).text));
  ArgValue splitArgs[3] = {args[0], args[1], ints[1]};
  r = run(CmdSplitText, 1 + (switches >> 6) % 3, splitArgs);
  FreeTextArray(r.ptr);
  ArgValue spaceArgs[1] = {ints[0]};
  r = run(CmdSpaceText, 1, spaceArgs);
  if (Str(r.text) != std::string(n > 0 ? size_t(n) : 0, ' ')) Broken("CmdSpaceText: wrong spaces");
  FreeBlock(const_cast<char*>(r.text));
  r = run(CmdBitOr, 3, ints);
  FreeBlock(const_cast<char*>(run(CmdConcatTexts, 4, args).text));
  run(CmdCompareTexts, 2, args);
}

bool HasSeparator(const std::string& s) {
  for (size_t i = 0; i < s.size(); i += TextCharSize(s.c_str() + i)) {
    if (s[i] == '\\' || s[i] == '/') return true;
  }
  return false;
}

void CheckDllNames(const char* const* texts, bool inSystemFolder) {
  const std::string library = Str(texts[0]), program = Str(texts[1]), system = Str(texts[2]);
  const DllExportName exportName = ParseDllCommandName(texts[3]);
  if (exportName.byOrdinal != (Str(texts[3])[0] == '#')) Broken("ParseDllCommandName: ordinal iff '#'");
  if (!exportName.byOrdinal && Str(exportName.name) != Str(texts[3])) Broken("ParseDllCommandName: name changed");

  const std::string file = DllFileName(texts[0]);
  if (file != library && file != library + ".dll") Broken("DllFileName: more than \".dll\" added");
  const bool bare = IsBareDllName(texts[0]);
  if (bare && (library.empty() || HasSeparator(library))) Broken("IsBareDllName: a path taken as bare");

  const DllCandidates c = DllLibraryCandidates(texts[0], texts[1], texts[2], inSystemFolder);
  if (c.files.empty()) Broken("DllLibraryCandidates: nothing to try");
  if (c.firstExporterWins != library.empty()) Broken("DllLibraryCandidates: first exporter only for no name");
  if (library.empty() && c.files.size() != size_t(kDefaultDllLibraryCount)) Broken("DllLibraryCandidates: defaults");
  for (const std::string& f : c.files) {
    if (f.empty()) Broken("DllLibraryCandidates: an empty file name");
  }
  // A library found in the system folder is loaded from there and only
  // there: a same-named file in the program's folder must never be tried.
  if (bare && inSystemFolder && library.find(':') == std::string::npos) {
    if (c.files.size() != 1) Broken("DllLibraryCandidates: a system library with alternatives");
    const std::string& only = c.files[0];
    const bool fromSystem = system.empty() ? only == file
                                           : only.size() >= system.size() + file.size() &&
                                                 only.compare(0, system.size(), system) == 0 &&
                                                 only.compare(only.size() - file.size(), file.size(), file) == 0;
    if (!fromSystem) Broken("DllLibraryCandidates: a system library from elsewhere than the system folder");
  }
  const std::string message = DllCommandNotFoundText(texts[0], texts[3]);
  if (message.find(Str(texts[3])) == std::string::npos) Broken("DllCommandNotFoundText: command missing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InstallPlatform();
  if (size < 5) return 0;
  const uint8_t switches = data[0];
  int n = int32_t(data[1] | (data[2] << 8) | (data[3] << 16) | (uint32_t(data[4]) << 24));
  if (n > kMaxCount) n = kMaxCount;
  if (n < -kMaxCount) n = -kMaxCount;

  // Up to four NUL-separated texts; the fourth one runs to the input's end
  // and stops at its first NUL like any text.
  std::vector<std::string> parts;
  const char* bytes = reinterpret_cast<const char*>(data);
  size_t at = 5;
  while (at <= size && parts.size() < 4) {
    size_t stop = at;
    while (stop < size && bytes[stop] != '\0') ++stop;
    parts.emplace_back(bytes + at, stop - at);
    at = stop + 1;
  }
  const char* texts[4] = {nullptr, nullptr, nullptr, nullptr};
  for (size_t i = 0; i < parts.size(); ++i) texts[i] = parts[i].c_str();

  CheckLeftAndTrim(texts[0], n);
  CheckFind(texts[0], texts[1], n >> 3, switches & 1);
  CheckSplit(texts[0], (switches & 2) ? texts[1] : nullptr, (switches & 4) ? n : kSplitUnlimited);
  CheckConcatAndCompare(texts, 4);
  CheckCommands(texts, n, switches);
  CheckDllNames(texts, switches & 8);
  char* spaces = SpaceText(n);
  if (Str(spaces).size() != (n > 0 ? size_t(n) : 0)) Broken("SpaceText: wrong length");
  FreeBlock(spaces);
  int32_t values[4] = {n, int32_t(switches), n >> 7, ~n};
  if (BitOr(values, 4) != (values[0] | values[1] | values[2] | values[3])) Broken("BitOr: wrong bits");
  return 0;
}
