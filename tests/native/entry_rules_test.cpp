#include "payload/entry_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// 2018-05-01 17:27:02 UTC.
constexpr uint16_t kDosDate20180501 = 0x4CA1;
constexpr uint16_t kDosTime172702 = 0x8B61;
constexpr uint64_t kFileTime20180501 = 131696692220000000ull;
constexpr uint32_t kUnix20180501 = 1525195622u;

TEST(DeriveAttributes, FollowsTheSixRules) {
  struct Case {
    uint32_t external;
    uint32_t expected;
    const char* what;
  } const cases[] = {
      {0x00000020, 0xA1, "DOS host archive file: ARCHIVE|NORMAL|READONLY"},
      {0x00000010, 0x91, "DOS host folder: DIRECTORY|NORMAL|READONLY"},
      {0x81A40000, 0x80, "Unix 0644 file: owner may write, so nothing added"},
      {0x81240000, 0x81, "Unix 0444 file: READONLY"},
      {0x41ED0000, 0x90, "Unix 0755 folder, bit 30 only"},
      {0x41ED0010, 0x90, "Unix folder with the DOS bit as well"},
      {0x81A40001, 0x81, "owner-write set but DOS read-only bit set"},
      {0x00800027, 0xA7, "every DOS bit with owner-write"},
      {0x00800002, 0x82, "hidden only"},
      {0x00800004, 0x84, "system only"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeriveAttributes(c.external), c.expected) << c.what;
  }
}

TEST(DosDateTimeToFileTime64, ValidDatesTakenAsUtc) {
  struct Case {
    uint16_t date;
    uint16_t time;
    uint64_t expected;
  } const cases[] = {
      {kDosDate20180501, kDosTime172702, kFileTime20180501},
      {0x0021, 0x0000, 119600064000000000ull},  // 1980-01-01 00:00:00, the first DOS day
      {0xFF9F, 0xBF7D, 159992927980000000ull},  // 2107-12-31 23:59:58, the last
      {0x285D, 0x6000, 125962992000000000ull},  // 2000-02-29 12:00:00, leap day
  };
  for (const Case& c : cases) {
    uint64_t value = 0;
    ASSERT_TRUE(DosDateTimeToFileTime64(c.date, c.time, &value)) << std::hex << c.date;
    EXPECT_EQ(value, c.expected) << std::hex << c.date << " " << c.time;
  }
}

TEST(DosDateTimeToFileTime64, RejectsWhatWindowsRejects) {
  struct Case {
    uint16_t date;
    uint16_t time;
    const char* what;
  } const cases[] = {
      {0x4C01, 0x0000, "month 0"},
      {0x4DA1, 0x0000, "month 13"},
      {0x4CA0, 0x0000, "day 0"},
      {0x2A5D, 0x0000, "2001-02-29"},
      {0xF05D, 0x0000, "2100-02-29, not a leap year"},
      {0x4CDF, 0x0000, "June 31"},
      {kDosDate20180501, 0xC000, "hour 24"},
      {kDosDate20180501, 0x0780, "minute 60"},
      {kDosDate20180501, 0x001E, "second 60"},
  };
  for (const Case& c : cases) {
    uint64_t value = 7;
    EXPECT_FALSE(DosDateTimeToFileTime64(c.date, c.time, &value)) << c.what;
    EXPECT_EQ(value, 7u) << c.what;
  }
}

TEST(UnixTimeToFileTime64, CoversTheUnsignedRange) {
  EXPECT_EQ(UnixTimeToFileTime64(0), 116444736000000000ull);
  EXPECT_EQ(UnixTimeToFileTime64(kUnix20180501), kFileTime20180501);
  EXPECT_EQ(UnixTimeToFileTime64(0xFFFFFFFFu), 159394408950000000ull);  // 2106-02-07 06:28:15
}

