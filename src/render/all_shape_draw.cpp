#include "render/all_shape_draw.h"

#include <cassert>

#include "coverage/front_to_back_fold.h"
#include "coverage/shape_bands.h"
#include "coverage/shape_coverage.h"
#include "coverage/stacking_fold.h"
#include "coverage/weight_rows.h"
#include "render/compositing.h"
#include "support/failure.h"
#include "support/pixel_fill.h"

namespace pintovel {

namespace {

// The list of a pixel that only the shape of a one-shape call has reached: the fold of its
// coverage into an empty list, which appends one entry and reads no mask.
class FirstList {
 public:
  size_t size() const {
    return count_;
  }
  PixelWeight& operator[](size_t j) {
    return entries_[j];
  }
  void push_back(const PixelWeight& entry) {
    entries_[count_++] = entry;
  }
  void resize(size_t n) {
    count_ = n;
  }
  const PixelWeight* data() const {
    return entries_;
  }

 private:
  PixelWeight entries_[1];
  size_t count_ = 0;
};

bool FoldsAnyCoverage(const ShapeRows& shape) {
  for (const CoverageSpan& span : shape.spans) {
    if (IsFoldedCoverage(span.value)) return true;
  }
  return false;
}

// Blends one image row whose pixels hold the lists that `spans` fold into empty lists; pixels
// in no span hold the empty list.
void BlendFirstListsOfRow(uint8_t* row, int32_t width, const CoverageSpan* spans, size_t count,
                          const FrontMask& front, int32_t id, const ColourTable& colours) {
  int32_t x = 0;
  for (size_t i = 0; i < count; ++i) {
    const CoverageSpan& span = spans[i];
    ClearFourthBytes(row + 4 * static_cast<size_t>(x), static_cast<size_t>(span.x0 - x));
    FirstList list;
    if (IsFoldedCoverage(span.value)) FoldCoverage(list, front, id, span.value);
    BlendRunOfList(row + 4 * static_cast<size_t>(span.x0), static_cast<size_t>(span.x1 - span.x0),
                   list.data(), list.size(), colours);
    x = span.x1;
  }
  ClearFourthBytes(row + 4 * static_cast<size_t>(x), static_cast<size_t>(width - x));
}

// Blends the rows of a one-shape call as the kernel reports them (BlendFirstListsOfRow); the
// rows it skips, and those after its last, hold empty lists.
class FirstListBlender final : public CoverageRowSink {
 public:
  FirstListBlender(uint8_t* image, int32_t width, const FrontMask& front, int32_t id,
                   const ColourTable& colours)
      : image_(image), width_(width), front_(front), id_(id), colours_(colours) {}

  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    ClearRowsBefore(y);
    BlendFirstListsOfRow(RowAt(y), width_, spans, count, front_, id_, colours_);
    nextRow_ = y + 1;
  }

  // Clears the fourth bytes of the rows from the one after the last reported up to y - 1.
  void ClearRowsBefore(int32_t y) {
    for (; nextRow_ < y; ++nextRow_) ClearFourthBytes(RowAt(nextRow_), width_);
  }

 private:
  uint8_t* RowAt(int32_t y) const {
    return image_ + 4 * static_cast<size_t>(y) * static_cast<size_t>(width_);
  }

