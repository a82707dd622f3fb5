#include "frame/message_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

const char kDefaultMessageCaption[] = "信息：";
const char kRuntimeErrorCaption[] = "错误";

namespace {

constexpr double kMinOleDay = -657434;  // 100-01-01
constexpr double kMaxOleDay = 2958465;  // 9999-12-31
constexpr long kOleDayOfUnixEpoch = 25569;  // 1970-01-01 counted from 1899-12-30
constexpr long kSecondsPerDay = 86400;

// Writes v in decimal ending at end (exclusive, NUL not written); returns the
// first digit. Done by hand so that 64-bit values need no printf length
// modifier, which not every C runtime the product meets understands.
char* DecimalBefore(char* end, uint64_t v) {
  do {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  return end;
}

void FormatInt64(int64_t v, char* out) {
  char digits[24];
  char* end = digits + sizeof digits;
  uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  char* first = DecimalBefore(end, magnitude);
  if (v < 0) *--first = '-';
  size_t n = static_cast<size_t>(end - first);
  std::memcpy(out, first, n);
  out[n] = '\0';
}

// Proleptic Gregorian date of a day count from 1970-01-01, by 400-year eras
// (146097 days each) counted from 0000-03-01 so that the leap day ends a year.
void CivilFromDays(long days, int* year, int* month, int* day) {
  long z = days + 719468;  // days since 0000-03-01
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long dayOfEra = z - era * 146097;
  long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  long monthFromMarch = (5 * dayOfYear + 2) / 153;
  *day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  *month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

void FormatDateTime(double oleDate, char* out) {
  CalendarTime t = OleDateToCalendar(oleDate);
  int n = std::snprintf(out, kMessageTextSize, "%d年%d月%d日", t.year, t.month, t.day);
  char* rest = out + n;
  size_t room = kMessageTextSize - static_cast<size_t>(n);
  if (t.second != 0) {
    std::snprintf(rest, room, "%d时%d分%d秒", t.hour, t.minute, t.second);
  } else if (t.minute != 0) {
    std::snprintf(rest, room, "%d时%d分", t.hour, t.minute);
  } else if (t.hour != 0) {
    std::snprintf(rest, room, "%d时", t.hour);
  }
}

}  // namespace

CalendarTime OleDateToCalendar(double oleDate) {
  if (std::isnan(oleDate)) oleDate = 0;
  double whole = std::trunc(oleDate);
  if (whole < kMinOleDay) oleDate = whole = kMinOleDay;
  if (whole > kMaxOleDay) oleDate = whole = kMaxOleDay;
  // The fraction is a time of day whatever the sign of the date.
  double fraction = std::fabs(oleDate - whole);
  long day = static_cast<long>(whole);
  long seconds = static_cast<long>(std::floor(fraction * kSecondsPerDay + 0.5));
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    ++day;
  }
  if (day > static_cast<long>(kMaxOleDay)) {
    day = static_cast<long>(kMaxOleDay);
    seconds = kSecondsPerDay - 1;
  }
  CalendarTime t{};
  CivilFromDays(day - kOleDayOfUnixEpoch, &t.year, &t.month, &t.day);
  t.hour = static_cast<int>(seconds / 3600);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  return t;
}

namespace {

// value as "%.<digits>g" writes it by the C standard, whichever C library
// formats it: the Windows runtime is built on the system's C runtime DLL,
// whose printf writes at least three exponent digits ("1e+006") and its own
// names for infinities and NaNs. Non-finite values are spelled here, and an
// exponent's surplus leading zero is dropped.
void FormatFloating(double value, int digits, char out[kMessageTextSize]) {
  if (std::isnan(value)) {
    std::strcpy(out, std::signbit(value) ? "-nan" : "nan");
    return;
  }
  if (std::isinf(value)) {
    std::strcpy(out, value < 0 ? "-inf" : "inf");
    return;
  }
  std::snprintf(out, kMessageTextSize, "%.*g", digits, value);
  out[kMessageTextSize - 1] = '\0';
  char* e = std::strchr(out, 'e');
  if (!e || (e[1] != '+' && e[1] != '-')) return;
  char* exponent = e + 2;
  while (std::strlen(exponent) > 2 && exponent[0] == '0') std::memmove(exponent, exponent + 1, std::strlen(exponent));
}

}  // namespace

const char* FormatMessageValue(const ArgValue& value, char out[kMessageTextSize]) {
  out[0] = '\0';
  switch (value.tag) {
    case kTagByte:
      std::snprintf(out, kMessageTextSize, "%u", static_cast<unsigned>(value.u32 & 0xFF));
      break;
    case kTagShort:
      std::snprintf(out, kMessageTextSize, "%d", static_cast<int>(static_cast<int16_t>(value.u32 & 0xFFFF)));
      break;
    case kTagInt:
      std::snprintf(out, kMessageTextSize, "%d", static_cast<int>(value.i32));
      break;
    case kTagInt64:
      FormatInt64(value.i64, out);
      break;
    case kTagFloat:
      FormatFloating(static_cast<double>(value.f32), 6, out);
      break;
    case kTagDouble:
      FormatFloating(value.f64, 13, out);
      break;
    case kTagBool:
      std::snprintf(out, kMessageTextSize, "%s", value.i32 != 0 ? "真" : "假");
      break;
    case kTagDateTime:
      FormatDateTime(value.f64, out);
      break;
    case kTagText:
      return value.text ? value.text : "";
    default:
      break;
  }
  return out;
}

uint32_t MessageBoxStyle(uint32_t flags) {
  constexpr uint32_t kSystemModal = 0x1000;
  constexpr uint32_t kTaskModal = 0x2000;
  // OR rather than add: flags that already carry the task-modal bit must not
  // carry into the next bit (0x4000, the help button).
  return (flags & kSystemModal) ? flags : (flags | kTaskModal);
}

int MapMessageBoxButton(int win32Result) {
  // IDOK 1 .. IDNO 7 map in order onto 0 .. 6.
  return (win32Result >= 1 && win32Result <= 7) ? win32Result - 1 : 0;
}

std::string ComposeRuntimeErrorText(int code, const char* message) {
  std::string text = "运行时出错!\r\n\r\n";
  if (code != 0) {
    char digits[24];
    FormatInt64(code, digits);
    text += "错误代码：";
    text += digits;
    text += "\r\n\r\n";
  }
  if (message && *message) {
    text += "错误信息：";
    text += message;
    text += "\r\n";
  }
  return text;
}

const char* RuntimeErrorMessage(int code) {
  static const char* const kMessages[] = {
      "数组成员引用下标超出定义范围",
      "未得到所需要的数值型数据",
      "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
      "数组成员引用下标必须大于等于1",
      "数据或数组类型不匹配",
      "调用DLL命令后发现堆栈错误",
      "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
      "被比较数据只能使用等于或不等于命令比较",
      "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
      "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
      "所提供参数的数据类型不符合要求",
  };
  constexpr int kCount = static_cast<int>(sizeof kMessages / sizeof kMessages[0]);
  return (code >= 1 && code <= kCount) ? kMessages[code - 1] : "";
}

const char* FormatAllocationFailure(size_t n, char out[kAllocationFailureTextSize]) {
  char digits[24];
  char* end = digits + sizeof digits;
  char* first = DecimalBefore(end, n);
  size_t len = static_cast<size_t>(end - first);
  static const char kHead[] = "分配 ";
  static const char kTail[] = " 字节内存失败!";
  char* at = out;
  std::memcpy(at, kHead, sizeof kHead - 1);
  at += sizeof kHead - 1;
  std::memcpy(at, first, len);
  at += len;
  std::memcpy(at, kTail, sizeof kTail);  // with its NUL
  return out;
}
