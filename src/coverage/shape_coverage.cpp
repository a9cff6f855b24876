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

// Measures a polygon whose vertices all lie inside `area`, over the cells its box touches.
bool MeasureInside(const Polygon& polygon, const CellRange& area, bool windowIsSingleColumn,
                   CoverageGrid& grid) {
  const Bounds box = BoundingBox(polygon);
  const int32_t x0 = std::max(static_cast<int32_t>(std::floor(box.minX)), area.originX);
  const int32_t x1 = std::min(static_cast<int32_t>(std::ceil(box.maxX)), area.originX + area.cols);
  const int32_t y0 = std::max(static_cast<int32_t>(std::floor(box.minY)), area.originY);
  const int32_t y1 = std::min(static_cast<int32_t>(std::ceil(box.maxY)), area.originY + area.rows);
  // A box without width or height holds an outline along one grid line: it encloses nothing.
  if (x1 <= x0 || y1 <= y0) return false;
  ComputeCoverageInCells(CellRange{x0, y0, x1 - x0, y1 - y0}, windowIsSingleColumn, polygon, grid);
  return true;
}

}  // namespace

bool MeasureShapeCoverage(const Bounds& window, int32_t rowsUsed, const Polygon& outline,
                          CoverageGrid& grid) {
  const CellRange windowCells = WindowCells(window);
  const CellRange used{windowCells.originX, windowCells.originY, windowCells.cols,
                       std::min(windowCells.rows, rowsUsed)};
  if (outline.empty() || used.cols <= 0 || used.rows <= 0) return false;
  const bool singleColumn = windowCells.cols == 1;
  if (BoxInsideCells(BoundingBox(outline), used)) {
    return MeasureInside(outline, used, singleColumn, grid);
  }

  // Clipped relative to the first used cell: the shift by whole pixels is exact for vertices
  // near the window, and the crossings the clip interpolates keep their accuracy however far
  // the window lies from the origin (near y = 2e9 an absolute double resolves only 2e-7).
  const double shiftX = used.originX, shiftY = used.originY;
  Polygon clipped(outline.size());
  for (size_t i = 0; i < outline.size(); ++i) {
    clipped[i] = Point{outline[i].x - shiftX, outline[i].y - shiftY};
  }
  Bounds box = BoundingBox(clipped);
  Polygon scratch;
  Bounds scratchBounds{};
  ClipPolygonToCells(clipped, box, 0, 0, used.cols, used.rows, clipped, scratch, scratchBounds);
  if (clipped.empty()) return false;
  if (!MeasureInside(clipped, CellRange{0, 0, used.cols, used.rows}, singleColumn, grid)) {
    return false;
  }
  grid.originX += used.originX;
  grid.originY += used.originY;
  return true;
}

}  // namespace pintovel