  uint8_t* image_;
  int32_t width_;
  const FrontMask& front_;
  int32_t id_;
  const ColourTable& colours_;
  int32_t nextRow_ = 0;
};

// A call with one shape: every list it folds into is empty, so each span's list follows from its
// value alone and the rows are blended straight from the spans, with no per-pixel data. When the
// id indexes the colour table they are blended as the kernel reports them (the kernel allocates
// nothing once it reports rows, so a failure leaves the image untouched); otherwise the call
// fails exactly when the shape folds coverage, which needs every row measured first.
bool DrawOneShape(const FrontMask& front, const Polygon& outline, int32_t id,
                  const ColourTable& colours, int32_t width, int32_t height, uint8_t* image) {
  const Bounds window{0.0, double(width), 0.0, double(height)};
  MeasureScratch scratch;
  FirstListBlender blend(image, width, front, id, colours);
  if (id >= 0 && static_cast<size_t>(id) < colours.size()) {
    const ShapeKernelInput input = PrepareShapeKernel(window, height, outline, 0, height,
                                                      scratch.clipped, scratch.clipScratch);
    if (input.firstRow < input.endRow) {
      // The image window starts at cell (0, 0): the kernel's cells are the image's.
      assert(input.shiftX == 0 && input.shiftY == 0);
      MeasureCoverageRows(*input.polygon, input.cells, input.firstRow, input.endRow, scratch.kernel,
                          blend);
    }
  } else {
    // The shape's id, which indexes no colour, ends up in a list exactly where its coverage is
    // folded; where none is, every list stays empty and only the fourth bytes are cleared.
    MeasureShapeRows(window, height, outline, scratch);
    if (FoldsAnyCoverage(scratch.rows)) return RejectInput();
  }
  blend.ClearRowsBefore(height);
  return true;
}

// Whether the id of every shape with vertices among the first `count` indexes a table of `size`
// entries.
bool ShapeIdsBelow(const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                   size_t count, size_t size) {
  for (size_t i = 0; i < count; ++i) {
    if (!outlines[i].empty() && (ids[i] < 0 || static_cast<size_t>(ids[i]) >= size)) return false;
  }
  return true;
}

// Every shape folded band by band straight from the kernel's rows, with no copy of them: the
// ids are known to fit every mask, so no shape needs its lists checked before it folds.
void FoldShapesFromKernel(const std::vector<BoundedFront>& fronts,
                          const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                          WeightRows& rows) {
  ForEachShapeKernelByBand(outlines, fronts.size(), rows.width(), rows.rowCount(),
                           [&](size_t i, const ShapeKernelInput& input, CoverageScratch& kernel) {
                             // The image window starts at cell (0, 0): the kernel's cells
                             // are the image's, whether the outline was clipped or not.
                             assert(input.shiftX == 0 && input.shiftY == 0);
                             FoldingSink fold(rows, fronts[i], ids[i]);
                             MeasureCoverageRows(*input.polygon, input.cells, input.firstRow,
                                                 input.endRow, kernel, fold);
                           });
}

// Every shape folded band by band from its measured rows, each after checking that every id in
// the lists it covers fits its mask; false as soon as one does not.
bool FoldShapesCheckingLists(const std::vector<FrontMask>& fronts,
                             const std::vector<BoundedFront>& bounded,
                             const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                             WeightRows& rows) {
  return MeasureShapesByBand(outlines, fronts.size(), rows.width(), rows.rowCount(),
                             [&](size_t i, const ShapeRows& measured) {
                               if (!rows.ListsFitMask(measured, fronts[i])) return false;
                               rows.Fold(measured, bounded[i], ids[i]);
                               return true;
                             });
}

}  // namespace

bool RunAllShapeDraw(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                     const std::vector<int32_t>& ids, const ColourTable& colours, int32_t width,
                     int32_t height, uint8_t* image) {
  if (width <= 0 || height <= 0) return true;
  if (fronts.size() == 1) {
    return DrawOneShape(fronts[0], outlines[0], ids[0], colours, width, height, image);
  }
  std::vector<BoundedFront> bounded(fronts.size());
  for (size_t i = 0; i < fronts.size(); ++i) bounded[i] = BoundFront(fronts[i]);
  WeightRows rows;
  rows.Reset(width, 0, height);
  if (IdsFitEveryMask(fronts, outlines, ids)) {
    if (InPaintingOrder(bounded, outlines, ids)) {
      FoldFrontToBack(bounded, outlines, ids, height, rows);
    } else {
      FoldShapesFromKernel(bounded, outlines, ids, rows);
    }
  } else if (!FoldShapesCheckingLists(fronts, bounded, outlines, ids, rows)) {
    return RejectInput();
  }
  // Lists hold only the ids of shapes with vertices: when all of those index the colour
  // table, so does every entry, and the lists need not be read.
  if (!ShapeIdsBelow(outlines, ids, fronts.size(), colours.size()) &&
      !rows.IdsBelow(colours.size())) {
    return RejectInput();
  }
  BlendWeightRows(image, rows, colours);
  return true;
}

}  // namespace pintovel
