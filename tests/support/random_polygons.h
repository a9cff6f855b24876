// Seeded random polygons and windows for the coverage tests, and small helpers around them.
// The generators are shared by every test that checks a coverage kernel against the oracle, so
// that all kernels face the same populations.
#ifndef PINTOVEL_TESTS_SUPPORT_RANDOM_POLYGONS_H
#define PINTOVEL_TESTS_SUPPORT_RANDOM_POLYGONS_H

#include <pintovel/pintovel.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "coverage/coverage_grid.h"
#include "coverage/coverage_rows.h"

namespace pintovel {
namespace testing {

// ---- Portable random numbers --------------------------------------------------------------
// std::mt19937 yields the same sequence everywhere (the standard fixes it); the distributions
// below are our own, so a seed gives the same polygons with every standard library (only the
// libm's cos and sin may differ in the last bit).
class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}

  // Uniform in [0, 1) with 53 random bits.
  double Unit() {
    const uint64_t high = engine_() >> 5;  // 27 bits
    const uint64_t low = engine_() >> 6;   // 26 bits
    return static_cast<double>((high << 26) | low) * 0x1p-53;
  }

  double Between(double lo, double hi) {
    return lo + (hi - lo) * Unit();
  }

  // Uniform in lo .. hi inclusive (the modulo bias is irrelevant here).
  int32_t Int(int32_t lo, int32_t hi) {
    const uint64_t span = static_cast<uint64_t>(int64_t{hi} - lo) + 1;
    const uint64_t draw = (uint64_t{engine_()} << 32) | engine_();
    return static_cast<int32_t>(lo + static_cast<int64_t>(draw % span));
  }

  bool Chance(double p) {
    return Unit() < p;
  }

 private:
  std::mt19937 engine_;
};

// ---- Helpers --------------------------------------------------------------------------------

inline std::string Describe(const Polygon& polygon, const Bounds& window) {
  std::ostringstream out;
  out.precision(17);
  out << "window (" << window.minX << ", " << window.maxX << ", " << window.minY << ", "
      << window.maxY << ") polygon";
  for (const Point& p : polygon) {
    out << " (" << p.x << ", " << p.y << ")";
  }
  return out.str();
}

inline double ValueAt(const CoverageGrid& grid, int32_t x, int32_t y) {
  return grid.values.at(static_cast<size_t>(y - grid.originY) * static_cast<size_t>(grid.cols) +
                        static_cast<size_t>(x - grid.originX));
}

inline Polygon Reversed(Polygon polygon) {
  std::reverse(polygon.begin(), polygon.end());
  return polygon;
}

inline Polygon Translated(const Polygon& polygon, double dx, double dy) {
  Polygon out;
  for (const Point& p : polygon) {
    out.push_back(Point{p.x + dx, p.y + dy});
  }
  return out;
}

// The vertices' bounding box.
inline Bounds BoxOf(const Polygon& polygon) {
  Bounds box{polygon[0].x, polygon[0].x, polygon[0].y, polygon[0].y};
  for (const Point& p : polygon) {
    box.minX = std::min(box.minX, p.x);
    box.maxX = std::max(box.maxX, p.x);
    box.minY = std::min(box.minY, p.y);
    box.maxY = std::max(box.maxY, p.y);
  }
  return box;
}

// ---- Random polygons ------------------------------------------------------------------------

enum class Kind { kSoup, kConvex, kStar, kRectilinear };

struct Extent {
  double width;
  double height;
};

struct Case {
  Polygon polygon;
  Bounds window;
};

// A coordinate in [lo, lo + span], sometimes moved onto a whole or half pixel.
inline double Coordinate(Random& random, double lo, double span, double snapChance) {
  double v = lo + span * random.Unit();
  if (random.Chance(snapChance)) {
    v = random.Chance(0.5) ? std::round(v) : std::round(v * 2.0) * 0.5;
  }
  return v;
}

