#include "scene_check.h"

#include <algorithm>
#include <cmath>

#include "roads.h"

namespace pintovel::bench {

namespace {

// Twice the signed area, positive for an outline clockwise on screen (y down).
double ShoelaceArea(const Polygon& polygon) {
  double twice = 0.0;
  for (size_t i = 0; i < polygon.size(); ++i) {
    const Point a = polygon[i], b = polygon[(i + 1) % polygon.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return 0.5 * twice;
}

// How far a road may stray from the exact coverage, per pixel and on average.
struct Tolerance {
  double pixel;  // largest difference at one pixel
  double mean;   // largest mean difference over the unit's box
};

// The tolerance of each road against the kernel, or false when the road is not compared.
// FreeType and Cairo flatten curves their own way (and FreeType rounds to 1/64 pixel), so a
// pixel an edge crosses may differ by a few hundredths; a misplaced pixel differs by ~1.
// Thresholding roads (Quickly, Cairo without AA) are compared where the answer is clear.
bool ToleranceOf(Road road, Tolerance& tolerance) {
  switch (road) {
    case Road::kAllShapeDraw:
      tolerance = Tolerance{0.6 / 204.0, 0.6 / 204.0};  // one rounding of the colour byte
      return true;
    case Road::kKernelSpans:
      tolerance = Tolerance{0.0, 0.0};  // the kernel's own spans: bit for bit
      return true;
    case Road::kFreeType:
    case Road::kFreeTypeSpans:
    case Road::kCairoAa:
      tolerance = Tolerance{0.2, 0.03};
      return true;
    default:
      return false;
  }
}

struct Box {
  int32_t width;
  int32_t height;
};

Box UnitBox(const Scene& scene, size_t unit) {
  if (scene.kind == SceneKind::kGlyphs) {
    return Box{scene.glyphs[unit].width, scene.glyphs[unit].height};
  }
  return Box{scene.shapes.boxes[unit].cols, scene.shapes.boxes[unit].rows};
}

const Polygon& UnitPolygon(const Scene& scene, size_t unit) {
  return scene.kind == SceneKind::kGlyphs ? scene.glyphs[unit].polygons.front()
                                          : scene.shapes.polygons[unit];
}

bool CheckKernelArea(const Scene& scene, size_t unit, PreparedRoad& kernel, std::ostream& log) {
  const Box box = UnitBox(scene, unit);
  const double area = ShoelaceArea(UnitPolygon(scene, unit));
  kernel.DrawUnitForCheck(unit);
  double sum = 0.0;
  for (int32_t y = 0; y < box.height; ++y) {
    for (int32_t x = 0; x < box.width; ++x) sum += kernel.CheckCoverage(x, y);
  }
  if (area > 0.0 && std::fabs(sum - area) <= 1e-7 * std::max(1.0, area)) return true;
  log << scene.name << " unit " << unit << ": kernel total " << sum << ", shoelace area " << area
      << "\n";
  return false;
}

// Compares one road's unit with the kernel's; `kernel` has just drawn the same unit.
bool CheckRoadUnit(const Scene& scene, size_t unit, Road road, PreparedRoad& other,
                   const PreparedRoad& kernel, std::ostream& log) {
  if (!other.DrawUnitForCheck(unit)) return true;  // not checkable on this scene kind
  const Box box = UnitBox(scene, unit);
  double worst = 0.0, total = 0.0;
  int64_t unclear = 0;
  const bool bridged = scene.kind == SceneKind::kGlyphs;
  for (int32_t y = 0; y < box.height; ++y) {
    for (int32_t x = 0; x < box.width; ++x) {
      const double exact = kernel.CheckCoverage(x, y), got = other.CheckCoverage(x, y);
      worst = std::max(worst, std::fabs(got - exact));
      total += std::fabs(got - exact);
      // An all-or-nothing road: clear cases only (Cairo samples pixel centres, Quickly asks
      // for half coverage). Cairo without antialiasing does not cancel the zero-area bridges
      // between a glyph's contours: it sets thin lines of pixels along them where the exact
      // coverage is 0, so on glyphs only its missing pixels count.
      const bool expectFull = exact > (road == Road::kQuickly ? 0.5 + 1e-9 : 0.99);
      const bool expectEmpty = exact < (road == Road::kQuickly ? 0.5 - 1e-9 : 0.01);
      if ((expectFull && got != 1.0) ||
          (expectEmpty && got != 0.0 && (road == Road::kQuickly || !bridged))) {
        ++unclear;
      }
    }
  }
  const double mean = total / (double(box.width) * box.height);
  Tolerance tolerance{};
  bool ok = true;
  if (ToleranceOf(road, tolerance)) {
    ok = worst <= tolerance.pixel && mean <= tolerance.mean;
  } else {
    ok = unclear == 0;
  }
  if (!ok) {
    log << scene.name << " unit " << unit << ": " << RoadName(road) << " differs from the kernel"
        << " by " << worst << " at worst, " << mean << " on average, " << unclear
        << " clear pixels wrong\n";
  }
  return ok;
}

}  // namespace

bool CheckScene(const Scene& scene, std::ostream& log) {
  if (scene.kind == SceneKind::kRibbon) {
    log << scene.name << ": no units to check (ExportRibbon's result is checked per run)\n";
    return true;
  }
  const size_t units =
      scene.kind == SceneKind::kGlyphs ? scene.glyphs.size() : scene.shapes.polygons.size();
  if (units == 0) {
    log << scene.name << ": empty scene\n";
    return false;
  }
  std::unique_ptr<PreparedRoad> kernel = PrepareRoad(scene, Road::kKernel);
  std::vector<std::pair<Road, std::unique_ptr<PreparedRoad>>> others;
  for (Road road : AllRoads()) {
    if (road == Road::kKernel) continue;
    if (auto prepared = PrepareRoad(scene, road)) others.emplace_back(road, std::move(prepared));
  }
  bool ok = true;
  const size_t step = std::max<size_t>(1, units / 60);
  size_t checked = 0;
  for (size_t unit = 0; unit < units; unit += step, ++checked) {
    ok = CheckKernelArea(scene, unit, *kernel, log) && ok;
    for (auto& [road, other] : others) {
      kernel->DrawUnitForCheck(unit);
      ok = CheckRoadUnit(scene, unit, road, *other, *kernel, log) && ok;
    }
  }
  log << scene.name << ": " << checked << " of " << units << " units checked against the kernel"
      << (ok ? "" : " -- FAILED") << "\n";
  return ok;
}

}  // namespace pintovel::bench
