// The ZIP unit ("ZIP压缩"): a window unit with one command, Extract, and one
// event, ExtractProgress (number 1, one int argument: the percentage). The
// unit has no properties; its window is never shown by the installer.
//
// Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/frame_api.h"
#include "frame/unit_type.h"
#include "frame/value.h"

// TypeTag of the ZIP unit: library 4, unit type 1.
constexpr uint32_t kTagZipUnit = 0x00040001;
constexpr int32_t kEventExtractProgress = 1;
// Window style bits the unit always adds: WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER.
constexpr DWORD kZipUnitStyle = 0x44800000;

// The ZIP library's notification entry. 1 keeps the FrameServiceFn passed in
// a1 (until then every service call of the library yields 0) and answers 0;
// 6 (program end) answers 0; anything else answers -1.
intptr_t ZipLibraryNotify(int code, intptr_t a1, intptr_t a2);

// Extract: args[0] the ZIP unit (UnitRef in the 8-byte value, TypeTag
// kTagZipUnit), args[1] the archive path, args[2] the target folder (texts,
// kept by the caller). The unit's live object, asked for with FrameService
// 2007, is the unit's window handle (what CreateZipUnitWindow returned).
// Result: int 1 when every entry was extracted or a handler asked to stop,
// 0 on failure, -1 when an argument is absent or nothing exists at the
// archive path (ExtractArchive describes the rest). ExtractProgress is raised
// through FrameService 2008 after each entry and at the end, on the calling
// thread, while the unit's window exists; a handler that returns the value 0
// makes the extraction stop after the entry just handled.
void Extract(ArgValue* result, int argCount, const ArgValue* args);

// Creates the unit's window: a child of parent of the class "ZipUnitWindow"
// (class style CS_DBLCLKS), style extraStyle | kZipUnitStyle, control id
// controlId, at the given position and size. The window keeps windowId and
// unitId; when it is destroyed it reports FrameService 2000 with both and
// frees what it holds. Returns null when the window cannot be created.
HWND CreateZipUnitWindow(HWND parent, DWORD extraStyle, int controlId, int left, int top,
                         int width, int height, uint32_t windowId, uint32_t unitId);

// The ZIP unit's type for the program's library 4 (entry 0): never shown,
// raises events, no own properties; its stored record is empty and ignored.
extern const UnitTypeDescriptor gZipUnitType;
