// RegularPolygon and RegularPolygons with random paths, document rectangles and image sizes.
//
// Checked on every input:
// - commit is called exactly once;
// - a false result commits an empty result; the documented refusals (an empty or overflowing
//   document extent, a scale that is not finite, a point of a whole segment beyond 1e100 in
//   document or pixel units, NaN included) are refused, and inputs well inside every limit are
//   accepted (RegularPolygon: refused also exactly when the path has no whole segment);
// - RegularPolygons: exactly one polygon per path, empty where a path has no whole segment;
// - for a non-negative size every vertex lies in [0, width] x [0, height];
// - a polygon has at most 5 * 1001 * segments + 8 vertices: a segment flattens to at most 1001
//   points; of the clipped polygon, each flattened edge contributes at most the two ends of its
//   piece inside the image, and each run along a border at most one corner per line it meets;
// - at plausible coordinates, the clipped polygon's area equals the winding-weighted area of the
//   mapped flattened outline inside the image, as the exact-area oracle measures it.
#include <pintovel/pintovel.h>

#include <cmath>

#include "curves/flatten.h"
#include "fuzz/fuzz_input.h"
#include "support/area_oracle.h"
#include "support/host_hooks.h"

namespace pintovel::fuzz {
namespace {

using testing::CountsFor;

struct Rectangle {
  double minX, maxX, minY, maxY;
};

size_t WholeSegments(const BezierPath& path) {
  return path.size() < 4 ? 0 : (path.size() - 1) / 3;
}

struct Mapping {
  double sx, ox, sy, oy;
};

Mapping MappingOf(const Rectangle& r, int32_t width, int32_t height) {
  Mapping m{};
  m.sx = width / (r.maxX - r.minX);
  m.ox = -(r.minX * m.sx);
  m.sy = height / (r.maxY - r.minY);
  m.oy = -(r.minY * m.sy);
  return m;
}

// What the documented limits say about a call: certainly refused, certainly accepted, or left
// open (magnitudes near the accepted range).
enum class Verdict { kRefused, kAccepted, kOpen };

Verdict Judge(const std::vector<BezierPath>& paths, const Rectangle& r, int32_t width,
              int32_t height) {
  if (!std::isfinite(r.maxX - r.minX) || !std::isfinite(r.maxY - r.minY) || r.minX == r.maxX ||
      r.minY == r.maxY) {
    return Verdict::kRefused;
  }
  const Mapping m = MappingOf(r, width, height);
  if (!std::isfinite(m.sx) || !std::isfinite(m.ox) || !std::isfinite(m.sy) ||
      !std::isfinite(m.oy)) {
    return Verdict::kRefused;
  }
  Verdict verdict = Verdict::kAccepted;
  for (const BezierPath& path : paths) {
    const size_t used = WholeSegments(path) == 0 ? 0 : 3 * WholeSegments(path) + 1;
    for (size_t i = 0; i < used; ++i) {
      const Point p = path[i];
      const double mx = p.x * m.sx + m.ox;
      const double my = p.y * m.sy + m.oy;
      if (!(std::fabs(p.x) <= 1e100 && std::fabs(p.y) <= 1e100 && std::fabs(mx) <= 1e100 &&
            std::fabs(my) <= 1e100)) {
        return Verdict::kRefused;
      }
      if (!(std::fabs(p.x) <= 1e90 && std::fabs(p.y) <= 1e90 && std::fabs(mx) <= 1e90 &&
            std::fabs(my) <= 1e90)) {
        verdict = Verdict::kOpen;
      }
    }
  }
  return verdict;
}

void CheckPolygon(const Polygon& polygon, const BezierPath& path, const Rectangle& r, int32_t width,
                  int32_t height) {
  const size_t segments = WholeSegments(path);
  if (segments == 0) {
    FUZZ_CHECK(polygon.empty(), "a path of %zu points gave %zu vertices", path.size(),
               polygon.size());
    return;
  }
  FUZZ_CHECK(polygon.size() <= 5 * 1001 * segments + 8, "%zu segments gave %zu vertices", segments,
             polygon.size());
  if (width < 0 || height < 0) return;
  for (const Point& v : polygon) {
    FUZZ_CHECK(v.x >= 0.0 && v.x <= width && v.y >= 0.0 && v.y <= height,
               "vertex (%.17g, %.17g) outside the %d x %d image", v.x, v.y, width, height);
  }
  if (width == 0 || height == 0 || width > 64 || height > 64) return;

  // The flattened outline, mapped; its winding-weighted area inside the image is that of the
  // unit cell after scaling the image onto it.
  Polygon flattened;
  FlattenPath(path, flattened);
  FUZZ_CHECK(flattened.size() <= 1001 * segments, "%zu segments flattened to %zu points", segments,
             flattened.size());
  const Mapping m = MappingOf(r, width, height);
  Polygon scaled;
  double extent = 0.0;
  for (const Point& p : flattened) {
    const double x = p.x * m.sx + m.ox;
    const double y = p.y * m.sy + m.oy;
    if (!(std::fabs(x) < 1e4 && std::fabs(y) < 1e4)) return;
    extent = std::fmax(extent, std::fmax(std::fabs(x), std::fabs(y)));
    scaled.push_back(Point{x / width, y / height});
  }
  Tally::Note("area compared");
  const long double inside = testing::ExactCellArea(scaled, 0, 0) * width * height;
  const long double clipped = polygon.empty() ? 0.0L : testing::ShoelaceArea(polygon);
  // Snapping to the lines moves vertices by less than 1e-9; scaling rounds at 1e-16 relative.
  const double tolerance = 1e-8 * (1.0 + double(flattened.size())) * (1.0 + extent);
  FUZZ_CHECK(std::fabs(static_cast<double>(inside - clipped)) <= tolerance,
             "clipped area %.17Lg, area inside the image %.17Lg", clipped, inside);
}

struct Decoded {
  const std::vector<BezierPath>* paths = nullptr;
  Rectangle rect{};
  int32_t width = 0;
  int32_t height = 0;
};
Decoded decoded;

void Describe() {
  std::fprintf(stderr, "  rectangle {%a, %a, %a, %a}, size %d x %d\n", decoded.rect.minX,
               decoded.rect.maxX, decoded.rect.minY, decoded.rect.maxY, decoded.width,
               decoded.height);
  for (const BezierPath& path : *decoded.paths) PrintPoints("path", path);
}

}  // namespace
}  // namespace pintovel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  using namespace pintovel;
  using namespace pintovel::fuzz;
  FuzzInput in(bytes, size);
  const int hostile = in.Chance(25) ? in.Int(1, 30) : 0;

  const int32_t width = in.Size(64, hostile / 2);
  const int32_t height = in.Size(64, hostile / 2);
  Rectangle r{};
  r.minX = in.Chance(hostile) ? in.Hostile() : in.Int(-400, 400) / 4.0;
  r.maxX = in.Chance(hostile) ? in.Hostile() : r.minX + in.Int(-200, 200) / 4.0;
  r.minY = in.Chance(hostile) ? in.Hostile() : in.Int(-400, 400) / 4.0;
  r.maxY = in.Chance(hostile) ? in.Hostile() : r.minY + in.Int(-200, 200) / 4.0;
  // Document coordinates: values on the pixel grid of the image, taken back to the document
  // (so many map to within rounding of a pixel line).
  const auto axis = [](double lo, double hi, int32_t pixels, double& origin, double& unit) {
    const double span = hi - lo;
    const double extent = pixels > 0 && pixels <= 4096 ? pixels : 64;
    origin = std::isfinite(lo) ? lo : 0.0;
    unit = std::isfinite(span) && span != 0.0 ? span / extent : 1.0;
  };
  double leftX, unitX, topY, unitY;
  axis(r.minX, r.maxX, width, leftX, unitX);
  axis(r.minY, r.maxY, height, topY, unitY);
  const double gridW = width > 0 && width <= 4096 ? width : 64;
  const double gridH = height > 0 && height <= 4096 ? height : 64;

  const bool many = in.Bool();
  const size_t count = many ? in.Count(5) : 1;
  std::vector<BezierPath> paths;
  for (size_t i = 0; i < count; ++i) {
    BezierPath path = in.MakePath(gridW, gridH, 6, hostile / 2);
    for (Point& p : path) {
      p.x = leftX + p.x * unitX;
      p.y = topY + p.y * unitY;
    }
    paths.push_back(std::move(path));
  }
  decoded = Decoded{&paths, r, width, height};
  describeInput = &Describe;
  const Verdict verdict = Judge(paths, r, width, height);
  const bool inPlace = in.Chance(20);

  if (many) {
    // A target holding earlier polygons: none of their vertices may survive.
    std::vector<Polygon> target(in.Count(4), Polygon{{1e6, -1e6}, {2e6, -1e6}, {2e6, 0}});
    InOutArg<std::vector<Polygon>> arg =
        inPlace ? testing::InPlaceHostArg(target) : testing::HostArg(target);
    const bool ok = RegularPolygons(&paths, r.minX, r.maxX, r.minY, r.maxY, width, height, arg);
    const int commits = CountsFor<std::vector<Polygon>>().commits;
    Tally::Note(ok ? "RegularPolygons true" : "RegularPolygons false");
    FUZZ_CHECK(commits == 1, "RegularPolygons committed %d times", commits);
    if (!ok) {
      FUZZ_CHECK(target.empty(), "a false RegularPolygons committed %zu polygons", target.size());
      FUZZ_CHECK(verdict != Verdict::kAccepted, "RegularPolygons refused usable input");
      return 0;
    }
    FUZZ_CHECK(verdict != Verdict::kRefused, "RegularPolygons accepted unusable input");
    FUZZ_CHECK(target.size() == paths.size(), "%zu polygons for %zu paths", target.size(),
               paths.size());
    for (size_t i = 0; i < paths.size(); ++i) CheckPolygon(target[i], paths[i], r, width, height);
    return 0;
  }

  Polygon target{{1e6, -1e6}, {2e6, -1e6}};
  InOutArg<Polygon> arg = inPlace ? testing::InPlaceHostArg(target) : testing::HostArg(target);
  const bool ok = RegularPolygon(&paths[0], r.minX, r.maxX, r.minY, r.maxY, width, height, arg);
  const int commits = CountsFor<Polygon>().commits;
  Tally::Note(ok ? "RegularPolygon true" : "RegularPolygon false");
  FUZZ_CHECK(commits == 1, "RegularPolygon committed %d times", commits);
  if (!ok) {
    FUZZ_CHECK(target.empty(), "a false RegularPolygon committed %zu vertices", target.size());
    FUZZ_CHECK(verdict != Verdict::kAccepted || WholeSegments(paths[0]) == 0,
               "RegularPolygon refused usable input");
    return 0;
  }
  FUZZ_CHECK(verdict != Verdict::kRefused && WholeSegments(paths[0]) > 0,
             "RegularPolygon accepted unusable input");
  CheckPolygon(target, paths[0], r, width, height);
  return 0;
}
