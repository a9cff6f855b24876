#include "curves/flatten.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <random>
#include <vector>

namespace pintovel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Polygon Flatten(const BezierPath& path) {
  Polygon out;
  FlattenPath(path, out);
  return out;
}

void ExpectPointNear(Point actual, double x, double y, double tolerance) {
  EXPECT_NEAR(actual.x, x, tolerance);
  EXPECT_NEAR(actual.y, y, tolerance);
}

bool SamePoint(Point a, Point b) {
  return a.x == b.x && a.y == b.y;
}

// ---- Worked examples --------------------------------------------------------------------

TEST(FlattenPathTest, ArchGivesFifteenKnownPoints) {
  const Polygon out = Flatten({{0, 0}, {0, 10}, {10, 10}, {10, 0}});
  const double half[8][2] = {{0, 0},
                             {0.347177, 2.979601},
                             {0.777247, 4.25282},
                             {1.369342, 5.351838},
                             {2.119677, 6.261169},
                             {2.998658, 6.938251},
                             {3.973905, 7.357826},
                             {5, 7.5}};
  ASSERT_EQ(out.size(), 15u);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    ExpectPointNear(out[i], half[i][0], half[i][1], 1e-6);
    // The second half mirrors the first about x = 5.
    ExpectPointNear(out[14 - i], 10 - half[i][0], half[i][1], 1e-6);
  }
  EXPECT_TRUE(SamePoint(out.front(), {0, 0}));
  EXPECT_TRUE(SamePoint(out.back(), {10, 0}));
}

TEST(FlattenPathTest, ScaledArchGivesThirtyThreePointsWithApexInTheMiddle) {
  const Polygon out = Flatten({{0, 0}, {0, 100}, {100, 100}, {100, 0}});
  ASSERT_EQ(out.size(), 33u);
  ExpectPointNear(out[16], 50, 75, 1e-12);
  EXPECT_TRUE(SamePoint(out.back(), {100, 0}));
}

TEST(FlattenPathTest, DegenerateSegmentsGiveTheirEndPoints) {
  const Polygon straight = Flatten({{0, 0}, {1, 1}, {2, 2}, {3, 3}});
  ASSERT_EQ(straight.size(), 2u);
  EXPECT_TRUE(SamePoint(straight[0], {0, 0}));
  EXPECT_TRUE(SamePoint(straight[1], {3, 3}));

  // Collinear with control points overshooting the ends: the overshoot is not traced.
  const Polygon overshoot = Flatten({{0, 0}, {-5, 0}, {8, 0}, {3, 0}});
  ASSERT_EQ(overshoot.size(), 2u);
  EXPECT_TRUE(SamePoint(overshoot[1], {3, 0}));

  // A closed segment has a zero chord, hence no split.
  const Polygon closed = Flatten({{0, 0}, {10, 10}, {-10, 10}, {0, 0}});
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_TRUE(SamePoint(closed[0], {0, 0}));
  EXPECT_TRUE(SamePoint(closed[1], {0, 0}));
}

TEST(FlattenPathTest, TwoSegmentPathRepeatsTheJoint) {
  const Polygon out = Flatten({{0, 0}, {0, 4}, {4, 4}, {4, 0}, {4, -4}, {0, -4}, {0, 0}});
  ASSERT_EQ(out.size(), 18u);
  EXPECT_TRUE(SamePoint(out[8], {4, 0}));
  EXPECT_TRUE(SamePoint(out[9], {4, 0}));
  EXPECT_TRUE(SamePoint(out.front(), {0, 0}));
  EXPECT_TRUE(SamePoint(out.back(), {0, 0}));
  // The second segment is the first mirrored about y = 0.
  for (std::size_t i = 0; i < 9; ++i)
    ExpectPointNear(out[9 + i], out[8 - i].x, -out[8 - i].y, 1e-12);
}

