// Test support: reads a .lnk file back through the shell's link object. The
// calling thread must have initialised COM.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>

namespace linktest {

struct LinkInfo {
  bool loaded = false;
  std::string path, description, arguments, workingFolder;
  // The target as the link's item list names it: what the shell opens.
  std::string target;
};

// The link file's texts in GBK (code page 936, whatever the system's).
inline LinkInfo ReadLink(const std::wstring& file) {
  LinkInfo info;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return info;
  auto gbk = [](const wchar_t* wide) {
    char buffer[2 * MAX_PATH] = {};
    WideCharToMultiByte(936, 0, wide, -1, buffer, sizeof buffer, nullptr, nullptr);
    return std::string(buffer);
  };
  IPersistFile* persist = nullptr;
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  if (persist && SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
    wchar_t buffer[MAX_PATH] = {};
    info.loaded = true;
    link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH);
    info.path = gbk(buffer);
    buffer[0] = 0;
    link->GetDescription(buffer, MAX_PATH);
    info.description = gbk(buffer);
    buffer[0] = 0;
    link->GetArguments(buffer, MAX_PATH);
    info.arguments = gbk(buffer);
    buffer[0] = 0;
    link->GetWorkingDirectory(buffer, MAX_PATH);
    info.workingFolder = gbk(buffer);
    LPITEMIDLIST item = nullptr;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetIDList(&item)) && item) {
      SHGetPathFromIDListW(item, buffer);
      CoTaskMemFree(item);
    }
    info.target = gbk(buffer);
  }
  if (persist) persist->Release();
  link->Release();
  return info;
}

inline LinkInfo ReadLink(const std::string& gbkFile) {
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(936, 0, gbkFile.c_str(), -1, wide, MAX_PATH);
  return ReadLink(std::wstring(wide));
}

}  // namespace linktest
