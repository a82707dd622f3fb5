#include "payload/shell_commands_win.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "frame/handles_win.h"
#include "frame/program_frame_win.h"
#include "frame/wide_text_win.h"
#include "payload/shell_rules.h"

namespace {

FrameServiceFn gShellFrameService = nullptr;

constexpr size_t kPathBuffer = 260;

// A text block of the frame's heap holding path, or null.
char* NewFrameText(const char* path, size_t length) {
  FrameServiceFn service = gShellFrameService;
  if (!service) return nullptr;
  auto* block = reinterpret_cast<char*>(service(kFsAllocate, static_cast<intptr_t>(length + 1), 0, 0));
  if (!block) return nullptr;
  std::memcpy(block, path, length + 1);
  return block;
}

int CsidlOfSelector(int selector) {
  static const int kCsidl[] = {CSIDL_PERSONAL, CSIDL_FAVORITES, CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS,
                               CSIDL_STARTMENU, CSIDL_PROGRAMS,  CSIDL_STARTUP,         CSIDL_APPDATA};
  return kCsidl[selector - 1];
}

// The shell link class and the two interfaces used, defined here rather than
// taken from the system's GUID library, which would link every GUID it holds.
const GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// SHGetSpecialFolderPathW, found when a shell folder is first asked for:
// shell32 (and shcore and shlwapi, which it brings) is not imported, so that
// loading it costs nothing before the window shows. Null when missing.
using SpecialFolderPathFn = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
SpecialFolderPathFn SpecialFolderPath() {
  static const SpecialFolderPathFn function = [] {
    HMODULE shell = LoadSystemLibrary("shell32.dll");
    return shell ? reinterpret_cast<SpecialFolderPathFn>(
                       reinterpret_cast<void*>(GetProcAddress(shell, "SHGetSpecialFolderPathW")))
                 : nullptr;
  }();
  return function;
}

}  // namespace

intptr_t ShellLibraryNotify(int code, intptr_t a1, intptr_t) {
  if (code != kNotifyFrameEntry) return -1;
  gShellFrameService = reinterpret_cast<FrameServiceFn>(a1);
  return 0;
}

void GetSpecialFolder(ArgValue* result, int argCount, const ArgValue* args) {
  *result = MakeText(nullptr);
  if (!IsGiven(args, argCount, 0)) return;
  int selector = args[0].i32;
  wchar_t path[MAX_PATH + 1] = {};
  bool ok;
  if (selector >= kFolderDocuments && selector <= kFolderAppData) {
    SpecialFolderPathFn specialFolderPath = SpecialFolderPath();
    ok = specialFolderPath && specialFolderPath(nullptr, path, CsidlOfSelector(selector), FALSE) != FALSE;
  } else if (selector == kFolderWindows) {
    UINT n = GetWindowsDirectoryW(path, MAX_PATH);
    ok = n > 0 && n < MAX_PATH;
  } else if (selector == kFolderSystem) {
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    ok = n > 0 && n < MAX_PATH;
  } else if (selector == kFolderTemp) {
    DWORD n = GetTempPathW(MAX_PATH, path);
    ok = n > 0 && n < MAX_PATH;
  } else {
    return;
  }
  if (!ok || !path[0]) return;
  std::wstring folder = path;
  if (folder.back() != L'\\') folder += L'\\';
  // The program keeps the folder as GBK text: a folder whose name holds a
  // character GBK lacks is given in its short form, which names it as well.
  std::string text;
  if (!GbkPathFromWide(folder, &text) || text.size() + 1 > kPathBuffer) return;
  *result = MakeText(NewFrameText(text.c_str(), text.size()));
}

void CreateShortcut(ArgValue* result, int argCount, const ArgValue* args) {
  *result = MakeInt(0);
  if (!IsGiven(args, argCount, 0) || !IsGiven(args, argCount, 1) || !args[0].text || !args[1].text) return;

  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkW, link.Out())))
    return;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(kIidPersistFile, file.Out()))) return;

  link->SetPath(WideFromGbk(args[1].text).c_str());
  link->SetShowCmd(SW_SHOW);
  if (IsGiven(args, argCount, 2) && args[2].text) link->SetDescription(WideFromGbk(args[2].text).c_str());
  if (argCount == 5) {
    if (IsGiven(args, argCount, 3) && args[3].text) link->SetArguments(WideFromGbk(args[3].text).c_str());
    if (IsGiven(args, argCount, 4) && args[4].text)
      link->SetWorkingDirectory(WideFromGbk(args[4].text).c_str());
  }

  std::string name = LinkFileName(args[0].text);
  if (name.empty()) return;
  if (SUCCEEDED(file->Save(WideFromGbk(name.c_str()).c_str(), TRUE))) *result = MakeInt(1);
}
