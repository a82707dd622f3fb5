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
};

inline LinkInfo ReadLink(const std::string& file) {
  LinkInfo info;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return info;
  IPersistFile* persist = nullptr;
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
  if (persist && SUCCEEDED(persist->Load(wide, STGM_READ))) {
    char buffer[MAX_PATH] = {};
    info.loaded = true;
    link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH);
    info.path = buffer;
    buffer[0] = 0;
    link->GetDescription(buffer, MAX_PATH);
    info.description = buffer;
    buffer[0] = 0;
    link->GetArguments(buffer, MAX_PATH);
    info.arguments = buffer;
    buffer[0] = 0;
    link->GetWorkingDirectory(buffer, MAX_PATH);
    info.workingFolder = buffer;
  }
  if (persist) persist->Release();
  link->Release();
  return info;
}

}  // namespace linktest
