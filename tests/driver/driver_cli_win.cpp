// testdriver.exe: the test driver for shell scripts. Starts a program under
// Wine, acts on its windows and message boxes step by step, prints what it
// saw in UTF-8 and passes the program's exit code on. See kUsage.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "test_driver.h"

namespace {

using testdriver::GbkToUtf8;

const char kUsage[] =
    u8"usage: testdriver run <program> [arguments...] [options and steps...]\n"
    u8"       testdriver --help\n"
    u8"\n"
    u8"Starts <program> (a Windows path, e.g. sample_target.exe or\n"
    u8"Z:\\tmp\\setup.exe) with the arguments, runs the steps in the order\n"
    u8"given, then waits for the program to end. The words after <program>\n"
    u8"are its arguments up to the first option below; --arg passes a word\n"
    u8"that would otherwise be taken as an option.\n"
    u8"\n"
    u8"options:\n"
    u8"  --arg WORD             one more argument for the program\n"
    u8"  --cwd DIR              the program's working folder\n"
    u8"  --timeout MS           limit for each step and for the final wait\n"
    u8"                         (default 20000)\n"
    u8"  --any-process          find windows and boxes of any process, e.g.\n"
    u8"                         of a program that the started one runs\n"
    u8"steps:\n"
    u8"  --expect-window CAPTION  wait for a visible top-level window with\n"
    u8"                         exactly this caption\n"
    u8"  --close                post WM_CLOSE to the last window found\n"
    u8"  --expect-box CAPTION   wait for a message box with this caption and\n"
    u8"                         print its text and buttons\n"
    u8"  --press BUTTON         press OK, CANCEL, ABORT, RETRY, IGNORE, YES or\n"
    u8"                         NO (or a control id) on the last box found and\n"
    u8"                         wait for the box to close\n"
    u8"\n"
    u8"output on stdout, UTF-8, one line each:\n"
    u8"  window: CAPTION\n"
    u8"  box: CAPTION\n"
    u8"  box-text: TEXT        (\\r \\n \\t and \\\\ written as escapes)\n"
    u8"  box-buttons: OK CANCEL\n"
    u8"  pressed: OK\n"
    u8"  exit-code: 4294967295 (0xFFFFFFFF)\n"
    u8"\n"
    u8"exit status: the program's exit code (under Wine the shell sees its\n"
    u8"low byte only; read the exit-code line for the full value); 124 when\n"
    u8"the program had not ended in time and was killed; 125 when a step\n"
    u8"failed or the usage was wrong (message on stderr, the program killed).\n";

constexpr DWORD kDefaultTimeoutMs = 20000;
constexpr int kStillRunningStatus = 124;
constexpr int kDriverErrorStatus = 125;
constexpr UINT kKilledExitCode = 0xDEAD;

struct ButtonEntry {
  int id;
  const char* name;
};

constexpr ButtonEntry kButtonNames[] = {
    {IDOK, "OK"},         {IDCANCEL, "CANCEL"}, {IDABORT, "ABORT"},
    {IDRETRY, "RETRY"},   {IDIGNORE, "IGNORE"}, {IDYES, "YES"},
    {IDNO, "NO"},         {IDCLOSE, "CLOSE"},   {IDHELP, "HELP"},
};

enum class StepKind { kExpectWindow, kClose, kExpectBox, kPress };

struct Step {
  StepKind kind;
  std::string argument;  // caption (GBK) or button name
};

struct Options {
  std::string commandLine;
  std::string workingDir;
  DWORD timeoutMs = kDefaultTimeoutMs;
  bool anyProcess = false;
  std::vector<Step> steps;
};

void Print(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

void Fail(const std::string& utf8) {
  std::string line = u8"testdriver: " + utf8 + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

// Control id for a button name or number; 0 when unknown.
int ButtonId(const std::string& name) {
  for (const ButtonEntry& button : kButtonNames) {
    if (lstrcmpiA(name.c_str(), button.name) == 0) return button.id;
  }
  char* end = nullptr;
  long id = std::strtol(name.c_str(), &end, 0);
  return (!name.empty() && *end == '\0' && id > 0) ? static_cast<int>(id) : 0;
}

std::string ButtonName(int id) {
  for (const ButtonEntry& button : kButtonNames) {
    if (button.id == id) return button.name;
  }
  return std::to_string(id);
}

bool IsOption(const char* word) {
  static const char* const kOptions[] = {
      "--arg",   "--cwd",   "--timeout",    "--any-process", "--expect-window",
      "--close", "--expect-box", "--press"};
  for (const char* option : kOptions) {
    if (std::strcmp(word, option) == 0) return true;
  }
  return false;
}

// Parses "run <program> ..." into options; false (after a message) on a
// usage error.
bool ParseArguments(int argc, char** argv, Options* options) {
  if (argc < 3 || std::strcmp(argv[1], "run") != 0) return false;
  testdriver::AppendQuotedArgument(&options->commandLine, argv[2]);
  int i = 3;
  for (; i < argc && !IsOption(argv[i]); ++i)
    testdriver::AppendQuotedArgument(&options->commandLine, argv[i]);
  bool haveBox = false;
  bool haveWindow = false;
  for (; i < argc; ++i) {
    std::string option = argv[i];
    bool takesValue = option != "--any-process" && option != "--close";
    if (!IsOption(argv[i])) {
      Fail("unknown option " + GbkToUtf8(option));
      return false;
    }
    if (takesValue && i + 1 >= argc) {
      Fail(option + " needs a value");
      return false;
    }
    std::string value = takesValue ? argv[++i] : "";
    if (option == "--arg") {
      testdriver::AppendQuotedArgument(&options->commandLine, value);
    } else if (option == "--cwd") {
      options->workingDir = value;
    } else if (option == "--timeout") {
      char* end = nullptr;
      unsigned long ms = std::strtoul(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0') {
        Fail("--timeout needs a number of milliseconds");
        return false;
      }
      options->timeoutMs = static_cast<DWORD>(ms);
    } else if (option == "--any-process") {
      options->anyProcess = true;
    } else if (option == "--expect-window") {
      options->steps.push_back({StepKind::kExpectWindow, value});
      haveWindow = true;
    } else if (option == "--close") {
      if (!haveWindow) {
        Fail("--close needs an --expect-window before it");
        return false;
      }
      options->steps.push_back({StepKind::kClose, ""});
    } else if (option == "--expect-box") {
      options->steps.push_back({StepKind::kExpectBox, value});
      haveBox = true;
    } else if (option == "--press") {
      if (!haveBox) {
        Fail("--press needs an --expect-box before it");
        return false;
      }
      if (ButtonId(value) == 0) {
        Fail("unknown button " + GbkToUtf8(value));
        return false;
      }
      options->steps.push_back({StepKind::kPress, value});
    }
  }
  return true;
}

class Run {
 public:
  Run(const Options& options, testdriver::Process process)
      : options_(options), process_(std::move(process)) {}

  // Runs every step; false (after a message) when one fails.
  bool RunSteps() {
    for (const Step& step : options_.steps) {
      if (!RunStep(step)) return false;
    }
    return true;
  }

  // The process to wait for and to kill.
  const testdriver::Process& process() const { return process_; }

 private:
  HWND FindWindowOf(const char* caption, const char* className) {
    if (options_.anyProcess)
      return testdriver::FindTopWindow(0, caption, className,
                                       options_.timeoutMs);
    return testdriver::FindTopWindow(process_, caption, className,
                                     options_.timeoutMs);
  }

  bool RunStep(const Step& step) {
    switch (step.kind) {
      case StepKind::kExpectWindow:
        window_ = FindWindowOf(step.argument.c_str(), nullptr);
        if (window_ == nullptr) return Missing("window", step.argument);
        Print(u8"window: " + GbkToUtf8(step.argument) + "\n");
        return true;
      case StepKind::kClose:
        if (!testdriver::RequestClose(window_)) {
          Fail("could not close the window");
          return false;
        }
        return true;
      case StepKind::kExpectBox:
        box_ = FindWindowOf(step.argument.c_str(), testdriver::kDialogClass);
        if (box_ == nullptr) return Missing("message box", step.argument);
        PrintBox(step.argument);
        return true;
      case StepKind::kPress:
        return PressOnBox(ButtonId(step.argument));
    }
    return false;
  }

  bool Missing(const std::string& what, const std::string& caption) {
    std::string message = what + " \"" + GbkToUtf8(caption) + "\" not found";
    DWORD code = 0;
    if (testdriver::WaitForExit(process_, 0, &code) ==
        testdriver::WaitResult::kExited) {
      message += " (the program has ended)";
    } else {
      message += " within " + std::to_string(options_.timeoutMs) + " ms";
    }
    Fail(message);
    return false;
  }

  void PrintBox(const std::string& caption) {
    std::string line = u8"box: " + GbkToUtf8(caption) + "\n";
    line += u8"box-text: " +
            Escape(GbkToUtf8(testdriver::ReadMessageBoxText(box_))) + "\n";
    line += u8"box-buttons:";
    for (const testdriver::ButtonInfo& button : testdriver::ListButtons(box_))
      line += " " + ButtonName(button.id);
    Print(line + "\n");
  }

  bool PressOnBox(int id) {
    if (!testdriver::PressButton(box_, id)) {
      Fail("the box has no button " + ButtonName(id));
      return false;
    }
    if (!testdriver::WaitUntilGone(box_, options_.timeoutMs)) {
      Fail("the box did not close after " + ButtonName(id));
      return false;
    }
    Print(u8"pressed: " + ButtonName(id) + "\n");
    return true;
  }

  const Options& options_;
  testdriver::Process process_;
  HWND window_ = nullptr;
  HWND box_ = nullptr;
};

void PrintExitCode(DWORD code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
  Print(u8"exit-code: " + std::to_string(code) + " (0x" + hex + ")\n");
}

}  // namespace

int main(int argc, char** argv) {
  // Unix scripts read the output: no CR before each LF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    Print(kUsage);
    return 0;
  }
  Options options;
  if (!ParseArguments(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return kDriverErrorStatus;
  }
  DWORD error = 0;
  testdriver::Process process =
      testdriver::StartProgram(options.commandLine, options.workingDir, &error);
  if (!process.IsStarted()) {
    Fail("could not start " + GbkToUtf8(options.commandLine) + " (error " +
         std::to_string(error) + ")");
    return kDriverErrorStatus;
  }
  Run run(options, std::move(process));
  bool stepsOk = run.RunSteps();
  DWORD code = 0;
  testdriver::WaitResult result = testdriver::WaitForExit(
      run.process(), stepsOk ? options.timeoutMs : 0, &code);
  if (result == testdriver::WaitResult::kExited) PrintExitCode(code);
  if (!stepsOk) {
    testdriver::Kill(run.process(), kKilledExitCode);
    return kDriverErrorStatus;
  }
  if (result != testdriver::WaitResult::kExited) {
    Fail("the program had not ended after " +
         std::to_string(options.timeoutMs) + " ms; killed");
    testdriver::Kill(run.process(), kKilledExitCode);
    return kStillRunningStatus;
  }
  return static_cast<int>(code);
}
