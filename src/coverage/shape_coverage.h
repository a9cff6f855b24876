// Measuring one shape for the per-pixel steps: the kernel runs only over the cells of the
// shape's bounding box, so a small shape costs the same on a small image as on a huge one.
#ifndef PINTOVEL_COVERAGE_SHAPE_COVERAGE_H
#define PINTOVEL_COVERAGE_SHAPE_COVERAGE_H

#include <pintovel/pintovel.h>

#include "coverage/coverage_grid.h"

namespace pintovel {

// Fills `grid` with the coverage of `outline` over the cells it touches among the window's
// columns and its first `rowsUsed` rows (the rows that hold lists). For an outline inside
// those cells the values are those of a whole-window kernel run; every cell outside the grid
// is zero up to rounding. An outline reaching beyond them is clipped first (in coordinates
// relative to the window, so far windows keep their accuracy), which leaves the
// winding-weighted area inside unchanged.
// Returns false, leaving `grid` empty, when the outline touches no cell.
// Requires: window edges representable as int32 cells; finite vertices within the accepted
// coordinate range.
bool MeasureShapeCoverage(const Bounds& window, int32_t rowsUsed, const Polygon& outline,
                          CoverageGrid& grid);

// Index of the list of cell (x, y) in data built over `window`: row-major over the window's
// columns, counted from its first cell.
inline int64_t ListIndexOfCell(const CellRange& windowCells, int32_t x, int32_t y) {
  return static_cast<int64_t>(y - windowCells.originY) * windowCells.cols +
         (x - windowCells.originX);
}

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_SHAPE_COVERAGE_H
