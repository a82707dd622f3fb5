// Faults during an install, met as a user meets them: a disk that fills up
// part-way through the extraction, a setup program killed in the middle of
// it, and an update over a file that another program holds open. Each case
// checks what the user is shown (the failure prompt with Retry and Cancel,
// never the completion prompt for a failed install, exit code 0) and what is
// on disk afterwards: while an install has not completed, every file of the
// folder is either the previous version's or the new version's complete
// file, never a half-written one; the run that completes leaves the new
// version exactly and no staging file ("*.setup-part").
//
// installer_faults.sh makes the product versions and their packed installers
// before the run, mounts the small disk and passes them in the environment:
//   FAULTS_WORK            the work folder (a Windows path) holding, for
//                          each version, the product folder <name>\ and
//                          its installer <name>.exe
//   FAULTS_SMALL_DRIVE     the drive ("T:") of a small, empty disk
//   FAULTS_SMALL_DISK      the folder the drive stands for
//   FAULTS_NO_SMALL_DRIVE  why there is no small disk, when there is none
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/driver/test_driver.h"
#include "tests/win32/setup_run.h"
#include "tests/win32/zip_test_support.h"

namespace {

using namespace setuptest;
using ziptest::Wide;

constexpr char kStagingSuffix[] = ".setup-part";

std::string Environment(const char* name) {
  wchar_t value[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableW(Wide(name).c_str(), value, MAX_PATH);
  return n > 0 && n < MAX_PATH ? ziptest::Gbk(value) : std::string();
}

// The size of every file under folder by its path relative to it
// ("data\\file000.bin").
void ListSizesUnder(const std::string& folder, const std::string& prefix, std::map<std::string, uint64_t>* sizes) {
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = ziptest::Gbk(found.cFileName);
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListSizesUnder(folder + "\\" + name, prefix + name + "\\", sizes);
    } else {
      (*sizes)[prefix + name] = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
  } while (FindNextFileW(h, &found));
  FindClose(h);
}

std::map<std::string, uint64_t> SizesUnder(const std::string& folder) {
  std::map<std::string, uint64_t> sizes;
  ListSizesUnder(folder, "", &sizes);
  return sizes;
}

// The paths of every file under folder, relative to it, sorted.
std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& file : SizesUnder(folder)) files.push_back(file.first);
  return files;
}

// The staging files left anywhere under folder.
std::vector<std::string> StagingFilesUnder(const std::string& folder) {
  std::vector<std::string> staging;
  const size_t suffix = sizeof kStagingSuffix - 1;
  for (const std::string& file : FilesUnder(folder))
    if (file.size() > suffix && file.compare(file.size() - suffix, suffix, kStagingSuffix) == 0)
      staging.push_back(file);
  return staging;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + Utf8(name);
  return text;
}

// A file held open without sharing, as a running program may hold it, until
// Release or the end of the holder.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path)
      : file_(CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr)) {}
  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool IsHeld() const { return file_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return file_; }
  void Release() {
    if (IsHeld()) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE file_;
};

// Reads all of an open file from its start.
std::string ReadThrough(HANDLE file) {
  std::string bytes;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  std::vector<char> buffer(1 << 20);
  DWORD got = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0)
    bytes.append(buffer.data(), got);
  return bytes;
}

// One version of the product as setup-pack packed it: its folder, the files
// in it and its installer.
struct ProductVersion {
  std::string folder;
  std::string installer;
  std::vector<std::string> files;
  std::string Source(const std::string& file) const { return folder + "\\" + file; }
};

ProductVersion Version(const char* name) {
  ProductVersion v;
  std::string work = Environment("FAULTS_WORK");
  v.folder = work + "\\" + name;
  v.installer = work + "\\" + name + ".exe";
  v.files = FilesUnder(v.folder);
  return v;
}

// What an install folder holds against the previous and the new version of
// the product: per file of the new version, whether it is still the previous
// version's file or already completely the new one's. Anything else (a
// missing file, a half-written one) is a broken file.
struct FolderState {
  int previous = 0;
  int current = 0;
  std::vector<std::string> broken;
};

FolderState StateOf(const std::string& folder, const ProductVersion& previous, const ProductVersion& current,
                    const std::string& skipped = std::string()) {
  FolderState state;
  for (const std::string& file : current.files) {
    if (file == skipped) continue;
    std::string installed = ziptest::ReadBytes(folder + "\\" + file);
    if (installed == ziptest::ReadBytes(current.Source(file))) {
      ++state.current;
    } else if (installed == ziptest::ReadBytes(previous.Source(file))) {
      ++state.previous;
    } else {
      state.broken.push_back(file);
    }
  }
  return state;
}

