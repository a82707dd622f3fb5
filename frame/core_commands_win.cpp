#include "frame/core_commands.h"

#include <windows.h>

#include <string>

#include "frame/blocks.h"
#include "frame/handles_win.h"
#include "frame/message_text.h"
#include "frame/program_frame_win.h"
#include "frame/wide_text_win.h"

namespace {

const char* TextArg(const ArgValue* args, int count, int index) {
  if (!IsGiven(args, count, index) || !args[index].text) return "";
  return args[index].text;
}

// Window states of the run modes 1..6.
const WORD kShowByMode[] = {SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED,
                            SW_SHOWNOACTIVATE, SW_MINIMIZE};

}  // namespace

void CmdShowMessageBox(ArgValue* result, int argCount, const ArgValue* args) {
  char buffer[kMessageTextSize];
  ArgValue message = argCount > 0 ? args[0] : ArgValue{};
  const char* text = FormatMessageValue(message, buffer);
  uint32_t flags = IsGiven(args, argCount, 1) ? args[1].u32 : 0;
  const char* caption = IsGiven(args, argCount, 2) ? TextArg(args, argCount, 2)
                                                   : kDefaultMessageCaption;
  int pressed = MessageBoxGbk(nullptr, text, caption, MessageBoxStyle(flags));
  result->i32 = MapMessageBoxButton(pressed);
  result->tag = kTagInt;
}

void CmdRunProgram(ArgValue* result, int argCount, const ArgValue* args) {
  result->tag = kTagBool;
  result->i32 = 0;
  bool wait = IsGiven(args, argCount, 1) && args[1].i32 != 0;
  int mode = IsGiven(args, argCount, 2) ? args[2].i32 : 2;
  if (mode < 1) mode = 1;
  if (mode > 6) mode = 6;
  const char* folder = TextArg(args, argCount, 3);

  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = kShowByMode[mode - 1];
  PROCESS_INFORMATION pi = {};
  // CreateProcessW may write into the command line: it gets its own copy.
  std::wstring commandLine = WideFromGbk(TextArg(args, argCount, 0));
  std::wstring wideFolder = WideFromGbk(folder);
  BOOL created = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                folder[0] ? wideFolder.c_str() : nullptr, &si, &pi);
  if (!created) return;
  OwnedKernelHandle process(pi.hProcess), thread(pi.hThread);
  if (wait)
    WaitForSingleObject(process.get(), INFINITE);
  else
    WaitForInputIdle(process.get(), 1000);
  result->i32 = 1;
}

void CmdRemoveFile(ArgValue* result, int argCount, const ArgValue* args) {
  result->tag = kTagBool;
  result->i32 = DeleteFileW(WideFromGbk(TextArg(args, argCount, 0)).c_str()) ? 1 : 0;
}

void CmdWriteBytesToFile(ArgValue* result, int argCount, const ArgValue* args) {
  result->tag = kTagBool;
  result->i32 = 0;
  const char* path = TextArg(args, argCount, 0);
  if (!path[0]) return;
  // Windows refuses to truncate a read-only file; say so before opening,
  // since a file system that ignores the attribute (Wine run as root) would
  // otherwise replace it.
  std::wstring widePath = WideFromGbk(path);
  DWORD attributes = GetFileAttributesW(widePath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return;
  // A new file first, replacing only one that is there: replacing truncates,
  // and a file system may then push all the bytes to disk at the close
  // instead of in its own time (ext4 under Wine does).
  OwnedFile file(
      CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file && GetLastError() == ERROR_FILE_EXISTS)
    file.Reset(
        CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  bool ok = true;
  for (int i = 1; i < argCount && ok; ++i) {
    if (args[i].tag == kTagNone) continue;
    const uint8_t* data = nullptr;
    uint32_t len = 0;
    if (!ViewByteArray(args[i].ptr, &data, &len)) {
      ok = false;  // not a byte array: nothing sensible can be written
      break;
    }
    while (len > 0) {
      DWORD written = 0;
      if (!WriteFile(file.get(), data, len, &written, nullptr) || written == 0) {
        ok = false;
        break;
      }
      data += written;
      len -= written;
    }
  }
  result->i32 = ok ? 1 : 0;
}

void CmdGetUnitWindowHandle(ArgValue* result, int argCount, const ArgValue* args) {
  const UnitRef* unit = argCount > 0 ? static_cast<const UnitRef*>(args[0].ptr) : nullptr;
  UnitRef ref = unit ? *unit : UnitRef{0, 0};
  HWND hwnd = reinterpret_cast<HWND>(
      FrameService(kFsRequireUnitObject, ref.windowId, ref.unitId, 0));
  result->ptr = hwnd;
  result->tag = kTagInt;
}
