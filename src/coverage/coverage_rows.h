// INTERIM: declarations of the span-emitting kernel; replaced by the kernel branch.
#ifndef PINTOVEL_COVERAGE_COVERAGE_ROWS_H
#define PINTOVEL_COVERAGE_COVERAGE_ROWS_H

#include <pintovel/pintovel.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "coverage/coverage_grid.h"

namespace pintovel {

struct CoverageSpan {
  int32_t x0;
  int32_t x1;
  double value;
};

class CoverageRowSink {
 public:
  virtual void Row(int32_t y, const CoverageSpan* spans, size_t count) = 0;

 protected:
  ~CoverageRowSink() = default;
};

class CoverageScratch {
 public:
  CoverageGrid grid;
  std::vector<CoverageSpan> spans;
};

void MeasureCoverageRows(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                         int32_t endRow, CoverageScratch& scratch, CoverageRowSink& sink);

void MeasureCoverageGrid(const Bounds& window, const Polygon& polygon, CoverageGrid& grid);

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_COVERAGE_ROWS_H
