// Picture placement arithmetic; see picture_geometry.h.
#include "ui/picture_geometry.h"

#include <algorithm>

namespace {

bool Empty(const PictureRect& box, int pictureWidth, int pictureHeight) {
  return box.width <= 0 || box.height <= 0 || pictureWidth <= 0 || pictureHeight <= 0;
}

// The fitted destination. Integer arithmetic keeps the truncation exact:
// the side that limits the scale comes out as the box's side, never one
// pixel short through rounding of a floating-point factor.
PictureRect Fit(const PictureRect& box, int pictureWidth, int pictureHeight) {
  int64_t w = pictureWidth, h = pictureHeight;
  if (w > box.width || h > box.height) {
    // Compare box.width / w with box.height / h without dividing.
    if (int64_t(box.width) * h <= int64_t(box.height) * w) {
      h = h * box.width / w;
      w = box.width;
    } else {
      w = w * box.height / h;
      h = box.height;
    }
  }
  PictureRect dest;
  dest.width = int(w);
  dest.height = int(h);
  dest.x = box.x + int((box.width - w) / 2);
  dest.y = box.y + int((box.height - h) / 2);
  return dest;
}

uint64_t Tiles(int boxSide, int pictureSide) { return (uint64_t(boxSide) + uint64_t(pictureSide) - 1) / uint64_t(pictureSide); }

}  // namespace

PictureLayout PicBoxLayout(int displayMode) {
  if (displayMode <= 0) return PictureLayout::kNatural;
  return displayMode == 1 ? PictureLayout::kStretched : PictureLayout::kFitted;
}

PictureLayout LabelBackLayout(int backPictureMode) {
  if (backPictureMode <= 0) return PictureLayout::kNatural;
  return backPictureMode == 1 ? PictureLayout::kTiled : PictureLayout::kFitted;
}

uint64_t PlacementCount(PictureLayout layout, const PictureRect& box, int pictureWidth, int pictureHeight) {
  if (Empty(box, pictureWidth, pictureHeight)) return 0;
  switch (layout) {
    case PictureLayout::kTiled:
      return Tiles(box.width, pictureWidth) * Tiles(box.height, pictureHeight);
    case PictureLayout::kFitted: {
      const PictureRect dest = Fit(box, pictureWidth, pictureHeight);
      return dest.width > 0 && dest.height > 0 ? 1 : 0;
    }
    case PictureLayout::kNatural:
    case PictureLayout::kStretched:
      break;
  }
  return 1;
}

PicturePlacement PlacementAt(PictureLayout layout, const PictureRect& box, int pictureWidth, int pictureHeight,
                             uint64_t index) {
  PicturePlacement placement;
  placement.source = PictureRect{0, 0, pictureWidth, pictureHeight};
  PictureRect& dest = placement.dest;
  switch (layout) {
    case PictureLayout::kNatural:
      dest = PictureRect{box.x, box.y, pictureWidth, pictureHeight};
      break;
    case PictureLayout::kStretched:
      dest = box;
      break;
    case PictureLayout::kFitted:
      dest = Fit(box, pictureWidth, pictureHeight);
      break;
    case PictureLayout::kTiled: {
      const uint64_t columns = Tiles(std::max(box.width, 1), std::max(pictureWidth, 1));
      dest.x = box.x + int(index % columns) * pictureWidth;
      dest.y = box.y + int(index / columns) * pictureHeight;
      dest.width = pictureWidth;
      dest.height = pictureHeight;
      break;
    }
  }
  return placement;
}
