// The picture box's stored property record (the tail of its FormUnitRecord).
//
// Stored order: version; BorderStyle (property 8); BackColor (9);
// DisplayMode (11); PlayAnimation (12); the Picture blob (10); from version 2
// DataSource (13) and DataColumn (14) as texts. An empty record (no bytes at
// all) stands for the defaults below. Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/byte_cursor.h"
#include "frame/property_values.h"
#include "ui/widget_values.h"

constexpr uint32_t kPicBoxRecordVersion = 2;

// Own property numbers (8 and up; the descriptor counts them from 0).
enum PicBoxProperty : int {
  kPicBoxBorderStyle = kFirstOwnProperty,
  kPicBoxBackColor,
  kPicBoxPicture,
  kPicBoxDisplayMode,
  kPicBoxPlayAnimation,
  kPicBoxDataSource,
  kPicBoxDataColumn,
  kPicBoxPropertyEnd,  // one past the last
};
constexpr int32_t kMaxDisplayMode = 2;  // 0 natural, 1 stretched, 2 fitted

struct PicBoxRecord {
  uint32_t version = kPicBoxRecordVersion;  // 1..2; selects what EncodePicBoxRecord writes
  int32_t borderStyle = 0;                  // 0..kMaxWidgetBorderStyle
  uint32_t backColor = kDefaultColor;
  int32_t displayMode = 0;                  // 0..kMaxDisplayMode
  int32_t playAnimation = 1;                // 0 or 1
  std::vector<uint8_t> picture;             // whole picture file; empty = none
  std::string dataSource;                   // version 2; GBK
  std::string dataColumn;                   // version 2; GBK
};

bool operator==(const PicBoxRecord& a, const PicBoxRecord& b);

// Decodes data[0, size) into *record: size 0 gives the defaults; otherwise
// the record must be whole. Out-of-range choices are clamped (BorderStyle
// 0..5, DisplayMode 0..2) and PlayAnimation becomes 0 or 1. Returns false with
// *failure filled (if not null) for a version of 0 (kBadVersion) or above 2
// (kVersionTooNew), a truncated record, a length past the end or bytes after
// the last field (kTrailingBytes); *record is changed only on success.
bool DecodePicBoxRecord(const uint8_t* data, size_t size, PicBoxRecord* record, CursorFailure* failure);

// Replaces *out with the record in the layout of record.version. Returns
// false (leaving *out empty) for a version outside 1..2 or a blob or text too
// large for a 32-bit length.
bool EncodePicBoxRecord(const PicBoxRecord& record, std::vector<uint8_t>* out);
