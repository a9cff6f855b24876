#include "coverage/owner_map.h"

#include <cstring>

#include "coverage/coverage_kernel.h"
#include "coverage/shape_coverage.h"
#include "interface/failure.h"
#include "interface/working_copy.h"

namespace pintovel {

namespace {

template <class Visit>
void ForEachClaimedPixel(const CoverageGrid& grid, int32_t width, Visit visit) {
  for (int32_t row = 0; row < grid.rows; ++row) {
    const size_t first = static_cast<size_t>(grid.originY + row) * static_cast<size_t>(width) +
                         static_cast<size_t>(grid.originX);
    const double* values = grid.values.data() + static_cast<size_t>(row) * grid.cols;
    for (int32_t col = 0; col < grid.cols; ++col) {
      // Negative coverage (an outline wound counter-clockwise on screen) never claims.
      if (values[col] >= kOwnershipCoverage) visit(first + col);
    }
  }
}

// Runs `step` and calls the record's commit exactly once, also when an exception leaves the step.
template <class Step>
bool CommitAfter(InOutArg<OwnerMap>& map, Step step) {
  WorkingCopyGuard<OwnerMap> guard(map);
  OwnerMap& working = AcquireWorkingCopy(map);
  bool ok = false;
  try {
    ok = step(working);
  } catch (...) {
    guard.Disarm();
    map.commit(&map);
    throw;
  }
  guard.Disarm();
  map.commit(&map);
  return ok;
}

}  // namespace

bool AddShapeToOwnerMap(OwnerMap& map, const FrontMask& front, const Polygon& outline, int32_t id) {
  const Bounds window{0.0, double(map.width), 0.0, double(map.height)};
  CoverageGrid grid;
  if (!MeasureShapeCoverage(window, map.height, outline, grid)) return true;

  bool ownersFit = true;
  ForEachClaimedPixel(grid, map.width, [&](size_t p) {
    const int32_t owner = map.owners[p];
    ownersFit = ownersFit && (owner < 0 || static_cast<size_t>(owner) < front.size());
  });
  if (!ownersFit) return RejectInput();

  ForEachClaimedPixel(grid, map.width, [&](size_t p) {
    const int32_t owner = map.owners[p];
    // Any negative owner counts as none.
    if (owner < 0 || !front[static_cast<size_t>(owner)]) map.owners[p] = id;
  });
  return true;
}

bool UpdateOwnerMap(const FrontMask& front, const Polygon& outline, int32_t id,
                    InOutArg<OwnerMap> map) {
  return CommitAfter(
      map, [&](OwnerMap& working) { return AddShapeToOwnerMap(working, front, outline, id); });
}

bool CreateOwnerMap(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                    const std::vector<int32_t>& ids, InOutArg<OwnerMap> map) {
  return CommitAfter(map, [&](OwnerMap& working) {
    for (size_t i = 0; i < fronts.size(); ++i) {
      if (!UpdateOwnerMap(fronts[i], outlines[i], ids[i], MakeInPlaceArg(working))) return false;
    }
    return true;
  });
}

bool FillFromOwnerMap(uint8_t* image, int32_t width, int32_t height,
                      const std::vector<int32_t>& owners, const ColourTable& colours) {
  if (width <= 0 || height <= 0) return true;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; ++i) {
    const int32_t owner = owners[i];
    if (owner != -1 && (owner < 0 || static_cast<size_t>(owner) >= colours.size())) {
      return RejectInput();
    }
  }
  for (size_t i = 0; i < count; ++i) {
    const int32_t owner = owners[i];
    if (owner == -1) continue;
    const uint32_t colour = colours[static_cast<size_t>(owner)];
    std::memcpy(image + 4 * i, &colour, sizeof colour);  // one 32-bit store, byte 3 included
  }
  return true;
}

}  // namespace pintovel
