// UpdatePixelData and CreatePixelData through the public exports, with host hooks.
//
// Checked on every input:
// - commit is called exactly once;
// - a false result leaves the host's object (target, or its own working object) as it was;
// - a call whose every argument meets the documented preconditions returns true;
// - lists beyond width * height are never touched;
// - on a true result over valid pre-filled lists: at most one entry per id, finite weights that
//   are not negative and sum to at most 1 + 1e-9;
// - a single shape on empty lists, at plausible coordinates: every list is what the exact-area
//   oracle says (nothing below 1e-9, {id, 1} above 0.999999999, {id, coverage} between).
#include <pintovel/pintovel.h>

#include <cmath>
#include <set>

#include "fuzz/fuzz_input.h"
#include "support/area_oracle.h"
#include "support/host_hooks.h"

namespace pintovel::fuzz {
namespace {

using testing::CountsFor;

// The kernel is exact up to rounding (about 1e-15 here). An outline that reaches beyond the
// window is clipped to it first, and the clip moves a point that comes within 1e-9 of a window
// edge (a vertex, or a crossing made by an earlier cut) onto that edge, which changes the area
// of its cell by up to about 1e-9; clipped outlines are compared with that allowance.
constexpr double kOracleTolerance = 1e-11;
constexpr double kSnappedTolerance = 4e-9;

struct Scenario {
  PixelData data;
  Bounds window{};
  bool windowFits = false;  // window and list count meet the export's preconditions
  bool validFill =
      true;  // pre-filled lists hold ids below `ids`, weights in [0, 1] summing to <= 1
  bool emptyFill = true;
  int32_t ids = 1;
};

void FillLists(FuzzInput& in, Scenario& s, int hostile) {
  const int mode = in.Int(0, 99);
  if (mode < 45) return;
  s.emptyFill = false;
  const bool garbage = hostile > 0 && in.Chance(40);
  s.validFill = !garbage;
  for (auto& list : s.data.pixels) {
    if (in.Chance(30)) continue;
    if (garbage) {
      const size_t n = in.Count(4);
      for (size_t k = 0; k < n; ++k)
        list.push_back(PixelWeight{in.MakeId(s.ids, 50), in.Weight(60)});
      continue;
    }
    // Distinct ids, weights that leave a share for the next entry.
    double remaining = 1.0;
    std::set<int32_t> used;
    const size_t n = in.Count(static_cast<size_t>(s.ids));
    for (size_t k = 0; k < n; ++k) {
      const int32_t id = in.MakeId(s.ids, 0);
      if (!used.insert(id).second) continue;
      const double w = remaining * (in.Int(0, 64) / 64.0);
      remaining -= w;
      list.push_back(PixelWeight{id, w});
    }
  }
}

void MakeWindow(FuzzInput& in, Scenario& s, int hostile) {
  const int32_t w = s.data.width;
  const int32_t h = s.data.height;
  const int mode = in.Int(0, 99);
  if (hostile > 0 && mode < hostile) {
    s.window = Bounds{in.Bool() ? in.Hostile() : 0.0, in.Bool() ? in.Hostile() : double(w),
                      in.Bool() ? in.Hostile() : 0.0, in.Bool() ? in.Hostile() : double(h)};
    s.windowFits = false;  // decided by the export; not asserted
    return;
  }
  // Mostly at the origin or near it; sometimes far out, up to the int32 range, where the
  // kernel's accuracy must be the same.
  const bool far = mode >= 60 && in.Chance(25);
  const double ox = mode < 60 ? 0.0 : far ? in.Int(-2000000000, 2000000000) : in.Int(-70, 70);
  const double oy = mode < 60 ? 0.0 : far ? in.Int(-2000000000, 2000000000) : in.Int(-70, 70);
  const double extraRows = in.Chance(20) ? in.Int(1, 3) : 0;
  if (mode >= 85 && w > 0) {
    // Fractional edges naming the same cells.
    s.window = Bounds{ox + in.Int(0, 255) / 256.0, ox + w - 1 + in.Int(1, 256) / 256.0,
                      oy + in.Int(0, 255) / 256.0, oy + h + extraRows - 1 + in.Int(1, 256) / 256.0};
    if (h + extraRows == 0) s.window.maxY = oy;
  } else {
    s.window = Bounds{ox, ox + w, oy, oy + h + extraRows};
  }
  s.windowFits = true;
  if (in.Chance(8)) {
    // One column too many or too few, or a row short.
    switch (in.Int(0, 2)) {
      case 0:
        s.window.maxX += 1;
        break;
      case 1:
        s.window.maxX -= 1;
        break;
      default:
        s.window.maxY = std::floor(s.window.minY) + h - 1;
        break;
    }
    s.windowFits = false;
  }
}

// Weights a true result must have when it started from valid lists.
void CheckInvariants(const PixelData& data, size_t lists) {
  for (size_t p = 0; p < lists; ++p) {
    double sum = 0.0;
    std::set<int32_t> seen;
    for (const PixelWeight& e : data.pixels[p]) {
      const double w = e.weight;
      FUZZ_CHECK(std::isfinite(w), "list %zu: id %d has weight %g", p, e.id, w);
      FUZZ_CHECK(w >= -1e-9, "list %zu: id %d has weight %.17g", p, e.id, w);
      FUZZ_CHECK(seen.insert(e.id).second, "list %zu: id %d appears twice", p, e.id);
      sum += w;
    }
    FUZZ_CHECK(sum <= 1.0 + 1e-9, "list %zu: weights sum to %.17g", p, sum);
  }
}

// Every vertex within 1e4 of (x0, y0), the window's first cell.
bool IsPlausible(const Polygon& polygon, double x0, double y0) {
  for (const Point& v : polygon) {
    if (!(std::fabs(v.x - x0) < 1e4) || !(std::fabs(v.y - y0) < 1e4)) return false;
  }
  return true;
}

// One shape on empty lists: each list against the oracle's coverage of its cell.
void CheckAgainstOracle(const PixelData& data, const Bounds& window, const Polygon& outline,
                        int32_t id) {
  const int32_t originX = static_cast<int32_t>(std::floor(window.minX));
  const int32_t originY = static_cast<int32_t>(std::floor(window.minY));
  const double right = double(originX) + data.width;
  const double bottom = double(originY) + data.height;
  bool clipped = false;
  for (const Point& v : outline) {
    clipped = clipped || v.x < originX || v.x > right || v.y < originY || v.y > bottom;
  }
  const double tolerance = clipped ? kSnappedTolerance : kOracleTolerance;
  const size_t lists = static_cast<size_t>(data.width) * static_cast<size_t>(data.height);
  for (size_t p = 0; p < lists; ++p) {
    const int32_t cx = originX + static_cast<int32_t>(p % static_cast<size_t>(data.width));
    const int32_t cy = originY + static_cast<int32_t>(p / static_cast<size_t>(data.width));
    const double exact = static_cast<double>(testing::ExactCellArea(outline, cx, cy));
    const auto& list = data.pixels[p];
    if (list.empty()) {
      FUZZ_CHECK(exact < 1e-9 + tolerance, "cell (%d, %d): empty list, exact %.17g", cx, cy, exact);
      continue;
    }
    FUZZ_CHECK(list.size() == 1 && list[0].id == id, "cell (%d, %d): %zu entries, first id %d", cx,
               cy, list.size(), list[0].id);
    const double w = list[0].weight;
    FUZZ_CHECK(exact >= 1e-9 - tolerance, "cell (%d, %d): weight %.17g, exact %.17g", cx, cy, w,
               exact);
    if (w == 1.0) {
      FUZZ_CHECK(exact > 0.999999999 - tolerance, "cell (%d, %d): weight 1, exact %.17g", cx, cy,
                 exact);
    } else {
      FUZZ_CHECK(std::fabs(w - exact) <= tolerance, "cell (%d, %d): weight %.17g, exact %.17g", cx,
                 cy, w, exact);
    }
  }
}

const Scenario* decodedScenario = nullptr;
const std::vector<Polygon>* decodedOutlines = nullptr;
const std::vector<int32_t>* decodedIds = nullptr;

void Describe() {
  const Scenario& s = *decodedScenario;
  std::fprintf(stderr, "  data %d x %d, %zu lists, window {%a, %a, %a, %a}\n", s.data.width,
               s.data.height, s.data.pixels.size(), s.window.minX, s.window.maxX, s.window.minY,
               s.window.maxY);
  for (size_t i = 0; i < decodedOutlines->size(); ++i) {
    std::fprintf(stderr, "  shape %zu, id %d:\n", i,
                 i < decodedIds->size() ? (*decodedIds)[i] : -1);
    PrintPoints("outline", (*decodedOutlines)[i]);
  }
}

}  // namespace
}  // namespace pintovel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  using namespace pintovel;
  using namespace pintovel::fuzz;
  FuzzInput in(bytes, size);

  // How hostile this input is: most runs use only plausible values.
  const int hostile = in.Chance(25) ? in.Int(1, 30) : 0;
  Scenario s;
  s.data.width = in.Size(24, hostile / 3);
  s.data.height = in.Size(24, hostile / 3);
  s.ids = in.Int(1, 6);
  const bool smallSize =
      s.data.width >= 0 && s.data.height >= 0 && s.data.width <= 64 && s.data.height <= 64;
  const size_t needed = smallSize ? static_cast<size_t>(s.data.width) * s.data.height : 0;
  size_t lists = smallSize ? needed : in.Count(8);
  bool listsFit = smallSize;
  if (smallSize && in.Chance(hostile / 2)) {
    lists = in.Bool() ? needed + in.Count(3) : (needed > 0 ? needed - 1 - in.Count(needed - 1) : 0);
    listsFit = lists >= needed;
  }
  s.data.pixels.resize(lists);
  FillLists(in, s, hostile);
  MakeWindow(in, s, hostile);

  const bool create = in.Bool();
  const size_t shapes = create ? in.Count(5) : 1;
  const double extentX = smallSize ? s.data.width : 16;
  const double extentY = smallSize ? s.data.height : 16;
  const double shiftX = std::isfinite(s.window.minX) ? std::floor(s.window.minX) : 0.0;
  const double shiftY = std::isfinite(s.window.minY) ? std::floor(s.window.minY) : 0.0;
  std::vector<FrontMask> fronts;
  std::vector<Polygon> outlines;
  std::vector<int32_t> ids;
  bool shapesValid = true;  // every mask answers for every id, every vertex accepted
  for (size_t i = 0; i < shapes; ++i) {
    fronts.push_back(in.MakeFront(static_cast<size_t>(s.ids), hostile));
    Polygon polygon = in.MakePolygon(extentX, extentY, 12, hostile / 2);
    if (std::fabs(shiftX) <= 3e9 && std::fabs(shiftY) <= 3e9) {
      for (Point& v : polygon) {
        v.x += shiftX;
        v.y += shiftY;
      }
    }
    outlines.push_back(std::move(polygon));
    ids.push_back(in.MakeId(s.ids, hostile / 2));
    shapesValid = shapesValid && fronts.back().size() >= static_cast<size_t>(s.ids) &&
                  ids.back() >= 0 && ids.back() < s.ids;
    for (const Point& v : outlines.back()) {
      shapesValid = shapesValid && std::fabs(v.x) <= 1e100 && std::fabs(v.y) <= 1e100;
    }
  }
  bool listsMatch = true;  // outlines and ids at least as long as fronts
  if (create && shapes > 0 && in.Chance(hostile / 2)) {
    if (in.Bool())
      outlines.pop_back();
    else
      ids.pop_back();
    listsMatch = false;
  }

  decodedScenario = &s;
  decodedOutlines = &outlines;
  decodedIds = &ids;
  describeInput = &Describe;

  // The record: the host's usual one, its own working object, or a separate working object.
  const int argMode = in.Int(0, 9);
  PixelData target = s.data;
  PixelData ownWorking = s.data;
  InOutArg<PixelData> arg = testing::HostArg(target);
  if (argMode == 8) {
    arg = testing::InPlaceHostArg(target);
  } else if (argMode == 9) {
    arg = testing::InPlaceHostArg(ownWorking);
    arg.target = &target;
  }
  PixelData* result = argMode == 9 ? &ownWorking : &target;
  const PixelData before = *result;

  bool ok;
  if (create) {
    ok = CreatePixelData(&fronts, &outlines, &s.window, &ids, arg);
  } else {
    ok = UpdatePixelData(&fronts[0], &outlines[0], &s.window, ids[0], arg);
  }

  FUZZ_CHECK(CountsFor<PixelData>().commits == 1, "%d commits", CountsFor<PixelData>().commits);
  if (argMode == 9)
    FUZZ_CHECK(SamePixelData(target, s.data), "target of a supplied working changed");
  Tally::Note(create ? "CreatePixelData" : "UpdatePixelData");
  if (!ok) {
    Tally::Note("false result");
    FUZZ_CHECK(SamePixelData(*result, before), "a false result changed the pixel data");
    FUZZ_CHECK(!(s.windowFits && listsFit && s.validFill && shapesValid && listsMatch),
               "a call within every precondition returned false");
    return 0;
  }
  FUZZ_CHECK(result->width == before.width && result->height == before.height &&
                 result->pixels.size() == before.pixels.size(),
             "the pixel data changed its size");
  for (size_t p = needed; p < result->pixels.size(); ++p) {
    FUZZ_CHECK(SameListsAt(*result, before, p), "list %zu beyond the data changed", p);
  }
  if (!s.validFill || !smallSize) return 0;
  CheckInvariants(*result, needed);
  Tally::Note(s.emptyFill ? "invariants, empty lists" : "invariants, pre-filled lists");

  if (s.emptyFill && shapes == 1 && s.windowFits && IsPlausible(outlines[0], shiftX, shiftY) &&
      listsMatch) {
    CheckAgainstOracle(*result, s.window, outlines[0], ids[0]);
    Tally::Note("oracle");
  }
  return 0;
}
