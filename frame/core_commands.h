// The core commands that touch Windows: message box, program start, file
// removal and writing, and the window handle of a unit. Each has the command
// signature of value.h; the text commands are in text_commands.h.
#pragma once

#include "frame/value.h"

// message (any basic kind); int flags (optional); text caption (optional)
// -> int button number 0..6.
void CmdShowMessageBox(ArgValue* result, int argCount, const ArgValue* args);
// text command line; bool wait (optional); int window mode 1..6 (optional,
// default 2); text working folder (optional, empty = the caller's)
// -> bool: the process was created. The command line is passed unchanged.
void CmdRunProgram(ArgValue* result, int argCount, const ArgValue* args);
// text path -> bool.
void CmdRemoveFile(ArgValue* result, int argCount, const ArgValue* args);
// text path; one or more byte arrays -> bool: all of it was written.
void CmdWriteBytesToFile(ArgValue* result, int argCount, const ArgValue* args);
// UnitRef* (ptr) -> int window handle; a unit without a live window is fatal.
void CmdGetUnitWindowHandle(ArgValue* result, int argCount, const ArgValue* args);
