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

std::string CommandLineFor(const std::string& path) {
  if (path.find(' ') == std::string::npos) return path;
  return "\"" + path + "\"";
}

