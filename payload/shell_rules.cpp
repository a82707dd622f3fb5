#include "payload/shell_rules.h"

std::string LinkFileName(const std::string& name) {
  constexpr size_t kBuffer = 260;
  size_t slash = name.rfind('\\');
  size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  std::string result = name;
  if (name.find('.', fileStart) == std::string::npos) result += ".lnk";
  if (result.size() + 1 > kBuffer) return std::string();
  return result;
}
