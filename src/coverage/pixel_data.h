// Per-pixel weight lists as a painter's stack: each shape's exact coverage is folded into the
// lists of the pixels it covers, governed by its front mask.
#ifndef PINTOVEL_COVERAGE_PIXEL_DATA_H
#define PINTOVEL_COVERAGE_PIXEL_DATA_H

#include <pintovel/pintovel.h>

namespace pintovel {

// Coverage below this leaves a pixel alone; above kFullCoverage a shape covers the whole pixel.
// The kernel leaves rounding residues of about 1e-15 where the exact value is 0 or 1.
constexpr double kMinCoverage = 1e-9;
constexpr double kFullCoverage = 0.999999999;

// Folds one shape into `data`, whose list p belongs to cell p of `window` (row-major over the
// window's columns). Shapes in `front` keep their shares, the shape takes what they leave of
// its coverage, shapes behind it lose what it covers; each id stays at most once per list.
// Returns false, changing nothing, when a list the shape covers holds an id outside `front`
// (negative ids included), since that id cannot be tested against the mask.
// Requires (checked by the exports): `window` fits the data (WindowFitsPixelData), the data
// holds all its lists, and the outline's vertices are accepted coordinates.
bool AddShapeToPixelData(PixelData& data, const FrontMask& front, const Polygon& outline,
                         const Bounds& window, int32_t id);

// AddShapeToPixelData for shapes 0 .. fronts.size() - 1 in order. Stops at the first shape that
// returns false and returns false; the shapes before it stay applied.
// Requires also: outlines and ids at least as long as fronts.
bool AddShapesToPixelData(PixelData& data, const std::vector<FrontMask>& fronts,
                          const std::vector<Polygon>& outlines, const Bounds& window,
                          const std::vector<int32_t>& ids);

// The entries behind the UpdatePixelData and CreatePixelData exports, on trusted arguments:
// the hand-back protocol around the steps above. A false result hands back the object as it
// was on entry.
bool RunUpdatePixelData(const FrontMask& front, const Polygon& outline, const Bounds& window,
                        int32_t id, InOutArg<PixelData> data);
bool RunCreatePixelData(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                        const Bounds& window, const std::vector<int32_t>& ids,
                        InOutArg<PixelData> data);

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_PIXEL_DATA_H
