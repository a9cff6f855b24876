#include "clip/polygon_split.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

namespace pintovel {
namespace {

void ExpectVertices(const Polygon& actual, const std::vector<Point>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].x, expected[i].x) << "vertex " << i;
    EXPECT_EQ(actual[i].y, expected[i].y) << "vertex " << i;
  }
}

void ExpectBounds(const Bounds& b, double minX, double maxX, double minY, double maxY) {
  EXPECT_EQ(b.minX, minX);
  EXPECT_EQ(b.maxX, maxX);
  EXPECT_EQ(b.minY, minY);
  EXPECT_EQ(b.maxY, maxY);
}

Polygon Transposed(const Polygon& p) {
  Polygon t;
  for (const Point& v : p) t.push_back({v.y, v.x});
  return t;
}

// ---- Single splits ----------------------------------------------------------------------

TEST(SplitPolygonTest, TriangleSharesTheOnLineVertexAndTheCrossing) {
  Polygon polygon = {{0, 5}, {-3, 2}, {5, 8}};
  Bounds bounds = BoundingBox(polygon);
  Polygon high = {{99, 99}};
  Bounds highBounds{};
  SplitPolygonAtY(bounds, polygon, high, highBounds, 5);
  ExpectVertices(polygon, {{0, 5}, {-3, 2}, {1, 5}});
  ExpectVertices(high, {{0, 5}, {1, 5}, {5, 8}});
  // The records are the old one clamped at the line; the other axis is copied whole.
  ExpectBounds(bounds, -3, 5, 2, 5);
  ExpectBounds(highBounds, -3, 5, 5, 8);
}

TEST(SplitPolygonTest, UShapeKeepsBothArmsInOneList) {
  const Polygon u = {{0, 0}, {6, 0}, {6, 6}, {4, 6}, {4, 2}, {2, 2}, {2, 6}, {0, 6}};
  const std::vector<Point> low = {{0, 0}, {6, 0}, {6, 4}, {4, 4}, {4, 2}, {2, 2}, {2, 4}, {0, 4}};
  const std::vector<Point> highPart = {{6, 4}, {6, 6}, {4, 6}, {4, 4},
                                       {2, 4}, {2, 6}, {0, 6}, {0, 4}};
  {
    Polygon polygon = u, high;
    Bounds bounds = BoundingBox(polygon), highBounds{};
    SplitPolygonAtY(bounds, polygon, high, highBounds, 4);
    ExpectVertices(polygon, low);
    ExpectVertices(high, highPart);
  }
  {
    // The vertical split is the horizontal one with the axes exchanged.
    Polygon polygon = Transposed(u), high;
    Bounds bounds = BoundingBox(polygon), highBounds{};
    SplitPolygonAtX(bounds, polygon, high, highBounds, 4);
    ExpectVertices(polygon, Transposed(low));
    ExpectVertices(high, Transposed(highPart));
    ExpectBounds(bounds, 0, 4, 0, 6);
    ExpectBounds(highBounds, 4, 6, 0, 6);
  }
}

TEST(SplitPolygonTest, VerticesWithinTheToleranceSnapOntoTheLine) {
  for (bool vertical : {false, true}) {
    SCOPED_TRACE(vertical);
    auto split = [&](Polygon polygon, int32_t level, Polygon& high) {
      if (vertical) polygon = Transposed(polygon);
      Bounds bounds{-100, 100, -100, 100}, highBounds{};
      (vertical ? SplitPolygonAtX : SplitPolygonAtY)(bounds, polygon, high, highBounds, level);
      if (vertical) {
        polygon = Transposed(polygon);
        high = Transposed(high);
      }
      return polygon;
    };
    Polygon high;
    Polygon low = split({{0, 0}, {4, 5 + 5e-10}, {8, 0}}, 5, high);
    ExpectVertices(low, {{0, 0}, {4, 5}, {8, 0}});
    ExpectVertices(high, {{4, 5}});

    low = split({{0, 0}, {4, 5 + 2e-9}, {8, 0}}, 5, high);
    ASSERT_EQ(low.size(), 4u);
    EXPECT_EQ(low[1].y, 5);
    EXPECT_EQ(low[2].y, 5);
    ASSERT_EQ(high.size(), 3u);
    EXPECT_EQ(high[1].y, 5 + 2e-9);

    // A difference of exactly 1e-9 is off the line.
    low = split({{0, -1}, {4, 1e-9}, {8, -1}}, 0, high);
    ASSERT_EQ(high.size(), 3u);
    EXPECT_EQ(high[1].y, 1e-9);
    low = split({{0, -1}, {4, 0.99e-9}, {8, -1}}, 0, high);
    ExpectVertices(high, {{4, 0}});
  }
}

