// The folder chooser: the shell's folder browser opened by a left-button
// press on the folder label; the chosen folder + "\" + product name becomes
// the label's text.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "frame/blocks.h"
#include "frame/core_commands.h"
#include "frame/wide_text_win.h"
#include "installer/install_rules.h"
#include "installer/install_settings.h"
#include "installer/installer_window.h"

namespace {

// File-system folders only, with the status line and an edit box whose
// text is validated, in the resizable dialog.
constexpr uint32_t kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_STATUSTEXT |
                                  BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
static_assert(kBrowseFlags == 0x77, "the browser's flags");
constexpr size_t kNameBuffer = 260;

}  // namespace

std::string BrowseForFolder(uintptr_t owner, const char* title) {
  LPITEMIDLIST desktop = nullptr;
  CallDll(kDllShGetFolderLocation, {owner, 0, 0, 0, Address(&desktop)});
  if (!title) title = "请选择文件夹路径";

  std::wstring displayName(kNameBuffer, L' ');
  std::wstring wideTitle = WideFromGbk(title);
  BROWSEINFOW info = {};
  info.hwndOwner = reinterpret_cast<HWND>(owner);
  info.pidlRoot = desktop;
  info.pszDisplayName = &displayName[0];
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = kBrowseFlags;
  auto item = static_cast<DllArg>(CallDll(kDllShBrowseForFolder, {Address(&info)}));

  std::wstring path(kNameBuffer, L'\0');
  bool hasPath = item && static_cast<int32_t>(CallDll(kDllShGetPathFromIdList, {item, Address(&path[0])})) != 0;
  // The folder is kept as GBK text: one whose name holds a character GBK
  // lacks is kept in its short form, which names the same folder, and is not
  // refused for the "?" its displayed name would show in GBK.
  std::string pathText, displayText;
  if (hasPath) hasPath = GbkPathFromWide(path.c_str(), &pathText);
  if (!GbkFromWide(displayName.c_str(), &displayText) && hasPath) displayText = pathText;
  std::string result = ChosenFolder(displayText.c_str(), item != 0, hasPath, pathText.c_str());

  CallDll(kDllCoTaskMemFree, {item});
  // The desktop's item list is ours too; the browser has no use for it now.
  if (desktop) CallDll(kDllCoTaskMemFree, {Address(desktop)});
  return result;
}

HandlerResult OnFolderLabelPressed(const int32_t*, int) {
  if (InstallRunning()) return NoValue();
  auto owner = reinterpret_cast<uintptr_t>(MainWindowHandle());
  std::string folder = BrowseForFolder(owner, "请选择安装位置");
  if (folder.empty()) return NoValue();

  InstallSettings& s = Settings();
  char* const* elements = nullptr;
  uint32_t count = 0;
  ViewTextArray(s.productNames, &elements, &count);
  if (s.productIndex < 1) gSystem.ReportRuntimeError(4);
  if (static_cast<uint32_t>(s.productIndex) > count) gSystem.ReportRuntimeError(1);
  const char* name = elements[s.productIndex - 1];
  std::string caption = folder + "\\" + (name ? name : "");
  WriteTextProperty(kFolderLabel, kLabelCaption, caption.c_str());
  return NoValue();
}
