// Installer benchmark, run under Wine inside a display by the `bench_install`
// target and by the `bench` table (run_bench.sh). For each payload it gives:
//   1. the time from the click on setup.exe's install button to the end of
//      the process, with the notice and the final prompt answered at once
//      (OK, then No);
//   2. the time from start to exit of a silent peer installer (/S /D=folder)
//      that installs the same files into the same folder and makes the same
//      desktop shortcut, and the ratio of the two (or why the peer could not
//      run);
//   3. setup.exe's peak private bytes during the install: the most
//      PrivateUsage seen while polling, and PeakPagefileUsage read while the
//      final prompt is up (all the work is done then, the process still
//      alive);
// and, for setup.exe of the first payload and a minimal Win32 program, the
// time from process start to the window being shown, and their ratio.
// Every install is checked (exit code 0, the same files as the reference
// install, the shortcut, no tool.zip left) and removed before the next one.
// Besides the readable tables it prints "result ..." lines that run_bench.sh
// reads. Not a test: it prints figures, and fails only when something does
// not work.
//
// Usage: install_bench MIN_WINDOW PRODUCT LABEL SETUP PEER [LABEL SETUP PEER ...]
// Rounds: the environment's BENCH_ROUNDS, else 5.
#include <windows.h>
#include <psapi.h>
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

