// The installer program: its descriptor for the frame (handler table, unit
// types of its libraries, declared DLL commands, embedded form data), its
// entry, the property helpers of the handlers and the close handler.
#include <windows.h>

#include <float.h>

#include <cstring>

#include <vector>

#include "frame/blocks.h"
#include "frame/core_commands.h"
#include "frame/frame_api.h"
#include "frame/wide_text_win.h"
#include "installer/install_rules.h"
#include "installer/install_settings.h"
#include "installer/installer_window.h"
#include "payload/payload_archive.h"
#include "payload/shell_commands_win.h"
#include "payload/threads_win.h"
#include "payload/zip_unit_win.h"
#include "ui/widgets.h"

extern "C" const uint8_t gConstantStart[];
extern "C" const uint8_t gConstantEnd[];
// The compiled form data, embedded as a byte array (count, length, bytes).
extern "C" const uint8_t FormData[];

namespace {

const char kProductDataError[] = "载入安装数据出错!";
const char kUsageCaption[] = "安装程序";
const char kUsage[] =
    "用法：setup.exe [/S [/D=安装目录]]\r\n\r\n"
    "/S\t静默安装：不显示窗口，不提示，不启动软件\r\n"
    "/D=\t安装目录，放在最后，可含空格；不给出时用默认目录\r\n"
    "/?\t显示本说明";

// The arguments after the program's name, as GBK text; a line with a
// character GBK lacks is not one we understand.
SetupArguments CommandLineArguments() {
  std::string line;
  if (!GbkFromWide(GetCommandLineW(), &line)) {
    SetupArguments bad;
    bad.bad = true;
    bad.silent = true;
    return bad;
  }
  return ParseSetupArguments(ArgumentsAfterProgramName(line));
}

// Indexed by InstallerDllCommand.
const char* const kDllLibraries[kDllCommandCount] = {
    "kernel32.dll", "ole32.dll", "ole32.dll", "shell32", "shell32", "shell32", "ole32",
};
const char* const kDllCommands[kDllCommandCount] = {
    "GetDiskFreeSpaceExW",  "CoInitialize",         "CoUninitialize", "SHGetFolderLocation",
    "SHBrowseForFolderW",   "SHGetPathFromIDListW", "CoTaskMemFree",
};

// In the order of ui/installer_routines.txt: the form stores index * 4.
const EventHandler kHandlers[] = {
    OnMainWindowCreated, OnInstallClicked, OnExtractProgress, OnFolderLabelPressed, OnCloseClicked,
    OnCloseRequested,
};

// Library 1: the window unit and the widgets, indexed by unit number - 1.
const UnitTypeDescriptor* const kCoreUnitTypes[0x2D] = {
    &gWindowUnitType, nullptr, nullptr, nullptr, nullptr, &gPicBoxUnitType,  // 0x01..0x06
    nullptr, nullptr, nullptr, &gLabelUnitType,                                // 0x07..0x0A
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,   // 0x0B..0x12
    &gProcessBarUnitType,                                                      // 0x13
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,   // 0x14..0x1B
    nullptr, nullptr, nullptr, nullptr, &gTimerUnitType,                       // 0x1C..0x20
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,   // 0x21..0x28
    nullptr, nullptr, nullptr, nullptr, &gPicBtnUnitType,                      // 0x29..0x2D
};
const UnitTypeDescriptor* const kSkinUnitTypes[5] = {nullptr, nullptr, nullptr, nullptr, &gTransLabelUnitType};
const UnitTypeDescriptor* const kZipUnitTypes[1] = {&gZipUnitType};

const LibraryInfo kLibraries[] = {
    {"core", WidgetLibraryNotify, kCoreUnitTypes, 0x2D},
    {"skin", WidgetLibraryNotify, kSkinUnitTypes, 5},
    {"shell", ShellLibraryNotify, nullptr, 0},
    {"zip", ZipLibraryNotify, kZipUnitTypes, 1},
    {"threads", ThreadLibraryNotify, nullptr, 0},
};

void Cleanup() { CleanupInstallSettings(); }

uint32_t ByteArrayLength(const uint8_t* array) {
  uint32_t length;
  memcpy(&length, array + 4, 4);
  return length;
}

ArgValue CallCommand(ArgValue (*caller)(CommandFn, int, const ArgValue*), CommandFn command,
                     std::initializer_list<ArgValue> args) {
  return caller(command, static_cast<int>(args.size()), args.begin());
}

}  // namespace