inline Polygon MakeVertices(Random& random, Kind kind, double x0, double y0, const Extent& extent,
                            double snapChance) {
  Polygon polygon;
  switch (kind) {
    case Kind::kSoup: {
      const int32_t n = random.Int(1, 12);
      for (int32_t i = 0; i < n; ++i) {
        polygon.push_back(Point{Coordinate(random, x0, extent.width, snapChance),
                                Coordinate(random, y0, extent.height, snapChance)});
      }
      break;
    }
    case Kind::kConvex:
    case Kind::kStar: {
      // Points at increasing angles around the box's centre: on an ellipse (convex) or at
      // random radii (star-shaped, usually concave).
      const int32_t n = random.Int(3, 16);
      std::vector<double> angles;
      for (int32_t i = 0; i < n; ++i) {
        angles.push_back(random.Between(0.0, 6.283185307179586));
      }
      std::sort(angles.begin(), angles.end());
      for (double angle : angles) {
        const double radius = kind == Kind::kConvex ? 0.5 : random.Between(0.05, 0.5);
        polygon.push_back(Point{x0 + extent.width * (0.5 + radius * std::cos(angle)),
                                y0 + extent.height * (0.5 + radius * std::sin(angle))});
      }
      if (random.Chance(snapChance)) {
        for (Point& p : polygon) {
          p.x = std::round(p.x * 2.0) * 0.5;
          p.y = std::round(p.y * 2.0) * 0.5;
        }
      }
      break;
    }
    case Kind::kRectilinear: {
      // A closed staircase: alternately move in x and in y, then back to the start column.
      const int32_t turns = random.Int(1, 6);
      const double startX = Coordinate(random, x0, extent.width, snapChance);
      double y = Coordinate(random, y0, extent.height, snapChance);
      polygon.push_back(Point{startX, y});
      for (int32_t i = 0; i < turns; ++i) {
        const double x = Coordinate(random, x0, extent.width, snapChance);
        polygon.push_back(Point{x, y});
        y = Coordinate(random, y0, extent.height, snapChance);
        polygon.push_back(Point{x, y});
      }
      polygon.push_back(Point{startX, y});
      break;
    }
  }
  // Repeated vertices: a copy right after a vertex, or the first vertex again at the end.
  Polygon withRepeats;
  for (const Point& p : polygon) {
    withRepeats.push_back(p);
    if (random.Chance(0.08)) {
      withRepeats.push_back(p);
    }
  }
  if (random.Chance(0.1)) {
    withRepeats.push_back(withRepeats.front());
  }
  if (random.Chance(0.5)) {
    std::reverse(withRepeats.begin(), withRepeats.end());
  }
  return withRepeats;
}

// A window around the polygon: its vertices' cells, sometimes with margins and fractional
// bounds (only floors and ceilings matter).
inline Bounds MakeWindow(Random& random, const Polygon& polygon) {
  const Bounds box = BoxOf(polygon);
  const auto margin = [&random]() { return random.Chance(0.5) ? 0.0 : random.Int(0, 3) + 0.5; };
  Bounds window{box.minX - margin(), box.maxX + margin(), box.minY - margin(), box.maxY + margin()};
  // At least one column and one row.
  if (std::ceil(window.maxX) == std::floor(window.minX)) {
    window.maxX += 1.0;
  }
  if (std::ceil(window.maxY) == std::floor(window.minY)) {
    window.maxY += 1.0;
  }
  return window;
}

// Moves every vertex into the closed rectangle of the window's cells: clamped vertices land
// exactly on its edges, the right and bottom ones included.
inline void ClampToWindow(Polygon& polygon, const Bounds& window) {
  const CellRange cells = WindowCells(window);
  for (Point& p : polygon) {
    p.x = std::clamp(p.x, static_cast<double>(cells.originX),
                     static_cast<double>(cells.originX) + cells.cols);
    p.y = std::clamp(p.y, static_cast<double>(cells.originY),
                     static_cast<double>(cells.originY) + cells.rows);
  }
}

struct Population {
  Extent (*extent)(Random&);
  double farChance;  // chance of an origin a few thousand pixels out
  double snapChance;
  double clampChance;
};

inline Extent SmallExtent(Random& random) {
  return Extent{random.Between(0.05, 8.0), random.Between(0.05, 8.0)};
}
inline Extent MediumExtent(Random& random) {
  return Extent{random.Between(4.0, 40.0), random.Between(4.0, 40.0)};
}
inline Extent TallExtent(Random& random) {
  return Extent{random.Between(0.2, 4.0), random.Between(100.0, 3000.0)};
}
inline Extent WideExtent(Random& random) {
  return Extent{random.Between(100.0, 3000.0), random.Between(0.2, 4.0)};
}

inline Case MakeCase(Random& random, Kind kind, const Population& population) {
  const Extent extent = population.extent(random);
  const bool far = random.Chance(population.farChance);
  const double x0 = far ? random.Between(1000.0, 4000.0) : random.Between(-20.0, 20.0);
  const double y0 = far ? random.Between(1000.0, 4000.0) : random.Between(-20.0, 20.0);
  Case c;
  c.polygon = MakeVertices(random, kind, x0, y0, extent, population.snapChance);
  c.window = MakeWindow(random, c.polygon);
  if (random.Chance(population.clampChance)) {
    // Shrink the window into the polygon's box, then pull the vertices onto it.
    c.window.minX += 0.3 * extent.width * random.Unit();
    c.window.maxX -= 0.3 * extent.width * random.Unit();
    c.window.minY += 0.3 * extent.height * random.Unit();
    c.window.maxY -= 0.3 * extent.height * random.Unit();
    if (std::ceil(c.window.maxX) <= std::floor(c.window.minX)) {
      c.window.maxX = std::floor(c.window.minX) + 1.0;
    }
    if (std::ceil(c.window.maxY) <= std::floor(c.window.minY)) {
      c.window.maxY = std::floor(c.window.minY) + 1.0;
    }
    ClampToWindow(c.polygon, c.window);
  }
  return c;
}

}  // namespace testing
}  // namespace pintovel

#endif  // PINTOVEL_TESTS_SUPPORT_RANDOM_POLYGONS_H
