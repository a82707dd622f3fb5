// Where a picture goes inside a widget's box: the display modes of the
// picture box and the background-picture modes of the label, as pure
// arithmetic. Portable: no Windows header here.
//
// A layout yields a number of placements (none, one, or one per tile);
// each names the destination rectangle in the widget's client coordinates
// and the source rectangle in the picture. The source is always the whole
// picture, so a destination may stick out of the box: the caller draws
// clipped to the box (its paint clip or fill region). That keeps icons,
// which are drawn whole at the destination size, at their own size too.
#pragma once

#include <cstdint>

struct PictureRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct PicturePlacement {
  PictureRect dest;
  PictureRect source;
};

enum class PictureLayout {
  kNatural,    // own size at the box's top-left corner
  kStretched,  // scaled to fill the whole box, proportions not kept
  kFitted,     // own size and centred when it fits; otherwise scaled down
               // uniformly by min(box w / picture w, box h / picture h),
               // each side truncated to whole pixels, and centred
  kTiled,      // own size, repeated from the top-left corner, row by row
};

// The picture box's DisplayMode: 0 natural, 1 stretched, 2 fitted; values
// outside 0..2 are clamped to the nearest end.
PictureLayout PicBoxLayout(int displayMode);
// The label's BackPictureMode: 0 natural, 1 tiled, 2 fitted; clamped.
PictureLayout LabelBackLayout(int backPictureMode);

// How many placements the layout gives for a pictureWidth x pictureHeight
// picture in box: 0 when the box or the picture is empty, or when fitting
// shrinks a side to 0 pixels; the tile count for kTiled; 1 otherwise.
// Sizes are window sizes: each below 2^30.
uint64_t PlacementCount(PictureLayout layout, const PictureRect& box, int pictureWidth, int pictureHeight);

// Placement number index (0 <= index < PlacementCount); tiles are numbered
// row by row from the top-left.
PicturePlacement PlacementAt(PictureLayout layout, const PictureRect& box, int pictureWidth, int pictureHeight,
                             uint64_t index);
