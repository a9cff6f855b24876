// Per-pixel weight lists in the host's PixelData: each shape's exact coverage is folded into
// the lists of the pixels it covers, as a painter's stack governed by its front mask.
#ifndef PINTOVEL_COVERAGE_PIXEL_DATA_H
#define PINTOVEL_COVERAGE_PIXEL_DATA_H

#include <pintovel/pintovel.h>

#include "coverage/shape_coverage.h"
#include "coverage/stacking_fold.h"

namespace pintovel {

// Folds one shape into `data`, whose list p belongs to cell p of `window` (row-major over the
// window's columns). Shapes in `front` keep their shares, the shape takes what they leave of
// its coverage, shapes behind it lose what it covers; each id stays at most once per list.
// Returns false, changing nothing, when a list the shape covers holds an id outside `front`
// (negative ids included), since that id cannot be tested against the mask. Room for the new
// entries is made before any list changes, so an allocation failure changes nothing either.
// Requires (checked by the exports): `window` fits the data (WindowFitsPixelData), the data
// holds all its lists, and the outline's vertices are accepted coordinates.
bool AddShapeToPixelData(PixelData& data, const FrontMask& front, const Polygon& outline,
                         const Bounds& window, int32_t id, MeasureScratch& scratch);

// AddShapeToPixelData for shapes 0 .. fronts.size() - 1 in order. Stops at the first shape that
// returns false and returns false; the shapes before it stay applied.
// Requires also: outlines and ids at least as long as fronts.
bool AddShapesToPixelData(PixelData& data, const std::vector<FrontMask>& fronts,
                          const std::vector<Polygon>& outlines, const Bounds& window,
                          const std::vector<int32_t>& ids);

// Whether folding these shapes into `data` can never meet an id outside a front mask: every
// shape with vertices has an id, and every list holds only ids, below the length of the
// shortest mask of those shapes. When true, AddShapesToPixelData cannot return false.
bool ShapesCannotMeetForeignIds(const PixelData& data, const std::vector<FrontMask>& fronts,
                                const std::vector<Polygon>& outlines,
                                const std::vector<int32_t>& ids);

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_PIXEL_DATA_H
