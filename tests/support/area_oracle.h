// A slow reference for exact pixel coverage, independent of the coverage kernel.
//
// The coverage of a cell is the integral over the cell of the polygon's winding number, with a
// loop that runs clockwise on screen (y down), e.g. (0,0) -> (1,0) -> (1,1) -> (0,1), counting
// +1. The oracle measures it directly: it clips the closed polygon to the cell's unit square
// with Sutherland-Hodgman (one half-plane per side) and returns the shoelace area of what is
// left. Clipping a closed outline to a convex region keeps its winding number at every point
// inside the region (each excursion outside is replaced by a segment on the clip line, which
// winds the same way around every inside point), so this holds for any orientation,
// self-intersecting outlines and repeated vertices alike.
//
// Precision: all arithmetic is in long double, on coordinates taken relative to the cell's
// top-left corner (a double minus an integer is exact there), so the error does not grow with
// the cell's distance from the origin. With an 80-bit long double the error of a cell value is
// far below 1e-15 for polygons spanning a few thousand pixels; where long double is only a
// double (MSVC) it is of the order of 1e-13 for such polygons.
#ifndef PINTOVEL_TESTS_SUPPORT_AREA_ORACLE_H
#define PINTOVEL_TESTS_SUPPORT_AREA_ORACLE_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <vector>

#include "coverage/coverage_grid.h"

namespace pintovel {
namespace testing {

// Signed area of `polygon` (closed, last vertex back to the first) inside the cell
// [cx, cx + 1] x [cy, cy + 1]; positive for the clockwise-on-screen sense.
long double ExactCellArea(const Polygon& polygon, int32_t cx, int32_t cy);

// ExactCellArea for every cell of `cells`, row-major like CoverageGrid::values: the value of
// cell (x, y) is element (y - cells.originY) * cells.cols + (x - cells.originX).
std::vector<long double> ExactCoverage(const Polygon& polygon, const CellRange& cells);

// Signed shoelace area of the whole polygon, positive for the clockwise-on-screen sense.
// Computed relative to the first vertex.
long double ShoelaceArea(const Polygon& polygon);

}  // namespace testing
}  // namespace pintovel

#endif  // PINTOVEL_TESTS_SUPPORT_AREA_ORACLE_H
