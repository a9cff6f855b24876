#include "coverage/pixel_data.h"

#include <algorithm>
#include <limits>

#include "coverage/coverage_kernel.h"
#include "coverage/shape_coverage.h"
#include "interface/failure.h"
#include "interface/working_copy.h"

namespace pintovel {

namespace {

bool IsInFront(const FrontMask& front, int32_t id) {
  return front[static_cast<size_t>(id)];
}

bool IdFitsMask(const FrontMask& front, int32_t id) {
  return id >= 0 && static_cast<size_t>(id) < front.size();
}

// Visits every cell of the grid that lies among the data's lists, with its coverage and its list.
template <class Visit>
void ForEachCoveredList(const CoverageGrid& grid, const CellRange& windowCells, PixelData& data,
                        Visit visit) {
  for (int32_t row = 0; row < grid.rows; ++row) {
    const int64_t first = ListIndexOfCell(windowCells, grid.originX, grid.originY + row);
    const double* values = grid.values.data() + static_cast<size_t>(row) * grid.cols;
    for (int32_t col = 0; col < grid.cols; ++col) {
      const double cov = values[col];
      // Written so that a NaN coverage is processed like a partial one.
      if (cov < kMinCoverage) continue;
      visit(cov, data.pixels[static_cast<size_t>(first + col)]);
    }
  }
}

// The shape covers the whole pixel: entries behind it go, entries in front stay in order, and
// the shape takes what those in front leave. Rebuilt in place; shrinking never allocates.
void FoldFullCoverage(std::vector<PixelWeight>& list, const FrontMask& front, int32_t id) {
  double sum = 0.0;  // shares of the shapes in front, own entry excluded
  size_t own = std::numeric_limits<size_t>::max();
  size_t kept = 0;
  for (size_t j = 0; j < list.size(); ++j) {
    const PixelWeight entry = list[j];
    if (!IsInFront(front, entry.id)) continue;
    list[kept] = entry;
    if (entry.id == id) {
      own = kept;
    } else {
      sum += entry.weight;
    }
    ++kept;
  }
  list.resize(kept);
  if (own != std::numeric_limits<size_t>::max()) {
    list[own].weight = 1.0 - sum;
  } else if (sum < kFullCoverage) {
    list.push_back(PixelWeight{id, 1.0 - sum});
  }
}

// The shape covers part `cov` of the pixel: entries behind it are scaled by 1 - cov, and the
// shape receives (1 - front shares) * cov, folded into its own entry if it has one.
void FoldPartialCoverage(std::vector<PixelWeight>& list, const FrontMask& front, int32_t id,
                         double cov) {
  double sum = 0.0;
  size_t own = std::numeric_limits<size_t>::max();
  for (size_t j = 0; j < list.size(); ++j) {
    PixelWeight& entry = list[j];
    if (IsInFront(front, entry.id)) {
      sum += entry.weight;
    } else {
      entry.weight = (1.0 - cov) * entry.weight;
    }
    if (entry.id == id) own = j;
  }
  if (own != std::numeric_limits<size_t>::max()) {
    list[own].weight = (1.0 - sum) * cov + list[own].weight;
  } else if (sum < kFullCoverage) {
    list.push_back(PixelWeight{id, (1.0 - sum) * cov});
  }
}

// Only ids that a mask can answer for may meet the shape; the sizes of the masks of all shapes
// bound the ids that can ever be tested.
bool ShapesCannotMeetForeignIds(const PixelData& data, const std::vector<FrontMask>& fronts,
                                const std::vector<Polygon>& outlines,
                                const std::vector<int32_t>& ids) {
  size_t smallestMask = std::numeric_limits<size_t>::max();
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (!outlines[i].empty()) smallestMask = std::min(smallestMask, fronts[i].size());
  }
  if (smallestMask == std::numeric_limits<size_t>::max()) return true;
  auto fits = [smallestMask](int32_t id) {
    return id >= 0 && static_cast<size_t>(id) < smallestMask;
  };
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (!outlines[i].empty() && !fits(ids[i])) return false;
  }
  const size_t lists = static_cast<size_t>(data.width) * static_cast<size_t>(data.height);
  for (size_t p = 0; p < lists; ++p) {
    for (const PixelWeight& entry : data.pixels[p]) {
      if (!fits(entry.id)) return false;
    }
  }
  return true;
}

}  // namespace

bool AddShapeToPixelData(PixelData& data, const FrontMask& front, const Polygon& outline,
                         const Bounds& window, int32_t id) {
  CoverageGrid grid;
  if (!MeasureShapeCoverage(window, data.height, outline, grid)) return true;
  const CellRange windowCells = WindowCells(window);

  bool idsFit = true;
  ForEachCoveredList(grid, windowCells, data, [&](double, std::vector<PixelWeight>& list) {
    for (const PixelWeight& entry : list) idsFit = idsFit && IdFitsMask(front, entry.id);
  });
  if (!idsFit) return RejectInput();
  // The fold adds at most one entry per list. Making room first leaves every allocation before
  // the first change, so an allocation failure leaves the data as it was.
  ForEachCoveredList(grid, windowCells, data, [](double, std::vector<PixelWeight>& list) {
    if (list.size() == list.capacity()) list.reserve(std::max<size_t>(4, 2 * list.size()));
  });

  ForEachCoveredList(grid, windowCells, data, [&](double cov, std::vector<PixelWeight>& list) {
    if (cov > kFullCoverage) {
      FoldFullCoverage(list, front, id);
    } else {
      FoldPartialCoverage(list, front, id, cov);
    }
  });
  return true;
}

bool AddShapesToPixelData(PixelData& data, const std::vector<FrontMask>& fronts,
                          const std::vector<Polygon>& outlines, const Bounds& window,
                          const std::vector<int32_t>& ids) {
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (!AddShapeToPixelData(data, fronts[i], outlines[i], window, ids[i])) return false;
  }
  return true;
}

bool RunUpdatePixelData(const FrontMask& front, const Polygon& outline, const Bounds& window,
                        int32_t id, InOutArg<PixelData> data) {
  WorkingCopyGuard<PixelData> guard(data);
  PixelData& working = AcquireWorkingCopy(data);
  const bool ok = AddShapeToPixelData(working, front, outline, window, id);
  guard.Disarm();
  data.commit(&data);
  return ok;
}

bool RunCreatePixelData(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                        const Bounds& window, const std::vector<int32_t>& ids,
                        InOutArg<PixelData> data) {
  WorkingCopyGuard<PixelData> guard(data);
  PixelData& working = AcquireWorkingCopy(data);
  bool ok = true;
  if (guard.OwnsCopy()) {
    // The target is untouched until commit, so a failed shape is undone by copying it again.
    ok = AddShapesToPixelData(working, fronts, outlines, window, ids);
    if (!ok) working = *data.target;
  } else if (ShapesCannotMeetForeignIds(working, fronts, outlines, ids)) {
    ok = AddShapesToPixelData(working, fronts, outlines, window, ids);
  } else {
    // A supplied working object is changed in place only when every shape succeeds.
    PixelData trial = working;
    ok = AddShapesToPixelData(trial, fronts, outlines, window, ids);
    if (ok) working = std::move(trial);
  }
  guard.Disarm();
  data.commit(&data);
  return ok;
}

}  // namespace pintovel
