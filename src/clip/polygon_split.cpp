#include "clip/polygon_split.h"

#include <cmath>
#include <cstddef>

#include "support/point_box.h"

namespace pintovel {

namespace {

// The tested axis of a split: the coordinate compared with the line (`Tested`), the other one
// (`Along`), and the pair of record fields that bound the tested coordinate.
struct HorizontalLine {
  static constexpr double Point::*Tested = &Point::y;
  static constexpr double Point::*Along = &Point::x;
  static constexpr double Bounds::*Min = &Bounds::minY;
  static constexpr double Bounds::*Max = &Bounds::maxY;
};

struct VerticalLine {
  static constexpr double Point::*Tested = &Point::x;
  static constexpr double Point::*Along = &Point::y;
  static constexpr double Bounds::*Min = &Bounds::minX;
  static constexpr double Bounds::*Max = &Bounds::maxX;
};

template <class Axis>
Point OnLine(double along, double line) {
  Point p{};
  p.*Axis::Tested = line;
  p.*Axis::Along = along;
  return p;
}

double ClampBetween(double value, double a, double b) {
  return a < b ? std::fmin(std::fmax(value, a), b) : std::fmin(std::fmax(value, b), a);
}

// Sutherland-Hodgman against both half-planes of the line at once. The walk takes n + 1 steps so
// that the closing edge (vertex n - 1 to vertex 0) gets its crossing; the second copy of vertex 0
// is then dropped again. A crossing is only made between a vertex strictly on one side and a
// predecessor strictly on the other, both at least kOnLineTolerance away, so its divisor is never
// zero. Created points carry the line value exactly in the tested coordinate.
template <class Axis>
void SplitPolygon(Bounds& bounds, Polygon& polygon, Polygon& high, Bounds& highBounds,
                  int32_t level) {
  high.clear();
  const double line = static_cast<double>(level);
  // Written as a negated comparison so that a NaN bound also counts as missing.
  if (!(line < bounds.*Axis::Max)) return;
  if (line <= bounds.*Axis::Min) {
    // Wholly on the high side: hand the vertices over unchanged (no snapping).
    high.swap(polygon);
    highBounds = bounds;
    return;
  }
  highBounds = bounds;
  bounds.*Axis::Max = line;
  highBounds.*Axis::Min = line;

  const std::size_t n = polygon.size();
  if (n == 0) return;

  Polygon low;
  low.reserve(n + 2);
  high.reserve(n + 2);
  bool lastLow = false;
  bool lastHigh = false;
  for (std::size_t k = 0; k <= n; ++k) {
    const Point v = polygon[k % n];
    const Point u = polygon[(k + n - 1) % n];
    const double vt = v.*Axis::Tested;
    if (std::fabs(vt - line) < kOnLineTolerance) {
      const Point snapped = OnLine<Axis>(v.*Axis::Along, line);
      low.push_back(snapped);
      high.push_back(snapped);
      lastLow = false;
      lastHigh = false;
      continue;
    }
    const bool vLow = vt < line;
    if (vLow ? lastHigh : lastLow) {
      const double ut = u.*Axis::Tested;
      const double ua = u.*Axis::Along;
      const double va = v.*Axis::Along;
      const double crossing = ua + (va - ua) * (line - ut) / (vt - ut);
      // The crossing lies on the edge, so between its ends. Rounding can put it a few units in
      // the last place of the far end beyond the near one, which would undo an earlier cut on
      // the other axis (both ends inside it, the crossing outside); the clamp keeps it on the
      // edge's span.
      const Point x = OnLine<Axis>(ClampBetween(crossing, ua, va), line);
      low.push_back(x);
      high.push_back(x);
    }
    if (vLow) {
      low.push_back(v);
    } else {
      // Also where the tested coordinate is NaN: such a vertex goes to the high part.
      high.push_back(v);
    }
    lastLow = vLow;
    lastHigh = !vLow;
  }
  // Step n appended a second copy of vertex 0 to the side(s) it lies on.
  if (lastHigh) {
    high.pop_back();
  } else if (lastLow) {
    low.pop_back();
  } else {
    low.pop_back();
    high.pop_back();
  }
  polygon.swap(low);
}

}  // namespace

void SplitPolygonAtY(Bounds& bounds, Polygon& polygon, Polygon& high, Bounds& highBounds,
                     int32_t level) {
  SplitPolygon<HorizontalLine>(bounds, polygon, high, highBounds, level);
}

void SplitPolygonAtX(Bounds& bounds, Polygon& polygon, Polygon& high, Bounds& highBounds,
                     int32_t level) {
  SplitPolygon<VerticalLine>(bounds, polygon, high, highBounds, level);
}

void ClipPolygonToCells(Polygon& polygon, Bounds& bounds, int32_t left, int32_t top, int32_t right,
                        int32_t bottom, Polygon& result, Polygon& scratch, Bounds& scratchBounds) {
  // The kept side alternates: high parts of the first two splits, low parts of the last two.
  // Once the kept polygon is empty every later split would leave it empty, so the chain stops;
  // `result` must still lose its earlier contents (the second split would have emptied it).
  SplitPolygonAtY(bounds, polygon, scratch, scratchBounds, top);
  if (scratch.empty()) {
    result.clear();
    return;
  }
  SplitPolygonAtX(scratchBounds, scratch, result, bounds, left);
  if (result.empty()) return;
  SplitPolygonAtY(bounds, result, scratch, scratchBounds, bottom);
  if (result.empty()) return;
  SplitPolygonAtX(bounds, result, scratch, scratchBounds, right);
}

void ClipPolygonToImage(Polygon& polygon, Bounds& bounds, int32_t width, int32_t height,
                        Polygon& result, Polygon& scratch, Bounds& scratchBounds) {
  ClipPolygonToCells(polygon, bounds, 0, 0, width, height, result, scratch, scratchBounds);
}

Bounds BoundingBox(const Polygon& polygon) {
  if (polygon.empty()) return Bounds{0.0, 0.0, 0.0, 0.0};
  return BoxOfPoints(polygon.data(), polygon.size()).box;
}

}  // namespace pintovel
