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
#include <vector>

#include "coverage/run_rows.h"
#include "coverage/shape_coverage.h"

namespace pintovel {

// Pixels x0 .. (next run's x0) - 1 of a row (coverage/run_rows.h), all holding the list
// entries[first .. first + count) of their WeightRows.
struct WeightRun {
  int32_t x0;
  uint32_t first;
  uint32_t count;
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
  void Fold(const ShapeRows& shape, const FrontMask& front, int32_t id);

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
  // The runs of row y (counted like Reset's rows), in increasing x; the first starts at 0.
  const std::vector<WeightRun>& RunsOf(int32_t y) const {
    return rows_[static_cast<size_t>(y - firstRow_)];
  }
  // The end (one past the last pixel) of run k of `runs`.
  int32_t RunEnd(const std::vector<WeightRun>& runs, size_t k) const {
    return RunEndOf(runs, k, width_);
  }
  const PixelWeight* EntriesOf(const WeightRun& run) const {
    return entries_.data() + run.first;
  }

 private:
  void FoldRow(std::vector<WeightRun>& runs, const CoverageSpan* spans, size_t count,
               const FrontMask& front, int32_t id);
  void AppendPiece(int32_t x0, const WeightRun& old, bool folded, double cov,
                   const FrontMask& front, int32_t id);
  bool SameList(const WeightRun& a, const WeightRun& b) const;
  void CompactIfWasteful();

  int32_t width_ = 0;
  int32_t firstRow_ = 0;
  std::vector<std::vector<WeightRun>> rows_;
  // Every list of every run. A list is never changed once a run refers to it: a fold writes its
  // result as a new list at the end, so runs split from one another may share a list. Lists no
  // run refers to any more are dropped by compaction.
  std::vector<PixelWeight> entries_;
  size_t compactAt_ = 0;
  std::vector<WeightRun> pieces_;  // the new runs of the part of a row being folded
};

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_WEIGHT_ROWS_H
