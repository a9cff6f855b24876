// Weight lists held as runs: the library's own per-pixel data for the roads that own it
// (AllShapeDraw, ExportRibbon). Neighbouring pixels of a row that hold equal lists share one
// run, so a shape's interior costs one fold per run it covers instead of one per pixel, and the
// memory follows the edges of the picture rather than its area.
//
// Lists are folded with the same arithmetic as the host's PixelData (stacking_fold.h): for the
// same coverage values a pixel ends up with the same entries, bit for bit.
#ifndef PINTOVEL_COVERAGE_WEIGHT_ROWS_H
#define PINTOVEL_COVERAGE_WEIGHT_ROWS_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "coverage/run_rows.h"
#include "coverage/shape_coverage.h"
#include "coverage/stacking_fold.h"

namespace pintovel {

// Pixels x0 .. (next run's x0) - 1 of a row (coverage/run_rows.h), all holding the list
// entries[first .. first + count) of their row.
struct WeightRun {
  int32_t x0;
  uint32_t first;
  uint32_t count;
};

// One row: its runs and the lists they hold. A list is never changed once a run refers to it:
// a fold writes its result as a new list at the end, so runs split from one another may share a
// list. Lists no run refers to any more are dropped when the row is compacted. Each row keeps
// its own lists so that folding a row stays within a few cache lines.
struct WeightRow {
  std::vector<WeightRun> runs;  // none until a shape reaches the row: one empty list
  std::vector<PixelWeight> entries;
  size_t compactAt = 0;  // entries.size() at which the row is compacted next
  // A range holding every id of the entries: a shape whose front mask has no id in it has no
  // entry of the row in front of it.
  int32_t lowestId = std::numeric_limits<int32_t>::max();
  int32_t highestId = std::numeric_limits<int32_t>::min();

  const PixelWeight* EntriesOf(const WeightRun& run) const {
    return entries.data() + run.first;
  }
};

class WeightRows {
 public:
  // `rows` rows of `width` pixels with empty lists; rows are numbered from `firstRow`.
  // Keeps the memory it has grown to.
  void Reset(int32_t width, int32_t firstRow, int32_t rows);

  // Whether every list that the measured shape covers (coverage that is folded) holds only ids
  // that fit `front`, so that the fold can test them against it.
  // Requires: the measured rows and spans lie inside the rows and width.
  bool ListsFitMask(const ShapeRows& shape, const FrontMask& front) const;

  // Folds the measured shape into the lists it covers.
  // Requires: ListsFitMask(shape, front) (or ids known to fit), rows and spans inside.
  void Fold(const ShapeRows& shape, const BoundedFront& front, int32_t id);

  // Folds one row of a shape's spans into row y, for roads that fold straight from the kernel.
  // Requires: ids known to fit `front`; y inside the rows; spans sorted, disjoint, non-empty,
  // inside the width.
  void FoldSpans(int32_t y, const CoverageSpan* spans, size_t count, const BoundedFront& front,
                 int32_t id) {
    FoldRow(rows_[static_cast<size_t>(y - firstRow_)], spans, count, front, id);
  }

  // Whether every id in every list indexes a table of `size` entries.
  bool IdsBelow(size_t size) const;

  int32_t width() const {
    return width_;
  }
  int32_t firstRow() const {
    return firstRow_;
  }
  int32_t rowCount() const {
    return static_cast<int32_t>(rows_.size());
  }
  // Row y (counted like Reset's rows); its runs are in increasing x, the first starts at 0, or
  // there are none while every pixel of the row holds the empty list.
  const WeightRow& Row(int32_t y) const {
    return rows_[static_cast<size_t>(y - firstRow_)];
  }
  // The end (one past the last pixel) of run k of `runs`.
  int32_t RunEnd(const std::vector<WeightRun>& runs, size_t k) const {
    return RunEndOf(runs, k, width_);
  }

 private:
  void FoldRow(WeightRow& row, const CoverageSpan* spans, size_t count, const BoundedFront& front,
               int32_t id);

  int32_t width_ = 0;
  int32_t firstRow_ = 0;
  std::vector<WeightRow> rows_;
  std::vector<WeightRun> pieces_;       // the new runs of the part of a row being folded
  std::vector<PixelWeight> compacted_;  // the live lists of a row being compacted
};

// Folds every row the kernel reports for one shape into the weight rows as it comes, with no
// copy of the spans, for roads that know the ids fit every mask (FoldSpans' requirements). The
// kernel's cells are the rows' pixels.
class FoldingSink final : public CoverageRowSink {
 public:
  FoldingSink(WeightRows& rows, const BoundedFront& front, int32_t id)
      : rows_(rows), front_(front), id_(id) {}

  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    rows_.FoldSpans(y, spans, count, front_, id_);
  }

 private:
  WeightRows& rows_;
  const BoundedFront& front_;
  int32_t id_;
};

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_WEIGHT_ROWS_H