// setup.exe's memory during one install, in bytes.
struct MemoryPeak {
  SIZE_T privateUsage = 0;   // the most PrivateUsage seen while polling
  SIZE_T peakPagefile = 0;   // PeakPagefileUsage with the final prompt up
  void Sample(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
      return;
    privateUsage = std::max(privateUsage, counters.PrivateUsage);
    peakPagefile = std::max(peakPagefile, counters.PeakPagefileUsage);
  }
};

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
  bool InstallWithSetup(const std::string& exe, double* seconds, Phases* phases = nullptr,
                        MemoryPeak* memory = nullptr) {
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
    PhaseProbe probe = {phases ? LogLabel(window) : nullptr, phases, start,
                        memory ? process.process.Get() : nullptr, memory};
    HWND prompt = WaitForBox(process, kPromptCaption, kInstallWaitMs, phases ? kPhasePollMs : kBoxPollMs,
                             phases || memory ? &probe : nullptr);
    if (phases) phases->prompt = Now() - start;
    if (memory) memory->Sample(process.process.Get());
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
    if (!process.IsStarted()) {
      DWORD error = GetLastError();
      return Fail("cannot start " + exe + ": CreateProcess error " + std::to_string(error) +
                  (IsI386Program(exe) ? " (an i386 program: this machine executes no 32-bit code)" : ""));
    }
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

  // Removes the last install. Its folder is first moved aside, into a
  // folder emptied only at the end (EmptyTrash): deleting thousands of files
  // right before the next install would make that install's file creations
  // slower than any user's (ext4 skips inodes freed within the last minute
  // when it hands out new ones, one by one).
  void Clean() {
    if (!folder_.empty()) {
      const std::string trash = TrashFolder();
      CreateDirectoryA(trash.c_str(), nullptr);
      const std::string aside = trash + "\\" + std::to_string(++trashed_);
      if (!MoveFileA(folder_.c_str(), aside.c_str())) ziptest::RemoveTree(folder_);
      std::string parent = folder_.substr(0, folder_.find_last_of('\\'));
      RemoveDirectoryA(parent.c_str());  // only when empty: the brand's folder
    }
    DeleteFileA(link_.c_str());
    DeleteFileA(tempArchive_.c_str());
  }

  void EmptyTrash() {
    if (!folder_.empty()) ziptest::RemoveTree(TrashFolder());
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
  // Beside the brand's folder, on the same drive (a move, not a copy).
  std::string TrashFolder() const { return folder_.substr(0, 3) + "install-bench-trash"; }

  // True when exe is a PE image for i386 (the NSIS installers are).
  static bool IsI386Program(const std::string& exe) {
    std::string bytes = ziptest::ReadBytes(exe.c_str());
    if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0) return false;
    size_t pe = ziptest::GetLe32(bytes, 0x3C);
    return pe + 6 <= bytes.size() && bytes.compare(pe, 4, std::string("PE\0\0", 4)) == 0 &&
           static_cast<uint8_t>(bytes[pe + 4]) == 0x4C && static_cast<uint8_t>(bytes[pe + 5]) == 0x01;
  }

  bool Fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return false;
  }

  struct PhaseProbe {
    HWND log;
    Phases* phases;
    double start;
    HANDLE process;
    MemoryPeak* memory;
    // Samples the memory; notes the first time each step text shows.
    void Poll() const {
      if (memory) memory->Sample(process);
      if (!log) return;
      std::string text = testdriver::GetTextOf(log);
      double now = Now() - start;
      if (text.compare(0, 2, kLogWriting) == 0 && !phases->writing) phases->writing = now;
      if (text.compare(0, 2, kLogExtracting) == 0 && !phases->extracting) phases->extracting = now;
      if (text.compare(0, 2, kLogFinishing) == 0 && !phases->finishing) phases->finishing = now;
    }
  };

  // Each look for the box asks the window system for the dialog windows and
  // about each of them (under Wine, requests to the one server process that
  // also serves every file call of the install being timed). So the pause
  // between looks grows with the time waited, to a hundredth of it (at most
  // 20 ms): the box is seen at most 1 % late, and a long install is slowed
  // by the watching as little as can be, since the peer, timed by its exit
  // alone, is not watched at all.
  static HWND WaitForBox(const testdriver::Process& process, const char* caption, DWORD timeoutMs, DWORD pollMs,
                         const PhaseProbe* probe) {
    const double begin = Now();
    double deadline = begin + timeoutMs / 1000.0;
    for (;;) {
      if (probe) probe->Poll();
      HWND box = testdriver::FindMessageBox(process.processId, caption, 0);
      if (box) return box;
      if (Now() > deadline) return nullptr;
      if (testdriver::WaitForExit(process, 0, nullptr) == testdriver::WaitResult::kExited) return nullptr;
      const DWORD growing = static_cast<DWORD>((Now() - begin) * 10.0);  // ms: a hundredth of the wait
      Sleep(probe && probe->log ? pollMs : std::max(pollMs, std::min<DWORD>(growing, 20)));
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
  int trashed_ = 0;
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

// A line for run_bench.sh: "result KIND LABEL|best median" (the label may
// hold spaces; "|" ends it).
void PrintResult(const char* kind, const std::string& label, const Samples& samples) {
  std::printf("result %s %s|%.4f %.4f\n", kind, label.c_str(), samples.Best(), samples.Median());
}

int Failed(Bench& bench) {
  bench.EmptyTrash();
  std::printf("install_bench: %s\n", bench.error().c_str());
  return 1;
}

struct Payload {
  std::string label, setup, peer;
  Tree reference;
  bool peerRuns = false;
  std::string peerReason;
  Samples ours, peerTimes;
  MemoryPeak memory;
  Phases phases;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6 || (argc - 3) % 3 != 0) {
    std::printf("usage: install_bench MIN_WINDOW PRODUCT LABEL SETUP PEER [LABEL SETUP PEER ...]\n");
    return 2;
  }
  const std::string minWindow = argv[1];
  std::vector<Payload> payloads;
  for (int i = 3; i + 2 < argc; i += 3) {
    Payload payload;
    payload.label = argv[i];
    payload.setup = argv[i + 1];
    payload.peer = argv[i + 2];
    payloads.push_back(payload);
  }
  char fromEnvironment[16] = {};
  GetEnvironmentVariableA("BENCH_ROUNDS", fromEnvironment, sizeof fromEnvironment);
  const int rounds = *fromEnvironment ? std::max(1, std::atoi(fromEnvironment)) : 5;
  Bench bench(argv[2]);
  std::setvbuf(stdout, nullptr, _IONBF, 0);

  // A first, untimed install of each payload finds the folder (the label's
  // default), the reference tree, and warms the file cache for the rounds.
  // The peer installer is a 32-bit program: where this machine executes no
  // 32-bit code (the 64-bit flavour's only home), its rows say why not.
  double seconds = 0;
  for (Payload& p : payloads) {
    std::printf("warm-up install: %s...\n", p.label.c_str());
    if (!bench.InstallWithSetup(p.setup, &seconds) || !bench.CheckAndRemove(&p.reference, "setup.exe"))
      return Failed(bench);
    std::printf("  %zu entries, %.1f MB in %s\n", p.reference.files.size(), p.reference.bytes / 1e6,
                testdriver::GbkToUtf8(bench.folder()).c_str());
    p.peerRuns = bench.InstallWithPeer(p.peer, &seconds) && bench.CheckAndRemove(&p.reference, "peer");
    if (!p.peerRuns) {
      p.peerReason = bench.error();
      std::printf("  NSIS peer not run: %s\n", p.peerReason.c_str());
      bench.ClearError();
      bench.Clean();
    }
  }

  Samples setupStart, minStart;
  for (int round = 1; round <= rounds; ++round) {
    std::printf("round %d of %d\n", round, rounds);
    for (Payload& p : payloads) {
      if (!bench.InstallWithSetup(p.setup, &seconds, nullptr, &p.memory) ||
          !bench.CheckAndRemove(&p.reference, "setup.exe"))
        return Failed(bench);
      p.ours.seconds.push_back(seconds);
      if (p.peerRuns) {
        if (!bench.InstallWithPeer(p.peer, &seconds) || !bench.CheckAndRemove(&p.reference, "peer"))
          return Failed(bench);
        p.peerTimes.seconds.push_back(seconds);
      }
    }
    for (int i = 0; i < 2; ++i) {
      if (!bench.TimeToWindow(payloads[0].setup, kSetupTitle, false, &seconds)) return Failed(bench);
      setupStart.seconds.push_back(seconds);
      if (!bench.TimeToWindow(minWindow, kMinWindowTitle, true, &seconds)) return Failed(bench);
      minStart.seconds.push_back(seconds);
    }
  }
  // One more install of each payload, with the log label watched, shows
  // where setup.exe's time goes.
  for (Payload& p : payloads) {
    if (!bench.InstallWithSetup(p.setup, &seconds, &p.phases) || !bench.CheckAndRemove(&p.reference, "setup.exe"))
      return Failed(bench);
  }
  bench.Clean();
  bench.EmptyTrash();

  std::printf("\nInstall, %d rounds, seconds (setup.exe: click to exit; NSIS: /S start to exit)\n", rounds);
  std::printf("  %-30s %8s %8s   %8s %8s   %13s\n", "", "setup", "", "NSIS", "", "ours/NSIS");
  std::printf("  %-30s %8s %8s   %8s %8s   %6s %6s\n", "", "best", "median", "best", "median", "best", "median");
  for (const Payload& p : payloads) PrintRow(p.label.c_str(), p.ours, p.peerTimes);
  std::printf("\nsetup.exe's phases in one extra install each, seconds (log label polled every %lu ms)\n",
              static_cast<unsigned long>(kPhasePollMs));
  std::printf("  %-30s %8s %8s %8s %8s %8s %8s\n", "", "notice", "write", "extract", "shortcut", "exit", "total");
  for (const Payload& p : payloads) PrintPhases(p.label.c_str(), p.phases);
  std::printf("\nsetup.exe's memory during the install, MB (most of %d rounds)\n", rounds);
  std::printf("  %-30s %14s %14s\n", "", "PrivateUsage", "PeakPagefile");
  for (const Payload& p : payloads)
    std::printf("  %-30s %14.1f %14.1f\n", p.label.c_str(), p.memory.privateUsage / 1e6, p.memory.peakPagefile / 1e6);

  std::printf("\nStart to window shown, %zu runs each, seconds\n", setupStart.seconds.size());
  std::printf("  %-30s %8s %8s   %8s %8s   %13s\n", "", "setup", "", "minimal", "", "setup/minimal");
  std::printf("  %-30s %8s %8s   %8s %8s   %6s %6s\n", "", "best", "median", "best", "median", "best", "median");
  PrintRow("process start to window shown", setupStart, minStart);

  for (const Payload& p : payloads) {
    std::printf("result payload %s|%zu %llu\n", p.label.c_str(), p.reference.files.size(), p.reference.bytes);
    PrintResult("ours", p.label, p.ours);
    if (p.peerRuns)
      PrintResult("peer", p.label, p.peerTimes);
    else
      std::printf("result peer-not-run %s|%s\n", p.label.c_str(), p.peerReason.c_str());
    std::printf("result memory %s|%llu %llu\n", p.label.c_str(),
                static_cast<unsigned long long>(p.memory.privateUsage),
                static_cast<unsigned long long>(p.memory.peakPagefile));
  }
  PrintResult("start-setup", "setup.exe", setupStart);
  PrintResult("start-minimal", "minimal window", minStart);
  return 0;
}
