// The shell library: GetSpecialFolder and CreateShortcut, library commands
// called through CallLibraryCommand. Windows only.
#pragma once

#include <cstdint>

#include "frame/frame_api.h"
#include "frame/value.h"

// The shell library's notification entry: 1 keeps the FrameServiceFn in a1
// (the library's blocks are allocated through it) and answers 0; any other
// notification answers -1 and changes nothing.
intptr_t ShellLibraryNotify(int code, intptr_t a1, intptr_t a2);

// GetSpecialFolder: args[0] the selector (int): 1 documents, 2 favourites,
// 3 desktop directory, 4 fonts, 5 Start menu, 6 Programs, 7 Startup,
// 8 application data (all of the current user, never created), 9 the
// Windows folder, 10 the system folder, 11 the temporary folder.
// Result: a text block ending in "\" (appended when the last byte is not
// 0x5C), owned by the caller; a null text when the selector is outside 1..11,
// the system call fails, or the path does not fit 260 bytes.
void GetSpecialFolder(ArgValue* result, int argCount, const ArgValue* args);

// CreateShortcut: args[0] the link file name, args[1] the target path,
// args[2] optional description, args[3] optional arguments and args[4]
// optional working folder (both used only when five arguments are passed).
// ".lnk" is appended when the file-name part of args[0] has no "." (a name
// that would then not fit 260 bytes is refused). The thread must have
// initialised COM. Result: int 1 when the link was saved, else 0. The link
// shows its target with SW_SHOW and has no icon location or hotkey.
void CreateShortcut(ArgValue* result, int argCount, const ArgValue* args);
