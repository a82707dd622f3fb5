#include "tools/host_files.h"

#include <windows.h>

#include <algorithm>

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n, nullptr, nullptr);
  return utf8;
}

// The system's message for the last error, after the path.
std::string Why(const std::string& path) {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text ? Utf8(text) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return path + ": " + message;
}

// Seconds since 1970 of a FILETIME (100-ns steps since 1601).
int64_t UnixSeconds(const FILETIME& t) {
  const uint64_t ticks = (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000) - 11644473600LL;
}

bool ListInto(const std::string& root, const std::string& relative, std::vector<FolderItem>* items,
              std::string* error) {
  std::string folder = relative.empty() ? root : root + "\\" + relative;
  for (size_t i = root.size(); i < folder.size(); ++i)
    if (folder[i] == '/') folder[i] = '\\';
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    *error = Why(folder);
    return false;
  }
  bool ok = true;
  do {
    const std::string name = Utf8(found.cFileName);
    if (name == "." || name == "..") continue;
    FolderItem item;
    item.relativePath = relative.empty() ? name : relative + "/" + name;
    item.path = folder + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      *error = item.path + ": a link, neither a file nor a folder";
      ok = false;
      break;
    }
    item.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    item.lastWrite = UnixSeconds(found.ftLastWriteTime);
    item.size = item.isFolder ? 0 : (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    items->push_back(item);
    if (item.isFolder) ok = ListInto(root, item.relativePath, items, error);
  } while (ok && FindNextFileW(find, &found));
  FindClose(find);
  return ok;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Why(path);
    return false;
  }
  bytes->clear();
  uint8_t buffer[65536];
  DWORD done = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &done, nullptr) != 0) && done > 0) {
    bytes->insert(bytes->end(), buffer, buffer + done);
  }
  if (!ok) *error = Why(path);
  CloseHandle(file);
  return ok;
}

std::string TemporaryNameBeside(const std::string& path) {
  return path + ".partial-" + std::to_string(GetCurrentProcessId());
}

bool RenameFile(const std::string& from, const std::string& to, std::string* error) {
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  *error = Why("cannot rename " + from + " to " + to);
  return false;
}

void RemoveFile(const std::string& path) { DeleteFileW(Wide(path).c_str()); }

bool WriteFileInPlace(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  const std::string partial = TemporaryNameBeside(path);
  HANDLE file = CreateFileW(Wide(partial).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Why(partial);
    return false;
  }
  bool ok = true;
  for (size_t at = 0; ok && at < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 24));
    DWORD done = 0;
    ok = WriteFile(file, bytes.data() + at, chunk, &done, nullptr) && done == chunk;
    at += done;
  }
  if (!ok) *error = Why(partial);
  CloseHandle(file);
  if (ok) ok = RenameFile(partial, path, error);
  if (!ok) RemoveFile(partial);
  return ok;
}

bool ListFolderTree(const std::string& root, std::vector<FolderItem>* items, std::string* error) {
  items->clear();
  const DWORD attributes = GetFileAttributesW(Wide(root).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = root + ": not a folder";
    return false;
  }
  return ListInto(root, "", items, error);
}

std::string FindProgramInPath(const std::string& name) {
  wchar_t found[MAX_PATH];
  const DWORD n = SearchPathW(nullptr, Wide(name).c_str(), L".exe", MAX_PATH, found, nullptr);
  return n > 0 && n < MAX_PATH ? Utf8(found) : std::string();
}

std::string QuoteForShell(const std::string& argument) {
  const bool plain = !argument.empty() &&
                     argument.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "0123456789-_./\\:=+,@") == std::string::npos;
  if (plain) return argument;
  // Backslashes double only before a quote or the closing quote.
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

int RunProgram(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + QuoteForShell(a);
  std::wstring wideLine = Wide(line);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(Wide(args[0]).c_str(), &wideLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
