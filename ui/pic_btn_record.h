// The picture button's stored property record.
//
// Stored order: version (1); ButtonKind (property 8); Checked (9);
// TransparentColor (14) as a COLORREF; then the picture blobs NormalPicture
// (10), HoverPicture (11), PressedPicture (12), DisabledPicture (13). An
// empty record stands for the defaults below. Portable: no Windows header
// here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame/byte_cursor.h"
#include "frame/property_values.h"
#include "ui/widget_values.h"

constexpr uint32_t kPicBtnRecordVersion = 1;

// Own property numbers (8 and up; the descriptor counts them from 0).
enum PicBtnProperty : int {
  kPicBtnButtonKind = kFirstOwnProperty,
  kPicBtnChecked,
  kPicBtnNormalPicture,
  kPicBtnHoverPicture,
  kPicBtnPressedPicture,
  kPicBtnDisabledPicture,
  kPicBtnTransparentColor,
  kPicBtnPropertyEnd,  // one past the last
};

enum PicBtnKind : int32_t { kPushButton = 0, kToggleButton = 1 };

// The four picture slots, in stored order.
enum PicBtnSlot : int { kNormalSlot = 0, kHoverSlot = 1, kPressedSlot = 2, kDisabledSlot = 3, kSlotCount = 4 };

inline int32_t ClampButtonKind(int32_t kind) { return ClampToRange(kind, kPushButton, kToggleButton); }

struct PicBtnRecord {
  int32_t buttonKind = kPushButton;        // 0 push, 1 toggle
  int32_t checked = 0;                     // 0 or 1
  uint32_t transparentColor = kDefaultColor;  // kDefaultColor = no key colour
  std::vector<uint8_t> pictures[kSlotCount];  // whole picture files; empty = none
};

bool operator==(const PicBtnRecord& a, const PicBtnRecord& b);

// Decodes data[0, size): size 0 gives the defaults. ButtonKind is clamped to
// 0..1 and Checked becomes 0 or 1. Returns false with *failure filled (if not
// null) for a version of 0 or above 1, a truncated record, a picture length
// past the end or trailing bytes; *record is changed only on success.
bool DecodePicBtnRecord(const uint8_t* data, size_t size, PicBtnRecord* record, CursorFailure* failure);

// Replaces *out with the version-1 record. False (and *out empty) when a
// picture is too large for a 32-bit length.
bool EncodePicBtnRecord(const PicBtnRecord& record, std::vector<uint8_t>* out);
