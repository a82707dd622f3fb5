#include "payload/shell_commands_win.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "frame/handles_win.h"
#include "payload/shell_rules.h"

namespace {

FrameServiceFn gShellFrameService = nullptr;

constexpr int kPathBuffer = 260;

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
const GUID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

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
  // One spare byte for the "\" that may be appended.
  char path[kPathBuffer + 1] = {};
  bool ok;
  if (selector >= 1 && selector <= 8) {
    ok = SHGetSpecialFolderPathA(nullptr, path, CsidlOfSelector(selector), FALSE) != FALSE;
  } else if (selector == 9) {
    UINT n = GetWindowsDirectoryA(path, kPathBuffer);
    ok = n > 0 && n < kPathBuffer;
  } else if (selector == 10) {
    UINT n = GetSystemDirectoryA(path, kPathBuffer);
    ok = n > 0 && n < kPathBuffer;
  } else if (selector == 11) {
    DWORD n = GetTempPathA(kPathBuffer, path);
    ok = n > 0 && n < kPathBuffer;
  } else {
    return;
  }
  if (!ok) return;
  size_t length = std::strlen(path);
  if (length > 0 && path[length - 1] != '\\') {
    if (length + 1 >= kPathBuffer) return;  // no room for the separator and the NUL
    path[length++] = '\\';
    path[length] = '\0';
  }
  if (length == 0) return;
  *result = MakeText(NewFrameText(path, length));
}

void CreateShortcut(ArgValue* result, int argCount, const ArgValue* args) {
  *result = MakeInt(0);
  if (!IsGiven(args, argCount, 0) || !IsGiven(args, argCount, 1) || !args[0].text || !args[1].text) return;

  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA, link.Out())))
    return;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(kIidPersistFile, file.Out()))) return;

  link->SetPath(args[1].text);
  link->SetShowCmd(SW_SHOW);
  if (IsGiven(args, argCount, 2) && args[2].text) link->SetDescription(args[2].text);
  if (argCount == 5) {
    if (IsGiven(args, argCount, 3) && args[3].text) link->SetArguments(args[3].text);
    if (IsGiven(args, argCount, 4) && args[4].text) link->SetWorkingDirectory(args[4].text);
  }

  std::string name = LinkFileName(args[0].text);
  if (name.empty()) return;
  // The name fits 260 bytes, so it has at most 260 characters with its NUL.
  wchar_t wide[kPathBuffer];
  if (MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide, kPathBuffer) <= 0) return;
  if (SUCCEEDED(file->Save(wide, TRUE))) *result = MakeInt(1);
}
