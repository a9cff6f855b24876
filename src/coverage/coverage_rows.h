// The row kernel: exact coverage of one closed polygon, measured row by row and handed out as
// spans of cells with equal value, or as runs of the cells whose value reaches a threshold.
//
// The coverage of a cell is the integral over the cell of the polygon's winding number; a loop
// that runs clockwise on screen (x right, y down) counts +1, so values are signed and exceed 1
// where loops of the same sense overlap. Rows are independent of each other: a row's values
// depend only on the polygon and the row, never on which rows were asked for, which is what
// lets callers measure in bands and get bit-identical results.
#ifndef PINTOVEL_COVERAGE_COVERAGE_ROWS_H
#define PINTOVEL_COVERAGE_COVERAGE_ROWS_H

#include <pintovel/pintovel.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "coverage/coverage_grid.h"

namespace pintovel {

// Cells x0 .. x1 - 1 of one row, all with coverage `value`.
struct CoverageSpan {
  int32_t x0;
  int32_t x1;
  double value;
};

// Receives the measured rows in increasing row order.
class CoverageRowSink {
 public:
  // `spans` sorted by x0, not overlapping, each non-empty; cells outside them have coverage 0.
  // The spans are valid only during the call.
  virtual void Row(int32_t y, const CoverageSpan* spans, size_t count) = 0;

 protected:
  ~CoverageRowSink() = default;
};

// Cells x0 .. x1 - 1 of one row.
struct CellRun {
  int32_t x0;
  int32_t x1;
};

// Receives, in increasing row order, the cells of each row whose coverage reaches a threshold.
class ReachingRowSink {
 public:
  // `runs` sorted by x0, each non-empty, never touching (touching runs are reported as one).
  // The runs are valid only during the call.
  virtual void Row(int32_t y, const CellRun* runs, size_t count) = 0;

 protected:
  ~ReachingRowSink() = default;
};

// The kernel's internal records (coverage_rows.cpp).
struct CoverageEdge;
struct CoverageVertex;
struct CoverageCell;

// Working memory of the kernel (accumulation cells, touched-cell bits, edge list, span buffer),
// reused across shapes and calls so that measuring allocates nothing once it has grown. Between
// calls every bit is zero, and every cell too once `cellsZero` is set: the sweep clears the
// cells it reads, which are the only ones written. Newly grown cells are not cleared (the call
// that grew them starts each cell when it first touches it); the next call clears them once. A
// call cut short by a sink that throws leaves `dirty` set, and the next call clears everything
// first.
class CoverageScratch {
 public:
  using TouchedWord = size_t;  // a machine word of touched-cell bits

  CoverageScratch();
  ~CoverageScratch();
  CoverageScratch(CoverageScratch&&) noexcept;
  CoverageScratch& operator=(CoverageScratch&&) noexcept;
  CoverageScratch(const CoverageScratch&) = delete;
  CoverageScratch& operator=(const CoverageScratch&) = delete;

 private:
  friend class KernelCall;
  std::unique_ptr<CoverageVertex[]> vertices;  // not initialised: written before read
  size_t vertexCapacity = 0;
  std::vector<CoverageEdge> edges;
  std::vector<uint32_t> bandStarts;       // per band, where its edges begin in byBand
  std::vector<uint32_t> byBand;           // edge indices grouped by the band they start in
  std::vector<uint32_t> active;           // edges reaching the current band, in polygon order
  std::vector<uint32_t> current;          // the edges of the band being measured
  std::unique_ptr<CoverageCell[]> cells;  // cellCapacity cells
  size_t cellCapacity = 0;
  std::vector<TouchedWord> touched;
  std::unique_ptr<CoverageSpan[]> spans;  // not initialised: written before read
  size_t spanCapacity = 0;
  std::unique_ptr<CellRun[]> runs;  // not initialised: written before read
  size_t runCapacity = 0;
  bool cellsZero = true;
  bool dirty = false;
};

// Measures rows firstRow .. endRow - 1 of `polygon`, whose vertices all lie in the closed
// rectangle of `cells` (a vertex may lie on the right or bottom edge), and calls sink.Row for
// every row in that range that has at least one span; rows with nothing are skipped and rows
// outside [firstRow, endRow) are never reported. Requires firstRow and endRow within the cells'
// rows (firstRow <= endRow), and the cells' right and bottom edges within int32. The values of a
// row depend only on the polygon and the row. Input that breaks the preconditions (checked, as are
// non-finite vertices) stops debug builds with an assertion and reports no rows in release builds.
// Working memory is grown before the first row is reported: once the sink has been called, the
// call allocates nothing, so a sink may write its output as the rows come without an allocation
// failure ever leaving that output half written.
void MeasureCoverageRows(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                         int32_t endRow, CoverageScratch& scratch, CoverageRowSink& sink);

// The same measurement, reporting of each row only the cells whose coverage is at least
// `threshold` (> 0), as runs: a cell is reported exactly when MeasureCoverageRows gives it a
// value >= threshold (the values are computed alike), without the spans of every value.
void MeasureRowsReaching(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                         int32_t endRow, double threshold, CoverageScratch& scratch,
                         ReachingRowSink& sink);

// The cells of a window: columns floor(minX) .. ceil(maxX) - 1, rows floor(minY) ..
// ceil(maxY) - 1. The caller ensures the floors and ceilings fit in int32.
CellRange WindowCells(const Bounds& window);

// Fills `grid` with the coverage of every cell of `window` (the dense form, for tests and
// simple callers): origin and size are the window's cells (WindowCells), previous contents are
// discarded. Requires at least one vertex, every vertex in the closed rectangle of the window's
// cells, and at least one row and one column; other input gives an all-zero grid (an assertion
// in debug builds).
void MeasureCoverageGrid(const Bounds& window, const Polygon& polygon, CoverageGrid& grid);

// The same with caller-owned working memory.
void MeasureCoverageGrid(const Bounds& window, const Polygon& polygon, CoverageScratch& scratch,
                         CoverageGrid& grid);

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_COVERAGE_ROWS_H
