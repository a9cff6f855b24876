// INTERIM: the span interface on top of the dense kernel, until the kernel branch lands.
#include <algorithm>
#include <cmath>

#include "coverage/coverage_kernel.h"
#include "coverage/coverage_rows.h"

namespace pintovel {

void MeasureCoverageRows(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                         int32_t endRow, CoverageScratch& scratch, CoverageRowSink& sink) {
  if (polygon.empty()) return;
  Bounds box{polygon[0].x, polygon[0].x, polygon[0].y, polygon[0].y};
  for (const Point& p : polygon) {
    box.minX = std::min(box.minX, p.x);
    box.maxX = std::max(box.maxX, p.x);
    box.minY = std::min(box.minY, p.y);
    box.maxY = std::max(box.maxY, p.y);
  }
  const int32_t x0 = std::max(static_cast<int32_t>(std::floor(box.minX)), cells.originX);
  const int32_t x1 =
      std::min(static_cast<int32_t>(std::ceil(box.maxX)), cells.originX + cells.cols);
  const int32_t y0 = std::max(static_cast<int32_t>(std::floor(box.minY)), firstRow);
  const int32_t y1 = std::min(static_cast<int32_t>(std::ceil(box.maxY)), endRow);
  if (x1 <= x0 || y1 <= y0) return;
  const int32_t top = static_cast<int32_t>(std::floor(box.minY));
  const int32_t bottom = std::max(static_cast<int32_t>(std::ceil(box.maxY)), top + 1);
  ComputeCoverageInCells(
      CellRange{x0, std::max(top, cells.originY), x1 - x0,
                std::min(bottom, cells.originY + cells.rows) - std::max(top, cells.originY)},
      cells.cols == 1, polygon, scratch.grid);
  const CoverageGrid& g = scratch.grid;
  for (int32_t y = y0; y < y1; ++y) {
    scratch.spans.clear();
    const double* row = g.values.data() + static_cast<size_t>(y - g.originY) * g.cols;
    for (int32_t c = 0; c < g.cols; ++c) {
      if (row[c] == 0.0) continue;
      if (!scratch.spans.empty() && scratch.spans.back().x1 == g.originX + c &&
          scratch.spans.back().value == row[c]) {
        ++scratch.spans.back().x1;
      } else {
        scratch.spans.push_back(CoverageSpan{g.originX + c, g.originX + c + 1, row[c]});
      }
    }
    if (!scratch.spans.empty()) sink.Row(y, scratch.spans.data(), scratch.spans.size());
  }
}

void MeasureCoverageGrid(const Bounds& window, const Polygon& polygon, CoverageGrid& grid) {
  ComputeCoverage(window, polygon, grid);
}

}  // namespace pintovel
