#include "coverage/shape_coverage.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "clip/polygon_split.h"
#include "coverage/coverage_rows.h"

namespace pintovel {

namespace {

// The whole pixels first .. end - 1 that [low, high] reaches on an axis of `size` pixels,
// clamped to 0 .. size - 1.
struct PixelRange {
  int32_t first;
  int32_t end;
};
PixelRange PixelsReached(double low, double high, int32_t size) {
  return PixelRange{static_cast<int32_t>(std::floor(std::clamp(low, 0.0, double(size)))),
                    static_cast<int32_t>(std::ceil(std::clamp(high, 0.0, double(size))))};
}

// Appends every reported row to a ShapeRows, moved by a whole-cell offset.
class RowCollector final : public CoverageRowSink {
 public:
  RowCollector(ShapeRows& out, int32_t shiftX, int32_t shiftY)
      : out_(out), shiftX_(shiftX), shiftY_(shiftY) {}

  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    out_.rows.push_back(MeasuredRow{y + shiftY_, static_cast<uint32_t>(out_.spans.size()),
                                    static_cast<uint32_t>(count)});
    for (size_t i = 0; i < count; ++i) {
      out_.spans.push_back(
          CoverageSpan{spans[i].x0 + shiftX_, spans[i].x1 + shiftX_, spans[i].value});
    }
  }

 private:
  ShapeRows& out_;
  int32_t shiftX_;
  int32_t shiftY_;
};

bool BoxInsideCells(const Bounds& box, const CellRange& cells) {
  return box.minX >= cells.originX && box.maxX <= double(cells.originX) + cells.cols &&
         box.minY >= cells.originY && box.maxY <= double(cells.originY) + cells.rows;
}

}  // namespace

void MeasureRowsOfOutline(const Polygon& outline, const CellRange& cells, int32_t firstRow,
                          int32_t endRow, MeasureScratch& scratch) {
  scratch.rows.Clear();
  if (outline.empty() || firstRow >= endRow) return;
  RowCollector collect(scratch.rows, 0, 0);
  MeasureCoverageRows(outline, cells, firstRow, endRow, scratch.kernel, collect);
}

void MeasureShapeRows(const Bounds& window, int32_t rowsUsed, const Polygon& outline,
                      MeasureScratch& scratch) {
  MeasureShapeRows(window, rowsUsed, outline, std::numeric_limits<int32_t>::min(),
                   std::numeric_limits<int32_t>::max(), scratch);
}

RowSpan RowsOfOutline(const Polygon& outline, int32_t height) {
  if (outline.empty()) return RowSpan{0, 0};
  const Bounds box = BoundingBox(outline);
  const PixelRange rows = PixelsReached(box.minY, box.maxY, height);
  return RowSpan{rows.first, rows.end};
}

PixelBox BoxOfOutline(const Polygon& outline, int32_t width, int32_t height) {
  if (outline.empty()) return PixelBox{0, 0, 0, 0};
  const Bounds box = BoundingBox(outline);
  const PixelRange columns = PixelsReached(box.minX, box.maxX, width);
  const PixelRange rows = PixelsReached(box.minY, box.maxY, height);
  return PixelBox{columns.first, columns.end, rows.first, rows.end};
}

ShapeKernelInput PrepareShapeKernel(const Bounds& window, int32_t rowsUsed, const Polygon& outline,
                                    int32_t firstRow, int32_t endRow, Polygon& clipped,
                                    Polygon& clipScratch) {
  const ShapeKernelInput nothing{&outline, CellRange{0, 0, 0, 0}, 0, 0, 0, 0};
  const CellRange windowCells = WindowCells(window);
  const CellRange used{windowCells.originX, windowCells.originY, windowCells.cols,
                       std::min(windowCells.rows, rowsUsed)};
  if (outline.empty() || used.cols <= 0 || used.rows <= 0) return nothing;
  // The rows asked for, within the used ones; in int64 since used.originY + used.rows may
  // exceed int32 by one row's worth of nothing.
  const int64_t first = std::max<int64_t>(firstRow, used.originY);
  const int64_t end = std::min<int64_t>(endRow, int64_t{used.originY} + used.rows);
  if (first >= end) return nothing;
  if (BoxInsideCells(BoundingBox(outline), used)) {
    return ShapeKernelInput{&outline, used, static_cast<int32_t>(first), static_cast<int32_t>(end),
                            0,        0};
  }

  // Clipped relative to the first used cell: the shift by whole pixels is exact for vertices
  // near the window, and the crossings the clip interpolates keep their accuracy however far
  // the window lies from the origin (near y = 2e9 an absolute double resolves only 2e-7).
  const double shiftX = used.originX, shiftY = used.originY;
  clipped.resize(outline.size());
  for (size_t i = 0; i < outline.size(); ++i) {
    clipped[i] = Point{outline[i].x - shiftX, outline[i].y - shiftY};
  }
  Bounds box = BoundingBox(clipped);
  Bounds scratchBounds{};
  ClipPolygonToCells(clipped, box, 0, 0, used.cols, used.rows, clipped, clipScratch, scratchBounds);
  if (clipped.empty()) return nothing;
  return ShapeKernelInput{&clipped,
                          CellRange{0, 0, used.cols, used.rows},
                          static_cast<int32_t>(first - used.originY),
                          static_cast<int32_t>(end - used.originY),
                          used.originX,
                          used.originY};
}

void MeasureShapeRows(const Bounds& window, int32_t rowsUsed, const Polygon& outline,
                      int32_t firstRow, int32_t endRow, MeasureScratch& scratch) {
  scratch.rows.Clear();
  const ShapeKernelInput input = PrepareShapeKernel(window, rowsUsed, outline, firstRow, endRow,
                                                    scratch.clipped, scratch.clipScratch);
  if (input.firstRow >= input.endRow) return;
  RowCollector collect(scratch.rows, input.shiftX, input.shiftY);
  MeasureCoverageRows(*input.polygon, input.cells, input.firstRow, input.endRow, scratch.kernel,
                      collect);
}

}  // namespace pintovel
