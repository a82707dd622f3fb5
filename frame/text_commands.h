// Text commands on GBK byte strings: length, left part, search, trimming,
// splitting, spaces, bitwise OR, joining and comparing.
//
// Text rule: a byte of 0x80 or above starts a two-byte character and takes the
// next byte as its second byte, unless that byte is the terminating NUL. Bytes
// below 0x80 are single characters. Lengths and positions count bytes.
//
// Text results are new blocks from AllocateBlock that the caller owns and
// frees with FreeBlock; an empty text result is null. Array results are text
// arrays (NewTextArray) that the caller frees with FreeTextArray. A failed
// allocation is the fatal allocation error and does not return. Text
// arguments may be null; null counts as the empty text. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/value.h"

// Bytes taken by the character that starts at p: 2 for a lead byte followed
// by a non-NUL byte, 1 for any other byte, 0 at the NUL.
inline size_t TextCharSize(const char* p) {
  unsigned char c = static_cast<unsigned char>(*p);
  if (c == 0) return 0;
  return (c >= 0x80 && p[1] != '\0') ? 2 : 1;
}

// Bytes before the NUL (0 for null), at most INT32_MAX.
int TextLength(const char* text);

// The first min(n, length) bytes as a new text; null for n <= 0 or an empty
// text. The cut ignores character boundaries.
char* LeftText(const char* text, int n);

// 1-based byte position of the first occurrence of needle at a character
// start, searching from byte position startPos (values below 1 count as 1),
// or -1. An empty needle gives 1 when there is text left from startPos, else
// -1. With ignoreCase, ASCII letters of single-byte characters compare
// folded; two-byte characters always compare exactly.
int FindText(const char* text, const char* needle, int startPos = 1, bool ignoreCase = false);

// A copy without leading and trailing spaces (0x20 and the full-width space
// A1 A1); null when nothing is left. The argument is not changed.
char* TrimSpaces(const char* text);

// SplitText: no limit on the number of elements.
constexpr int kSplitUnlimited = INT32_MAX;

// Splits text at each occurrence of delimiter (a null delimiter means ",")
// found at a character start. Two delimiters in a row give an empty (null)
// element; a trailing delimiter adds no element. At most maxCount elements
// (negative counts as 0): once that many are cut, the rest is dropped. An
// empty text or maxCount 0 gives an empty array; an empty delimiter gives the
// whole text as the one element. Always returns a new text array block.
void* SplitText(const char* text, const char* delimiter = ",", int maxCount = kSplitUnlimited);

// n spaces (0x20) as a new text; null for n < 1.
char* SpaceText(int n);

// Bitwise OR of count values (0 for none).
int32_t BitOr(const int32_t* values, int count);

// The parts joined in order (a null part counts as empty). Always a new block,
// even when the result is empty: it then holds only the NUL.
char* ConcatTexts(const char* const* parts, int count);

// -1, 0 or 1 from comparing the bytes as unsigned values; null equals "".
int CompareTexts(const char* a, const char* b);

// Commands in the calling scheme of value.h. Texts are read from args[i].text
// (omitted or null counts as empty), ints from args[i].i32, and an omitted
// optional argument takes its default. Results: TextLength, FindText, BitOr
// and CompareTexts an int (kTagInt); LeftText, TrimSpaces, SpaceText and
// ConcatTexts a text (kTagText, null when empty); SplitText the text array
// block in result->ptr, tagged kTagText (the value model has no separate tag
// for arrays; the caller knows it asked for one).
void CmdTextLength(ArgValue* result, int argCount, const ArgValue* args);   // text
void CmdLeftText(ArgValue* result, int argCount, const ArgValue* args);     // text, n
void CmdFindText(ArgValue* result, int argCount, const ArgValue* args);     // text, needle[, start][, ignoreCase]
void CmdTrimSpaces(ArgValue* result, int argCount, const ArgValue* args);   // text
void CmdSplitText(ArgValue* result, int argCount, const ArgValue* args);    // text[, delimiter][, maxCount]
void CmdSpaceText(ArgValue* result, int argCount, const ArgValue* args);    // n
void CmdBitOr(ArgValue* result, int argCount, const ArgValue* args);        // ints...
void CmdConcatTexts(ArgValue* result, int argCount, const ArgValue* args);  // texts...
void CmdCompareTexts(ArgValue* result, int argCount, const ArgValue* args); // a, b