// "" when the folder holds the version's files exactly and nothing else,
// else what differs.
std::string DiffersFrom(const std::string& folder, const ProductVersion& version) {
  std::vector<std::string> installed = FilesUnder(folder);
  if (installed != version.files) return "files: " + Joined(installed);
  for (const std::string& file : version.files)
    if (ziptest::ReadBytes(folder + "\\" + file) != ziptest::ReadBytes(version.Source(file)))
      return "content of " + Utf8(file);
  return "";
}

// Installs a version silently (setup.exe /S /D=folder): the previous install
// an update goes over. Its exit code.
DWORD InstallSilently(const ProductVersion& version, const std::string& folder) {
  std::string line;
  testdriver::AppendQuotedArgument(&line, version.installer);
  line += " /S /D=" + folder;
  testdriver::Process process = testdriver::StartProgram(line, "");
  DWORD code = 0xDEAD;
  if (testdriver::WaitForExit(process, kWaitMs, &code) != testdriver::WaitResult::kExited) testdriver::Kill(process);
  return code;
}

// Checks the failure prompt the worker shows for a failed extraction.
void ExpectFailurePrompt(HWND box) {
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Utf8(testdriver::ReadMessageBoxText(box)), Utf8(kExtractFailed));
  EXPECT_NE(testdriver::FindChildById(box, IDRETRY), nullptr);
  EXPECT_NE(testdriver::FindChildById(box, IDCANCEL), nullptr);
}

// Presses Retry on the failure prompt and waits for the next prompt, which
// must be the completion prompt; answers No and expects exit code 0.
void RetryToCompletion(SetupRun& run, HWND failure) {
  testdriver::PressButton(failure, IDRETRY);
  ASSERT_TRUE(testdriver::WaitUntilGone(failure, kWaitMs));
  HWND prompt = testdriver::FindMessageBox(run.process(), "温馨提示：", kWaitMs);
  ASSERT_NE(prompt, nullptr);
  ASSERT_EQ(Utf8(testdriver::ReadMessageBoxText(prompt)), Utf8(kFinalPrompt));
  testdriver::PressButton(prompt, IDNO);
  EXPECT_EQ(run.ExitCode(), 0u);
}

// A file of size bytes at path, written in 1 MiB pieces; false when the
// disk took less.
bool WriteFiller(const std::string& path, uint64_t size) {
  HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  std::string piece(1 << 20, 'f');
  bool ok = true;
  while (ok && size > 0) {
    DWORD part = static_cast<DWORD>(std::min<uint64_t>(size, piece.size())), put = 0;
    ok = WriteFile(f, piece.data(), part, &put, nullptr) && put == part;
    size -= part;
  }
  return CloseHandle(f) && ok;
}

uint64_t FreeBytes(const std::string& drive) {
  ULARGE_INTEGER available = {}, total = {}, free = {};
  if (!GetDiskFreeSpaceExW(Wide(drive + "\\").c_str(), &available, &total, &free)) return 0;
  return available.QuadPart;
}

uint64_t TotalSize(const ProductVersion& version) {
  uint64_t size = 0;
  for (const std::string& file : version.files) size += ziptest::ReadBytes(version.Source(file)).size();
  return size;
}

// Chooses folder in the setup program's folder browser and presses OK: the
// browser is asked to select it in its tree (BFFM_SETSELECTIONW, with the
// path placed in the program's memory, where the browser reads it). The
// browser's answer does not come back through a dialog's message result:
// the label shows whether it found the folder. False when the browser does
// not come or go, or the request could not be made.
bool ChooseInBrowserByPath(SetupRun& run, HWND label, const std::string& folder) {
  PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  HWND browser = testdriver::FindMessageBox(run.process(), nullptr, kWaitMs);
  if (!browser || !testdriver::FindChildByClass(browser, "SysTreeView32")) return false;
  Sleep(300);
  std::wstring wide = Wide(folder);
  SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
  HANDLE process = run.process().process.Get();
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  DWORD_PTR ignored = 0;
  bool asked = remote && WriteProcessMemory(process, remote, wide.c_str(), bytes, nullptr) &&
               SendMessageTimeoutW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote),
                                   SMTO_ABORTIFHUNG, kWaitMs, &ignored);
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  testdriver::PressButton(browser, asked ? IDOK : IDCANCEL);
  return testdriver::WaitUntilGone(browser, kWaitMs) && asked;
}

