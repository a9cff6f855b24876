#include "coverage/pixel_data.h"

#include <algorithm>
#include <limits>

#include "coverage/coverage_rows.h"
#include "support/failure.h"

namespace pintovel {

namespace {

// Visits every measured span that the fold does not skip, with the index of its first list.
template <class Visit>
void ForEachFoldedSpan(const ShapeRows& rows, const CellRange& windowCells, Visit visit) {
  for (const MeasuredRow& row : rows.rows) {
    const CoverageSpan* spans = rows.SpansOf(row);
    for (uint32_t i = 0; i < row.count; ++i) {
      if (!IsFoldedCoverage(spans[i].value)) continue;
      const int64_t first = ListIndexOfCell(windowCells, spans[i].x0, row.y);
      visit(static_cast<size_t>(first), static_cast<size_t>(spans[i].x1 - spans[i].x0),
            spans[i].value);
    }
  }
}

}  // namespace

bool AddShapeToPixelData(PixelData& data, const FrontMask& front, const Polygon& outline,
                         const Bounds& window, int32_t id, MeasureScratch& scratch) {
  MeasureShapeRows(window, data.height, outline, scratch);
  const ShapeRows& rows = scratch.rows;
  if (rows.rows.empty()) return true;
  const CellRange windowCells = WindowCells(window);
  std::vector<std::vector<PixelWeight>>& lists = data.pixels;

  bool idsFit = true;
  ForEachFoldedSpan(rows, windowCells, [&](size_t first, size_t count, double) {
    for (size_t p = first; p < first + count; ++p) {
      for (const PixelWeight& entry : lists[p]) idsFit = idsFit && IdFitsMask(front, entry.id);
    }
  });
  if (!idsFit) return RejectInput();
  // The fold adds at most one entry per list. Making room first leaves every allocation before
  // the first change, so an allocation failure leaves the data as it was.
  ForEachFoldedSpan(rows, windowCells, [&](size_t first, size_t count, double) {
    for (size_t p = first; p < first + count; ++p) {
      std::vector<PixelWeight>& list = lists[p];
      if (list.size() == list.capacity()) list.reserve(std::max<size_t>(4, 2 * list.size()));
    }
  });
  ForEachFoldedSpan(rows, windowCells, [&](size_t first, size_t count, double cov) {
    for (size_t p = first; p < first + count; ++p) FoldCoverage(lists[p], front, id, cov);
  });
  return true;
}

bool AddShapesToPixelData(PixelData& data, const std::vector<FrontMask>& fronts,
                          const std::vector<Polygon>& outlines, const Bounds& window,
                          const std::vector<int32_t>& ids) {
  MeasureScratch scratch;
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (!AddShapeToPixelData(data, fronts[i], outlines[i], window, ids[i], scratch)) return false;
  }
  return true;
}

bool ShapesCannotMeetForeignIds(const PixelData& data, const std::vector<FrontMask>& fronts,
                                const std::vector<Polygon>& outlines,
                                const std::vector<int32_t>& ids) {
  if (!IdsFitEveryMask(fronts, outlines, ids)) return false;
  size_t smallestMask = std::numeric_limits<size_t>::max();
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (!outlines[i].empty()) smallestMask = std::min(smallestMask, fronts[i].size());
  }
  if (smallestMask == std::numeric_limits<size_t>::max()) return true;  // no shape adds entries
  const size_t lists = static_cast<size_t>(data.width) * static_cast<size_t>(data.height);
  for (size_t p = 0; p < lists; ++p) {
    for (const PixelWeight& entry : data.pixels[p]) {
      if (entry.id < 0 || static_cast<size_t>(entry.id) >= smallestMask) return false;
    }
  }
  return true;
}

}  // namespace pintovel