// Little-endian helpers for building extra fields.
void Put16(std::vector<uint8_t>* v, uint32_t x) {
  v->push_back(static_cast<uint8_t>(x));
  v->push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>* v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
std::vector<uint8_t> Block(uint16_t tag, uint16_t declaredSize, std::vector<uint8_t> data) {
  std::vector<uint8_t> v;
  Put16(&v, tag);
  Put16(&v, declaredSize);
  v.insert(v.end(), data.begin(), data.end());
  return v;
}
std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}
std::vector<uint8_t> Times(uint8_t flags, std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> v{flags};
  for (uint32_t x : values) Put32(&v, x);
  return v;
}

constexpr uint16_t kTagUt = 0x5455;
constexpr uint16_t kTagNtfs = 0x000A;

TEST(FindExtendedTimestamps, WalksBlocksWithinBounds) {
  const std::vector<uint8_t> ntfs = Block(kTagNtfs, 4, {0, 0, 0, 0});
  struct Case {
    const char* what;
    std::vector<uint8_t> field;
    bool found;
    bool write, access, creation;
    uint32_t writeValue, accessValue, creationValue;
  } const cases[] = {
      {"empty field", {}, false, false, false, false, 0, 0, 0},
      {"only last write", Block(kTagUt, 5, Times(1, {111})), true, true, false, false, 111, 0, 0},
      {"all three", Block(kTagUt, 13, Times(7, {1, 2, 3})), true, true, true, true, 1, 2, 3},
      {"access and creation, fields packed in flag order",
       Block(kTagUt, 9, Times(6, {20, 30})), true, false, true, true, 0, 20, 30},
      {"after another block", Concat({ntfs, Block(kTagUt, 5, Times(1, {9}))}), true, true, false,
       false, 9, 0, 0},
      {"flags say three, block declares one time (central-style)",
       Concat({Block(kTagUt, 5, Times(7, {5})), Block(0x7075, 8, Times(0, {0xAAAAAAAA, 1}))}),
       true, true, false, false, 5, 0, 0},
      {"odd declared size cuts the second time", Block(kTagUt, 7, Times(3, {5, 6})), true, true,
       false, false, 5, 0, 0},
      {"block runs past the end of the field", Block(kTagUt, 13, Times(7, {5, 6})), true, true,
       true, false, 5, 6, 0},
      {"flags byte only", Block(kTagUt, 1, Times(7, {})), true, false, false, false, 0, 0, 0},
      {"declared size 0, flags byte belongs to the next block",
       Concat({Block(kTagUt, 0, {}), Block(0x0101, 4, {1, 2, 3, 4})}), true, false, false, false,
       0, 0, 0},
      {"first time truncated by the field end", Block(kTagUt, 5, {1, 0xAA, 0xBB}), true, false,
       false, false, 0, 0, 0},
      {"earlier block running past the end hides a later UT",
       Concat({Block(0x0101, 100, {}), Block(kTagUt, 5, Times(1, {4}))}), false, false, false,
       false, 0, 0, 0},
      {"header of 4 bytes only", Block(kTagUt, 5, {}), false, false, false, false, 0, 0, 0},
      {"\"TU\" is not \"UT\"", Block(0x5554, 5, Times(1, {4})), false, false, false, false, 0, 0,
       0},
      {"first UT wins", Concat({Block(kTagUt, 1, Times(0, {})), Block(kTagUt, 5, Times(1, {4}))}),
       true, false, false, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    // Copy into an exact-size heap buffer so ASan catches any read past it.
    std::vector<uint8_t> exact(c.field);
    ExtendedTimestamps ut;
    EXPECT_EQ(FindExtendedTimestamps(exact.data(), exact.size(), &ut), c.found) << c.what;
    EXPECT_EQ(ut.hasLastWrite, c.write) << c.what;
    EXPECT_EQ(ut.hasLastAccess, c.access) << c.what;
    EXPECT_EQ(ut.hasCreation, c.creation) << c.what;
    if (c.write) {
      EXPECT_EQ(ut.lastWrite, c.writeValue) << c.what;
    }
    if (c.access) {
      EXPECT_EQ(ut.lastAccess, c.accessValue) << c.what;
    }
    if (c.creation) {
      EXPECT_EQ(ut.creation, c.creationValue) << c.what;
    }
  }
}

TEST(DeriveEntryTimes, DosTimesReplacedOnlyByWhatUtCarries) {
  EntryTimes plain = DeriveEntryTimes(kDosDate20180501, kDosTime172702, nullptr, 0);
  EXPECT_TRUE(plain.hasCreation && plain.hasLastAccess && plain.hasLastWrite);
  EXPECT_EQ(plain.lastWrite, kFileTime20180501);
  EXPECT_EQ(plain.lastAccess, kFileTime20180501);
  EXPECT_EQ(plain.creation, kFileTime20180501);

  const std::vector<uint8_t> ut = Block(kTagUt, 5, Times(1, {0}));
  EntryTimes mixed = DeriveEntryTimes(kDosDate20180501, kDosTime172702, ut.data(), ut.size());
  EXPECT_EQ(mixed.lastWrite, 116444736000000000ull);
  EXPECT_EQ(mixed.lastAccess, kFileTime20180501);
  EXPECT_EQ(mixed.creation, kFileTime20180501);

  // An invalid DOS date leaves the times unknown unless UT supplies them.
  EntryTimes invalid = DeriveEntryTimes(0x4CA0, 0, ut.data(), ut.size());
  EXPECT_TRUE(invalid.hasLastWrite);
  EXPECT_FALSE(invalid.hasLastAccess);
  EXPECT_FALSE(invalid.hasCreation);
}

TEST(CheckEntryName, Table) {
  const std::string longest(kMaxEntryNameLength, 'a');
  struct Case {
    std::string name;
    EntryNameVerdict expected;
  } const cases[] = {
      {"VantrelCorvane.exe", EntryNameVerdict::kSafe},
      {"share/", EntryNameVerdict::kSafe},
      {"share/a.ini", EntryNameVerdict::kSafe},
      {"共享/设置.ini", EntryNameVerdict::kSafe},
      {"a..b/..c/c..", EntryNameVerdict::kSafe},
      {"./a", EntryNameVerdict::kSafe},
      {"console.txt", EntryNameVerdict::kSafe},
      {"COM0", EntryNameVerdict::kSafe},
      {longest, EntryNameVerdict::kSafe},
      {"", EntryNameVerdict::kEmpty},
      {longest + "a", EntryNameVerdict::kTooLong},
      {"/etc/x", EntryNameVerdict::kLeadingSeparator},
      {"\\x", EntryNameVerdict::kLeadingSeparator},
      {"C:x", EntryNameVerdict::kDrivePrefix},
      {"d:/x", EntryNameVerdict::kDrivePrefix},
      {"a:b", EntryNameVerdict::kDrivePrefix},  // drive-relative path on drive A:
      {"ab:c", EntryNameVerdict::kColon},
      {"file.txt:stream", EntryNameVerdict::kColon},
      {"..", EntryNameVerdict::kParentComponent},
      {"../x", EntryNameVerdict::kParentComponent},
      {"a/../../x", EntryNameVerdict::kParentComponent},
      {"a\\..\\x", EntryNameVerdict::kParentComponent},
      {"a/.. /x", EntryNameVerdict::kParentComponent},
      {"a/.../x", EntryNameVerdict::kParentComponent},
      {"a/.. . ", EntryNameVerdict::kParentComponent},
      {"a/..", EntryNameVerdict::kParentComponent},
      {std::string("a\0b", 3), EntryNameVerdict::kInvalidCharacter},
      {"a\tb", EntryNameVerdict::kInvalidCharacter},
      {"what?", EntryNameVerdict::kInvalidCharacter},
      {"a*", EntryNameVerdict::kInvalidCharacter},
      {"a|b", EntryNameVerdict::kInvalidCharacter},
      {"con", EntryNameVerdict::kReservedDeviceName},
      {"share/NUL.txt", EntryNameVerdict::kReservedDeviceName},
      {"lpt9 .log", EntryNameVerdict::kReservedDeviceName},
      {"Com1/x", EntryNameVerdict::kReservedDeviceName},
      {"../a:b", EntryNameVerdict::kColon},  // reported in the enumeration's order
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckEntryName(c.name.data(), c.name.size()), c.expected) << c.name;
  }
}

