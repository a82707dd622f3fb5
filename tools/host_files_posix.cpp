#include "tools/host_files.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

std::string Why(const std::string& path) { return path + ": " + std::strerror(errno); }

bool ListInto(const std::string& root, const std::string& relative, std::vector<FolderItem>* items,
              std::string* error) {
  const std::string folder = relative.empty() ? root : root + "/" + relative;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    *error = Why(folder);
    return false;
  }
  bool ok = true;
  while (ok) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        *error = Why(folder);
        ok = false;
      }
      break;
    }
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderItem item;
    item.relativePath = relative.empty() ? name : relative + "/" + name;
    item.path = root + "/" + item.relativePath;
    struct stat st;
    if (lstat(item.path.c_str(), &st) != 0) {
      *error = Why(item.path);
      ok = false;
      break;
    }
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
      *error = item.path + ": neither a file nor a folder";
      ok = false;
      break;
    }
    item.isFolder = S_ISDIR(st.st_mode);
    item.lastWrite = static_cast<int64_t>(st.st_mtime);
    item.size = item.isFolder ? 0 : static_cast<uint64_t>(st.st_size);
    items->push_back(item);
    if (item.isFolder) ok = ListInto(root, item.relativePath, items, error);
  }
  closedir(dir);
  return ok;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    *error = Why(path);
    return false;
  }
  bytes->clear();
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
  const bool ok = std::ferror(f) == 0;
  if (!ok) *error = Why(path);
  std::fclose(f);
  return ok;
}

std::string TemporaryNameBeside(const std::string& path) {
  return path + ".partial-" + std::to_string(static_cast<long>(getpid()));
}

bool RenameFile(const std::string& from, const std::string& to, std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = "cannot rename " + from + " to " + to + ": " + std::strerror(errno);
  return false;
}

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

bool WriteFileInPlace(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  const std::string partial = TemporaryNameBeside(path);
  FILE* f = std::fopen(partial.c_str(), "wb");
  if (f == nullptr) {
    *error = Why(partial);
    return false;
  }
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fflush(f) == 0 && ok;
  if (!ok) *error = Why(partial);
  if (std::fclose(f) != 0 && ok) {
    *error = Why(partial);
    ok = false;
  }
  // The installer runs on Windows; keep the usual permissions of an
  // executable for those who copy it from here.
  if (ok) chmod(partial.c_str(), 0755);
  if (ok) ok = RenameFile(partial, path, error);
  if (!ok) RemoveFile(partial);
  return ok;
}

bool ListFolderTree(const std::string& root, std::vector<FolderItem>* items, std::string* error) {
  items->clear();
  struct stat st;
  if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = root + ": not a folder";
    return false;
  }
  return ListInto(root, "", items, error);
}

std::string FindProgramInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  const std::string list = path;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    const std::string folder = end > start ? list.substr(start, end - start) : ".";
    const std::string candidate = folder + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return "";
}

int RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string QuoteForShell(const std::string& argument) {
  const bool plain = !argument.empty() &&
                     argument.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "0123456789-_./:=+,@") == std::string::npos;
  if (plain) return argument;
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