// The small disk as a drive of the system while it lives. The prefix links
// the drive letter to the disk already, which is enough to open files there;
// defining the drive also lists it among the computer's drives, where the
// folder browser finds it.
class SmallDrive {
 public:
  SmallDrive(const std::string& drive, const std::string& disk) : drive_(Wide(drive)) {
    defined_ = DefineDosDeviceW(0, drive_.c_str(), Wide(disk).c_str()) != 0;
  }
  ~SmallDrive() {
    if (defined_) DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive_.c_str(), nullptr);
  }
  bool Defined() const { return defined_; }

 private:
  std::wstring drive_;
  bool defined_ = false;
};

// The disk fills up in the middle of an update: the failure prompt, the
// files written so far complete and the rest still the previous version's;
// once space is freed, Retry completes the update.
TEST(InstallerFaults, DiskFullFailsPartWayAndRetryCompletesOnceSpaceIsFreed) {
  std::string drive = Environment("FAULTS_SMALL_DRIVE");
  if (drive.empty()) GTEST_SKIP() << "no small disk: " << Environment("FAULTS_NO_SMALL_DRIVE");
  SmallDrive smallDrive(drive, Environment("FAULTS_SMALL_DISK"));
  ASSERT_TRUE(smallDrive.Defined()) << GetLastError();
  const ProductVersion previous = Version("small-old"), current = Version("small-new");
  ASSERT_FALSE(current.files.empty()) << "no product in " << Utf8(current.folder) << " (installer_faults.sh makes it)";
  const std::string folder = drive + "\\" + kProduct;
  const std::string filler = drive + "\\filler.bin";
  ziptest::RemoveTree(folder);
  DeleteFileW(Wide(filler).c_str());

  ASSERT_EQ(InstallSilently(previous, folder), 0u);
  ASSERT_EQ(DiffersFrom(folder, previous), "");
  // Room for about half of the new version beside the previous one.
  uint64_t newSize = TotalSize(current);
  uint64_t free = FreeBytes(drive);
  ASSERT_GT(free, newSize / 2);
  ASSERT_TRUE(WriteFiller(filler, free - newSize / 2));

  SetupRun run(current.installer.c_str());
  HWND label = run.FolderLabel();
  ASSERT_NE(label, nullptr);
  ASSERT_TRUE(ChooseInBrowserByPath(run, label, drive + "\\"));
  ASSERT_EQ(Utf8(testdriver::GetTextOf(label)), Utf8(folder));
  HWND failure = run.InstallToPrompt();
  ExpectFailurePrompt(failure);
  if (HasFatalFailure()) return;
  SaveScreen("disk-full");
  EXPECT_EQ(run.LogText(), "2.开始解压..");

  FolderState state = StateOf(folder, previous, current);
  EXPECT_EQ(Joined(state.broken), "");
  EXPECT_GT(state.current, 0) << "the disk should have taken part of the update";
  EXPECT_GT(state.previous, 0) << "the disk should have filled before the end of the update";

  ASSERT_TRUE(DeleteFileW(Wide(filler).c_str()));
  RetryToCompletion(run, failure);
  EXPECT_EQ(DiffersFrom(folder, current), "");
  EXPECT_EQ(Joined(StagingFilesUnder(folder)), "");
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  RemoveInstall(folder);
}

// True when subfolder of folder shows a file being written: a file of a name
// neither version has, or one whose size is neither version's size for it.
// Whatever name the installer writes under, it is caught in the middle of a
// file. (One subfolder: a look at the whole folder takes longer than a file
// takes to write under Wine.)
bool FileBeingWritten(const std::string& folder, const std::string& subfolder,
                      const std::map<std::string, uint64_t>& previous, const std::map<std::string, uint64_t>& current) {
  std::map<std::string, uint64_t> sizes;
  ListSizesUnder(folder + "\\" + subfolder, subfolder + "\\", &sizes);
  for (const auto& file : sizes) {
    auto before = previous.find(file.first), after = current.find(file.first);
    if (after == current.end()) return true;
    if (file.second != after->second && (before == previous.end() || file.second != before->second)) return true;
  }
  return false;
}

