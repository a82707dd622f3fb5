#include "installer/install_guard_win.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "frame/handles_win.h"
#include "frame/wide_text_win.h"
#include "installer/install_rules.h"

namespace {

// The name of the folder's claim: the full path, upper-cased as the file
// system compares names, hashed by InstallClaimName.
std::wstring ClaimName(const std::string& folder) {
  std::wstring wide = WideFromGbk(folder.c_str());
  DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed > 0) {
    std::vector<wchar_t> full(needed + 1);
    DWORD got = GetFullPathNameW(wide.c_str(), needed + 1, full.data(), nullptr);
    if (got > 0 && got <= needed) wide.assign(full.data(), got);
  }
  if (!wide.empty()) CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
  const std::string name = InstallClaimName(reinterpret_cast<const uint16_t*>(wide.data()), wide.size());
  return std::wstring(name.begin(), name.end());
}

// The window a claim records, 64 bits wide in both flavours.
HWND RecordedWindow(HANDLE mapping) {
  uint64_t value = 0;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof value)) {
    std::memcpy(&value, view, sizeof value);
    UnmapViewOfFile(view);
  }
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

// The claim this process holds, kept open until the process ends.
HANDLE gClaim = nullptr;

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A drive ("D:") or a UNC share (\\server\share): always there, never made.
bool IsRoot(const std::wstring& path) {
  if (path.size() == 2 && path[1] == L':') return true;
  return path.compare(0, 2, L"\\\\") == 0 && std::count(path.begin() + 2, path.end(), L'\\') <= 1;
}

}  // namespace

FolderClaim ClaimInstallFolder(const std::string& folder, HWND window, HWND* holder) {
  *holder = nullptr;
  const std::wstring name = ClaimName(folder);
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(uint64_t),
                                      name.c_str());
  if (!mapping) return FolderClaim::kClaimed;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    *holder = RecordedWindow(mapping);
    CloseHandle(mapping);
    return FolderClaim::kHeldByAnother;
  }
  if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(uint64_t))) {
    const uint64_t value = reinterpret_cast<uintptr_t>(window);
    std::memcpy(view, &value, sizeof value);
    UnmapViewOfFile(view);
  }
  if (gClaim) CloseHandle(gClaim);
  gClaim = mapping;
  return FolderClaim::kClaimed;
}

bool FolderHeldByAnother(const std::string& folder, HWND* holder) {
  *holder = nullptr;
  OwnedKernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, ClaimName(folder).c_str()));
  if (!mapping) return false;
  *holder = RecordedWindow(mapping.get());
  return true;
}

void BringToFront(HWND window) {
  if (!window || !IsWindow(window)) return;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

std::wstring FirstMissingFolder(const std::string& path) {
  std::wstring at = WideFromGbk(path.c_str());
  while (!at.empty() && at.back() == L'\\') at.pop_back();
  std::wstring missing;
  while (!at.empty() && !IsRoot(at) && !Exists(at)) {
    missing = at;
    const size_t cut = at.rfind(L'\\');
    if (cut == std::wstring::npos) break;
    at.erase(cut);
  }
  return missing;
}

void RemoveFolderTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      const DWORD attributes = found.dwFileAttributes;
      if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
      } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveDirectoryW(path.c_str());
      } else {
        RemoveFolderTree(path);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(folder.c_str());
}
