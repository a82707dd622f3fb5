#include "frame/message_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "frame/dll_names.h"

namespace {

std::string Format(const ArgValue& v) {
  char out[kMessageTextSize];
  return FormatMessageValue(v, out);
}

ArgValue Tagged(uint32_t tag, uint32_t low) {
  ArgValue a{};
  a.u32 = low;
  a.tag = tag;
  return a;
}

ArgValue FloatValue(float f) {
  ArgValue a{};
  a.f32 = f;
  a.tag = kTagFloat;
  return a;
}

TEST(MessageValueTest, EveryTag) {
  struct {
    ArgValue value;
    const char* expected;
    const char* what;
  } const kCases[] = {
      {Tagged(kTagByte, 0x1FF), "255", "byte uses the low byte only"},
      {Tagged(kTagShort, 0xFFFB), "-5", "short is signed 16-bit"},
      {MakeInt(INT32_MIN), "-2147483648", "int"},
      {MakeInt64(INT64_MIN), "-9223372036854775808", "int64 minimum"},
      {MakeInt64(1234567890123), "1234567890123", "int64"},
      {FloatValue(0.1f), "0.1", "float %.6g"},
      {FloatValue(1234567.0f), "1.23457e+06", "float exponent"},
      {MakeDouble(1.0 / 3), "0.3333333333333", "double %.13g"},
      {MakeBool(true), "\xD5\xE6", "true"},
      {Tagged(kTagBool, 2), "\xD5\xE6", "any non-zero bool is true"},
      {MakeBool(false), "\xBC\xD9", "false"},
      {Tagged(kTagByteArray, 0), "", "byte array"},
      {Tagged(kTagSubroutine, 0x401000), "", "subroutine"},
      {Tagged(kTagWindowUnit, 0), "", "unit"},
      {Tagged(kTagNone, 7), "", "omitted"},
      {MakeText(nullptr), "", "null text"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Format(c.value), c.expected) << c.what;
}

// Floating values read the same whichever C library formats them (the
// Windows runtime uses the system's C runtime DLL, whose printf writes three
// exponent digits and names infinities and NaNs its own way).
TEST(MessageValueTest, FloatingValuesAreAlikeOnEveryCLibrary) {
  struct {
    ArgValue value;
    const char* expected;
    const char* what;
  } const kCases[] = {
      {MakeDouble(1e20), "1e+20", "two exponent digits"},
      {MakeDouble(-2.5e-7), "-2.5e-07", "negative exponent keeps two digits"},
      {MakeDouble(1e100), "1e+100", "three digits when needed"},
      {MakeDouble(1.5e-300), "1.5e-300", "three negative digits"},
      {FloatValue(3.0e38f), "3e+38", "float exponent"},
      {MakeDouble(123456789012345.0), "1.234567890123e+14", "13 significant digits"},
      {MakeDouble(0.0), "0", "zero"},
      {MakeDouble(std::numeric_limits<double>::infinity()), "inf", "infinity"},
      {MakeDouble(-std::numeric_limits<double>::infinity()), "-inf", "negative infinity"},
      {FloatValue(-std::numeric_limits<float>::infinity()), "-inf", "float infinity"},
      {MakeDouble(std::numeric_limits<double>::quiet_NaN()), "nan", "NaN"},
      {MakeDouble(-std::numeric_limits<double>::quiet_NaN()), "-nan", "negative NaN"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Format(c.value), c.expected) << c.what;
}

TEST(MessageValueTest, TextIsShownWholeWithoutCopy) {
  std::string longText(300, 'x');
  char out[kMessageTextSize];
  EXPECT_EQ(FormatMessageValue(MakeText(longText.c_str()), out), longText.c_str());
}

TEST(MessageValueTest, DateTimeBytes) {
  // 2000-01-01 12:30:15 with the exact GBK bytes of 年 月 日 时 分 秒.
  double when = 36526 + (12 * 3600 + 30 * 60 + 15) / 86400.0;
  EXPECT_EQ(Format(MakeDateTime(when)),
            "2000\xC4\xEA" "1\xD4\xC2" "1\xC8\xD5" "12\xCA\xB1" "30\xB7\xD6" "15\xC3\xEB");
}

TEST(MessageValueTest, DateTimeParts) {
  const double kDay = 86400.0;
  struct {
    double date;
    const char* expected;
  } const kCases[] = {
      {0, "1899年12月30日"},
      {36526, "2000年1月1日"},
      {36526 + 12 * 3600 / kDay, "2000年1月1日12时"},
      {36526 + (12 * 3600 + 30 * 60) / kDay, "2000年1月1日12时30分"},
      {36526 + 5 / kDay, "2000年1月1日0时0分5秒"},
      {36526 + 300 / kDay, "2000年1月1日0时5分"},
      {36526 + 59 * 60 / kDay + 59 / kDay + 0.6 / kDay, "2000年1月1日1时"},  // rounds up
      {36585, "2000年2月29日"},
      {61, "1900年3月1日"},  // 1900 is no leap year
      {-1.25, "1899年12月29日6时"},  // fraction counts forward from the day
      {-0.5, "1899年12月30日12时"},
      {-1.9999999, "1899年12月30日"},  // rounding carries into the next day
      {-1e9, "100年1月1日"},
      {1e9, "9999年12月31日"},
      {2958465.99999999, "9999年12月31日23时59分59秒"},
      {std::numeric_limits<double>::quiet_NaN(), "1899年12月30日"},
      {-std::numeric_limits<double>::infinity(), "100年1月1日"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Format(MakeDateTime(c.date)), c.expected) << c.date;
}

TEST(MessageBoxTest, ButtonsAndStyle) {
  const int kExpected[] = {0, 0, 1, 2, 3, 4, 5, 6, 0};  // results 0..8
  for (int r = 0; r <= 8; ++r) EXPECT_EQ(MapMessageBoxButton(r), kExpected[r]) << r;
  EXPECT_EQ(MapMessageBoxButton(-1), 0);

  EXPECT_EQ(MessageBoxStyle(0), 0x2000u);
  EXPECT_EQ(MessageBoxStyle(0x44), 0x2044u);
  EXPECT_EQ(MessageBoxStyle(0x1010), 0x1010u);
  EXPECT_EQ(MessageBoxStyle(0x2000), 0x2000u);  // no carry into 0x4000
  EXPECT_STREQ(kDefaultMessageCaption, "\xD0\xC5\xCF\xA2\xA3\xBA");
}

TEST(RuntimeErrorTest, ComposedText) {
  const std::string kHead = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";
  const std::string kCode = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
  const std::string kInfo = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
  EXPECT_EQ(ComposeRuntimeErrorText(0, nullptr), kHead);
  EXPECT_EQ(ComposeRuntimeErrorText(0, ""), kHead);
  EXPECT_EQ(ComposeRuntimeErrorText(6, RuntimeErrorMessage(6)),
            kHead + kCode + "6\r\n\r\n" + kInfo +
                "\xB5\xF7\xD3\xC3" "DLL\xC3\xFC\xC1\xEE\xBA\xF3\xB7\xA2\xCF\xD6\xB6\xD1\xD5\xBB\xB4\xED\xCE\xF3\r\n");
  EXPECT_EQ(ComposeRuntimeErrorText(0, "载入启动窗口失败"), kHead + kInfo + "载入启动窗口失败\r\n");
  EXPECT_EQ(ComposeRuntimeErrorText(-7, nullptr), kHead + kCode + "-7\r\n\r\n");
}

TEST(RuntimeErrorTest, MessagesOfCodes) {
  for (int code = 1; code <= 11; ++code) EXPECT_STRNE(RuntimeErrorMessage(code), "") << code;
  EXPECT_STREQ(RuntimeErrorMessage(1), "数组成员引用下标超出定义范围");
  EXPECT_STREQ(RuntimeErrorMessage(11), "所提供参数的数据类型不符合要求");
  EXPECT_STREQ(RuntimeErrorMessage(0), "");
  EXPECT_STREQ(RuntimeErrorMessage(12), "");
}

TEST(RuntimeErrorTest, AllocationFailure) {
  char out[kAllocationFailureTextSize];
  EXPECT_STREQ(FormatAllocationFailure(1234, out),
               "\xB7\xD6\xC5\xE4 1234 \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!");
  EXPECT_STREQ(FormatAllocationFailure(0, out), "分配 0 字节内存失败!");
  EXPECT_STREQ(FormatAllocationFailure(SIZE_MAX, out),
               ("分配 " + std::to_string(SIZE_MAX) + " 字节内存失败!").c_str());
}

TEST(DllNamesTest, CommandNames) {
  struct {
    const char* name;
    bool byOrdinal;
    uint16_t ordinal;
  } const kCases[] = {
      {"#123", true, 123},       {"#65537", true, 1},  // low 16 bits
      {"#99999999999", true, static_cast<uint16_t>(99999999999ULL & 0xFFFF)},
      {"#", true, 0},            {"#12ab", true, 12},
      {"GetDiskFreeSpaceExA", false, 0},
  };
  for (const auto& c : kCases) {
    DllExportName e = ParseDllCommandName(c.name);
    EXPECT_EQ(e.byOrdinal, c.byOrdinal) << c.name;
    if (c.byOrdinal) EXPECT_EQ(e.ordinal, c.ordinal) << c.name;
    else EXPECT_STREQ(e.name, c.name);
  }
}

TEST(DllNamesTest, FileNames) {
  EXPECT_EQ(DllFileName("shell32"), "shell32.dll");
  EXPECT_EQ(DllFileName("kernel32.dll"), "kernel32.dll");
  EXPECT_EQ(DllFileName("my.lib\\x"), "my.lib\\x.dll");
  // 95 5C is one character, not a folder separator: ".b\x95\x5C" is the extension.
  EXPECT_EQ(DllFileName("a.b\x95\x5C"), "a.b\x95\x5C");

  EXPECT_TRUE(IsBareDllName("shell32"));
  EXPECT_TRUE(IsBareDllName("\x95\x5C.dll"));
  EXPECT_FALSE(IsBareDllName(""));
  EXPECT_FALSE(IsBareDllName("c:x.dll"));
  EXPECT_FALSE(IsBareDllName("sub\\x.dll"));
  EXPECT_FALSE(IsBareDllName("sub/x.dll"));
}

TEST(DllNamesTest, Candidates) {
  using Files = std::vector<std::string>;
  const char* kSys = "C:\\windows\\system32";

  DllCandidates any = DllLibraryCandidates("", "D:\\app", kSys, false);
  EXPECT_TRUE(any.firstExporterWins);
  EXPECT_EQ(any.files, (Files{"C:\\windows\\system32\\Kernel32.dll", "C:\\windows\\system32\\Gdi32.dll",
                              "C:\\windows\\system32\\User32.dll", "C:\\windows\\system32\\Advapi32.dll",
                              "C:\\windows\\system32\\Mpr.dll", "C:\\windows\\system32\\Shell32.dll"}));
  EXPECT_EQ(DllLibraryCandidates(nullptr, nullptr, nullptr, false).files[0], "Kernel32.dll");

  struct {
    const char* library;
    const char* programFolder;
    bool inSystemFolder;
    Files expected;
  } const kCases[] = {
      {"C:\\x\\my.dll", "D:\\app", false, {"C:\\x\\my.dll"}},
      {"shell32", "D:\\app", true, {"C:\\windows\\system32\\shell32.dll"}},
      {"mylib", "D:\\app", false, {"D:\\app\\mylib.dll", "mylib.dll"}},
      {"mylib.dll", "", false, {"mylib.dll"}},
      {"mylib", "C:\\", false, {"C:\\mylib.dll", "mylib.dll"}},
      {"mylib", "D:\\\x95\x5C", false, {"D:\\\x95\x5C\\mylib.dll", "mylib.dll"}},
  };
  for (const auto& c : kCases) {
    DllCandidates got = DllLibraryCandidates(c.library, c.programFolder, kSys, c.inSystemFolder);
    EXPECT_FALSE(got.firstExporterWins) << c.library;
    EXPECT_EQ(got.files, c.expected) << c.library;
  }
}

TEST(DllNamesTest, NotFoundTexts) {
  EXPECT_EQ(DllCommandNotFoundText("shell32", "Foo"),
            "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8" "DLL\xBF\xE2\xCE\xC4\xBC\xFE\xA1\xB0shell32\xA1\xB1"
            "\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0" "Foo\xA1\xB1");
  EXPECT_EQ(DllCommandNotFoundText("", "#12"),
            "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8" "DLL\xBF\xE2\xCE\xC4\xBC\xFE"
            "\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0#12\xA1\xB1");
}

}  // namespace
