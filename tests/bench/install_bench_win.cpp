// Installer benchmark, run under Wine inside a display by the `bench_install`
// target. It prints, side by side:
//   1. the time from the click on setup.exe's install button to the end of
//      the process, with the notice and the final prompt answered at once
//      (OK, then No), for the demo payload and for a large one;
//   2. the time from start to exit of a silent peer installer (/S /D=folder)
//      that installs the same files into the same folder and makes the same
//      desktop shortcut, and the ratio of the two;
//   3. the time from process start to the window being shown, for setup.exe
//      and for a minimal Win32 program, and their ratio.
// Every install is checked (exit code 0, the same files as the reference
// install, the shortcut, no tool.zip left) and removed before the next one.
// Not a test: it prints figures, and fails only when something does not work.
//
// Usage: install_bench SETUP_DEMO SETUP_LARGE PEER_DEMO PEER_LARGE MIN_WINDOW PRODUCT [ROUNDS]
// ROUNDS defaults to the environment's BENCH_ROUNDS, else 5.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/driver/test_driver.h"
#include "tests/win32/zip_test_support.h"

namespace {

constexpr DWORD kWindowWaitMs = 30000;
constexpr DWORD kInstallWaitMs = 600000;
constexpr DWORD kBoxPollMs = 2;
constexpr const char* kSetupTitle = "安装程序";
constexpr const char* kNoticeCaption = "信息：";
constexpr const char* kPromptCaption = "温馨提示：";
constexpr const char* kMinWindowTitle = "bench_min_window";
// The log label's step texts, by their leading step number.
constexpr const char* kLogWriting = "1.";
constexpr const char* kLogExtracting = "2.";
constexpr const char* kLogFinishing = "3.";
constexpr DWORD kPhasePollMs = 10;

double Now() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Samples {
  std::vector<double> seconds;
  double Best() const { return seconds.empty() ? 0 : *std::min_element(seconds.begin(), seconds.end()); }
  double Median() const {
    if (seconds.empty()) return 0;
    std::vector<double> s = seconds;
    std::sort(s.begin(), s.end());
    size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
  }
};

// What an install left in its folder: relative paths and sizes, sorted.
struct Tree {
  std::vector<std::string> files;  // "path|size"
  unsigned long long bytes = 0;
  bool operator==(const Tree& other) const { return files == other.files && bytes == other.bytes; }
};

void ListTree(const std::string& root, const std::string& relative, Tree* tree) {
  std::string folder = relative.empty() ? root : root + "\\" + relative;
  for (const std::string& name : ziptest::ListFolder(folder)) {
    std::string child = relative.empty() ? name : relative + "\\" + name;
    std::string full = root + "\\" + child;
    if (ziptest::IsFolder(full)) {
      tree->files.push_back(child + "\\");
      ListTree(root, child, tree);
      continue;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    unsigned long long size = 0;
    if (GetFileAttributesExA(full.c_str(), GetFileExInfoStandard, &data))
      size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    tree->files.push_back(child + "|" + std::to_string(size));
    tree->bytes += size;
  }
}

Tree TreeOf(const std::string& folder) {
  Tree tree;
  ListTree(folder, "", &tree);
  std::sort(tree.files.begin(), tree.files.end());
  return tree;
}

// Moments of one install, in seconds after the click, seen by polling the
// log label (kPhasePollMs apart, so each is up to that late).
struct Phases {
  double notice = 0, writing = 0, extracting = 0, finishing = 0, prompt = 0, exit = 0;
};

class Bench {
 public:
  explicit Bench(std::string product) : product_(std::move(product)) {
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE);
    link_ = std::string(path) + "\\" + product_ + ".lnk";
    GetTempPathA(MAX_PATH, path);
    tempArchive_ = std::string(path) + "tool.zip";
  }

  const std::string& folder() const { return folder_; }
  const std::string& error() const { return error_; }
  void ClearError() { error_.clear(); }

  // One install by setup.exe: start, wait for the window, then time the
  // click on the install button up to the end of the process.
  // With phases, the log label is also polled for the step texts (an extra
  // run: the polling itself costs a little).
  bool InstallWithSetup(const std::string& exe, double* seconds, Phases* phases = nullptr) {
    std::string line;
    testdriver::AppendQuotedArgument(&line, exe);
    testdriver::Process process = testdriver::StartProgram(line, "");
    if (!process.IsStarted()) return Fail("cannot start " + exe);
    HWND window = testdriver::FindTopWindow(process, kSetupTitle, nullptr, kWindowWaitMs);
    HWND button = window ? InstallButton(window) : nullptr;
    std::string folder = window ? FolderText(window) : "";
    if (!button || folder.empty()) {
      testdriver::Kill(process);
      return Fail("no install window, button or folder label in " + exe);
    }
    if (folder_.empty()) folder_ = folder;
    if (folder != folder_) {
      testdriver::Kill(process);
      return Fail("the folder changed between runs: " + testdriver::GbkToUtf8(folder));
    }
    Sleep(300);  // let the window finish its first painting

    double start = Now();
    PostMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(100, 40));
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 40));
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(100, 40));
    HWND notice = WaitForBox(process, kNoticeCaption, kWindowWaitMs, kBoxPollMs, nullptr);
    if (phases) phases->notice = Now() - start;
    if (!notice || !testdriver::PressButton(notice, IDOK)) {
      testdriver::Kill(process);
      return Fail("no notice box after the click");
    }
    PhaseProbe probe = {phases ? LogLabel(window) : nullptr, phases, start};
    HWND prompt = WaitForBox(process, kPromptCaption, kInstallWaitMs, phases ? kPhasePollMs : kBoxPollMs,
                             phases ? &probe : nullptr);
    if (phases) phases->prompt = Now() - start;
    // The final prompt is the Yes/No box; a Retry/Cancel box under the same
    // caption means the extraction failed.
    if (!prompt || !testdriver::PressButton(prompt, IDNO)) {
      std::string text = prompt ? testdriver::GbkToUtf8(testdriver::ReadMessageBoxText(prompt)) : "";
      testdriver::Kill(process);
      return Fail("no final prompt: " + text);
    }
    DWORD code = 0xDEAD;
    if (testdriver::WaitForExit(process, kInstallWaitMs, &code) != testdriver::WaitResult::kExited) {
      testdriver::Kill(process);
      return Fail("setup.exe did not end after the final prompt");
    }
    *seconds = Now() - start;
    if (phases) phases->exit = *seconds;
    if (code != 0) return Fail("setup.exe ended with code " + std::to_string(code));
    if (ziptest::IsFile(tempArchive_)) return Fail("tool.zip was left in the temporary folder");
    return true;
  }

  // One silent install by the peer installer into the same folder, timed
  // from start to exit.
  bool InstallWithPeer(const std::string& exe, double* seconds) {
    std::string line;
    testdriver::AppendQuotedArgument(&line, exe);
    line += " /S /D=" + folder_;  // /D= comes last and takes the rest, unquoted
    double start = Now();
    testdriver::Process process = testdriver::StartProgram(line, "");
    if (!process.IsStarted()) return Fail("cannot start " + exe);
    DWORD code = 0xDEAD;
    if (testdriver::WaitForExit(process, kInstallWaitMs, &code) != testdriver::WaitResult::kExited) {
      testdriver::Kill(process);
      return Fail(exe + " did not end");
    }
    *seconds = Now() - start;
    if (code != 0) return Fail(exe + " ended with code " + std::to_string(code));
    return true;
  }

  // Checks an install against the first one of the same payload (the
  // reference), then removes it: folder, shortcut and any tool.zip.
  bool CheckAndRemove(Tree* reference, const char* who) {
    Tree tree = TreeOf(folder_);
    bool ok = true;
    if (!ziptest::IsFile(folder_ + "\\" + product_ + ".exe")) ok = Fail(std::string(who) + ": no product executable");
    if (ok && !ziptest::IsFile(link_)) ok = Fail(std::string(who) + ": no desktop shortcut");
    if (ok && reference->files.empty()) *reference = tree;
    if (ok && !(tree == *reference))
      ok = Fail(std::string(who) + ": installed " + std::to_string(tree.files.size()) + " entries, " +
                std::to_string(tree.bytes) + " bytes; the reference has " + std::to_string(reference->files.size()) +
                " entries, " + std::to_string(reference->bytes) + " bytes");
    Clean();
    return ok;
  }

  void Clean() {
    if (!folder_.empty()) {
      ziptest::RemoveTree(folder_);
      std::string parent = folder_.substr(0, folder_.find_last_of('\\'));
      RemoveDirectoryA(parent.c_str());  // only when empty: the brand's folder
    }
    DeleteFileA(link_.c_str());
    DeleteFileA(tempArchive_.c_str());
  }

  // Time from process start to a visible top-level window with this title;
  // the program is closed (or ended) afterwards.
  bool TimeToWindow(const std::string& exe, const char* title, bool closeWindow, double* seconds) {
    std::string line;
    testdriver::AppendQuotedArgument(&line, exe);
    double start = Now();
    testdriver::Process process = testdriver::StartProgram(line, "");
    if (!process.IsStarted()) return Fail("cannot start " + exe);
    HWND window = nullptr;
    while (!window) {
      window = testdriver::FindTopWindow(process.processId, title, nullptr, 0);
      if (window) break;
      if (testdriver::WaitForExit(process, 0, nullptr) == testdriver::WaitResult::kExited)
        return Fail(exe + " ended before showing its window");
      if (Now() - start > kWindowWaitMs / 1000.0) {
        testdriver::Kill(process);
        return Fail(exe + " showed no window");
      }
      Sleep(1);
    }
    *seconds = Now() - start;
    if (closeWindow) {
      testdriver::RequestClose(window);
      if (testdriver::WaitForExit(process, 5000, nullptr) == testdriver::WaitResult::kExited) return true;
    }
    testdriver::Kill(process, 0);
    return true;
  }

 private:
  bool Fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return false;
  }

  struct PhaseProbe {
    HWND log;
    Phases* phases;
    double start;
    // Notes the first time each step text shows.
    void Poll() const {
      if (!log) return;
      std::string text = testdriver::GetTextOf(log);
      double now = Now() - start;
      if (text.compare(0, 2, kLogWriting) == 0 && !phases->writing) phases->writing = now;
      if (text.compare(0, 2, kLogExtracting) == 0 && !phases->extracting) phases->extracting = now;
      if (text.compare(0, 2, kLogFinishing) == 0 && !phases->finishing) phases->finishing = now;
    }
  };

  static HWND WaitForBox(const testdriver::Process& process, const char* caption, DWORD timeoutMs, DWORD pollMs,
                         const PhaseProbe* probe) {
    double deadline = Now() + timeoutMs / 1000.0;
    for (;;) {
      if (probe) probe->Poll();
      HWND box = testdriver::FindMessageBox(process.processId, caption, 0);
      if (box) return box;
      if (Now() > deadline) return nullptr;
      if (testdriver::WaitForExit(process, 0, nullptr) == testdriver::WaitResult::kExited) return nullptr;
      Sleep(pollMs);
    }
  }

  // The control at about (x, y) of the window's client area with this size.
  static HWND ChildAt(HWND window, int x, int y, int width, int height) {
    for (HWND child : testdriver::ListDescendants(window)) {
      RECT r;
      GetWindowRect(child, &r);
      POINT p = {r.left, r.top};
      ScreenToClient(window, &p);
      if (r.right - r.left == width && r.bottom - r.top == height && std::abs(p.x - x) <= 2 &&
          std::abs(p.y - y) <= 2)
        return child;
    }
    return nullptr;
  }

  // The install button: the 220 x 80 control at about (14, 255) of the
  // window's client area.
  static HWND InstallButton(HWND window) { return ChildAt(window, 14, 255, 220, 80); }
  // The log label: 160 x 24 at about (79, 344).
  static HWND LogLabel(HWND window) { return ChildAt(window, 79, 344, 160, 24); }

  // The folder label's text: the control whose text is a path "X:\...".
  static std::string FolderText(HWND window) {
    for (HWND child : testdriver::ListDescendants(window)) {
      std::string text = testdriver::GetTextOf(child);
      if (text.size() > 3 && text.compare(1, 2, ":\\") == 0) return text;
    }
    return "";
  }

  std::string product_;
  std::string folder_;
  std::string link_;
  std::string tempArchive_;
  std::string error_;
};

