// Rows of runs: a row of pixels held as runs, each run starting at its x0 and ending where the
// next one starts (the last at the row's width), every pixel of a run holding the same value.
// This is how the library keeps the per-pixel data it owns (weight lists, owners): a shape's
// coverage arrives as rows of spans, and a span covering many pixels of one run is applied once.
#ifndef PINTOVEL_COVERAGE_RUN_ROWS_H
#define PINTOVEL_COVERAGE_RUN_ROWS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "coverage/coverage_rows.h"

namespace pintovel {

// Index of the run holding pixel x: the last run starting at or before x.
// Requires: runs[0].x0 <= x.
template <class Run>
size_t RunIndexAt(const std::vector<Run>& runs, int32_t x) {
  // The answer lies in [first, first + count); each step halves the count without a branch on
  // the data (a conditional move), since where x falls among a row's runs is unpredictable.
  size_t first = 0;
  for (size_t count = runs.size(); count > 1;) {
    const size_t half = count / 2;
    first = runs[first + half].x0 <= x ? first + half : first;
    count -= half;
  }
  return first;
}

// One past the last pixel of run k.
template <class Run>
int32_t RunEndOf(const std::vector<Run>& runs, size_t k, int32_t width) {
  return k + 1 < runs.size() ? runs[k + 1].x0 : width;
}

// Replaces runs[begin .. end) of a row by the `count` runs from `from` (not in `runs`), moving
// the row's tail once: the runs beyond the replaced ones go in with that move.
template <class Run>
void ReplaceRuns(std::vector<Run>& runs, size_t begin, size_t end, const Run* from, size_t count) {
  const auto at = [&runs](size_t i) { return runs.begin() + static_cast<std::ptrdiff_t>(i); };
  const size_t oldCount = end - begin;
  if (count > oldCount) {
    runs.insert(at(end), from + oldCount, from + count);
    std::copy(from, from + oldCount, at(begin));
  } else {
    if (count < oldCount) runs.erase(at(begin + count), at(end));
    std::copy(from, from + count, at(begin));
  }
}

// Rewrites the stretch of a row that one row of spans touches: the runs from the one holding
// the first span's start to the one holding the last span's end are cut where spans begin and
// end, and every piece is handed to append(x0, oldRun, span), with span null for pieces in the
// gaps between spans; append pushes the piece's new run onto `pieces` (or lets the previous
// piece absorb it). The stretch is then replaced by `pieces`, joined with its neighbours where
// same(a, b) says two runs hold equal values.
// `Span` is any record with the int32 fields x0 and x1 of a CoverageSpan.
// Requires: spans sorted, disjoint, non-empty, inside [0, width); runs cover the row.
template <class Run, class Span, class Append, class Same>
void RewriteRunsUnderSpans(std::vector<Run>& runs, int32_t width, const Span* spans, size_t count,
                           std::vector<Run>& pieces, Append append, Same same) {
  const int32_t regionStart = spans[0].x0;
  const int32_t regionEnd = spans[count - 1].x1;
  const size_t k0 = RunIndexAt(runs, regionStart);

  pieces.clear();
  if (runs[k0].x0 < regionStart) pieces.push_back(runs[k0]);
  size_t k = k0;
  size_t s = 0;
  for (int32_t x = regionStart; x < regionEnd;) {
    const int32_t runEnd = RunEndOf(runs, k, width);
    const bool inSpan = spans[s].x0 <= x;
    const int32_t end = std::min(runEnd, inSpan ? spans[s].x1 : spans[s].x0);
    append(x, runs[k], inSpan ? &spans[s] : nullptr);
    x = end;
    if (x == runEnd) ++k;
    if (inSpan && x == spans[s].x1) ++s;
  }
  // The run holding the last pixel of the stretch: k, or the one before when the stretch
  // ended exactly where run k starts.
  const size_t k1 = k < runs.size() && runs[k].x0 < regionEnd ? k : k - 1;
  if (RunEndOf(runs, k1, width) > regionEnd) append(regionEnd, runs[k1], nullptr);

  // Pieces equal to the neighbouring runs join them: the replaced stretch grows over a
  // neighbour, which keeps its start, so the row is rewritten with a single move of its tail.
  size_t begin = k0;
  size_t end = k1 + 1;
  if (begin > 0 && same(runs[begin - 1], pieces.front())) {
    --begin;
    pieces.front().x0 = runs[begin].x0;
  }
  if (end < runs.size() && same(pieces.back(), runs[end])) ++end;
  ReplaceRuns(runs, begin, end, pieces.data(), pieces.size());
}

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_RUN_ROWS_H
