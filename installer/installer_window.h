// The installer's window and the units its logic addresses (ids as the form
// ui/installer_form.json gives them), the property numbers it reads and
// writes, the handler routines bound in the form, and the small property
// helpers they share. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "frame/frame_api.h"
#include "frame/property_values.h"
#include "frame/value.h"
#include "ui/label_record.h"
#include "ui/pic_btn_record.h"
#include "ui/process_bar_record.h"

constexpr uint32_t kMainWindow = 0x52010001;
constexpr uint32_t kLogLabel = 0x160100A0;      // 标签_日志
constexpr uint32_t kProgressBar = 0x16010066;   // 进度条1
constexpr uint32_t kZipUnit = 0x1601005A;       // ZIP压缩1
constexpr uint32_t kInstallButton = 0x16010021; // 图形按钮1
constexpr uint32_t kFolderLabel = 0x1601001E;   // 标签_安装目录

// The installer's declared DLL commands, numbered in the order of the
// program's command table.
enum InstallerDllCommand : int {
  kDllGetDiskFreeSpaceEx,
  kDllCoInitialize,
  kDllCoUninitialize,
  kDllShGetFolderLocation,
  kDllShBrowseForFolder,
  kDllShGetPathFromIdList,
  kDllCoTaskMemFree,
  kDllCommandCount,
};

// Handler routines (the form binds them by their place in the handler table).
HandlerResult OnMainWindowCreated(const int32_t* args, int argCount);
HandlerResult OnInstallClicked(const int32_t* args, int argCount);
HandlerResult OnExtractProgress(const int32_t* args, int argCount);
HandlerResult OnFolderLabelPressed(const int32_t* args, int argCount);
HandlerResult OnCloseClicked(const int32_t* args, int argCount);
HandlerResult OnCloseRequested(const int32_t* args, int argCount);

// QueryDiskSpace: GetDiskFreeSpaceExA on drive through its DLL command, the
// sizes in whole MiB into *used, *free and *total (unchanged when the call
// fails). Returns the call's result (non-zero on success).
int32_t QueryDiskSpace(const char* drive, int64_t* used, int64_t* free, int64_t* total);

// The build's brand row and product into the install settings (product list,
// names and name). 0 when they name a product, else the runtime error the
// window reports at start: 4 for an index below 1, 1 for one past the list.
int LoadProductSettings();

// The default folder after LoadProductSettings: "D:\" when drive D: has room
// (else "C:\"), the brand's folder name and the product's name.
std::string DefaultInstallFolder();

// Installs into folder with no window and no box: the archive written out,
// extracted, the desktop shortcut made, the archive removed; nothing is
// started. Returns a SilentExitCode.
int SilentInstall(const std::string& folder);

// BrowseForFolder: the shell's folder browser owned by `owner`; the chosen
// folder, or empty. title null: "请选择文件夹路径".
std::string BrowseForFolder(uintptr_t owner, const char* title);

// True while an install worker runs: the install button and the folder
// label then ignore the user.
bool InstallRunning();

// Called by a close of the window: while the archive is written out or
// extracted, calls the install off (the window is hidden, the worker cleans
// up and ends the program) and returns true; also true when it already was.
// False before the click and once the install has finished extracting.
bool CallInstallOff();

// The main window's handle.
HWND MainWindowHandle();

// Property access on the main window's units.
void WriteIntProperty(uint32_t unitId, int property, int32_t value);
void WriteTextProperty(uint32_t unitId, int property, const char* text);
// A text property as a string (the block is freed).
std::string ReadTextProperty(uint32_t unitId, int property);

// An address as a DLL-command argument.
inline DllArg Address(const void* p) { return reinterpret_cast<DllArg>(p); }
// A call of a declared DLL command; arguments are integers or addresses.
uint64_t CallDll(int index, std::initializer_list<DllArg> args);

// Calls a core or library command; texts in the result stay the caller's.
ArgValue CallCore(CommandFn command, std::initializer_list<ArgValue> args);
ArgValue CallLibrary(CommandFn command, std::initializer_list<ArgValue> args);
