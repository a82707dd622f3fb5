// Value rules shared by the stored records of the skin widgets that this
// library defines (picture box, progress bar, timer, picture button): the
// clamp of choice fields and the border-style range. Portable: no Windows
// header here.
#pragma once

#include <cstdint>

// v brought into [lo, hi]: below lo gives lo, above hi gives hi.
inline int32_t ClampToRange(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// A stored flag word as a boolean: any value but 0 is on.
inline int32_t FlagValue(int32_t v) { return v != 0 ? 1 : 0; }

// Border styles of the picture box and the progress bar: 0 none .. 5 single
// line (see ui/border_style_win.h).
constexpr int32_t kMaxWidgetBorderStyle = 5;
