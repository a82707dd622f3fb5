#include "frame/text_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/blocks.h"

namespace {

// A text result as a string ("<null>" for null) and frees it.
std::string Take(char* text) {
  std::string s = text ? std::string(text) : "<null>";
  FreeBlock(text);
  return s;
}

// The elements of a text array result ("<null>" for null ones); frees it.
std::vector<std::string> TakeArray(void* array) {
  char* const* elements = nullptr;
  uint32_t count = 0;
  EXPECT_TRUE(ViewTextArray(array, &elements, &count));
  std::vector<std::string> out;
  for (uint32_t i = 0; i < count; ++i) out.push_back(elements[i] ? elements[i] : "<null>");
  FreeTextArray(array);
  return out;
}

ArgValue Omitted() { return ArgValue{}; }

struct FindCase {
  const char* text;
  const char* needle;
  int start;
  bool ignoreCase;
  int expected;
  const char* what;
};

TEST(FindTextTest, Table) {
  const FindCase kCases[] = {
      {"abc", "b", 1, false, 2, "plain"},
      {"a?c", "?", 1, false, 2, "single byte in the middle"},
      {"abc", "b", 10, false, -1, "start beyond the text"},
      {"abc", "c", 3, false, 3, "start at the last byte"},
      {"abc", "a", 2, false, -1, "start after the match"},
      {"abc", "a", -5, false, 1, "start below 1 counts as 1"},
      {"abc", "", 1, false, 1, "empty needle"},
      {"abc", "", 4, false, -1, "empty needle, nothing left"},
      {"", "", 1, false, -1, "empty needle, empty text"},
      {"abc", "abcd", 1, false, -1, "needle longer than the rest"},
      {"xABc", "abC", 1, true, 2, "case folded"},
      {"xABc", "abC", 1, false, -1, "case kept"},
      // B0 41 is one character; the "A" is its second byte, not a match.
      {"\xB0\x41\x41", "A", 1, false, 3, "no match at a second byte"},
      {"\xB0\x41", "A", 1, false, -1, "only a second byte matches"},
      // D6 D0 then D0 C4: the needle D0 starts inside the first character.
      {"\xD6\xD0\xD0\xC4", "\xD0", 1, false, 3, "lead byte only at character starts"},
      // Folding must not turn B0 41 into B0 61.
      {"\xB0\x61", "\xB0\x41", 1, true, -1, "second bytes are not folded"},
      {"\xB0\x41", "\xB0\x41", 1, true, 1, "two-byte needle found folded"},
      // A lone lead byte before the NUL is a character of its own.
      {"ab\xB0", "\xB0", 1, false, 3, "trailing lead byte"},
  };
  for (const FindCase& c : kCases) {
    EXPECT_EQ(FindText(c.text, c.needle, c.start, c.ignoreCase), c.expected) << c.what;
  }
}

TEST(FindTextTest, CommandDefaultsAndCaseFlag) {
  ArgValue result{};
  ArgValue args[] = {MakeText("xABc"), MakeText("ab"), Omitted(), MakeBool(true)};
  CmdFindText(&result, 4, args);
  EXPECT_EQ(result.tag, kTagInt);
  EXPECT_EQ(result.i32, 2);
  args[3] = Omitted();
  CmdFindText(&result, 4, args);
  EXPECT_EQ(result.i32, -1);
  ArgValue two[] = {MakeText("abc"), MakeText("c")};
  CmdFindText(&result, 2, two);
  EXPECT_EQ(result.i32, 3);
}

struct TextCase {
  const char* input;
  const char* expected;  // "<null>" for a null result
  const char* what;
};

TEST(TrimSpacesTest, Table) {
  const TextCase kCases[] = {
      {"  ab c  ", "ab c", "blanks"},
      {"\xA1\xA1 ab\xA1\xA1", "ab", "full-width spaces at both ends"},
      {" \xA1\xA1 \xA1\xA1", "<null>", "spaces only"},
      {"", "<null>", "empty"},
      {"ab", "ab", "nothing to trim"},
      // B0 A1 is a character; the A1 after it starts no full-width space.
      {"\xB0\xA1\xA1", "\xB0\xA1\xA1", "A1 A1 across a character boundary is kept"},
      {"\xB0\xA1\xA1\xA1", "\xB0\xA1", "real full-width space after a character"},
      {"a\xA1", "a\xA1", "lone A1 before the NUL is no space"},
  };
  for (const TextCase& c : kCases) EXPECT_EQ(Take(TrimSpaces(c.input)), c.expected) << c.what;
}

TEST(TrimSpacesTest, LeavesArgumentUnchanged) {
  char text[] = "  x  ";
  Take(TrimSpaces(text));
  EXPECT_STREQ(text, "  x  ");
}

struct LeftCase {
  const char* text;
  int n;
  const char* expected;
};

TEST(LeftTextTest, Table) {
  const LeftCase kCases[] = {
      {"abc", 2, "ab"},
      {"abc", 3, "abc"},
      {"abc", 99, "abc"},
      {"abc", 0, "<null>"},
      {"abc", -1, "<null>"},
      {"", 5, "<null>"},
      {"\xB0\xB2\xD7\xB0", 1, "\xB0"},  // keeps half of the first character
      {"\xB0\xB2\xD7\xB0", 3, "\xB0\xB2\xD7"},
  };
  for (const LeftCase& c : kCases) EXPECT_EQ(Take(LeftText(c.text, c.n)), c.expected) << c.text << " " << c.n;
}

struct SplitCase {
  const char* text;
  const char* delimiter;
  int maxCount;
  std::vector<std::string> expected;
  const char* what;
};

TEST(SplitTextTest, Table) {
  const SplitCase kCases[] = {
      {"a|b|c", "|", kSplitUnlimited, {"a", "b", "c"}, "three parts"},
      {"a||b", "|", kSplitUnlimited, {"a", "<null>", "b"}, "doubled delimiter gives an empty element"},
      {"a|b|", "|", kSplitUnlimited, {"a", "b"}, "trailing delimiter adds nothing"},
      {"|a", "|", kSplitUnlimited, {"<null>", "a"}, "leading delimiter"},
      {"a|b|c", "|", 2, {"a", "b"}, "maximum drops the rest"},
      {"a|b", "|", 2, {"a", "b"}, "maximum equal to the parts"},
      {"a|b|c", "|", 1, {"a"}, "maximum one"},
      {"a|b", "|", 0, {}, "maximum zero"},
      {"a|b", "|", -3, {}, "negative maximum"},
      {"", "|", kSplitUnlimited, {}, "empty text"},
      {"a|b", "", kSplitUnlimited, {"a|b"}, "empty delimiter"},
      {"a,b", nullptr, kSplitUnlimited, {"a", "b"}, "default delimiter"},
      {"a<>b<>", "<>", kSplitUnlimited, {"a", "b"}, "two-byte delimiter"},
      // 95 7C is one character whose second byte is "|": no cut there.
      {"\x95\x7C|x", "|", kSplitUnlimited, {"\x95\x7C", "x"}, "no cut at a second byte"},
  };
  for (const SplitCase& c : kCases) EXPECT_EQ(TakeArray(SplitText(c.text, c.delimiter, c.maxCount)), c.expected) << c.what;
}

TEST(SplitTextTest, CommandDefaults) {
  ArgValue result{};
  ArgValue args[] = {MakeText("a,b|c"), Omitted(), Omitted()};
  CmdSplitText(&result, 3, args);
  EXPECT_EQ(TakeArray(result.ptr), (std::vector<std::string>{"a", "b|c"}));
  ArgValue limited[] = {MakeText("a|b|c"), MakeText("|"), MakeInt(2)};
  CmdSplitText(&result, 3, limited);
  EXPECT_EQ(TakeArray(result.ptr), (std::vector<std::string>{"a", "b"}));
}

TEST(ConcatTextsTest, NullsGiveABlockWithOnlyTheNul) {
  const char* parts[] = {nullptr, nullptr};
  char* joined = ConcatTexts(parts, 2);
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(joined[0], '\0');
  EXPECT_GE(BlockExtent(joined), 1u);
  FreeBlock(joined);
}

TEST(ConcatTextsTest, JoinsInOrderAndCopiesOne) {
  const char* parts[] = {"\xB0\xB2", nullptr, "", "x"};
  EXPECT_EQ(Take(ConcatTexts(parts, 4)), "\xB0\xB2x");
  const char one[] = "abc";
  const char* single[] = {one};
  char* copy = ConcatTexts(single, 1);
  EXPECT_NE(copy, one);
  EXPECT_EQ(Take(copy), "abc");

  ArgValue result{};
  ArgValue args[] = {MakeText("a"), MakeText(nullptr), MakeText("b")};
  CmdConcatTexts(&result, 3, args);
  EXPECT_EQ(result.tag, kTagText);
  EXPECT_EQ(Take(const_cast<char*>(result.text)), "ab");
}

TEST(CompareTextsTest, Table) {
  struct {
    const char* a;
    const char* b;
    int expected;
  } const kCases[] = {
      {nullptr, "", 0}, {"", nullptr, 0}, {nullptr, nullptr, 0}, {"a", "a", 0},
      {"a", "b", -1},   {"b", "a", 1},    {"a", "ab", -1},       {"ab", "a", 1},
      {"\xB0", "a", 1},  // bytes compare unsigned
      {nullptr, "a", -1},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(CompareTexts(c.a, c.b), c.expected) << (c.a ? c.a : "null") << " / " << (c.b ? c.b : "null");
  }
}

TEST(SmallCommandsTest, LengthSpacesAndOr) {
  EXPECT_EQ(TextLength("\xB0\xB2x"), 3);
  EXPECT_EQ(TextLength(nullptr), 0);
  EXPECT_EQ(Take(SpaceText(3)), "   ");
  EXPECT_EQ(Take(SpaceText(0)), "<null>");
  EXPECT_EQ(Take(SpaceText(-2)), "<null>");

  ArgValue result{};
  ArgValue ints[] = {MakeInt(0x40), MakeInt(0x04), Omitted(), MakeInt(static_cast<int32_t>(0x80000000u))};
  CmdBitOr(&result, 4, ints);
  EXPECT_EQ(result.tag, kTagInt);
  EXPECT_EQ(result.u32, 0x80000044u);
  CmdBitOr(&result, 1, ints);
  EXPECT_EQ(result.i32, 0x40);

  ArgValue n[] = {MakeInt(260)};
  CmdSpaceText(&result, 1, n);
  EXPECT_EQ(result.tag, kTagText);
  EXPECT_EQ(TextLength(result.text), 260);
  FreeBlock(const_cast<char*>(result.text));
}

}  // namespace