// setup.exe killed while it extracts a large update, in the middle of one of
// its large files (art\): no file is left half-written under its own name,
// and the next run completes the update and leaves no staging file.
TEST(InstallerFaults, KilledDuringExtractionLeavesNoHalfFileAndTheNextRunCompletes) {
  const ProductVersion previous = Version("large-old"), current = Version("large-new");
  ASSERT_FALSE(current.files.empty()) << "no product in " << Utf8(current.folder) << " (installer_faults.sh makes it)";
  const std::string folder = FreshDefaultFolder();
  ASSERT_EQ(InstallSilently(previous, folder), 0u);
  ASSERT_EQ(DiffersFrom(folder, previous), "");
  const std::map<std::string, uint64_t> previousSizes = SizesUnder(previous.folder);
  const std::map<std::string, uint64_t> currentSizes = SizesUnder(current.folder);

  {
    SetupRun run(current.installer.c_str());
    ASSERT_NE(run.Window(), nullptr);
    HWND bar = testdriver::FindChildByClass(run.Window(), "msctls_progress32");
    ASSERT_NE(bar, nullptr);
    run.StartInstall();
    // The bar is shown just before the extraction starts; the kill comes as
    // soon as a large file is seen half-written after that. (Its position
    // comes too late to wait for: the bar shows positions at most every 40
    // ms, and by its first step some of the large files are done.)
    bool shown = false;
    for (DWORD waited = 0; waited < kWaitMs && !shown; waited += 2) {
      Sleep(2);
      shown = IsWindowVisible(bar) != FALSE;
    }
    ASSERT_TRUE(shown) << "the progress bar never appeared";
    bool caught = false;
    for (int scan = 0; scan < 20000; ++scan) {
      caught = FileBeingWritten(folder, "art", previousSizes, currentSizes);
      if (caught) break;
      if (testdriver::FindMessageBox(run.process(), "温馨提示：", 0) ||
          testdriver::WaitForExit(run.process(), 0, nullptr) != testdriver::WaitResult::kTimedOut)
        break;
    }
    ASSERT_TRUE(testdriver::Kill(run.process()));
    ASSERT_TRUE(caught) << "no file was seen half-written before the extraction ended";
  }

  FolderState state = StateOf(folder, previous, current);
  EXPECT_EQ(Joined(state.broken), "");
  EXPECT_GT(state.current, 0);
  EXPECT_GT(state.previous, 0) << "the kill should have come before the end of the extraction";

  SetupRun again(current.installer.c_str());
  ASSERT_NE(again.Window(), nullptr);
  HWND prompt = again.InstallToPrompt();
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(Utf8(testdriver::ReadMessageBoxText(prompt)), Utf8(kFinalPrompt));
  testdriver::PressButton(prompt, IDNO);
  EXPECT_EQ(again.ExitCode(), 0u);
  EXPECT_EQ(DiffersFrom(folder, current), "");
  EXPECT_EQ(Joined(StagingFilesUnder(folder)), "");
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  RemoveInstall(folder);
}

// An update while another program holds one of the product's files open
// without sharing: that file keeps its content and the failure prompt comes.
// Cancel ends with code 0, the archive removed and no staging file; a second
// run's Retry after the file is let go completes the update.
TEST(InstallerFaults, LockedFileKeepsItsContentAndRetryAfterUnlockCompletesTheUpdate) {
  const ProductVersion previous = Version("small-old"), current = Version("small-new");
  ASSERT_FALSE(current.files.empty()) << "no product in " << Utf8(current.folder) << " (installer_faults.sh makes it)";
  const std::string folder = FreshDefaultFolder();
  ASSERT_EQ(InstallSilently(previous, folder), 0u);
  ASSERT_EQ(DiffersFrom(folder, previous), "");

  // A file in the middle of the archive's order, so that the update fails
  // with files on both sides of it.
  const std::string lockedName = current.files[current.files.size() / 2];
  const std::string oldContent = ziptest::ReadBytes(previous.Source(lockedName));
  HeldFile lock(folder + "\\" + lockedName);
  ASSERT_TRUE(lock.IsHeld());

  {
    SetupRun run(current.installer.c_str());
    ASSERT_NE(run.Window(), nullptr);
    HWND failure = run.InstallToPrompt();
    ExpectFailurePrompt(failure);
    if (HasFatalFailure()) return;
    testdriver::PressButton(failure, IDCANCEL);
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  }
  EXPECT_TRUE(ReadThrough(lock.Get()) == oldContent) << Utf8(lockedName) << " changed while it was held open";
  FolderState state = StateOf(folder, previous, current, lockedName);
  EXPECT_EQ(Joined(state.broken), "");
  EXPECT_EQ(Joined(StagingFilesUnder(folder)), "");

  SetupRun run(current.installer.c_str());
  ASSERT_NE(run.Window(), nullptr);
  HWND failure = run.InstallToPrompt();
  ExpectFailurePrompt(failure);
  EXPECT_TRUE(ReadThrough(lock.Get()) == oldContent);
  lock.Release();
  if (HasFatalFailure()) return;
  RetryToCompletion(run, failure);
  EXPECT_EQ(DiffersFrom(folder, current), "");
  EXPECT_EQ(Joined(StagingFilesUnder(folder)), "");
  EXPECT_FALSE(ziptest::IsFile(TempArchive()));
  RemoveInstall(folder);
}

}  // namespace
