// The coverage kernel's output record and the rectangle of cells it measures.
#ifndef PINTOVEL_COVERAGE_COVERAGE_GRID_H
#define PINTOVEL_COVERAGE_COVERAGE_GRID_H

#include <cstdint>
#include <vector>

namespace pintovel {

// A rectangle of whole pixel cells: columns originX .. originX + cols - 1, rows originY ..
// originY + rows - 1.
struct CellRange {
  int32_t originX;
  int32_t originY;
  int32_t cols;
  int32_t rows;
};

// Signed covered fraction of each cell, row-major: cell (x, y) is
// values[(y - originY) * cols + (x - originX)]. A fresh grid reads -1000, -1000, 0, 0 and holds
// no values until the kernel fills it.
struct CoverageGrid {
  std::vector<double> values;
  int32_t originX = -1000;
  int32_t originY = -1000;
  int32_t rows = 0;
  int32_t cols = 0;
};

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_COVERAGE_GRID_H
