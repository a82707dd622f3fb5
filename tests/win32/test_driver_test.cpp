// Tests of the Win32 test driver against sample_target.exe, which must lie
// next to this test program. Runs under Wine with a display (Xvfb).
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/driver/test_driver.h"

namespace {

// Generous limit for anything the sample must do; never reached when the
// driver works.
constexpr DWORD kWaitMs = 20000;

// The sample's window (see sample_target_win.cpp).
const char kSampleCaption[] = "驱动测试";
const char kSampleClass[] = "DriverSampleWindow";
constexpr int kSampleButtonId = 101;
constexpr int kSampleStatusId = 102;
constexpr DWORD kSampleCloseCode = 3;

std::string SampleTargetPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1) + "sample_target.exe";
}

testdriver::Process StartSample(const char* mode) {
  std::string commandLine;
  testdriver::AppendQuotedArgument(&commandLine, SampleTargetPath());
  testdriver::AppendQuotedArgument(&commandLine, mode);
  return testdriver::StartProgram(commandLine, "");
}

// Polls the window's text until it equals expected or kWaitMs has passed;
// returns the last text read, for the test's comparison.
std::string WaitForText(HWND window, const std::string& expected) {
  DWORD start = GetTickCount();
  std::string text = testdriver::GetTextOf(window);
  while (text != expected && GetTickCount() - start < kWaitMs) {
    Sleep(testdriver::kPollIntervalMs);
    text = testdriver::GetTextOf(window);
  }
  return text;
}

// Kills the sample at the end of every test, so a failed test leaves no
// program (and no box) behind for the next one.
class DriverTest : public ::testing::Test {
 protected:
  void TearDown() override { testdriver::Kill(sample_); }

  HWND StartSampleWindow() {
    sample_ = StartSample("window");
    if (!sample_.IsStarted()) return nullptr;
    return testdriver::FindTopWindow(sample_, kSampleCaption, kSampleClass,
                                     kWaitMs);
  }

  testdriver::Process sample_;
};

TEST_F(DriverTest, ErrorBoxIsReadAnsweredAndGivesFullExitCode) {
  sample_ = StartSample("error");
  ASSERT_TRUE(sample_.IsStarted());
  HWND box = testdriver::FindMessageBox(sample_, "错误", kWaitMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(testdriver::ClassNameOf(box), "#32770");
  EXPECT_EQ(testdriver::ReadMessageBoxText(box), "运行时出错!\r\n\r\n测试");
  std::vector<testdriver::ButtonInfo> buttons = testdriver::ListButtons(box);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0].id, IDOK);

  EXPECT_FALSE(testdriver::PressButton(box, IDYES));
  ASSERT_TRUE(testdriver::PressButton(box, IDOK));
  EXPECT_TRUE(testdriver::WaitUntilGone(box, kWaitMs));
  DWORD code = 0;
  ASSERT_EQ(testdriver::WaitForExit(sample_, kWaitMs, &code),
            testdriver::WaitResult::kExited);
  EXPECT_EQ(code, 0xFFFFFFFFu);
}

TEST_F(DriverTest, YesNoAnswerReachesTheProgram) {
  struct Case {
    int button;
    DWORD exitCode;
  };
  const Case kCases[] = {{IDYES, 5}, {IDNO, 6}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.button);
    sample_ = StartSample("yesno");
    ASSERT_TRUE(sample_.IsStarted());
    HWND box = testdriver::FindMessageBox(sample_, "温馨提示：", kWaitMs);
    ASSERT_NE(box, nullptr);
    // Captions match exactly, never by prefix.
    EXPECT_EQ(testdriver::FindMessageBox(sample_, "温馨提示", 0), nullptr);
    EXPECT_EQ(testdriver::ReadMessageBoxText(box), "是否继续？");
    std::vector<testdriver::ButtonInfo> buttons = testdriver::ListButtons(box);
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0].id, IDYES);
    EXPECT_EQ(buttons[1].id, IDNO);
    EXPECT_FALSE(testdriver::PressButton(box, IDOK));

    ASSERT_TRUE(testdriver::PressButton(box, c.button));
    DWORD code = 0;
    ASSERT_EQ(testdriver::WaitForExit(sample_, kWaitMs, &code),
              testdriver::WaitResult::kExited);
    EXPECT_EQ(code, c.exitCode);
  }
}