// GBK characters whose second byte is "\" (0x5C) or "|" (0x7C): neither may
// be taken for a separator or an invalid character.
const std::string kTrail5C = "\x95\x5C";  // one two-byte character
const std::string kTrail7C = "\x81\x7C";

TEST(CheckEntryName, TrailBytesAreNotSeparatorsOrSymbols) {
  const std::string names[] = {kTrail5C + "/x", "a/" + kTrail5C + "..", kTrail7C + ".txt",
                               kTrail5C + kTrail5C};
  for (const std::string& n : names) {
    EXPECT_EQ(CheckEntryName(n.data(), n.size()), EntryNameVerdict::kSafe);
  }
  // "..": after a two-byte character whose trail is 0x5C, ".." is part of the
  // same component, but a real "\" before it starts a new one.
  const std::string escaping = "a\\..";
  EXPECT_EQ(CheckEntryName(escaping.data(), escaping.size()), EntryNameVerdict::kParentComponent);
  // A NUL after a lead byte is no second byte: the name would end there when
  // used as a C string, e.g. "a/..\x95" + NUL would become "a/.." + lead byte.
  const std::string hiddenNul("a/..\x95\0", 6);
  EXPECT_EQ(CheckEntryName(hiddenNul.data(), hiddenNul.size()), EntryNameVerdict::kInvalidCharacter);
  // A lead byte as the name's last byte stands alone.
  const std::string dangling = "a\x95";
  EXPECT_EQ(CheckEntryName(dangling.data(), dangling.size()), EntryNameVerdict::kSafe);
}

