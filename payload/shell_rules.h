// The shell library's rules that need no Windows call: the special-folder
// selectors of GetSpecialFolder and the shortcut file's name. Portable.
#pragma once

#include <string>

// GetSpecialFolder's selectors.
enum SpecialFolderSelector : int {
  kFolderDocuments = 1,
  kFolderFavourites = 2,
  kFolderDesktop = 3,
  kFolderFonts = 4,
  kFolderStartMenu = 5,
  kFolderPrograms = 6,
  kFolderStartup = 7,
  kFolderAppData = 8,
  kFolderWindows = 9,
  kFolderSystem = 10,
  kFolderTemp = 11,
};

// The shortcut file's name: ".lnk" is appended when the file-name part (the
// bytes after the last "\") has no "." byte. Empty when the result would not
// fit a 260-byte buffer with its NUL.
std::string LinkFileName(const std::string& name);
