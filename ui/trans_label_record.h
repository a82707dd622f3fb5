// The transparent label's (kind TransLabel, 0x00020005) own properties and
// its stored property record. Portable: no Windows header here.
//
// Stored order (version 1; each numeric field a 32-bit word): version;
// Effect; TextColor; HAlign; VAlign; WordWrap; the Font blob; Caption as a
// text. An empty record (size 0) gives the defaults below. Ranges and clamps
// are the label's (label_record.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/byte_cursor.h"
#include "ui/label_record.h"

constexpr uint32_t kTransLabelRecordVersion = 1;

// Own property numbers (8 and up; the descriptor counts them from 0).
enum TransLabelProperty : int {
  kTransLabelCaption = 8,
  kTransLabelEffect = 9,
  kTransLabelFont = 10,
  kTransLabelTextColor = 11,
  kTransLabelHAlign = 12,
  kTransLabelWordWrap = 13,
  kTransLabelVAlign = 14,
  kTransLabelPropertyEnd = 15,  // one past the last
};

struct TransLabelRecord {
  uint32_t version = kTransLabelRecordVersion;
  int32_t effect = 0;
  uint32_t textColor = ColorFromRgb(0, 0, 0);
  int32_t hAlign = 0;
  int32_t vAlign = 1;
  int32_t wordWrap = 0;
  std::vector<uint8_t> font;        // a LOGFONTA when exactly 60 bytes; else the default font
  std::string caption = "透明标签";  // GBK
};

bool operator==(const TransLabelRecord& a, const TransLabelRecord& b);

// Decodes data[0, size) into *record: size 0 gives the defaults; otherwise
// the version must be 1 (kBadVersion for 0, kVersionTooNew above) and the
// fields must fill the record exactly. Effect, HAlign and VAlign are clamped
// into their ranges and WordWrap to 0/1; the font blob may have any length.
// On failure returns false, fills *failure (when not null) and leaves
// *record unchanged.
bool DecodeTransLabelRecord(const uint8_t* data, size_t size, TransLabelRecord* record, CursorFailure* failure);

// Replaces *out with the stored record. Returns false (and leaves *out
// empty) for a version other than 1 or a blob or text too large for a 32-bit
// length. Values are written as they stand.
bool EncodeTransLabelRecord(const TransLabelRecord& record, std::vector<uint8_t>* out);