TEST_F(DriverTest, WindowIsFoundByExactCaptionClassAndProcess) {
  HWND window = StartSampleWindow();
  ASSERT_NE(window, nullptr);
  DWORD pid = sample_.processId;
  EXPECT_EQ(testdriver::FindTopWindow(pid, kSampleCaption, "driversamplewindow",
                                      0),
            window);
  EXPECT_EQ(testdriver::FindTopWindow(0, kSampleCaption, nullptr, 0), window);
  EXPECT_EQ(testdriver::FindTopWindow(pid, "驱动", nullptr, 0), nullptr);
  EXPECT_EQ(testdriver::FindTopWindow(pid, kSampleCaption, "#32770", 0),
            nullptr);
  EXPECT_EQ(testdriver::FindTopWindow(GetCurrentProcessId(), kSampleCaption,
                                      nullptr, 0),
            nullptr);
  EXPECT_EQ(testdriver::FindMessageBox(sample_, nullptr, 0), nullptr);

  EXPECT_TRUE(testdriver::IsWindowShown(window));
  EXPECT_EQ(testdriver::GetTextOf(window), kSampleCaption);
  RECT rect;
  ASSERT_TRUE(testdriver::WindowRectOf(window, &rect));
  EXPECT_EQ(rect.right - rect.left, 320);
  EXPECT_EQ(rect.bottom - rect.top, 240);
  ASSERT_TRUE(testdriver::ClientRectOf(window, &rect));
  EXPECT_EQ(rect.left, 0);
  EXPECT_GT(rect.right, 0);

  ASSERT_TRUE(testdriver::RequestClose(window));
  DWORD code = 0;
  ASSERT_EQ(testdriver::WaitForExit(sample_, kWaitMs, &code),
            testdriver::WaitResult::kExited);
  EXPECT_EQ(code, kSampleCloseCode);
  EXPECT_FALSE(testdriver::IsWindowShown(window));
  EXPECT_FALSE(testdriver::WindowRectOf(window, &rect));
  EXPECT_TRUE(testdriver::GetTextOf(window).empty());
}

TEST_F(DriverTest, ChildrenAreFoundByIdClassAndText) {
  HWND window = StartSampleWindow();
  ASSERT_NE(window, nullptr);
  HWND button = testdriver::FindChildById(window, kSampleButtonId);
  HWND status = testdriver::FindChildById(window, kSampleStatusId);
  ASSERT_NE(button, nullptr);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(testdriver::GetTextOf(status), "就绪");
  EXPECT_EQ(testdriver::FindChildByClass(window, "button"), button);
  EXPECT_EQ(testdriver::FindChildByClass(window, "Button", 1), nullptr);
  EXPECT_EQ(testdriver::FindChildByText(window, "按钮", "Button"), button);
  EXPECT_EQ(testdriver::FindChildByText(window, "按钮", "Static"), nullptr);
  EXPECT_EQ(testdriver::FindChildById(window, 999), nullptr);
  EXPECT_EQ(testdriver::ListDescendants(window).size(), 2u);

  std::vector<testdriver::ButtonInfo> buttons = testdriver::ListButtons(window);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0].hwnd, button);
  EXPECT_EQ(buttons[0].id, kSampleButtonId);
  EXPECT_EQ(buttons[0].text, "按钮");
}

TEST_F(DriverTest, PostedAndRealInputReachTheRightWindow) {
  HWND window = StartSampleWindow();
  ASSERT_NE(window, nullptr);
  HWND status = testdriver::FindChildById(window, kSampleStatusId);
  ASSERT_NE(status, nullptr);

  // A posted click goes to the window itself, even over the button.
  ASSERT_TRUE(testdriver::ClickAt(window, 60, 25));
  EXPECT_EQ(WaitForText(status, "点击 60,25"), "点击 60,25");
  ASSERT_TRUE(testdriver::PressKey(window, 'A'));
  EXPECT_EQ(WaitForText(status, "按键 65"), "按键 65");
  ASSERT_TRUE(testdriver::PressButton(window, kSampleButtonId));
  EXPECT_EQ(WaitForText(status, "按钮已按下"), "按钮已按下");

  // Real input is hit-tested: the same point lands on the button, another
  // point on the window's own client area.
  ASSERT_TRUE(testdriver::ClickAtReal(window, 200, 150));
  EXPECT_EQ(WaitForText(status, "点击 200,150"), "点击 200,150");
  ASSERT_TRUE(testdriver::ClickAtReal(window, 60, 25));
  EXPECT_EQ(WaitForText(status, "按钮已按下"), "按钮已按下");
}