const ProgramDescriptor gProgramDescriptor = {
    3,
    kHandlers,
    static_cast<int>(sizeof kHandlers / sizeof kHandlers[0]),
    gConstantStart,
    static_cast<size_t>(gConstantEnd - gConstantStart),
    FormData + 8,
    ByteArrayLength(FormData),
    static_cast<int>(sizeof kLibraries / sizeof kLibraries[0]),
    kLibraries,
    kDllCommandCount,
    kDllLibraries,
    kDllCommands,
};

int ProgramEntry() {
  gSystem.RuntimeService(kServiceInitialise, 0, 0, 0);
  const SetupArguments arguments = CommandLineArguments();
  // A silent install shows nothing, not even the usage box.
  if (arguments.bad && arguments.silent) gSystem.ExitProgram(kExitUsage);
  if (arguments.bad || arguments.usage) {
    MessageBoxGbk(nullptr, kUsage, kUsageCaption, MB_OK | MB_ICONINFORMATION);
    gSystem.ExitProgram(arguments.bad ? kExitUsage : kExitInstalled);
  }
  // The brand row, the product and the archive come from the product section
  // that setup-pack wrote; a program without one has nothing to install.
  if (!ThisProgramProduct()) {
    if (arguments.silent) gSystem.ExitProgram(kExitNoProduct);
    RaiseFatal(0, kProductDataError);
  }
  _fpreset();
  InitialiseInstallSettings();
  gSystem.RuntimeService(kServiceRegisterCleanup, reinterpret_cast<intptr_t>(&Cleanup), 0, 0);
  if (arguments.silent) {
    if (LoadProductSettings() != 0) gSystem.ExitProgram(kExitNoProduct);
    gSystem.ExitProgram(SilentInstall(arguments.folder.empty() ? DefaultInstallFolder() : arguments.folder));
  }
  gSystem.LoadStartWindow(kMainWindow);
  // The window is up: the payload is checked while the user looks at it, not
  // after the click.
  StartPayloadCheck();
  gSystem.RunMessageLoop();
  return 0;
}

void WriteIntProperty(uint32_t unitId, int property, int32_t value) {
  gSystem.WriteUnitProperty(kMainWindow, unitId, property, -1, PropertyValue(value));
}

void WriteTextProperty(uint32_t unitId, int property, const char* text) {
  gSystem.WriteUnitProperty(kMainWindow, unitId, property, -1, PropertyValue(text));
}

std::string ReadTextProperty(uint32_t unitId, int property) {
  auto* block = PropertyPointer<char>(gSystem.ReadUnitProperty(kMainWindow, unitId, property, -1));
  std::string text = block ? block : "";
  FreeBlock(block);
  return text;
}

uint64_t CallDll(int index, std::initializer_list<DllArg> args) {
  return gSystem.CallDllCommand(index, static_cast<int>(args.size()), args.begin());
}

ArgValue CallCore(CommandFn command, std::initializer_list<ArgValue> args) {
  return CallCommand(gSystem.CallCoreCommand, command, args);
}

ArgValue CallLibrary(CommandFn command, std::initializer_list<ArgValue> args) {
  return CallCommand(gSystem.CallLibraryCommand, command, args);
}

HWND MainWindowHandle() {
  UnitRef window = {kMainWindow, kWindowSelfUnit};
  ArgValue windowArg{};
  windowArg.ptr = &window;
  windowArg.tag = kTagInt;
  return static_cast<HWND>(CallCore(CmdGetUnitWindowHandle, {windowArg}).ptr);
}

HandlerResult OnCloseClicked(const int32_t*, int) {
  if (!CallInstallOff()) gSystem.ExitProgram(0);
  return NoValue();
}

// The window's own close (Alt+F4, the taskbar, the end of a session): kept
// while a called-off install cleans up, as always otherwise.
HandlerResult OnCloseRequested(const int32_t*, int) { return CallInstallOff() ? Returns(0) : NoValue(); }
