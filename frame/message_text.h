// Texts of the message box and of the runtime error report: a message value
// turned into text, the message-box style and button number, the runtime
// error box text and the fixed messages of the error codes. Portable: the
// Windows side only calls MessageBoxA with what these give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "frame/value.h"

constexpr size_t kMessageTextSize = 100;

// Caption of a message box whose caption argument was left out.
extern const char kDefaultMessageCaption[];  // "信息："
// Caption of the runtime error box.
extern const char kRuntimeErrorCaption[];  // "错误"

// Turns a message value into the text to show, by its tag: byte "%u", short
// and int "%d", int64 in decimal, float "%.6g", double "%.13g", bool "真" or
// "假", date-time as "Y年M月D日" plus "h时m分s秒" / "h时m分" / "h时" down to the
// last part that is not 0; any other tag gives "". Non-text kinds are written
// into out (always NUL-terminated). A text is shown as it stands, however
// long: the result is then value.text itself ("" for null) and out is left
// empty. The result stays valid as long as out and the value's text do.
const char* FormatMessageValue(const ArgValue& value, char out[kMessageTextSize]);

// Calendar date and time of an OLE date (days since 1899-12-30; for negative
// values the fraction counts forward from the start of the day, so -1.25 is
// 1899-12-29 06:00). The day is clamped to -657434..2958465 (100-01-01 to
// 9999-12-31) and the time rounded to the nearest second. NaN counts as 0.
struct CalendarTime {
  int year, month, day, hour, minute, second;
};
CalendarTime OleDateToCalendar(double oleDate);

// The style handed to MessageBoxA for the command's flags: the box is task
// modal (0x2000) unless the flags ask for system modal (0x1000).
uint32_t MessageBoxStyle(uint32_t flags);

// The message box command's answers: the button the user pressed.
enum MessageBoxAnswer : int {
  kAnswerOk = 0,
  kAnswerCancel = 1,
  kAnswerAbort = 2,
  kAnswerRetry = 3,
  kAnswerIgnore = 4,
  kAnswerYes = 5,
  kAnswerNo = 6,
};

// The command's answer for MessageBoxA's result: IDOK 1 .. IDNO 7 in order
// onto kAnswerOk .. kAnswerNo; anything else kAnswerOk.
int MapMessageBoxButton(int win32Result);

// Text of the runtime error box: "运行时出错!\r\n\r\n", then for a code other
// than 0 "错误代码：<code>\r\n\r\n", then for a non-empty message (null counts
// as empty) "错误信息：<message>\r\n".
std::string ComposeRuntimeErrorText(int code, const char* message);

// The fixed message of a runtime error code 1..11; "" for any other code.
const char* RuntimeErrorMessage(int code);

// "分配 <n> 字节内存失败!" with n in unsigned decimal, written into out (which
// holds any size_t). Uses no heap, so it is safe while reporting that an
// allocation failed. Returns out.
constexpr size_t kAllocationFailureTextSize = 48;
const char* FormatAllocationFailure(size_t n, char out[kAllocationFailureTextSize]);
