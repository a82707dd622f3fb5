// What keeps an install from harming what it does not own: the claim a
// running setup program holds on its install folder, so that a second one
// does not write into the same folder, and the clean-up of a first install
// that the user called off.
//
// Windows only. Paths are GBK texts, as the window shows them.
#pragma once

#include <windows.h>

#include <string>

enum class FolderClaim {
  kClaimed,         // this process now holds the folder until it ends
  kHeldByAnother,   // another setup program holds it; *holder is its window (may be null)
};

// Claims folder for this process, with `window` as the window a second
// program brings to the front (null for a silent install). A claim that
// cannot be made at all (no named objects) counts as made: the install then
// goes on as it would without the guard.
FolderClaim ClaimInstallFolder(const std::string& folder, HWND window, HWND* holder);

// Whether another setup program holds folder, and its window, without
// claiming anything.
bool FolderHeldByAnother(const std::string& folder, HWND* holder);

// Restores the window (when minimised) and brings it to the front.
void BringToFront(HWND window);

// The topmost folder of path that does not exist yet: the one an install
// into path would create first, and the one to remove when that install is
// called off. Empty when path already exists (or is a drive root).
std::wstring FirstMissingFolder(const std::string& path);

// Deletes the folder and everything in it, read-only files included. A
// junction or symbolic link inside it is removed as a link; what it points
// to is never entered. Goes on past what cannot be deleted.
void RemoveFolderTree(const std::wstring& folder);
