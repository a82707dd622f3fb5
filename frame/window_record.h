// The window unit's own property record: the tail of the window's
// FormUnitRecord. Version 6 is the newest; older versions end earlier and the
// fields they lack take the defaults given below.
//
// Stored order (each numeric field a 32-bit word; property numbers in
// brackets): version; border style (9); background picture mode (12);
// BackColor (10); maximise button (16); minimise button (17); control button
// (15); StartPosition (18); movable (19); music play count (14); three flags
// (21, 22, 23); help number (25); from version 2 ShowInTaskbar (26); from
// version 3 drag-anywhere flag (27) and shape (28); from version 4 always on
// top (29); from version 5 keep-title-active flag (30); in version 6 the
// window class name (31) as a text; then the background picture blob (11),
// the icon blob (20), the background music blob (13), Title (8) as a text and
// the help file name (24) as a text. Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/byte_cursor.h"

constexpr uint32_t kWindowRecordVersion = 6;

// Documented ranges of the choice fields (the compiler enforces them; the
// window unit clamps what it is given).
constexpr int32_t kMaxWindowBorderStyle = 6;  // 0 none .. 6 fixed with client edge
constexpr int32_t kMaxStartPosition = 3;      // 0 stored place, 1 centred, 2 minimised, 3 maximised
constexpr int32_t kMaxWindowShape = 29;
constexpr int32_t kMaxBackPictureMode = 2;

// Values are kept as stored (flags too are 32-bit words, 0 = off), so that
// encoding a decoded record gives back the same bytes.
struct WindowRecord {
  uint32_t version = kWindowRecordVersion;  // 1..6; also selects what EncodeWindowRecord writes
  int32_t borderStyle = 2;
  int32_t backPictureMode = 0;
  uint32_t backColor = kDefaultColor;
  int32_t maxButton = 1;
  int32_t minButton = 1;
  int32_t controlButton = 1;
  int32_t startPosition = 0;
  int32_t movable = 1;
  int32_t musicPlayCount = 0;
  int32_t extraFlags[3] = {0, 0, 0};  // properties 21, 22, 23
  int32_t helpNumber = 0;
  int32_t showInTaskbar = 1;    // version >= 2; older records: 1
  int32_t dragAnywhere = 0;     // version >= 3; older records: 0
  int32_t shape = 0;            // version >= 3; older records: 0 (rectangular)
  int32_t alwaysOnTop = 0;      // version >= 4; older records: 0
  int32_t keepTitleActive = 0;  // version >= 5; older records: 0
  std::string className;        // version 6; older records: empty (the frame's class)
  std::vector<uint8_t> backPicture;  // whole picture file, empty = none
  std::vector<uint8_t> icon;         // whole icon file, empty = the program's default icon
  std::vector<uint8_t> music;        // empty = none
  std::string title;                 // GBK
  std::string helpFile;              // GBK
};

bool operator==(const WindowRecord& a, const WindowRecord& b);

// Decodes data[0, size) into *record. Returns false with *failure filled (if
// not null) when the record is empty or truncated, a length runs past the end,
// the version is 0 (kBadVersion) or above 6 (kVersionTooNew), or bytes follow
// the last field (kTrailingBytes). *record is changed only on success.
bool DecodeWindowRecord(const uint8_t* data, size_t size, WindowRecord* record, CursorFailure* failure);

// Replaces *out with the record in the layout of record.version. Returns false
// (and leaves *out empty) for a version outside 1..6 or a blob too large for a
// 32-bit length.
bool EncodeWindowRecord(const WindowRecord& record, std::vector<uint8_t>* out);

// Name of the first choice field outside its documented range (border style,
// background picture mode, StartPosition, shape), or null when all are in range.
const char* WindowRecordRangeError(const WindowRecord& record);
