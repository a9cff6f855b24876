// The row kernel: exact coverage of one closed polygon, measured row by row and handed out as
// spans of cells with equal value.
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

// One edge of the polygon as the row kernel walks it, from its upper end to its lower end.
// Columns are relative to the accumulator's first column; see coverage_rows.cpp.
struct CoverageEdge {
  int32_t topRow;   // floor of the upper end's y
  int32_t lastRow;  // last row the edge has height in: ceil(lower y) - 1
  int32_t topColumn;
  int32_t bottomColumn;
  double topX;  // fractions in [0, 1) within their column or row
  double topY;
  double bottomX;
  double bottomY;
  double sign;         // +1 when the polygon runs down along the edge, -1 when up
  double slope;        // dx / dy, the high part when `compensated`
  double slopeLow;     // the low part of dx / dy (double-double), or 0
  int32_t leftColumn;  // the edge's x range, for clamping crossings
  int32_t rightColumn;
  double leftX;
  double rightX;
  bool compensated;  // crossings with row lines computed in double-double arithmetic
  bool vertical;
};

// A vertex as whole column (relative to the accumulator's first column) and row, with the
// fractions in [0, 1).
struct CoverageVertex {
  int32_t column;
  int32_t row;
  double x;
  double y;
};

// One accumulator cell: the signed height the edges cross in it (`cover`, +1 for a whole-row
// descent) and the sum of height * mean x offset within the cell of those pieces (`area`).
struct CoverageCell {
  double cover;
  double area;
};

// Working memory of the kernel (accumulation cells, touched-cell bits, edge list, span buffer),
// reused across shapes and calls so that measuring allocates nothing once it has grown. Between
// calls every cell and bit is zero; a call cut short by a sink that throws leaves `dirty` set,
// and the next call clears everything first.
class CoverageScratch {
 public:
  CoverageScratch() = default;

 private:
  friend void MeasureCoverageRows(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                                  int32_t endRow, CoverageScratch& scratch, CoverageRowSink& sink);
  std::vector<CoverageVertex> vertices;
  std::vector<CoverageEdge> edges;
  std::vector<uint32_t> bandStarts;  // per band, where its edges begin in byBand
  std::vector<uint32_t> byBand;      // edge indices grouped by the band they start in
  std::vector<uint32_t> active;      // edges reaching the current band, in polygon order
  std::vector<uint32_t> current;
  std::vector<CoverageCell> cells;
  std::vector<uint64_t> touched;
  std::vector<CoverageSpan> spans;
  bool dirty = false;
};

// Measures rows firstRow .. endRow - 1 of `polygon`, whose vertices all lie in the closed
// rectangle of `cells` (a vertex may lie on the right or bottom edge), and calls sink.Row for
// every row in that range that has at least one span; rows with nothing are skipped and rows
// outside [firstRow, endRow) are never reported. Requires firstRow and endRow within the cells'
// rows (firstRow <= endRow). The values of a row depend only on the polygon and the row.
// Input that breaks the preconditions (checked, as are non-finite vertices) stops debug builds
// with an assertion and reports no rows in release builds.
void MeasureCoverageRows(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                         int32_t endRow, CoverageScratch& scratch, CoverageRowSink& sink);

// Fills `grid` with the coverage of every cell of `window`, laid out as ComputeCoverage does:
// origin and size are the window's cells (WindowCells), previous contents are discarded, and
// input outside ComputeCoverage's preconditions gives an all-zero grid (an assertion in debug
// builds).
void MeasureCoverageGrid(const Bounds& window, const Polygon& polygon, CoverageGrid& grid);

// The same with caller-owned working memory.
void MeasureCoverageGrid(const Bounds& window, const Polygon& polygon, CoverageScratch& scratch,
                         CoverageGrid& grid);

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_COVERAGE_ROWS_H
