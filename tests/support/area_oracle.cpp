// Clipping and shoelace arithmetic of the coverage oracle; see area_oracle.h.
#include "support/area_oracle.h"

#include <algorithm>
#include <cstddef>

namespace pintovel {
namespace testing {
namespace {

struct LocalPoint {
  long double x;
  long double y;
};

using LocalPolygon = std::vector<LocalPoint>;

enum class Axis { kX, kY };

long double Coordinate(const LocalPoint& p, Axis axis) {
  return axis == Axis::kX ? p.x : p.y;
}

// One Sutherland-Hodgman pass: keeps the part of the closed polygon with coordinate >= bound
// (keepAbove) or <= bound (!keepAbove). Points on the line count as inside. Where an edge goes
// from inside to outside or back, the point where it meets the line is emitted; the outside
// stretches between such points collapse onto the line.
LocalPolygon ClipToHalfPlane(const LocalPolygon& polygon, Axis axis, long double bound,
                             bool keepAbove) {
  LocalPolygon out;
  const size_t n = polygon.size();
  if (n == 0) {
    return out;
  }
  out.reserve(n + 4);
  const auto inside = [&](const LocalPoint& p) {
    const long double c = Coordinate(p, axis);
    return keepAbove ? c >= bound : c <= bound;
  };
  // The point of p -> q on the line; p and q lie strictly on opposite sides of it.
  const auto meet = [&](const LocalPoint& p, const LocalPoint& q) {
    const long double cp = Coordinate(p, axis);
    const long double cq = Coordinate(q, axis);
    const long double t = (bound - cp) / (cq - cp);
    if (axis == Axis::kX) {
      return LocalPoint{bound, p.y + t * (q.y - p.y)};
    }
    return LocalPoint{p.x + t * (q.x - p.x), bound};
  };
  for (size_t i = 0; i < n; ++i) {
    const LocalPoint& p = polygon[i];
    const LocalPoint& q = polygon[(i + 1) % n];
    const bool pIn = inside(p);
    const bool qIn = inside(q);
    if (pIn != qIn && Coordinate(p, axis) != bound && Coordinate(q, axis) != bound) {
      out.push_back(meet(p, q));
    }
    if (qIn) {
      out.push_back(q);
    }
  }
  return out;
}

// (1/2) * sum (x_i * y_(i+1) - x_(i+1) * y_i): positive for (0,0) -> (1,0) -> (1,1) -> (0,1),
// which is clockwise on screen with y down.
long double Shoelace(const LocalPolygon& polygon) {
  long double twice = 0.0L;
  const size_t n = polygon.size();
  for (size_t i = 0; i < n; ++i) {
    const LocalPoint& p = polygon[i];
    const LocalPoint& q = polygon[(i + 1) % n];
    twice += p.x * q.y - q.x * p.y;
  }
  return twice * 0.5L;
}

LocalPolygon Translated(const Polygon& polygon, long double dx, long double dy) {
  LocalPolygon local;
  local.reserve(polygon.size());
  for (const Point& p : polygon) {
    local.push_back(
        LocalPoint{static_cast<long double>(p.x) + dx, static_cast<long double>(p.y) + dy});
  }
  return local;
}

// The part of `strip` (already within 0 <= x <= 1) in 0 <= y <= 1 after shifting it up by
// `row`, and its area.
long double AreaInRow(const LocalPolygon& strip, long double row) {
  LocalPolygon shifted = strip;
  for (LocalPoint& p : shifted) {
    p.y -= row;
  }
  LocalPolygon clipped = ClipToHalfPlane(shifted, Axis::kY, 0.0L, true);
  clipped = ClipToHalfPlane(clipped, Axis::kY, 1.0L, false);
  return Shoelace(clipped);
}

}  // namespace

long double ExactCellArea(const Polygon& polygon, int32_t cx, int32_t cy) {
  LocalPolygon local =
      Translated(polygon, -static_cast<long double>(cx), -static_cast<long double>(cy));
  local = ClipToHalfPlane(local, Axis::kX, 0.0L, true);
  local = ClipToHalfPlane(local, Axis::kX, 1.0L, false);
  local = ClipToHalfPlane(local, Axis::kY, 0.0L, true);
  local = ClipToHalfPlane(local, Axis::kY, 1.0L, false);
  return Shoelace(local);
}

std::vector<long double> ExactCoverage(const Polygon& polygon, const CellRange& cells) {
  std::vector<long double> values(
      static_cast<size_t>(std::max(cells.rows, 0)) * static_cast<size_t>(std::max(cells.cols, 0)),
      0.0L);
  // Column by column: clip once to the column's strip, then cut the strip into rows. Rows that
  // the strip does not reach are left at zero.
  for (int32_t col = 0; col < cells.cols; ++col) {
    LocalPolygon strip = Translated(polygon, -(static_cast<long double>(cells.originX) + col),
                                    -static_cast<long double>(cells.originY));
    strip = ClipToHalfPlane(strip, Axis::kX, 0.0L, true);
    strip = ClipToHalfPlane(strip, Axis::kX, 1.0L, false);
    if (strip.size() < 3) {
      continue;
    }
    long double top = strip[0].y;
    long double bottom = strip[0].y;
    for (const LocalPoint& p : strip) {
      top = std::min(top, p.y);
      bottom = std::max(bottom, p.y);
    }
    for (int32_t row = 0; row < cells.rows; ++row) {
      if (row + 1 <= top || row >= bottom) {
        continue;
      }
      values[static_cast<size_t>(row) * static_cast<size_t>(cells.cols) +
             static_cast<size_t>(col)] = AreaInRow(strip, row);
    }
  }
  return values;
}

long double ShoelaceArea(const Polygon& polygon) {
  if (polygon.empty()) {
    return 0.0L;
  }
  return Shoelace(Translated(polygon, -static_cast<long double>(polygon[0].x),
                             -static_cast<long double>(polygon[0].y)));
}

}  // namespace testing
}  // namespace pintovel