void PrintRow(const char* label, const Samples& ours, const Samples& peer) {
  if (peer.seconds.empty()) {
    std::printf("  %-30s %8.3f %8.3f   %8s %8s   %6s %6s\n", label, ours.Best(), ours.Median(), "-", "-", "n/a",
                "n/a");
    return;
  }
  std::printf("  %-30s %8.3f %8.3f   %8.3f %8.3f   %6.2f %6.2f\n", label, ours.Best(), ours.Median(), peer.Best(),
              peer.Median(), ours.Best() / peer.Best(), ours.Median() / peer.Median());
}

// notice: click to the notice box; write: from there to "2." (the notice
// answered and tool.zip written); extract: "2." to "3."; shortcut: "3." to
// the final prompt; exit: the prompt answered to the process's end.
void PrintPhases(const char* label, const Phases& p) {
  std::printf("  %-30s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f\n", label, p.notice, p.extracting - p.notice,
              p.finishing - p.extracting, p.prompt - p.finishing, p.exit - p.prompt, p.exit);
}

int Failed(const Bench& bench) {
  std::printf("install_bench: %s\n", bench.error().c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::printf("usage: install_bench SETUP_DEMO SETUP_LARGE PEER_DEMO PEER_LARGE MIN_WINDOW PRODUCT [ROUNDS]\n");
    return 2;
  }
  const std::string setupDemo = argv[1], setupLarge = argv[2], peerDemo = argv[3], peerLarge = argv[4],
                    minWindow = argv[5];
  // Rounds: the argument, else BENCH_ROUNDS from the environment, else 5.
  char fromEnvironment[16] = {};
  GetEnvironmentVariableA("BENCH_ROUNDS", fromEnvironment, sizeof fromEnvironment);
  const char* roundsText = argc > 7 ? argv[7] : fromEnvironment;
  const int rounds = *roundsText ? std::max(1, std::atoi(roundsText)) : 5;
  Bench bench(argv[6]);
  std::setvbuf(stdout, nullptr, _IONBF, 0);

  // A first, untimed install finds the folder (the label's default) and
  // warms the file cache for every later round.
  double seconds = 0;
  Tree demoReference, largeReference;
  std::printf("warm-up install of the demo payload...\n");
  if (!bench.InstallWithSetup(setupDemo, &seconds) || !bench.CheckAndRemove(&demoReference, "setup.exe, demo"))
    return Failed(bench);
  std::printf("install folder: %s; demo payload: %zu entries, %.2f MB\n",
              testdriver::GbkToUtf8(bench.folder()).c_str(), demoReference.files.size(), demoReference.bytes / 1e6);

  // The peer installer is a 32-bit program: where this machine executes no
  // 32-bit code (the 64-bit flavour's only home), its rows say so.
  const bool peerRuns = bench.InstallWithPeer(peerDemo, &seconds) && bench.CheckAndRemove(&demoReference, "peer, demo");
  if (!peerRuns) {
    std::printf("NSIS peer: not run: %s (it is a 32-bit program; this machine may not execute 32-bit code)\n",
                bench.error().c_str());
    bench.ClearError();
    bench.Clean();
  }

  Samples oursDemo, peerDemoTimes, oursLarge, peerLargeTimes, setupStart, minStart;
  for (int round = 1; round <= rounds; ++round) {
    std::printf("round %d of %d\n", round, rounds);
    if (!bench.InstallWithSetup(setupDemo, &seconds) || !bench.CheckAndRemove(&demoReference, "setup.exe, demo"))
      return Failed(bench);
    oursDemo.seconds.push_back(seconds);
    if (peerRuns) {
      if (!bench.InstallWithPeer(peerDemo, &seconds) || !bench.CheckAndRemove(&demoReference, "peer, demo"))
        return Failed(bench);
      peerDemoTimes.seconds.push_back(seconds);
    }
    if (!bench.InstallWithSetup(setupLarge, &seconds) || !bench.CheckAndRemove(&largeReference, "setup.exe, large"))
      return Failed(bench);
    oursLarge.seconds.push_back(seconds);
    if (peerRuns) {
      if (!bench.InstallWithPeer(peerLarge, &seconds) || !bench.CheckAndRemove(&largeReference, "peer, large"))
        return Failed(bench);
      peerLargeTimes.seconds.push_back(seconds);
    }
    for (int i = 0; i < 2; ++i) {
      if (!bench.TimeToWindow(setupDemo, kSetupTitle, false, &seconds)) return Failed(bench);
      setupStart.seconds.push_back(seconds);
      if (!bench.TimeToWindow(minWindow, kMinWindowTitle, true, &seconds)) return Failed(bench);
      minStart.seconds.push_back(seconds);
    }
  }
  // One more install of each payload, with the log label watched, shows
  // where setup.exe's time goes.
  Phases demoPhases, largePhases;
  if (!bench.InstallWithSetup(setupDemo, &seconds, &demoPhases) ||
      !bench.CheckAndRemove(&demoReference, "setup.exe, demo") ||
      !bench.InstallWithSetup(setupLarge, &seconds, &largePhases) ||
      !bench.CheckAndRemove(&largeReference, "setup.exe, large"))
    return Failed(bench);
  bench.Clean();

  std::printf("\nlarge payload: %zu entries, %.1f MB\n", largeReference.files.size(), largeReference.bytes / 1e6);
  std::printf("\nInstall, %d rounds, seconds (setup.exe: click to exit; NSIS: /S start to exit)\n", rounds);
  std::printf("  %-30s %8s %8s   %8s %8s   %13s\n", "", "setup", "", "NSIS", "", "ours/NSIS");
  std::printf("  %-30s %8s %8s   %8s %8s   %6s %6s\n", "", "best", "median", "best", "median", "best", "median");
  PrintRow("demo payload", oursDemo, peerDemoTimes);
  PrintRow("large payload", oursLarge, peerLargeTimes);
  std::printf("  goal: ours no slower (ratio <= 1.00)\n");
  std::printf("\nsetup.exe's phases in one extra install each, seconds (log label polled every %lu ms)\n",
              static_cast<unsigned long>(kPhasePollMs));
  std::printf("  %-30s %8s %8s %8s %8s %8s %8s\n", "", "notice", "write", "extract", "shortcut", "exit", "total");
  PrintPhases("demo payload", demoPhases);
  PrintPhases("large payload", largePhases);

  std::printf("\nStart to window shown, %zu runs each, seconds\n", setupStart.seconds.size());
  std::printf("  %-30s %8s %8s   %8s %8s   %13s\n", "", "setup", "", "minimal", "", "setup/minimal");
  std::printf("  %-30s %8s %8s   %8s %8s   %6s %6s\n", "", "best", "median", "best", "median", "best", "median");
  PrintRow("process start to window shown", setupStart, minStart);
  std::printf("  goal: within 1.5 x\n");
  return 0;
}
