// The install sequence: the notice and the worker started by the install
// button, writing the embedded archive out as tool.zip, the extraction with
// its progress, and the completion (shortcut, final prompt, optional start,
// clean-up, exit).
//
// The worker finishes by Extract's result, not at the 100 % event: the unit
// raises that event also after a failed extraction, and an install that
// failed must not be reported as done. A failed extraction offers Retry and
// Cancel instead. One install runs at a time, into the folder the label
// showed at the click; while it runs the install button and the folder
// label ignore the user.
#include <windows.h>

#include <string>
#include <vector>

#include "frame/blocks.h"
#include "frame/core_commands.h"
#include "frame/message_text.h"
#include "frame/wide_text_win.h"
#include "installer/install_guard_win.h"
#include "installer/install_rules.h"
#include "installer/install_settings.h"
#include "installer/installer_window.h"
#include "payload/payload_archive.h"
#include "payload/shell_commands_win.h"
#include "payload/shell_rules.h"
#include "payload/threads_win.h"
#include "payload/zip_extract_win.h"
#include "payload/zip_unit_win.h"

extern "C" const uint8_t DonePicture[];

namespace {

constexpr uint32_t kFlagsRetryCancelError = MB_RETRYCANCEL | MB_ICONERROR;
constexpr uint32_t kFlagsYesNoInformation = MB_YESNO | MB_ICONINFORMATION;
// Most "tool_N.zip" names tried at a drive root before giving up.
constexpr int kMaxRootArchiveAttempts = 1000;

const char kNotice[] =
    "由于系列正版软件都作了加壳加密处理\r\n如果部分杀毒软件提示警告，请允许即可！\r\n\r\n"
    "软件干净无毒无木马~~支持正版 谢谢大家\r\n"
    "软件安装好后，建议把安装的软件目录加入杀毒软件信任，再运行软件，以免影响部分功能使用。\r\n"
    "可以阅读软件安装说明";
const char kStepWriting[] = "1.释放压缩包..";
const char kStepExtracting[] = "2.开始解压..";
const char kShortcutMade[] = "3.创建快捷方式..成功";
const char kShortcutFailed[] = "3.创建快捷方式..失败";
const char kWriteFailed[] = "写入失败！Windows7请以管理员身份运行，建议关闭杀毒，再重试\r\n《确定》后将关闭本安装程序";
const char kExtractFailed[] =
    "安装失败！部分文件无法写入，软件可能正在运行。\r\n请关闭正在运行的软件后点<重试>，点<取消>退出安装";
const char kFinalPrompt[] = "安装完成！\r\n点<是>将启动软件\r\n点<否>不启动,可以在桌面启动软件";
const char kPromptCaption[] = "温馨提示：";
const char kDamaged[] = "安装程序已损坏！请重新下载后再安装\r\n《确定》后将关闭本安装程序";

volatile LONG gInstallRunning = 0;
// The progress bar's maximum during the extraction; written by the worker
// before the extraction starts, read by the progress handler on that thread.
int32_t gBarMaximum = 0;
// The folder shown at the click; written before the worker starts.
std::string gInstallFolder;
// The topmost folder the install creates (empty when the folder was there at
// the click): what a called-off first install removes again.
std::wstring gCreatedFolder;

// Where the worker is. A close while the archive is written out or extracted
// calls the install off (kExtracting -> kCalledOff, on the window thread); the
// worker, at the next entry boundary, cleans up and ends the program. Once
// the worker has gone on to the shortcut and the prompt (kFinishing) a close
// ends the program at once, as before the click.
enum InstallPhase : LONG { kIdle, kExtracting, kCalledOff, kFinishing };
volatile LONG gPhase = kIdle;

bool CalledOff() { return gPhase == kCalledOff; }

ArgValue Text(const char* text) { return MakeText(text); }

int ShowBox(const char* text, uint32_t flags, const char* caption) {
  if (caption) return CallCore(CmdShowMessageBox, {Text(text), MakeInt(static_cast<int32_t>(flags)), Text(caption)}).i32;
  return CallCore(CmdShowMessageBox, {Text(text), MakeInt(static_cast<int32_t>(flags))}).i32;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(WideFromGbk(path.c_str()).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Writes the archive to path; a file left behind by a failed write counts as
// written, so that the end removes it.
bool WriteArchive(const std::string& path, std::vector<std::string>* written) {
  bool ok = CallCore(CmdWriteBytesToFile, {Text(path.c_str()), MakeBytes(PayloadArchiveBlock())}).i32 != 0;
  if (ok || FileExists(path)) written->push_back(path);
  return ok;
}

// Removes what this run wrote, the drive-root archive before the temporary one.
void RemoveArchives(const std::vector<std::string>& written) {
  for (auto it = written.rbegin(); it != written.rend(); ++it) CallCore(CmdRemoveFile, {Text(it->c_str())});
}

std::string SpecialFolder(int selector) {
  ArgValue folder = CallLibrary(GetSpecialFolder, {MakeInt(selector)});
  std::string path = folder.text ? folder.text : "";
  FreeBlock(const_cast<char*>(folder.text));
  return path;
}

// The archive at the root of the folder's drive: "X:\tool.zip", or the first
// free "X:\tool_N.zip" when a file of that name is already there (it is not
// ours to replace). Empty when no name is free.
std::string FreeRootArchivePath(const std::string& folder) {
  for (int attempt = 0; attempt < kMaxRootArchiveAttempts; ++attempt) {
    std::string path = DriveRootArchivePath(folder, attempt);
    if (path.empty() || !FileExists(path)) return path;
  }
  return std::string();
}

int ExtractInto(const std::string& archive, const std::string& folder) {
  ArgValue unit{};
  UnitRef ref = {kMainWindow, kZipUnit};
  memcpy(unit.raw, &ref, sizeof ref);
  unit.tag = kTagZipUnit;
  return CallLibrary(Extract, {unit, Text(archive.c_str()), Text(folder.c_str())}).i32;
}

// Writes the archive out: to the temporary folder, else to the root of the
// install folder's drive. Returns its path, or empty when neither worked.
std::string WriteArchiveOut(const std::string& folder, std::vector<std::string>* written) {
  std::string temp = SpecialFolder(kFolderTemp);
  if (!temp.empty() && WriteArchive(TempArchivePath(temp), written)) return TempArchivePath(temp);
  std::string root = FreeRootArchivePath(folder);
  if (!root.empty() && WriteArchive(root, written)) return root;
  return std::string();
}

// The desktop shortcut to the installed product; true when it was made.
bool MakeShortcut(const std::string& folder) {
  const char* productName = Settings().productName ? Settings().productName : "";
  std::string link = SpecialFolder(kFolderDesktop) + productName;
  std::string target = ProductExePath(folder, productName);
  return CallLibrary(CreateShortcut, {Text(link.c_str()), Text(target.c_str())}).i32 == 1;
}

void Finish(const std::string& folder, const std::vector<std::string>& written) {
  const char* productName = Settings().productName ? Settings().productName : "";
  gSystem.WriteUnitProperty(kMainWindow, kInstallButton, kPicBtnNormalPicture, -1,
                            PropertyValue(DonePicture));
  gSystem.WriteUnitProperty(kMainWindow, kInstallButton, kPicBtnHoverPicture, -1,
                            PropertyValue(DonePicture));

  WriteTextProperty(kLogLabel, kLabelCaption, MakeShortcut(folder) ? kShortcutMade : kShortcutFailed);

  if (ShowBox(kFinalPrompt, kFlagsYesNoInformation, kPromptCaption) == kAnswerYes) {
    // Started as a shortcut would start it: quoted when the path has a space,
    // in its own folder.
    std::string commandLine = CommandLineFor(ProductExePath(folder, productName));
    CallCore(CmdRunProgram, {Text(commandLine.c_str()), MakeBool(false), MakeInt(2), Text(folder.c_str())});
  }
  WriteIntProperty(kProgressBar, kPropVisible, 0);
  RemoveArchives(written);
  CallDll(kDllCoUninitialize, {});
  gSystem.ExitProgram(0);
}

// A called-off install: the archives and, for a first install, the folders
// it made are removed; the program ends with 0 and no box.
void Abandon(const std::vector<std::string>& written) {
  RemoveArchives(written);
  if (!gCreatedFolder.empty()) RemoveFolderTree(gCreatedFolder);
  CallDll(kDllCoUninitialize, {});
  gSystem.ExitProgram(0);
}

DWORD WINAPI InstallWorker(void*) {
  CallDll(kDllCoInitialize, {0});
  const std::string folder = gInstallFolder;
  // A damaged download is refused before anything is written.
  if (!PayloadArchiveIntact()) {
    ShowBox(kDamaged, 0, nullptr);
    gSystem.ExitProgram(0);
  }
  WriteTextProperty(kLogLabel, kLabelCaption, kStepWriting);

  std::vector<std::string> written;
  std::string archive = WriteArchiveOut(folder, &written);
  if (CalledOff()) Abandon(written);
  if (archive.empty()) {
    ShowBox(kWriteFailed, 0, nullptr);
    RemoveArchives(written);
    gSystem.ExitProgram(0);
  }

  WriteIntProperty(kProgressBar, kPropVisible, 1);
  // The bar's range stays as it is for the whole install: read once here,
  // not once per entry (each read is a round trip to the window thread).
  gBarMaximum = static_cast<int32_t>(gSystem.ReadUnitProperty(kMainWindow, kProgressBar, kBarMaximum, -1));
  WriteTextProperty(kLogLabel, kLabelCaption, kStepExtracting);
  // A call-off stops the extraction after the entry in hand (the progress
  // handler asks for it), with the result of a stop: success.
  for (;;) {
    const int result = ExtractInto(archive, folder);
    if (CalledOff()) Abandon(written);
    if (result == 1) break;
    if (ShowBox(kExtractFailed, kFlagsRetryCancelError, kPromptCaption) != kAnswerRetry) {
      RemoveArchives(written);
      gSystem.ExitProgram(0);
    }
  }
  if (InterlockedCompareExchange(&gPhase, kFinishing, kExtracting) != kExtracting) Abandon(written);
  Finish(folder, written);
  return 0;
}

}  // namespace

int SilentInstall(const std::string& folder) {
  HWND holder = nullptr;
  if (ClaimInstallFolder(folder, nullptr, &holder) == FolderClaim::kHeldByAnother) return kExitFolderBusy;
  if (!PayloadArchiveIntact()) return kExitDamaged;
  CallDll(kDllCoInitialize, {0});
  std::vector<std::string> written;
  std::string archive = WriteArchiveOut(folder, &written);
  int code = kExitInstalled;
  if (archive.empty()) {
    code = kExitArchiveNotWritten;
  } else if (ExtractArchive(archive.c_str(), folder.c_str(), nullptr, nullptr) != kExtractSucceeded) {
    code = kExitExtractionFailed;
  } else if (!MakeShortcut(folder)) {
    code = kExitShortcutFailed;
  }
  RemoveArchives(written);
  CallDll(kDllCoUninitialize, {});
  return code;
}

bool InstallRunning() { return gInstallRunning != 0; }

bool CallInstallOff() {
  const LONG was = InterlockedCompareExchange(&gPhase, kCalledOff, kExtracting);
  if (was == kExtracting) WriteIntProperty(kWindowSelfUnit, kPropVisible, 0);
  return was == kExtracting || was == kCalledOff;
}

HandlerResult OnInstallClicked(const int32_t*, int) {
  if (InterlockedCompareExchange(&gInstallRunning, 1, 0) != 0) return NoValue();
  gInstallFolder = ReadTextProperty(kFolderLabel, kLabelCaption);
  // One setup program at a time writes into a folder: a second one shows
  // the first and leaves.
  HWND holder = nullptr;
  if (ClaimInstallFolder(gInstallFolder, MainWindowHandle(), &holder) == FolderClaim::kHeldByAnother) {
    BringToFront(holder);
    gSystem.ExitProgram(0);
  }
  gCreatedFolder = FirstMissingFolder(gInstallFolder);
  ShowBox(kNotice, 0, nullptr);
  ArgValue entry{};
  entry.ptr = reinterpret_cast<void*>(&InstallWorker);
  entry.tag = kTagSubroutine;
  InterlockedExchange(&gPhase, kExtracting);
  if (!CallLibrary(StartThread, {entry}).i32) {
    InterlockedExchange(&gPhase, kIdle);
    InterlockedExchange(&gInstallRunning, 0);
  }
  return NoValue();
}

HandlerResult OnExtractProgress(const int32_t* args, int argCount) {
  // An archive of many small entries raises the same percentage many times
  // over; the bar is only told when its position changes.
  static int32_t lastPosition = -1;
  int32_t percent = argCount > 0 ? args[0] : 0;
  double maximum = static_cast<double>(gBarMaximum);
  int32_t position = static_cast<int32_t>(maximum / 100.0 * percent);
  if (position != lastPosition) WriteIntProperty(kProgressBar, kBarPosition, position);
  lastPosition = position;
  // A false reply stops the extraction after this entry.
  return CalledOff() ? Returns(0) : NoValue();
}
