#include "frame/dll_names.h"

#include "frame/text_commands.h"

const char* const kDefaultDllLibraries[kDefaultDllLibraryCount] = {
    "Kernel32.dll", "Gdi32.dll", "User32.dll", "Advapi32.dll", "Mpr.dll", "Shell32.dll",
};

namespace {

const char* OrEmpty(const char* s) { return s ? s : ""; }

bool IsSeparator(const char* p, size_t k) { return k == 1 && (*p == '\\' || *p == '/'); }

// folder + "\" + name, without doubling a backslash that already ends the
// folder. The folder is walked by characters: the second byte of a two-byte
// character may be 0x5C and is not a separator.
std::string JoinFolder(const char* folder, const std::string& name) {
  std::string path = folder;
  bool endsWithSeparator = false;
  for (const char* p = folder; *p;) {
    size_t k = TextCharSize(p);
    endsWithSeparator = IsSeparator(p, k);
    p += k;
  }
  if (!endsWithSeparator) path += '\\';
  return path + name;
}

}  // namespace

DllExportName ParseDllCommandName(const char* commandName) {
  commandName = OrEmpty(commandName);
  DllExportName result{false, 0, commandName};
  if (commandName[0] != '#') return result;
  uint32_t ordinal = 0;
  for (const char* p = commandName + 1; *p >= '0' && *p <= '9'; ++p) {
    // Only the low 16 bits count, so reducing at every step gives the same.
    ordinal = (ordinal * 10 + static_cast<uint32_t>(*p - '0')) & 0xFFFF;
  }
  result.byOrdinal = true;
  result.ordinal = static_cast<uint16_t>(ordinal);
  return result;
}

std::string DllFileName(const char* libraryName) {
  libraryName = OrEmpty(libraryName);
  bool hasExtension = false;
  for (const char* p = libraryName; *p;) {
    size_t k = TextCharSize(p);
    if (IsSeparator(p, k)) hasExtension = false;
    else if (k == 1 && *p == '.') hasExtension = true;
    p += k;
  }
  std::string name = libraryName;
  if (!hasExtension) name += ".dll";
  return name;
}

bool IsBareDllName(const char* libraryName) {
  libraryName = OrEmpty(libraryName);
  if (!*libraryName) return false;
  for (const char* p = libraryName; *p;) {
    size_t k = TextCharSize(p);
    if (IsSeparator(p, k) || (k == 1 && *p == ':')) return false;
    p += k;
  }
  return true;
}

DllCandidates DllLibraryCandidates(const char* libraryName, const char* programFolder,
                                   const char* systemFolder, bool inSystemFolder) {
  libraryName = OrEmpty(libraryName);
  programFolder = OrEmpty(programFolder);
  systemFolder = OrEmpty(systemFolder);
  DllCandidates result{{}, false};
  if (!*libraryName) {
    result.firstExporterWins = true;
    for (const char* name : kDefaultDllLibraries) {
      result.files.push_back(*systemFolder ? JoinFolder(systemFolder, name) : std::string(name));
    }
    return result;
  }
  bool hasColon = false;
  for (const char* p = libraryName; *p;) {
    size_t k = TextCharSize(p);
    if (k == 1 && *p == ':') hasColon = true;
    p += k;
  }
  if (hasColon) {
    result.files.push_back(libraryName);
    return result;
  }
  std::string fileName = DllFileName(libraryName);
  if (inSystemFolder) {
    result.files.push_back(*systemFolder ? JoinFolder(systemFolder, fileName) : fileName);
    return result;
  }
  if (*programFolder) result.files.push_back(JoinFolder(programFolder, fileName));
  result.files.push_back(fileName);
  return result;
}

std::string DllCommandNotFoundText(const char* libraryName, const char* commandName) {
  libraryName = OrEmpty(libraryName);
  std::string text = "无法找到指定DLL库文件";
  if (*libraryName) {
    text += "“";
    text += libraryName;
    text += "”";
  }
  text += "中的输出命令“";
  text += OrEmpty(commandName);
  text += "”";
  return text;
}