// A lead byte followed by a byte that cannot trail it is decoded on its own,
// so a separator or symbol after it counts as one.
TEST(CheckEntryName, ALeadByteWithoutATrailHidesNothing) {
  const struct {
    std::string name;
    EntryNameVerdict expected;
  } cases[] = {
      {"\x81/../x", EntryNameVerdict::kParentComponent},
      {"a\x95:b", EntryNameVerdict::kColon},
      {"a\x95?", EntryNameVerdict::kInvalidCharacter},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckEntryName(c.name.data(), c.name.size()), c.expected) << c.name;
}

// Names flagged as UTF-8 are checked character by character in UTF-8: the
// same rules, and nothing that is not well-formed UTF-8.
TEST(CheckEntryName, Utf8NamesFollowTheSameRules) {
  const struct {
    std::string name;
    EntryNameVerdict expected;
  } cases[] = {
      {u8"share/设置.ini", EntryNameVerdict::kSafe},
      {u8"한국어/파일.txt", EntryNameVerdict::kSafe},
      {u8"emoji/\U0001F600.txt", EntryNameVerdict::kSafe},
      // As GBK, E4 B8 AD 2F would be read as two characters hiding the "/".
      {u8"中/../../x", EntryNameVerdict::kParentComponent},
      {u8"中/..", EntryNameVerdict::kParentComponent},
      {u8"한:x", EntryNameVerdict::kColon},
      {"\xC0\xAF..\xC0\xAFx", EntryNameVerdict::kBadEncoding},  // overlong "/"
      {"a\xED\xA0\x80", EntryNameVerdict::kBadEncoding},        // a surrogate
      {"a\xE4\xB8", EntryNameVerdict::kBadEncoding},             // cut short
      {"\x80x", EntryNameVerdict::kBadEncoding},                  // stray continuation
      {"\xF5\x80\x80\x80", EntryNameVerdict::kBadEncoding},     // past U+10FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckEntryName(c.name.data(), c.name.size(), EntryNameEncoding::kUtf8), c.expected) << c.name;
  }
}

std::string EntryPath(const std::string& folder, const std::string& name, size_t size = 300) {
  std::vector<char> out(size);
  if (!BuildEntryPath(folder.c_str(), name.c_str(), out.data(), out.size())) return "<fail>";
  return out.data();
}

