// The form compiler's core: a UTF-8 JSON form description in, window
// templates and the binary form data (frame/form_format.h) out. Used by the
// form_compiler tool and by the tests. Host tools only.
//
// A description holds one form:
//   { "windowId": "0x52010001",
//     "units": [ unit, ... ] }          // form order; the window comes first
// A unit:
//   kind        "window", "PicBox", "Label", "ProcessBar", "Timer", "PicBtn",
//               "TransLabel" or "ZIP" (required)
//   name        control name (required for controls; the window has none)
//   id          unit id, number or "0x..." (controls: required, 0x1xxxxxxx;
//               the window: 0x06010000, the default)
//   parent      name of the parent control; absent = the window
//   left, top   -32627..32627; width, height 0..32627 (default 0)
//   visible     default true; disabled, tabstop default false
//   mousePointer  0 (class arrow, default), a system cursor id up to 65535,
//               or "arrow" / "hand"
//   tag, comment  texts
//   events      { "<event name or number>": "<routine name>", ... }
//   props       the kind's property record (see the kind's encoder)
// Texts are stored in GBK; picture and other file paths are relative to the
// description's folder. Child lists are derived from the parents, in form
// order. Handler offsets are the routine's index in the routine list × 4.
//
// Errors are reported as "<file>: unit '<name>': <what>" or "<file>: <what>".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/form_reader.h"

// Parses a routine list: one routine name per line, in handler-table order.
// Surrounding blanks and a trailing CR are dropped; empty lines and lines
// starting with '#' are skipped. A name listed twice is an error.
bool ParseRoutineList(const std::string& text, std::vector<std::string>* routines, std::string* error);
bool LoadRoutineList(const std::string& path, std::vector<std::string>* routines, std::string* error);

// Compiles one description given as text. displayName is the file name used
// in messages, baseDir the folder that file paths are relative to.
bool CompileFormDescription(const std::string& jsonText, const std::string& displayName,
                            const std::string& baseDir, const std::vector<std::string>& routines,
                            FormTemplate* form, std::string* error);

// Compiles the description files in order (one form each), checks that their
// window ids differ, serializes the forms and reads the result back as the
// loader will. On success *blob holds the form data.
bool CompileFormFiles(const std::vector<std::string>& paths, const std::vector<std::string>& routines,
                      std::vector<uint8_t>* blob, std::string* error);