TEST(SplitPolygonTest, EdgeAlongTheLineGoesToBothPartsWithoutCrossings) {
  Polygon polygon = {{0, 0}, {4, 0}, {4, 4}, {0, 4}}, high;
  Bounds bounds{0, 4, -1, 4}, highBounds{};
  SplitPolygonAtY(bounds, polygon, high, highBounds, 0);
  ExpectVertices(polygon, {{0, 0}, {4, 0}});
  ExpectVertices(high, {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
}

TEST(SplitPolygonTest, RecordsDecideTheEarlyReturns) {
  const Polygon square = {{1, 1}, {3, 1}, {3, 3}, {1, 3}};
  const Bounds sentinel{-7, -7, -7, -7};
  {
    // Line at maxY: everything stays, high is emptied, its record untouched.
    Polygon polygon = square, high = {{9, 9}};
    Bounds bounds = BoundingBox(polygon), highBounds = sentinel;
    SplitPolygonAtY(bounds, polygon, high, highBounds, 3);
    ExpectVertices(polygon, square);
    EXPECT_TRUE(high.empty());
    ExpectBounds(bounds, 1, 3, 1, 3);
    ExpectBounds(highBounds, -7, -7, -7, -7);
  }
  {
    // Line at minX: all goes to high unchanged (an on-line vertex is not snapped), the record
    // is copied whole.
    Polygon polygon = {{1 + 5e-10, 1}, {3, 1}, {3, 3}}, high = {{9, 9}};
    const Polygon original = polygon;
    Bounds bounds{1, 3, 0.5, 3.5}, highBounds = sentinel;
    SplitPolygonAtX(bounds, polygon, high, highBounds, 1);
    EXPECT_TRUE(polygon.empty());
    ExpectVertices(high, original);
    ExpectBounds(bounds, 1, 3, 0.5, 3.5);
    ExpectBounds(highBounds, 1, 3, 0.5, 3.5);
  }
  {
    // An empty polygon with a record across the line: both parts empty, records clamped.
    Polygon polygon, high = {{9, 9}};
    Bounds bounds{0, 1, 0, 10}, highBounds = sentinel;
    SplitPolygonAtY(bounds, polygon, high, highBounds, 4);
    EXPECT_TRUE(polygon.empty());
    EXPECT_TRUE(high.empty());
    ExpectBounds(bounds, 0, 1, 0, 4);
    ExpectBounds(highBounds, 0, 1, 4, 10);
  }
  {
    // One vertex on the low side stays one vertex.
    Polygon polygon = {{2, 2}}, high;
    Bounds bounds{0, 10, 0, 10}, highBounds = sentinel;
    SplitPolygonAtY(bounds, polygon, high, highBounds, 5);
    ExpectVertices(polygon, {{2, 2}});
    EXPECT_TRUE(high.empty());
    // And one on the line goes to both parts once.
    polygon = {{2, 5}};
    bounds = {0, 10, 0, 10};
    SplitPolygonAtY(bounds, polygon, high, highBounds, 5);
    ExpectVertices(polygon, {{2, 5}});
    ExpectVertices(high, {{2, 5}});
  }
}

// ---- Independent reference in long double -----------------------------------------------

struct LongPoint {
  long double x;
  long double y;
};

template <class P>
long double SignedArea(const std::vector<P>& p) {
  long double twice = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const P& a = p[i];
    const P& b = p[(i + 1) % p.size()];
    twice += static_cast<long double>(a.x) * b.y - static_cast<long double>(b.x) * a.y;
  }
  return twice / 2;
}

// Classic edge-by-edge Sutherland-Hodgman against the half-plane sign * (coord - line) >= 0.
std::vector<LongPoint> ClipHalfPlane(const std::vector<LongPoint>& in, bool testX, long double line,
                                     int sign) {
  std::vector<LongPoint> out;
  auto value = [&](const LongPoint& p) { return sign * ((testX ? p.x : p.y) - line); };
  for (std::size_t i = 0; i < in.size(); ++i) {
    const LongPoint& s = in[(i + in.size() - 1) % in.size()];
    const LongPoint& e = in[i];
    const long double vs = value(s), ve = value(e);
    if ((vs >= 0) != (ve >= 0)) {
      const long double f = vs / (vs - ve);
      out.push_back({s.x + (e.x - s.x) * f, s.y + (e.y - s.y) * f});
    }
    if (ve >= 0) out.push_back(e);
  }
  return out;
}

long double ReferenceClippedArea(const Polygon& polygon, double left, double top, double right,
                                 double bottom) {
  std::vector<LongPoint> p;
  for (const Point& v : polygon) p.push_back({v.x, v.y});
  p = ClipHalfPlane(p, false, top, 1);
  p = ClipHalfPlane(p, true, left, 1);
  p = ClipHalfPlane(p, false, bottom, -1);
  p = ClipHalfPlane(p, true, right, -1);
  return SignedArea(p);
}

Polygon RandomPolygon(std::mt19937& rng, double lo, double hi) {
  std::uniform_int_distribution<int> count(1, 12);
  std::uniform_real_distribution<double> coord(lo, hi);
  std::uniform_int_distribution<int> kind(0, 3);
  Polygon p(static_cast<std::size_t>(count(rng)));
  for (Point& v : p) {
    // Some integer coordinates, so that vertices land on grid lines.
    v.x = kind(rng) == 0 ? std::round(coord(rng)) : coord(rng);
    v.y = kind(rng) == 0 ? std::round(coord(rng)) : coord(rng);
  }
  return p;
}

Bounds MaybeWidened(std::mt19937& rng, const Polygon& p) {
  Bounds b = BoundingBox(p);
  if (rng() % 2) {
    std::uniform_real_distribution<double> extra(0, 10);
    b.minX -= extra(rng), b.maxX += extra(rng), b.minY -= extra(rng), b.maxY += extra(rng);
  }
  return b;
}

bool Contains(const Polygon& p, Point v) {
  for (const Point& w : p) {
    if (w.x == v.x && w.y == v.y) return true;
  }
  return false;
}

TEST(SplitPolygonPropertyTest, HalvesAddUpAndCreatedVerticesLieOnTheLine) {
  std::mt19937 rng(31337);
  std::uniform_int_distribution<int> lineValue(-25, 45);
  for (int trial = 0; trial < 3000; ++trial) {
    const Polygon original = RandomPolygon(rng, -20, 40);
    const bool vertical = trial % 2 == 1;
    const int32_t level = lineValue(rng);
    const double line = level;
    Polygon low = original, high;
    Bounds bounds = MaybeWidened(rng, original), highBounds{};
    (vertical ? SplitPolygonAtX : SplitPolygonAtY)(bounds, low, high, highBounds, level);
    SCOPED_TRACE(testing::Message() << "trial " << trial);

    const long double area = SignedArea(original);
    EXPECT_NEAR(static_cast<double>(SignedArea(low) + SignedArea(high)), static_cast<double>(area),
                1e-9 * 3600);
    auto tested = [&](Point v) { return vertical ? v.x : v.y; };
    for (const Point& v : low) {
      if (tested(v) != line) {
        EXPECT_LT(tested(v), line);
        EXPECT_TRUE(Contains(original, v)) << "created vertex off the line";
      }
    }
    for (const Point& v : high) {
      if (tested(v) != line) {
        EXPECT_GT(tested(v), line);
        EXPECT_TRUE(Contains(original, v)) << "created vertex off the line";
      }
    }
    // The parts' records still contain them.
    for (const Point& v : low) {
      EXPECT_TRUE(v.x >= bounds.minX && v.x <= bounds.maxX && v.y >= bounds.minY &&
                  v.y <= bounds.maxY);
    }
    if (!high.empty()) {
      for (const Point& v : high) {
        EXPECT_TRUE(v.x >= highBounds.minX && v.x <= highBounds.maxX && v.y >= highBounds.minY &&
                    v.y <= highBounds.maxY);
      }
    }
  }
}

// ---- The clipping chain -----------------------------------------------------------------

Polygon Clip(Polygon polygon, Bounds& bounds, int32_t width, int32_t height) {
  Polygon result = {{123, 456}}, scratch;
  Bounds scratchBounds{};
  ClipPolygonToImage(polygon, bounds, width, height, result, scratch, scratchBounds);
  return result;
}

TEST(ClipPolygonToImageTest, SquareOverTheCorner) {
  Bounds bounds{-1, 1, -1, 1};
  const Polygon result = Clip({{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}, bounds, 10, 10);
  ExpectVertices(result, {{1, 0}, {1, 1}, {0, 1}, {0, 0}});
  ExpectBounds(bounds, 0, 1, 0, 1);
}

TEST(ClipPolygonToImageTest, TouchingFromOutsideLeavesPointsOnTheBorder) {
  const Polygon polygon = {{-5, 5}, {0, 5}, {0, -1}, {5, -1}, {5, -2}, {-5, -2}};
  Bounds bounds = BoundingBox(polygon);
  ExpectVertices(Clip(polygon, bounds, 10, 10), {{0, 5}, {0, 0}});
}

TEST(ClipPolygonToImageTest, InsidePolygonComesOutUnchanged) {
  const Polygon polygon = {{0, 3}, {4.5, 0}, {10, 2.25}, {7, 8}, {3, 8}, {3, 8}};
  Bounds bounds = BoundingBox(polygon);
  ExpectVertices(Clip(polygon, bounds, 10, 8), polygon);
  ExpectBounds(bounds, 0, 10, 0, 8);
}

TEST(ClipPolygonToImageTest, OutsidePolygonGivesEmptyResult) {
  const Polygon sides[] = {{{2, -5}, {5, -5}, {4, -1}},
                           {{-3, 2}, {-1, 2}, {-2, 5}},
                           {{2, 11}, {5, 12}, {4, 15}},
                           {{11, 2}, {12, 2}, {14, 5}}};
  for (const Polygon& p : sides) {
    Bounds bounds = BoundingBox(p);
    // The result's earlier vertex must be gone too.
    EXPECT_TRUE(Clip(p, bounds, 10, 10).empty());
  }
  Bounds bounds{0, 0, 0, 0};
  EXPECT_TRUE(Clip({}, bounds, 10, 10).empty());
}

TEST(ClipPolygonToImageTest, ClipsInPlaceWhenResultIsThePolygon) {
  Polygon polygon = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}, scratch;
  Bounds bounds{-1, 1, -1, 1}, scratchBounds{};
  ClipPolygonToImage(polygon, bounds, 10, 10, polygon, scratch, scratchBounds);
  ExpectVertices(polygon, {{1, 0}, {1, 1}, {0, 1}, {0, 0}});
  ExpectBounds(bounds, 0, 1, 0, 1);

  polygon = {{2, -5}, {5, -5}, {4, -1}};
  bounds = BoundingBox(polygon);
  ClipPolygonToImage(polygon, bounds, 10, 10, polygon, scratch, scratchBounds);
  EXPECT_TRUE(polygon.empty());
}

TEST(ClipPolygonPropertyTest, MatchesReferenceClipAreaAndStaysInTheRectangle) {
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> edge(-8, 8);
  for (int trial = 0; trial < 3000; ++trial) {
    SCOPED_TRACE(testing::Message() << "trial " << trial);
    const Polygon original = RandomPolygon(rng, -15, 35);
    const bool cells = trial % 3 == 0;
    const int32_t left = cells ? edge(rng) : 0, top = cells ? edge(rng) : 0;
    const int32_t right = left + 1 + static_cast<int32_t>(rng() % 25);
    const int32_t bottom = top + 1 + static_cast<int32_t>(rng() % 25);
    Polygon polygon = original, result = {{1, 1}}, scratch;
    Bounds bounds = MaybeWidened(rng, original), scratchBounds{};
    if (cells) {
      ClipPolygonToCells(polygon, bounds, left, top, right, bottom, result, scratch, scratchBounds);
    } else {
      ClipPolygonToImage(polygon, bounds, right, bottom, result, scratch, scratchBounds);
    }
    const long double expected = ReferenceClippedArea(original, left, top, right, bottom);
    EXPECT_NEAR(static_cast<double>(SignedArea(result)), static_cast<double>(expected),
                1e-9 * 3600);
    for (const Point& v : result) {
      EXPECT_TRUE(v.x >= left && v.x <= right && v.y >= top && v.y <= bottom) << v.x << ", " << v.y;
      // A non-empty result is contained in its record.
      EXPECT_TRUE(v.x >= bounds.minX && v.x <= bounds.maxX && v.y >= bounds.minY &&
                  v.y <= bounds.maxY);
    }
  }
}

TEST(BoundingBoxTest, LeastAndGreatestCoordinates) {
  ExpectBounds(BoundingBox({}), 0, 0, 0, 0);
  ExpectBounds(BoundingBox({{3, -2}}), 3, 3, -2, -2);
  ExpectBounds(BoundingBox({{3, -2}, {-1, 5}, {7, 0}, {2, -4}}), -1, 7, -4, 5);
}

}  // namespace
}  // namespace pintovel
