// Open pixels: the pixels of a band of rows that no shape has decided yet, for roads that take
// the shapes of a painting-order call from the front of the stack to the back. A pixel is
// decided once a shape in front of everything behind it has given it its final value (the quick
// road: claimed; AllShapeDraw: covered whole), so the shapes behind need not touch it, and a
// shape whose box holds no open pixel need not be measured at all.
#ifndef PINTOVEL_COVERAGE_OPEN_ROWS_H
#define PINTOVEL_COVERAGE_OPEN_ROWS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "coverage/run_rows.h"
#include "coverage/shape_coverage.h"

namespace pintovel {

// Pixels x0 .. x1 - 1 of a row.
struct PixelStretch {
  int32_t x0;
  int32_t x1;
};

class OpenRows {
 public:
  // Rows top .. top + rows - 1 with every pixel of 0 .. width - 1 open. Keeps the memory it has
  // grown to.
  void Reset(int32_t top, int32_t rows, int32_t width) {
    top_ = top;
    if (rows_.size() < static_cast<size_t>(rows)) rows_.resize(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) rows_[static_cast<size_t>(r)].assign(1, {0, width});
  }

  // The rows y0 .. y1 - 1 narrowed to the first and the last that hold an open pixel in
  // columns x0 .. x1 - 1; empty (first == end) when none does.
  // Requires: top <= y0, y1 <= top + rows, 0 <= x0.
  RowSpan OpenRowsIn(int32_t y0, int32_t y1, int32_t x0, int32_t x1) const {
    while (y0 < y1 && !AnyOpen(y0, x0, x1)) ++y0;
    while (y1 > y0 && !AnyOpen(y1 - 1, x0, x1)) --y1;
    return RowSpan{y0, y1};
  }

  // Whether any of pixels x0 .. x1 - 1 of row y is open.
  bool AnyOpen(int32_t y, int32_t x0, int32_t x1) const {
    const std::vector<PixelStretch>& open = Row(y);
    const size_t k = FirstEndingAfter(open, 0, x0);
    return k < open.size() && open[k].x0 < x1;
  }

  // Calls visit(a, b) for every stretch a .. b - 1 of open pixels within x0 .. x1 - 1 of row y,
  // left to right. Stretches of one row are asked for left to right with one `cursor`, 0 at
  // first, which keeps where the next search starts.
  template <class Visit>
  void ForEachOpen(int32_t y, int32_t x0, int32_t x1, size_t& cursor, Visit visit) const {
    const std::vector<PixelStretch>& open = Row(y);
    const size_t first = FirstEndingAfter(open, cursor, x0);
    size_t end = first;
    for (; end < open.size() && open[end].x0 < x1; ++end) {
      visit(std::max(open[end].x0, x0), std::min(open[end].x1, x1));
    }
    // The last stretch met may reach beyond x1.
    cursor = end > first ? end - 1 : first;
  }

  // The same, and closes pixels x0 .. x1 - 1 of row y.
  template <class Visit>
  void Take(int32_t y, int32_t x0, int32_t x1, size_t& cursor, Visit visit) {
    std::vector<PixelStretch>& open = Row(y);
    const size_t first = FirstEndingAfter(open, cursor, x0);
    cursor = first;  // what stays open there ends at x0 or starts at x1
    size_t end = first;
    for (; end < open.size() && open[end].x0 < x1; ++end) {
      visit(std::max(open[end].x0, x0), std::min(open[end].x1, x1));
    }
    if (end == first) return;
    // What stays open of the stretches met: the part of the first before x0 and of the last
    // from x1.
    PixelStretch kept[2];
    size_t count = 0;
    if (open[first].x0 < x0) kept[count++] = PixelStretch{open[first].x0, x0};
    if (open[end - 1].x1 > x1) kept[count++] = PixelStretch{x1, open[end - 1].x1};
    ReplaceRuns(open, first, end, kept, count);
  }

 private:
  // Index of the first stretch from `from` on that ends after pixel x (x1 > x): stretches are
  // sorted and disjoint, so their ends increase. The next stretch of a row asked for left to
  // right is mostly one of the first few, which are looked at before the rest is halved.
  static size_t FirstEndingAfter(const std::vector<PixelStretch>& open, size_t from, int32_t x) {
    for (const size_t near = std::min(open.size(), from + 4); from < near; ++from) {
      if (open[from].x1 > x) return from;
    }
    const auto begin = open.begin() + static_cast<std::ptrdiff_t>(from);
    return static_cast<size_t>(
        std::partition_point(begin, open.end(), [x](const PixelStretch& s) { return s.x1 <= x; }) -
        open.begin());
  }
  std::vector<PixelStretch>& Row(int32_t y) {
    return rows_[static_cast<size_t>(y - top_)];
  }
  const std::vector<PixelStretch>& Row(int32_t y) const {
    return rows_[static_cast<size_t>(y - top_)];
  }

  int32_t top_ = 0;
  // Per row, its open pixels as sorted, disjoint stretches that never touch.
  std::vector<std::vector<PixelStretch>> rows_;
};

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_OPEN_ROWS_H
