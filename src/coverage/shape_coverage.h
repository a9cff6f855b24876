// Measuring one shape for the roads that fold coverage into per-pixel data: the kernel runs
// over the rows and columns the shape touches only, so a small shape costs the same on a small
// image as on a huge one, and its rows of spans are kept for the fold.
#ifndef PINTOVEL_COVERAGE_SHAPE_COVERAGE_H
#define PINTOVEL_COVERAGE_SHAPE_COVERAGE_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <vector>

#include "coverage/coverage_grid.h"
#include "coverage/coverage_rows.h"

namespace pintovel {

// One measured row: spans[first .. first + count) of ShapeRows::spans.
struct MeasuredRow {
  int32_t y;
  uint32_t first;
  uint32_t count;
};

// A shape's coverage as rows of spans, in increasing row order, each row's spans sorted and
// disjoint; cells in no span have coverage 0.
struct ShapeRows {
  std::vector<MeasuredRow> rows;
  std::vector<CoverageSpan> spans;

  void Clear() {
    rows.clear();
    spans.clear();
  }
  const CoverageSpan* SpansOf(const MeasuredRow& row) const {
    return spans.data() + row.first;
  }
};

// Everything the measuring of shapes reuses from one shape to the next.
struct MeasureScratch {
  CoverageScratch kernel;
  ShapeRows rows;
  Polygon clipped;
  Polygon clipScratch;
};

// Measures `outline` over the cells of `window` in the window's first `rowsUsed` rows (the rows
// that hold lists) into scratch.rows; of those, only rows firstRow .. endRow - 1 when they are
// given (a band). An outline inside the used cells is measured as it is; one reaching beyond
// them is clipped to them first, in coordinates relative to the window's first cell so that far
// windows keep their accuracy (the winding-weighted area inside is unchanged). Either way a
// row's values do not depend on which rows are asked for.
// Requires: window edges representable as int32 cells; finite vertices within the accepted
// coordinate range.
void MeasureShapeRows(const Bounds& window, int32_t rowsUsed, const Polygon& outline,
                      MeasureScratch& scratch);
void MeasureShapeRows(const Bounds& window, int32_t rowsUsed, const Polygon& outline,
                      int32_t firstRow, int32_t endRow, MeasureScratch& scratch);

// What the kernel runs over to measure an outline as MeasureShapeRows does: `polygon` (the
// outline itself, or its copy clipped to the used cells in `clipped`) over `cells`, rows
// firstRow .. endRow - 1 of those cells; a cell (x, y) of theirs is the window's cell
// (x + shiftX, y + shiftY). Nothing is to be measured when firstRow == endRow. For the roads
// that read the kernel's rows straight from their own sink instead of through ShapeRows.
struct ShapeKernelInput {
  const Polygon* polygon;
  CellRange cells;
  int32_t firstRow;
  int32_t endRow;
  int32_t shiftX;
  int32_t shiftY;
};
ShapeKernelInput PrepareShapeKernel(const Bounds& window, int32_t rowsUsed, const Polygon& outline,
                                    int32_t firstRow, int32_t endRow, Polygon& clipped,
                                    Polygon& clipScratch);

// The rows firstRow .. endRow - 1 of the image that an outline's vertices span (clamped to
// 0 .. height); empty (firstRow == endRow) for an outline without vertices.
struct RowSpan {
  int32_t firstRow;
  int32_t endRow;
};
RowSpan RowsOfOutline(const Polygon& outline, int32_t height);

// The pixels of a width x height image that an outline's vertices span: columns x0 .. x1 - 1
// and rows y0 .. y1 - 1, clamped to the image; empty for an outline without vertices. The shape
// covers nothing outside them.
struct PixelBox {
  int32_t x0;
  int32_t x1;
  int32_t y0;
  int32_t y1;
};
PixelBox BoxOfOutline(const Polygon& outline, int32_t width, int32_t height);

// Measures rows firstRow .. endRow - 1 of an outline that lies inside the cells `cells` into
// scratch.rows, without clipping (rows do not depend on each other, so a band of an image is
// measured by asking for its rows).
void MeasureRowsOfOutline(const Polygon& outline, const CellRange& cells, int32_t firstRow,
                          int32_t endRow, MeasureScratch& scratch);

// Index of the list of cell (x, y) in data built over `windowCells`: row-major over the
// window's columns, counted from its first cell.
inline int64_t ListIndexOfCell(const CellRange& windowCells, int32_t x, int32_t y) {
  return static_cast<int64_t>(y - windowCells.originY) * windowCells.cols +
         (x - windowCells.originX);
}

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_SHAPE_COVERAGE_H