TEST(BuildEntryPath, JoinsAtCharacterBoundaries) {
  struct Case {
    std::string folder, name, expected;
  } const cases[] = {
      {"D:\\X", "share/a.ini", "D:\\X\\share\\a.ini"},
      {"D:\\X\\", "share/a.ini", "D:\\X\\share\\a.ini"},
      {"D:\\", "a.exe", "D:\\a.exe"},
      {"D:\\" + kTrail5C, "a.exe", "D:\\" + kTrail5C + "\\a.exe"},
      {"D:\\" + kTrail5C + "\\", "a.exe", "D:\\" + kTrail5C + "\\a.exe"},
      {"D:\\X", "share/", "D:\\X\\share\\"},
      {"D:\\X", "\x95\x5C" "b/c", "D:\\X\\\x95\x5C" "b\\c"},  // 0x5C as a trail byte stays
      {"D:\\X", "\x95/b", "D:\\X\\\x95\\b"},  // 0x2F cannot trail: a separator
      {"D:\\X", kTrail5C + "/" + kTrail5C, "D:\\X\\" + kTrail5C + "\\" + kTrail5C},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EntryPath(c.folder, c.name), c.expected) << c.folder << " + " << c.name;
  }
}

TEST(BuildEntryPath, FailsCleanlyWhenTooSmall) {
  // "D:\X" + "\" + "ab" = 7 bytes, plus the NUL.
  EXPECT_EQ(EntryPath("D:\\X", "ab", 8), "D:\\X\\ab");
  EXPECT_EQ(EntryPath("D:\\X", "ab", 7), "<fail>");
  EXPECT_EQ(EntryPath("D:\\X", "ab", 5), "<fail>");
  EXPECT_EQ(EntryPath("D:\\X", "ab", 4), "<fail>");
  char one[1] = {'z'};
  EXPECT_FALSE(BuildEntryPath("", "", one, 0));
  EXPECT_FALSE(BuildEntryPath("D:", "", one, 1));
  EXPECT_EQ(one[0], '\0');
}

std::vector<std::string> Prefixes(const std::string& path) {
  std::vector<char> folder(path.size() + 2);
  EXPECT_TRUE(BuildFolderPath(path.c_str(), folder.data(), folder.size()));
  std::vector<std::string> result;
  for (size_t n = NextFolderPrefix(folder.data(), 0); n != 0;
       n = NextFolderPrefix(folder.data(), n)) {
    result.emplace_back(folder.data(), n);
  }
  return result;
}

TEST(NextFolderPrefix, ListsFoldersFromTheRootDown) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Prefixes("D:\\A\\B"), (V{"D:\\", "D:\\A\\", "D:\\A\\B\\"}));
  EXPECT_EQ(Prefixes("D:\\A\\B\\"), (V{"D:\\", "D:\\A\\", "D:\\A\\B\\"}));
  EXPECT_EQ(Prefixes("D:\\" + kTrail5C), (V{"D:\\", "D:\\" + kTrail5C + "\\"}));
  EXPECT_EQ(Prefixes("D:\\" + kTrail5C + "\\" + kTrail5C + "x"),
            (V{"D:\\", "D:\\" + kTrail5C + "\\", "D:\\" + kTrail5C + "\\" + kTrail5C + "x\\"}));
  EXPECT_EQ(Prefixes(""), (V{"\\"}));
}

TEST(ExtractProgressPercent, ExactQuotientWithFixedEnds) {
  std::vector<int32_t> six;
  for (int32_t i = 0; i <= 6; ++i) six.push_back(ExtractProgressPercent(i, 6));
  EXPECT_EQ(six, (std::vector<int32_t>{0, 16, 33, 50, 66, 83, 100}));
  EXPECT_EQ(ExtractProgressPercent(0, 0), 0);
  EXPECT_EQ(ExtractProgressPercent(5, 0), 0);
  EXPECT_EQ(ExtractProgressPercent(-1, 6), 0);
  EXPECT_EQ(ExtractProgressPercent(7, 6), 100);
  // Pairs where index / count * 100 in doubles falls just below the integer.
  EXPECT_EQ(ExtractProgressPercent(29, 100), 29);
  EXPECT_EQ(ExtractProgressPercent(57, 100), 57);
  EXPECT_EQ(ExtractProgressPercent(0x7FFFFFFE, 0x7FFFFFFF), 99);
}

}  // namespace
