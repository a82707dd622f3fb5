// The installer program: its descriptor for the frame and its entry.
#include <windows.h>

#include <float.h>

#include "frame/frame_api.h"
#include "installer/install_settings.h"

namespace {

const char* const kDllLibraries[] = {
    "kernel32.dll", "ole32.dll", "ole32.dll", "shell32", "shell32", "shell32", "ole32",
};
const char* const kDllCommands[] = {
    "GetDiskFreeSpaceExA",  "CoInitialize",         "CoUninitialize", "SHGetFolderLocation",
    "SHBrowseForFolderA",   "SHGetPathFromIDListA", "CoTaskMemFree",
};

const LibraryInfo kLibraries[] = {
    {"core", nullptr, nullptr, 0},
    {"skin", nullptr, nullptr, 0},
    {"shell", nullptr, nullptr, 0},
    {"zip", nullptr, nullptr, 0},
    {"threads", nullptr, nullptr, 0},
};

void Cleanup() { CleanupInstallSettings(); }

}  // namespace

extern "C" const uint8_t gConstantStart[];
extern "C" const uint8_t gConstantEnd[];

const ProgramDescriptor gProgramDescriptor = {
    3,
    nullptr,
    0,
    gConstantStart,
    static_cast<size_t>(gConstantEnd - gConstantStart),
    nullptr,
    0,
    static_cast<int>(sizeof kLibraries / sizeof kLibraries[0]),
    kLibraries,
    static_cast<int>(sizeof kDllCommands / sizeof kDllCommands[0]),
    kDllLibraries,
    kDllCommands,
};

int ProgramEntry() {
  gSystem.RuntimeService(kServiceInitialise, 0, 0, 0);
  _fpreset();
  InitialiseInstallSettings();
  gSystem.RuntimeService(kServiceRegisterCleanup, reinterpret_cast<intptr_t>(&Cleanup), 0, 0);
  gSystem.RunMessageLoop();
  return 0;
}
