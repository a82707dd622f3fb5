// Running a probe program from a Wine-run test: the probe (a program on the
// frame next to the test program) is started as "<probe> <mode> <log>", logs
// one line per observation, and the test reads the log back, waits for the
// exit code and answers the runtime error box. Windows only.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/driver/test_driver.h"

namespace probetest {

// How long a probe gets for each wait.
constexpr DWORD kProbeWaitMs = 30000;

// The folder of the running test program, where the probes are built.
inline std::string TestFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string s(path, n);
  return s.substr(0, s.find_last_of('\\'));
}

// Waits for p to end; its exit code (0xDEAD, and a failed expectation, when
// it does not end in time).
inline DWORD ExitCodeOf(testdriver::Process& p) {
  DWORD code = 0xDEAD;
  EXPECT_EQ(testdriver::WaitForExit(p, kProbeWaitMs, &code), testdriver::WaitResult::kExited);
  return code;
}

// Waits for p's runtime error box, expects OK as its only button, returns
// its text and presses OK; "<no box>" when none comes.
inline std::string AnswerErrorBoxOf(testdriver::Process& p) {
  HWND box = testdriver::FindMessageBox(p, "错误", kProbeWaitMs);
  if (!box) return "<no box>";
  std::string text = testdriver::ReadMessageBoxText(box);
  EXPECT_EQ(testdriver::ListButtons(box).size(), 1u);
  testdriver::PressButton(box, IDOK);
  return text;
}

// One run of probe <program>.exe in scenario mode, with its own log file
// "<temp>\<program>_<mode>.log". Side files that the probe writes next to
// the log (named log path + suffix) are removed before the start and at the
// end, as is the log; a probe still running at the end is killed.
class ProbeRun {
 public:
  ProbeRun(const char* program, const char* mode, std::initializer_list<const char*> sideSuffixes = {})
      : sideSuffixes_(sideSuffixes.begin(), sideSuffixes.end()) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    log_ = std::string(temp) + program + "_" + mode + ".log";
    RemoveFiles();
    std::string line;
    testdriver::AppendQuotedArgument(&line, TestFolder() + "\\" + program + ".exe");
    line += " ";
    line += mode;
    testdriver::AppendQuotedArgument(&line, log_);
    process_ = testdriver::StartProgram(line, TestFolder());
  }
  ~ProbeRun() {
    if (process_.IsStarted()) testdriver::Kill(process_);
    RemoveFiles();
  }
  ProbeRun(const ProbeRun&) = delete;
  ProbeRun& operator=(const ProbeRun&) = delete;

  testdriver::Process& process() { return process_; }
  // Where the probe writes the side file of this suffix.
  std::string SidePath(const std::string& suffix) const { return log_ + suffix; }

  DWORD ExitCode() { return ExitCodeOf(process_); }
  std::string AnswerErrorBox() { return AnswerErrorBoxOf(process_); }

  // The log's complete lines so far.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    FILE* f = fopen(log_.c_str(), "rb");
    if (!f) return lines;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }

 private:
  void RemoveFiles() const {
    for (const std::string& suffix : sideSuffixes_) DeleteFileA(SidePath(suffix).c_str());
    DeleteFileA(log_.c_str());
  }

  std::string log_;
  std::vector<std::string> sideSuffixes_;
  testdriver::Process process_;
};

// Whether lines holds line.
inline bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The lines, each ended by "\n" (for failure messages).
inline std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

}  // namespace probetest
