// What setup-pack needs from the system it runs on: whole-file reads, an
// output written under a temporary name and renamed into place, a folder's
// tree with file times, and starting another program. Paths are UTF-8.
// Implemented for Linux (host_files_posix.cpp) and for Windows
// (host_files_win.cpp, wide-character calls).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads a whole file. On failure *error says why.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// Writes bytes to a new file beside `path` and renames it over `path`, so
// that `path` is never seen half written. On failure the temporary file is
// removed, `path` is untouched and *error says why.
bool WriteFileInPlace(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

// A name for a temporary file beside `path`, unused when asked.
std::string TemporaryNameBeside(const std::string& path);

bool RenameFile(const std::string& from, const std::string& to, std::string* error);
void RemoveFile(const std::string& path);

// One file or folder below a folder given to ListFolderTree.
struct FolderItem {
  std::string relativePath;  // UTF-8, "/" separators, no trailing "/"
  std::string path;          // the item's path for ReadWholeFile
  bool isFolder = false;
  int64_t lastWrite = 0;     // seconds since 1970-01-01 UTC
  uint64_t size = 0;         // files only
};

// Every file and folder below `root`, in no particular order. Anything else
// (a link, a device) is an error naming it.
bool ListFolderTree(const std::string& root, std::vector<FolderItem>* items, std::string* error);

// The full path of a program found through PATH, or "" when there is none.
std::string FindProgramInPath(const std::string& name);

// Runs a program with these arguments (args[0] is its path), its output
// going where setup-pack's goes, and waits for it. Returns its exit status,
// or -1 when it could not be started.
int RunProgram(const std::vector<std::string>& args);

// An argument as the user's shell would need it typed: quoted when it holds
// anything but letters, digits and -_./:=+,@ (POSIX shell quoting on Linux,
// Windows command-line quoting on Windows).
std::string QuoteForShell(const std::string& argument);