TEST_F(DriverTest, KillEndsTheProgramWithTheGivenCode) {
  HWND window = StartSampleWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(testdriver::Kill(sample_, 77));
  DWORD code = 0;
  ASSERT_EQ(testdriver::WaitForExit(sample_, 0, &code),
            testdriver::WaitResult::kExited);
  EXPECT_EQ(code, 77u);
  EXPECT_TRUE(testdriver::Kill(sample_, 78));
  EXPECT_EQ(testdriver::FindTopWindow(sample_, kSampleCaption, nullptr, kWaitMs),
            nullptr);
}

TEST(DriverStartTest, MissingProgramAndEmptyProcessFail) {
  DWORD error = 0;
  testdriver::Process missing =
      testdriver::StartProgram("no_such_program_here.exe", "", &error);
  EXPECT_FALSE(missing.IsStarted());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  DWORD code = 12345;
  EXPECT_EQ(testdriver::WaitForExit(missing, 0, &code),
            testdriver::WaitResult::kFailed);
  EXPECT_EQ(code, 12345u);
  EXPECT_FALSE(testdriver::Kill(missing));
  EXPECT_EQ(testdriver::FindTopWindow(missing, nullptr, nullptr, kWaitMs),
            nullptr);
}

// Splits a command line as a started program would and converts the words
// back to the ANSI code page.
std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  int wideLength = MultiByteToWideChar(CP_ACP, 0, commandLine.c_str(), -1,
                                       nullptr, 0);
  std::wstring wide(wideLength, L'\0');
  MultiByteToWideChar(CP_ACP, 0, commandLine.c_str(), -1, &wide[0], wideLength);
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(wide.c_str(), &count);
  std::vector<std::string> result;
  for (int i = 0; words != nullptr && i < count; ++i) {
    char word[1024];
    int length = WideCharToMultiByte(CP_ACP, 0, words[i], -1, word,
                                     sizeof word, nullptr, nullptr);
    result.push_back(length > 0 ? std::string(word, length - 1) : "");
  }
  LocalFree(words);
  return result;
}

TEST(QuotedArgumentTest, ArgumentsSurviveTheRoundTrip) {
  const std::vector<std::string> kArguments = {
      "plain",
      "",
      "two words",
      "tab\there",
      "say \"hi\"",
      "C:\\Program Files\\",
      "back\\\\slashes\\\" and quote",
      "trailing\\",
      "安装 程序",
      // Second byte 0x5C ("\") of a GBK character just before the closing
      // quote: must not be doubled.
      "D:\\ 新\xB1\x5C",
  };
  std::string commandLine = "prog.exe";
  for (const std::string& argument : kArguments)
    testdriver::AppendQuotedArgument(&commandLine, argument);
  std::vector<std::string> words = SplitCommandLine(commandLine);
  ASSERT_EQ(words.size(), kArguments.size() + 1) << commandLine;
  for (size_t i = 0; i < kArguments.size(); ++i)
    EXPECT_EQ(words[i + 1], kArguments[i]) << "argument " << i;

  std::string simple;
  testdriver::AppendQuotedArgument(&simple, "a\\b");
  testdriver::AppendQuotedArgument(&simple, "c");
  EXPECT_EQ(simple, "a\\b c");
}

TEST(GbkToUtf8Test, ConvertsTheGbkCodePage) {
  EXPECT_EQ(testdriver::GbkToUtf8("驱动测试 ok"), u8"驱动测试 ok");
  EXPECT_EQ(testdriver::GbkToUtf8(""), "");
}

}  // namespace
