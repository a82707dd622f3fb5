// The portable half of resolving a declared DLL command: which export the
// command name selects, which library files to try and in what order, and the
// text of the fatal error when nothing is found. Loading modules, checking
// that a file exists and GetProcAddress stay on the Windows side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The export a command name selects. "#<decimal>" is an ordinal (its low 16
// bits); any other name is an export name. "#" without digits gives ordinal 0,
// which no export has, so the lookup fails as for an unknown name. Digits end
// at the first other byte.
struct DllExportName {
  bool byOrdinal;
  uint16_t ordinal;  // when byOrdinal
  const char* name;  // the command name itself when not byOrdinal
};
DllExportName ParseDllCommandName(const char* commandName);

// The libraries searched, in this order, when the library name is empty.
constexpr int kDefaultDllLibraryCount = 6;
extern const char* const kDefaultDllLibraries[kDefaultDllLibraryCount];

// The library's file name: ".dll" added when the last path component has no
// extension ("shell32" -> "shell32.dll"); otherwise the name unchanged.
std::string DllFileName(const char* libraryName);

// True for a plain file name (not empty, no ":", no "\" or "/"), the only kind
// of name that can denote a library of the system folder. The Windows side
// checks for such a name whether systemFolder + "\" + DllFileName(name)
// exists and passes the answer to DllLibraryCandidates.
bool IsBareDllName(const char* libraryName);

struct DllCandidates {
  std::vector<std::string> files;  // to be loaded in this order
  // true: load each in turn and keep the first module that exports the
  // command (freeing the others); false: keep the first module that loads.
  bool firstExporterWins;
};

// The library files to try for a declared library name:
// - empty: the six defaults, each in systemFolder when systemFolder is given
//   (firstExporterWins);
// - containing ":": exactly that name;
// - inSystemFolder (a bare name found in the system folder): only
//   systemFolder + "\" + file name, so that a file of the same name in the
//   program's folder (e.g. Downloads) is never loaded in its place;
// - otherwise programFolder + "\" + file name (skipped when programFolder is
//   empty), then the file name alone for the system's search.
// Null folders count as empty.
DllCandidates DllLibraryCandidates(const char* libraryName, const char* programFolder,
                                   const char* systemFolder, bool inSystemFolder);

// Text of the fatal error when the command cannot be resolved:
// "无法找到指定DLL库文件“<library>”中的输出命令“<command>”", or without the
// library part when the library name is empty (null counts as empty).
std::string DllCommandNotFoundText(const char* libraryName, const char* commandName);
