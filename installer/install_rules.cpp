#include "installer/install_rules.h"

#include <cstring>

#include "frame/text_commands.h"
#include "frame/blocks.h"

namespace {

constexpr double kBytesPerMiB = 1048576.0;

int64_t Truncate(double v) { return static_cast<int64_t>(v); }

}  // namespace

DiskSpaceMiB ToWholeMiB(int64_t availableToCaller, int64_t totalBytes, int64_t totalFree) {
  DiskSpaceMiB out;
  int64_t used = Truncate(static_cast<double>(totalBytes) - static_cast<double>(availableToCaller));
  out.used = Truncate(static_cast<double>(used) / kBytesPerMiB);
  out.free = Truncate(static_cast<double>(totalFree) / kBytesPerMiB);
  out.total = Truncate(static_cast<double>(totalBytes) / kBytesPerMiB);
  return out;
}

const char* DefaultDrivePrefix(int64_t freeMiB) { return freeMiB < kMinimumFreeMiBOnD ? "C:\\" : "D:\\"; }

std::string ChosenFolder(const char* displayName, bool gotItem, bool hasPath, const char* path) {
  char* trimmed = TrimSpaces(displayName);
  bool unrepresentable = trimmed && FindText(trimmed, "?") > 0;
  FreeBlock(trimmed);
  if (unrepresentable || !gotItem || !hasPath || !path) return std::string();
  std::string result(path);
  if (result.size() == 3) result.resize(2);
  return result;
}

std::string TempArchivePath(const std::string& tempFolder) { return tempFolder + "\\tool.zip"; }

std::string DriveRootArchivePath(const std::string& folder, int attempt) {
  if (folder.empty()) return std::string();
  std::string path(1, folder[0]);
  path += ":\\tool";
  if (attempt > 0) path += "_" + std::to_string(attempt);
  return path + ".zip";
}

std::string ProductExePath(const std::string& folder, const std::string& productName) {
  return folder + "\\" + productName + ".exe";
}

namespace {

bool IsSwitch(const std::string& token, const char* name) {
  if (token.size() != std::strlen(name)) return false;
  for (size_t i = 0; i < token.size(); ++i) {
    char c = token[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != name[i]) return false;
  }
  return true;
}

}  // namespace

SetupArguments ParseSetupArguments(const std::string& arguments) {
  SetupArguments result;
  size_t at = 0;
  while (at < arguments.size()) {
    if (arguments[at] == ' ' || arguments[at] == '\t') {
      ++at;
      continue;
    }
    // /D= takes the rest of the line, spaces included.
    if (arguments.size() - at >= 3 && (arguments[at + 1] == 'D' || arguments[at + 1] == 'd') &&
        arguments[at] == '/' && arguments[at + 2] == '=') {
      result.folder = arguments.substr(at + 3);
      while (!result.folder.empty() && (result.folder.back() == ' ' || result.folder.back() == '\t'))
        result.folder.pop_back();
      if (result.folder.empty()) result.bad = true;
      break;
    }
    size_t end = arguments.find_first_of(" \t", at);
    if (end == std::string::npos) end = arguments.size();
    const std::string token = arguments.substr(at, end - at);
    if (IsSwitch(token, "/S")) {
      result.silent = true;
    } else if (IsSwitch(token, "/?")) {
      result.usage = true;
    } else {
      result.bad = true;
    }
    at = end;
  }
  if (!result.folder.empty() && !result.silent) result.bad = true;
  return result;
}

std::string ArgumentsAfterProgramName(const std::string& commandLine) {
  size_t at = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    size_t close = commandLine.find('"', 1);
    at = close == std::string::npos ? commandLine.size() : close + 1;
  } else {
    at = commandLine.find_first_of(" \t");
    if (at == std::string::npos) at = commandLine.size();
  }
  while (at < commandLine.size() && (commandLine[at] == ' ' || commandLine[at] == '\t')) ++at;
  return commandLine.substr(at);
}

std::string CommandLineFor(const std::string& path) {
  if (path.find(' ') == std::string::npos) return path;
  return "\"" + path + "\"";
}


std::string InstallClaimName(const uint16_t* folder, size_t length) {
  while (length > 0 && (folder[length - 1] == u'\\' || folder[length - 1] == u'/')) --length;
  uint64_t hash = 0xCBF29CE484222325ull;
  for (size_t i = 0; i < length; ++i) {
    for (uint16_t byte : {static_cast<uint16_t>(folder[i] & 0xFF), static_cast<uint16_t>(folder[i] >> 8)}) {
      hash ^= byte;
      hash *= 0x100000001B3ull;
    }
  }
  static const char kHex[] = "0123456789ABCDEF";
  std::string name = "Local\\SkinSetup.Installing.";
  for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(hash >> shift) & 0xF];
  return name;
}
