#include "coverage/front_to_back_fold.h"

#include <algorithm>
#include <cassert>

#include "coverage/coverage_rows.h"
#include "coverage/open_rows.h"
#include "coverage/shape_bands.h"
#include "coverage/shape_coverage.h"
#include "coverage/stacking_fold.h"

namespace pintovel {

namespace {

// The spans of a band's shapes that still matter, recorded from the front shape to the back:
// in a painting-order call a shape covering a pixel whole leaves only its own entry there,
// whatever the pixel held, so the shapes behind it are not folded into that pixel at all. A
// shape's recorded spans are its folded spans on pixels that no shape in front of it covers
// whole (a CoverageRowSink filling `rows` as the kernel reports them); its whole-cover spans
// then close their pixels to the shapes behind.
class OpenSpanRecorder final : public CoverageRowSink {
 public:
  OpenSpanRecorder(OpenRows& open, ShapeRows& rows) : open_(open), rows_(rows) {}

  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    const size_t first = rows_.spans.size();
    size_t cursor = 0;
    for (size_t i = 0; i < count; ++i) {
      const CoverageSpan& span = spans[i];
      if (!IsFoldedCoverage(span.value)) continue;
      const auto record = [&](int32_t x0, int32_t x1) {
        rows_.spans.push_back(CoverageSpan{x0, x1, span.value});
      };
      if (IsWholeCoverage(span.value)) {
        open_.Take(y, span.x0, span.x1, cursor, record);
      } else {
        open_.ForEachOpen(y, span.x0, span.x1, cursor, record);
      }
    }
    const size_t recorded = rows_.spans.size() - first;
    if (recorded > 0) {
      rows_.rows.push_back(
          MeasuredRow{y, static_cast<uint32_t>(first), static_cast<uint32_t>(recorded)});
    }
  }

 private:
  OpenRows& open_;
  ShapeRows& rows_;
};

// A shape of a band with recorded rows rows[firstRow .. endRow) of the band's record.
struct RecordedShape {
  uint32_t index;
  size_t firstRow;
  size_t endRow;
};

// Rows per band when folding front to back: about 64K pixels, at least 8 rows. Most shapes
// reach several bands and are measured once in each, and most of a band's shapes are covered
// whole by those in front before they are measured, so the bands are larger than
// FoldBandRows' (on 10,000 shapes of 8-256 px over 2048x2048, bands of 16K pixels took about
// 1.2 times as long).
int32_t FrontToBackBandRows(int32_t width, int32_t height) {
  return std::clamp((int32_t{1} << 16) / width, 8, std::max(height, 8));
}

}  // namespace

void FoldFrontToBack(const std::vector<BoundedFront>& fronts, const std::vector<Polygon>& outlines,
                     const std::vector<int32_t>& ids, int32_t imageHeight, WeightRows& rows) {
  const int32_t width = rows.width();
  const RowSpan held{rows.firstRow(), rows.firstRow() + rows.rowCount()};
  const Bounds image{0.0, double(width), 0.0, double(imageHeight)};
  std::vector<PixelBox> boxes(fronts.size());
  std::vector<RowSpan> reached(fronts.size());
  for (size_t i = 0; i < fronts.size(); ++i) {
    boxes[i] = BoxOfOutline(outlines[i], width, imageHeight);
    reached[i] = RowSpan{boxes[i].y0, boxes[i].y1};
  }
  const ShapeBands bands(reached, held, FrontToBackBandRows(width, held.endRow - held.firstRow));
  MeasureScratch scratch;
  OpenRows open;
  ShapeRows recorded;
  std::vector<RecordedShape> shapes;
  for (size_t b = 0; b < bands.bandCount(); ++b) {
    const int32_t top = bands.TopOf(b);
    const int32_t bottom = bands.BottomOf(b);
    open.Reset(top, bottom - top, width);
    recorded.Clear();
    shapes.clear();
    for (const uint32_t* i = bands.ShapesEnd(b); i != bands.ShapesBegin(b);) {
      const uint32_t shape = *--i;
      const PixelBox& box = boxes[shape];
      const RowSpan openRows =
          open.OpenRowsIn(std::max(box.y0, top), std::min(box.y1, bottom), box.x0, box.x1);
      if (openRows.firstRow >= openRows.endRow) continue;
      const ShapeKernelInput input =
          PrepareShapeKernel(image, imageHeight, outlines[shape], openRows.firstRow,
                             openRows.endRow, scratch.clipped, scratch.clipScratch);
      if (input.firstRow >= input.endRow) continue;
      // The image window starts at cell (0, 0): the kernel's cells are the image's.
      assert(input.shiftX == 0 && input.shiftY == 0);
      const size_t firstRow = recorded.rows.size();
      OpenSpanRecorder record(open, recorded);
      MeasureCoverageRows(*input.polygon, input.cells, input.firstRow, input.endRow, scratch.kernel,
                          record);
      if (recorded.rows.size() > firstRow) {
        shapes.push_back(RecordedShape{shape, firstRow, recorded.rows.size()});
      }
    }
    for (auto shape = shapes.rbegin(); shape != shapes.rend(); ++shape) {
      for (size_t r = shape->firstRow; r < shape->endRow; ++r) {
        const MeasuredRow& row = recorded.rows[r];
        rows.FoldSpans(row.y, recorded.SpansOf(row), row.count, fronts[shape->index],
                       ids[shape->index]);
      }
    }
  }
}

}  // namespace pintovel
