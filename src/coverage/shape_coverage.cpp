#include "coverage/shape_coverage.h"

#include <algorithm>
#include <cmath>

#include "clip/polygon_split.h"
#include "coverage/coverage_kernel.h"

namespace pintovel {

namespace {

bool BoxInsideCells(const Bounds& box, const CellRange& cells) {
  return box.minX >= cells.originX && box.maxX <= double(cells.originX) + cells.cols &&
         box.minY >= cells.originY && box.maxY <= double(cells.originY) + cells.rows;
}

}  // namespace

bool MeasureShapeCoverage(const Bounds& window, int32_t rowsUsed, const Polygon& outline,
                          CoverageGrid& grid) {
  const CellRange windowCells = WindowCells(window);
  const CellRange used{windowCells.originX, windowCells.originY, windowCells.cols,
                       std::min(windowCells.rows, rowsUsed)};
  if (outline.empty() || used.cols <= 0 || used.rows <= 0) return false;

  Bounds box = BoundingBox(outline);
  const Polygon* measured = &outline;
  Polygon clipped;
  if (!BoxInsideCells(box, used)) {
    clipped = outline;
    Polygon scratch;
    Bounds scratchBounds{};
    ClipPolygonToCells(clipped, box, used.originX, used.originY, used.originX + used.cols,
                       used.originY + used.rows, clipped, scratch, scratchBounds);
    if (clipped.empty()) return false;
    box = BoundingBox(clipped);  // the chain's record may be wider than the clipped polygon
    measured = &clipped;
  }

  const int32_t x0 = std::max(static_cast<int32_t>(std::floor(box.minX)), used.originX);
  const int32_t x1 = std::min(static_cast<int32_t>(std::ceil(box.maxX)), used.originX + used.cols);
  const int32_t y0 = std::max(static_cast<int32_t>(std::floor(box.minY)), used.originY);
  const int32_t y1 = std::min(static_cast<int32_t>(std::ceil(box.maxY)), used.originY + used.rows);
  // A box without width or height holds an outline along one grid line: it encloses nothing.
  if (x1 <= x0 || y1 <= y0) return false;

  ComputeCoverageInCells(CellRange{x0, y0, x1 - x0, y1 - y0}, windowCells.cols == 1, *measured,
                         grid);
  return true;
}

}  // namespace pintovel
