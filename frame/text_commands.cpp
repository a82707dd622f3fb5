#include "frame/text_commands.h"

#include <cstring>

#include "frame/blocks.h"

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

// A new text of the n bytes at s; null for n == 0.
char* CopyText(const char* s, size_t n) {
  if (n == 0) return nullptr;
  char* t = static_cast<char*>(AllocateBlock(n + 1));
  std::memcpy(t, s, n);
  t[n] = '\0';
  return t;
}

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Does needle (nlen bytes) match at at? The caller guarantees nlen bytes at
// at. Folding applies only to the needle's single-byte characters, so the
// second byte of a two-byte character (which may be an ASCII letter) never
// matches another character's second byte by case.
bool NeedleMatchesAt(const char* at, const char* needle, size_t nlen, bool ignoreCase) {
  if (!ignoreCase) return std::memcmp(at, needle, nlen) == 0;
  for (size_t i = 0; i < nlen;) {
    size_t k = TextCharSize(needle + i);
    if (k == 2) {
      if (at[i] != needle[i] || at[i + 1] != needle[i + 1]) return false;
    } else if (FoldAscii(static_cast<unsigned char>(at[i])) !=
               FoldAscii(static_cast<unsigned char>(needle[i]))) {
      return false;
    }
    i += k;
  }
  return true;
}

// The character of k bytes at p is a space: 0x20 or the full-width A1 A1.
bool IsSpaceChar(const char* p, size_t k) {
  if (k == 1) return *p == ' ';
  return k == 2 && static_cast<unsigned char>(p[0]) == 0xA1 && static_cast<unsigned char>(p[1]) == 0xA1;
}

// One pass of SplitText: counts the elements and, when out is given, stores
// them. maxCount is at least 1 and dlen at least 1.
uint32_t SplitPass(const char* text, size_t len, const char* delim, size_t dlen, uint32_t maxCount,
                   char** out) {
  uint32_t count = 0;
  size_t cut = 0;
  size_t pos = 0;
  while (pos < len) {
    if (len - pos >= dlen && std::memcmp(text + pos, delim, dlen) == 0) {
      if (out) out[count] = CopyText(text + cut, pos - cut);
      ++count;
      pos += dlen;
      cut = pos;
      if (count >= maxCount) return count;
      continue;
    }
    pos += TextCharSize(text + pos);
  }
  if (cut < len) {
    if (out) out[count] = CopyText(text + cut, len - cut);
    ++count;
  }
  return count;
}

// Joins count parts given by partAt(i) into one new block.
template <typename PartAt>
char* JoinParts(int count, PartAt partAt) {
  size_t total = 0;
  for (int i = 0; i < count; ++i) {
    size_t n = std::strlen(OrEmpty(partAt(i)));
    // A sum past the address space cannot be allocated: let the allocation
    // report it instead of wrapping around to a short block.
    if (n >= SIZE_MAX - total) return static_cast<char*>(AllocateBlock(SIZE_MAX));
    total += n;
  }
  char* block = static_cast<char*>(AllocateBlock(total + 1));
  size_t at = 0;
  for (int i = 0; i < count; ++i) {
    const char* part = OrEmpty(partAt(i));
    size_t n = std::strlen(part);
    std::memcpy(block + at, part, n);
    at += n;
  }
  block[at] = '\0';
  return block;
}

const char* TextArg(const ArgValue* args, int count, int index) {
  return IsGiven(args, count, index) ? OrEmpty(args[index].text) : "";
}

int32_t IntArg(const ArgValue* args, int count, int index, int32_t fallback) {
  return IsGiven(args, count, index) ? args[index].i32 : fallback;
}

void SetInt(ArgValue* result, int32_t v) {
  result->i32 = v;
  result->tag = kTagInt;
}

void SetText(ArgValue* result, char* text) {
  result->text = text;
  result->tag = kTagText;
}

}  // namespace

int TextLength(const char* text) {
  size_t n = std::strlen(OrEmpty(text));
  return n > INT32_MAX ? INT32_MAX : static_cast<int>(n);
}

char* LeftText(const char* text, int n) {
  if (n <= 0) return nullptr;
  text = OrEmpty(text);
  size_t len = 0;
  while (len < static_cast<size_t>(n) && text[len] != '\0') ++len;
  return CopyText(text, len);
}

int FindText(const char* text, const char* needle, int startPos, bool ignoreCase) {
  text = OrEmpty(text);
  needle = OrEmpty(needle);
  size_t len = std::strlen(text);
  size_t offset = startPos > 1 ? static_cast<size_t>(startPos) - 1 : 0;
  if (offset >= len) return -1;
  size_t nlen = std::strlen(needle);
  if (nlen == 0) return 1;
  for (size_t pos = offset; pos < len && len - pos >= nlen; pos += TextCharSize(text + pos)) {
    if (NeedleMatchesAt(text + pos, needle, nlen, ignoreCase)) return static_cast<int>(pos + 1);
  }
  return -1;
}