TEST(FlattenPathTest, OnlyWholeSegmentsAreFlattened) {
  const BezierPath arch = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
  const Polygon reference = Flatten(arch);
  for (std::size_t extra = 1; extra <= 2; ++extra) {
    BezierPath path = arch;
    for (std::size_t i = 0; i < extra; ++i) path.push_back({kNaN, 1e300});
    const Polygon out = Flatten(path);
    ASSERT_EQ(out.size(), reference.size());
    for (std::size_t i = 0; i < out.size(); ++i) EXPECT_TRUE(SamePoint(out[i], reference[i]));
  }
  for (std::size_t n = 0; n <= 3; ++n) {
    const BezierPath path(arch.begin(), arch.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_TRUE(Flatten(path).empty()) << n;
  }
}

TEST(FlattenPathTest, AppendsAfterExistingVertices) {
  Polygon out = {{-7, -7}, {-8, -8}};
  FlattenPath({{0, 0}, {1, 1}, {2, 2}, {3, 3}}, out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_TRUE(SamePoint(out[0], {-7, -7}));
  EXPECT_TRUE(SamePoint(out[1], {-8, -8}));
  EXPECT_TRUE(SamePoint(out[2], {0, 0}));
  EXPECT_TRUE(SamePoint(out[3], {3, 3}));
}

TEST(FlattenPathsTest, ShrinksTheListAndAppendsToSurvivors) {
  const std::vector<BezierPath> paths = {
      {{0, 0}, {1, 1}, {2, 2}, {3, 3}}, {}, {{5, 5}, {6, 5}, {7, 5}, {8, 5}}};
  std::vector<Polygon> polygons(5);
  for (std::size_t i = 0; i < polygons.size(); ++i) polygons[i] = {{double(i), -1}};
  FlattenPaths(paths, polygons);
  ASSERT_EQ(polygons.size(), 3u);
  ASSERT_EQ(polygons[0].size(), 3u);
  EXPECT_TRUE(SamePoint(polygons[0][0], {0, -1}));
  EXPECT_TRUE(SamePoint(polygons[0][2], {3, 3}));
  ASSERT_EQ(polygons[1].size(), 1u);
  EXPECT_TRUE(SamePoint(polygons[1][0], {1, -1}));
  ASSERT_EQ(polygons[2].size(), 3u);
  EXPECT_TRUE(SamePoint(polygons[2][0], {2, -1}));
  EXPECT_TRUE(SamePoint(polygons[2][1], {5, 5}));

  std::vector<Polygon> grown;
  FlattenPaths(paths, grown);
  ASSERT_EQ(grown.size(), 3u);
  EXPECT_EQ(grown[0].size(), 2u);
  EXPECT_TRUE(grown[1].empty());
}

// ---- Solver and filter ------------------------------------------------------------------

TEST(SolveQuadraticTest, RootOrderAndThresholds) {
  double r[2];
  // (t - 1)(t - 2): with qa > 0 the smaller root comes first ...
  ASSERT_EQ(SolveQuadratic(1, -3, 2, r), 2);
  EXPECT_DOUBLE_EQ(r[0], 1);
  EXPECT_DOUBLE_EQ(r[1], 2);
  // ... and with qa < 0 the larger.
  ASSERT_EQ(SolveQuadratic(-1, 3, -2, r), 2);
  EXPECT_DOUBLE_EQ(r[0], 2);
  EXPECT_DOUBLE_EQ(r[1], 1);
  // Below 1e-9 the leading coefficient is dropped; at 1e-9 it is not.
  ASSERT_EQ(SolveQuadratic(5e-10, 4, -1, r), 1);
  EXPECT_DOUBLE_EQ(r[0], 0.25);
  EXPECT_EQ(SolveQuadratic(1e-9, 4, -1, r), 2);
  EXPECT_EQ(SolveQuadratic(5e-10, 5e-10, 1, r), 0);
  // A discriminant of magnitude below 1e-9 is a double root at -qb / 2qa.
  ASSERT_EQ(SolveQuadratic(1, -1, 0.25 + 1e-10, r), 1);
  EXPECT_DOUBLE_EQ(r[0], 0.5);
  EXPECT_EQ(SolveQuadratic(1, -1, 0.25 + 1e-9, r), 0);
  EXPECT_EQ(SolveQuadratic(1, 0, 1, r), 0);
}

TEST(SolveQuadraticTest, HugeCoefficientsKeepTheirRoots) {
  // qb^2 overflows; the roots are 1 and 2 all the same.
  double r[2];
  ASSERT_EQ(SolveQuadratic(1e200, -3e200, 2e200, r), 2);
  EXPECT_DOUBLE_EQ(r[0], 1);
  EXPECT_DOUBLE_EQ(r[1], 2);
  EXPECT_EQ(SolveQuadratic(1e200, 0, 1e200, r), 0);
  EXPECT_EQ(SolveQuadratic(kNaN, 1, 1, r), 0);
}

TEST(FilterParametersTest, SortsSkipsAndStops) {
  double kept[2];
  {
    double roots[2] = {0.7, 0.3};
    ASSERT_EQ(FilterParameters(roots, 2, 0, 1, 0.001, kept), 2);
    EXPECT_EQ(kept[0], 0.3);
    EXPECT_EQ(kept[1], 0.7);
  }
  {
    // Too close to t0 is skipped, the next one may still be kept.
    double roots[2] = {0.2005, 0.5};
    ASSERT_EQ(FilterParameters(roots, 2, 0.2, 0.8, 0.001, kept), 1);
    EXPECT_EQ(kept[0], 0.5);
  }
  {
    // Too close to the previous kept root.
    double roots[2] = {0.5, 0.5005};
    ASSERT_EQ(FilterParameters(roots, 2, 0, 1, 0.001, kept), 1);
    EXPECT_EQ(kept[0], 0.5);
  }
  {
    // Beyond t1 - margin ends the scan.
    double roots[2] = {0.9995, 1.5};
    EXPECT_EQ(FilterParameters(roots, 2, 0, 1, 0.001, kept), 0);
    double outside[2] = {-0.5, 0.5};
    ASSERT_EQ(FilterParameters(outside, 2, 0, 1, 0.001, kept), 1);
    EXPECT_EQ(kept[0], 0.5);
  }
  {
    double roots[2] = {kNaN, 0.5};
    ASSERT_EQ(FilterParameters(roots, 2, 0, 1, 0.001, kept), 1);
    EXPECT_EQ(kept[0], 0.5);
    double nans[2] = {0.5, kNaN};
    ASSERT_EQ(FilterParameters(nans, 2, 0, 1, 0.001, kept), 1);
    EXPECT_EQ(kept[0], 0.5);
    double single[2] = {kNaN, 0};
    EXPECT_EQ(FilterParameters(single, 1, 0, 1, 0.001, kept), 0);
  }
}

// ---- Properties on random outlines ------------------------------------------------------

struct LongPoint {
  long double x;
  long double y;
};

// Bernstein form, independent of the power-basis coefficients under test.
LongPoint Bezier(const Point c[4], long double t) {
  const long double s = 1 - t;
  const long double w0 = s * s * s, w1 = 3 * s * s * t, w2 = 3 * s * t * t, w3 = t * t * t;
  return {w0 * c[0].x + w1 * c[1].x + w2 * c[2].x + w3 * c[3].x,
          w0 * c[0].y + w1 * c[1].y + w2 * c[2].y + w3 * c[3].y};
}

long double DistanceSquared(LongPoint a, Point b) {
  const long double dx = a.x - b.x, dy = a.y - b.y;
  return dx * dx + dy * dy;
}

// The least t in [from, 1] at which the curve passes within `tolerance` of v, or -1. Scans a
// grid fine enough to separate the pieces (which are at least 0.001 long) and refines every
// local minimum of the distance by golden-section search.
long double FindParameter(const Point c[4], Point v, long double from, long double tolerance) {
  const long double h = 2.5e-4L;
  const int steps = static_cast<int>(std::ceil((1 - from) / h));
  auto at = [&](int i) { return i >= steps ? 1.0L : from + i * h; };
  auto f = [&](long double t) { return DistanceSquared(Bezier(c, t), v); };
  long double previous = std::numeric_limits<long double>::infinity();
  long double current = f(at(0));
  for (int i = 0; i <= steps; ++i) {
    const long double next =
        i < steps ? f(at(i + 1)) : std::numeric_limits<long double>::infinity();
    if (current <= previous && current <= next) {
      long double a = i > 0 ? at(i - 1) : at(0), b = i < steps ? at(i + 1) : 1.0L;
      const long double g = (std::sqrt(5.0L) - 1) / 2;
      long double x1 = b - g * (b - a), x2 = a + g * (b - a);
      long double f1 = f(x1), f2 = f(x2);
      for (int k = 0; k < 120 && b - a > 1e-18L; ++k) {
        if (f1 <= f2) {
          b = x2, x2 = x1, f2 = f1, x1 = b - g * (b - a), f1 = f(x1);
        } else {
          a = x1, x1 = x2, f1 = f2, x2 = a + g * (b - a), f2 = f(x2);
        }
      }
      long double best = (a + b) / 2;
      if (f(at(i)) < f(best)) best = at(i);
      if (f(best) <= tolerance * tolerance) return best;
    }
    previous = current;
    current = next;
  }
  return -1;
}

// Distance of q from the line through a and b (or from a when they coincide).
long double DistanceFromLine(LongPoint q, Point a, Point b) {
  const long double cx = static_cast<long double>(b.x) - a.x;
  const long double cy = static_cast<long double>(b.y) - a.y;
  const long double len = std::sqrt(cx * cx + cy * cy);
  const long double qx = q.x - a.x, qy = q.y - a.y;
  if (len == 0) return std::sqrt(qx * qx + qy * qy);
  return std::fabs(qx * cy - qy * cx) / len;
}

BezierPath RandomOutline(std::mt19937& rng, int segments, double extent) {
  std::uniform_real_distribution<double> coord(0, extent);
  BezierPath path;
  path.push_back({coord(rng), coord(rng)});
  for (int s = 0; s < segments; ++s) {
    for (int i = 0; i < 3; ++i) path.push_back({coord(rng), coord(rng)});
  }
  path.back() = path.front();
  return path;
}

TEST(FlattenPropertyTest, VerticesLieOnTheCurveAndPiecesStayInTheBand) {
  std::mt19937 rng(20240611);
  for (int trial = 0; trial < 40; ++trial) {
    const double extent = trial % 4 == 0 ? 1000.0 : 100.0;
    const BezierPath path = RandomOutline(rng, 5, extent);
    Polygon whole;
    FlattenPath(path, whole);
    Polygon joined;
    for (std::size_t k = 0; 3 * k + 3 < path.size(); ++k) {
      SCOPED_TRACE(testing::Message() << "trial " << trial << " segment " << k);
      const Point* c = &path[3 * k];
      Polygon out;
      FlattenSegment(MakeCubicSegment(c[0], c[1], c[2], c[3]), kFlattenTolerance, kParameterMargin,
                     out);
      joined.insert(joined.end(), out.begin(), out.end());
      ASSERT_GE(out.size(), 2u);
      EXPECT_TRUE(SamePoint(out.front(), c[0]));
      EXPECT_TRUE(SamePoint(out.back(), c[3]));
      std::vector<long double> params = {0};
      for (std::size_t i = 1; i + 1 < out.size(); ++i) {
        // Each piece is at least the margin long, so the next vertex lies beyond half of it.
        const long double t = FindParameter(c, out[i], params.back() + 0.0005L, 1e-9L);
        ASSERT_GE(t, 0) << "vertex " << i << " is not on the curve after the previous one";
        params.push_back(t);
      }
      params.push_back(1);
      for (std::size_t i = 0; i + 1 < out.size(); ++i) {
        long double worst = 0;
        for (int j = 1; j < 400; ++j) {
          const long double t = params[i] + (params[i + 1] - params[i]) * j / 400;
          const long double d = DistanceFromLine(Bezier(c, t), out[i], out[i + 1]);
          if (d > worst) worst = d;
        }
        EXPECT_LE(worst, kFlattenTolerance + 1e-9) << "piece " << i;
      }
    }
    // FlattenPath is the concatenation of its segments, joints twice. Not bit for bit: x87
    // builds may round intermediates differently where the calls are inlined.
    ASSERT_EQ(whole.size(), joined.size());
    for (std::size_t i = 0; i < whole.size(); ++i)
      ExpectPointNear(whole[i], joined[i].x, joined[i].y, 1e-9);
  }
}

// ---- Termination on hostile input -------------------------------------------------------

std::size_t FlattenedSize(Point p0, Point p1, Point p2, Point p3, double margin) {
  Polygon out;
  FlattenSegment(MakeCubicSegment(p0, p1, p2, p3), kFlattenTolerance, margin, out);
  for (const Point& p : out) {
    if (std::isfinite(p0.x + p0.y + p1.x + p1.y + p2.x + p2.y + p3.x + p3.y)) {
      EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    }
  }
  return out.size();
}

TEST(FlattenRobustnessTest, PathologicalFiniteSegmentsStayBounded) {
  const double big = 1e15;
  EXPECT_LE(FlattenedSize({0, 0}, {big, -big}, {-big, big}, {1, 1}, kParameterMargin), 1001u);
  EXPECT_LE(FlattenedSize({0, 0}, {big, big}, {-big, big}, {0, 0}, kParameterMargin), 1001u);
  // Cusp and loop.
  EXPECT_LE(FlattenedSize({0, 0}, {10, 10}, {0, 10}, {10, 0}, kParameterMargin), 1001u);
  EXPECT_LE(FlattenedSize({0, 0}, {200, 200}, {-100, 200}, {100, 0}, kParameterMargin), 1001u);
  EXPECT_LE(FlattenedSize({0, 0}, {1e90, 1e90}, {-1e90, 1e90}, {1e-90, 0}, kParameterMargin),
            1001u);
  // A margin that would allow unbounded pieces is raised to the default.
  EXPECT_LE(FlattenedSize({0, 0}, {big, -big}, {-big, big}, {1, 1}, 1e-300), 1001u);
  EXPECT_LE(FlattenedSize({0, 0}, {big, -big}, {-big, big}, {1, 1}, kNaN), 1001u);
  EXPECT_LE(FlattenedSize({0, 0}, {big, -big}, {-big, big}, {1, 1}, -1), 1001u);

  std::mt19937 rng(77);
  std::uniform_real_distribution<double> exponent(-300, 300);
  std::uniform_int_distribution<int> sign(0, 1);
  for (int trial = 0; trial < 300; ++trial) {
    Point c[4];
    for (Point& p : c) {
      p.x = (sign(rng) ? 1 : -1) * std::pow(10.0, exponent(rng));
      p.y = (sign(rng) ? 1 : -1) * std::pow(10.0, exponent(rng));
    }
    EXPECT_LE(FlattenedSize(c[0], c[1], c[2], c[3], kParameterMargin), 1001u) << trial;
  }
}

TEST(FlattenRobustnessTest, NonFiniteInputTerminates) {
  const double bad[] = {kNaN, kInf, -kInf, 1e300, -1e308};
  for (double b : bad) {
    for (int where = 0; where < 8; ++where) {
      Point c[4] = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
      (where % 2 ? c[where / 2].y : c[where / 2].x) = b;
      EXPECT_LE(FlattenedSize(c[0], c[1], c[2], c[3], kParameterMargin), 1001u);
    }
  }
}

TEST(FlattenRobustnessTest, HugeCoordinatesStillSplitAtTheApex) {
  // Coordinates near 1e81 make the discriminant overflow in plain double arithmetic.
  const double s = 1e80;
  Polygon out;
  FlattenPath({{0, 0}, {0, 10 * s}, {10 * s, 10 * s}, {10 * s, 0}}, out);
  ASSERT_GT(out.size(), 15u);
  EXPECT_LE(out.size(), 1001u);
  bool apex = false;
  for (const Point& p : out) {
    apex = apex || (std::fabs(p.x - 5 * s) <= 1e-12 * s && std::fabs(p.y - 7.5 * s) <= 1e-12 * s);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
  }
  EXPECT_TRUE(apex);
}

TEST(IsFlattenablePathTest, ChecksOnlyWholeSegments) {
  EXPECT_TRUE(IsFlattenablePath({}));
  EXPECT_TRUE(IsFlattenablePath({{kNaN, kNaN}, {kInf, 0}, {0, 0}}));
  EXPECT_TRUE(IsFlattenablePath({{0, 0}, {1e100, -1e100}, {2, 2}, {3, 3}}));
  EXPECT_FALSE(IsFlattenablePath({{0, 0}, {1.0000001e100, 0}, {2, 2}, {3, 3}}));
  EXPECT_FALSE(IsFlattenablePath({{0, 0}, {1, 1}, {2, 2}, {3, -1e101}}));
  EXPECT_FALSE(IsFlattenablePath({{kNaN, 0}, {1, 1}, {2, 2}, {3, 3}}));
  EXPECT_FALSE(IsFlattenablePath({{0, 0}, {1, 1}, {2, -kInf}, {3, 3}}));
  // Points after the last whole segment are not read.
  EXPECT_TRUE(IsFlattenablePath({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {kNaN, kInf}, {kInf, 0}}));
  EXPECT_FALSE(
      IsFlattenablePath({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {kNaN, 0}, {kInf, 0}}));
}

}  // namespace
}  // namespace pintovel