char* TrimSpaces(const char* text) {
  const char* p = OrEmpty(text);
  for (size_t k = TextCharSize(p); IsSpaceChar(p, k); k = TextCharSize(p)) p += k;
  const char* end = p;  // just past the last character that is not a space
  for (const char* q = p; *q;) {
    size_t k = TextCharSize(q);
    if (!IsSpaceChar(q, k)) end = q + k;
    q += k;
  }
  return CopyText(p, static_cast<size_t>(end - p));
}

void* SplitText(const char* text, const char* delimiter, int maxCount) {
  text = OrEmpty(text);
  if (!delimiter) delimiter = ",";
  size_t len = std::strlen(text);
  if (len == 0 || maxCount <= 0) return NewTextArray(0);
  size_t dlen = std::strlen(delimiter);
  if (dlen == 0) {
    void* array = NewTextArray(1);
    char* const* elements = nullptr;
    uint32_t count = 0;
    ViewTextArray(array, &elements, &count);
    const_cast<char**>(elements)[0] = CopyText(text, len);
    return array;
  }
  uint32_t limit = static_cast<uint32_t>(maxCount);
  uint32_t count = SplitPass(text, len, delimiter, dlen, limit, nullptr);
  void* array = NewTextArray(count);
  char* const* elements = nullptr;
  uint32_t viewCount = 0;
  ViewTextArray(array, &elements, &viewCount);
  SplitPass(text, len, delimiter, dlen, limit, const_cast<char**>(elements));
  return array;
}

char* SpaceText(int n) {
  if (n < 1) return nullptr;
  size_t len = static_cast<size_t>(n);
  char* t = static_cast<char*>(AllocateBlock(len + 1));
  std::memset(t, ' ', len);
  t[len] = '\0';
  return t;
}

int32_t BitOr(const int32_t* values, int count) {
  uint32_t bits = 0;
  for (int i = 0; i < count; ++i) bits |= static_cast<uint32_t>(values[i]);
  return static_cast<int32_t>(bits);
}

char* ConcatTexts(const char* const* parts, int count) {
  return JoinParts(count, [parts](int i) { return parts[i]; });
}

int CompareTexts(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(OrEmpty(a));
  const unsigned char* y = reinterpret_cast<const unsigned char*>(OrEmpty(b));
  while (*x && *x == *y) {
    ++x;
    ++y;
  }
  if (*x == *y) return 0;
  return *x < *y ? -1 : 1;
}

void CmdTextLength(ArgValue* result, int argCount, const ArgValue* args) {
  SetInt(result, TextLength(TextArg(args, argCount, 0)));
}

void CmdLeftText(ArgValue* result, int argCount, const ArgValue* args) {
  SetText(result, LeftText(TextArg(args, argCount, 0), IntArg(args, argCount, 1, 0)));
}

void CmdFindText(ArgValue* result, int argCount, const ArgValue* args) {
  bool ignoreCase = IntArg(args, argCount, 3, 0) != 0;
  SetInt(result, FindText(TextArg(args, argCount, 0), TextArg(args, argCount, 1),
                          IntArg(args, argCount, 2, 1), ignoreCase));
}

void CmdTrimSpaces(ArgValue* result, int argCount, const ArgValue* args) {
  SetText(result, TrimSpaces(TextArg(args, argCount, 0)));
}

void CmdSplitText(ArgValue* result, int argCount, const ArgValue* args) {
  const char* delimiter = IsGiven(args, argCount, 1) ? TextArg(args, argCount, 1) : ",";
  void* array = SplitText(TextArg(args, argCount, 0), delimiter,
                          IntArg(args, argCount, 2, kSplitUnlimited));
  result->ptr = array;
  result->tag = kTagText;
}

void CmdSpaceText(ArgValue* result, int argCount, const ArgValue* args) {
  SetText(result, SpaceText(IntArg(args, argCount, 0, 0)));
}

void CmdBitOr(ArgValue* result, int argCount, const ArgValue* args) {
  uint32_t bits = 0;
  for (int i = 0; i < argCount; ++i) {
    if (IsGiven(args, argCount, i)) bits |= args[i].u32;
  }
  SetInt(result, static_cast<int32_t>(bits));
}

void CmdConcatTexts(ArgValue* result, int argCount, const ArgValue* args) {
  SetText(result, JoinParts(argCount, [args, argCount](int i) { return TextArg(args, argCount, i); }));
}

void CmdCompareTexts(ArgValue* result, int argCount, const ArgValue* args) {
  SetInt(result, CompareTexts(TextArg(args, argCount, 0), TextArg(args, argCount, 1)));
}
