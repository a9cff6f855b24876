// RegularPolygon and RegularPolygons through the public interface, called the way a host calls
// them: an InOutArg whose commit hook copies the library's working object into the host's own
// object and then gives the copy back through release.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <cmath>
#include <limits>
#include <vector>

#include "curves/flatten.h"
#include "support/area_oracle.h"
#include "support/shapes.h"

namespace {

using pintovel::testing::EllipsePath;
using pintovel::testing::StraightPath;

using pintovel::BezierPath;
using pintovel::InOutArg;
using pintovel::Point;
using pintovel::Polygon;
using PolygonList = std::vector<Polygon>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- The host's side of the hand-back protocol ----------------------------------------------

template <class T>
struct HookLog {
  int commits = 0;
  int hostReleases = 0;          // calls of the host's own placeholder release
  bool workingAtCommit = false;  // commit saw a working object
  T* workingSeen = nullptr;      // the working object commit saw
  void* releaseSeen = nullptr;   // the release hook the record held at commit
};

template <class T>
HookLog<T>& Log() {
  static HookLog<T> log;
  return log;
}

template <class T>
void PINTOVEL_HOOK_CALL HostRelease(InOutArg<T>*) {
  ++Log<T>().hostReleases;
}

// Copies *working into *target element by element with the host's allocation, then hands the
// working copy back.
template <class T>
void PINTOVEL_HOOK_CALL HostCommit(InOutArg<T>* arg) {
  HookLog<T>& log = Log<T>();
  ++log.commits;
  log.workingAtCommit = arg->working != nullptr;
  log.workingSeen = arg->working;
  log.releaseSeen = reinterpret_cast<void*>(arg->release);
  if (arg->working == nullptr) return;
  T copy(arg->working->begin(), arg->working->end());
  arg->target->swap(copy);
  arg->release(arg);
}

// Commit of a host that supplied its own working object: nothing to copy or release.
template <class T>
void PINTOVEL_HOOK_CALL HostKeep(InOutArg<T>* arg) {
  HookLog<T>& log = Log<T>();
  ++log.commits;
  log.workingAtCommit = arg->working != nullptr;
  log.workingSeen = arg->working;
  log.releaseSeen = reinterpret_cast<void*>(arg->release);
}

template <class T>
InOutArg<T> HostArg(T& target) {
  Log<T>() = HookLog<T>{};
  return InOutArg<T>{&target, nullptr, &HostCommit<T>, &HostRelease<T>};
}

template <class T>
InOutArg<T> SuppliedWorkingArg(T& target, T& working) {
  Log<T>() = HookLog<T>{};
  return InOutArg<T>{&target, &working, &HostKeep<T>, &HostRelease<T>};
}

// ---- Outlines --------------------------------------------------------------------------------

// The square of the worked example, control points on its sides.
BezierPath WorkedSquare() {
  return BezierPath{{0, 0}, {1, 0}, {3, 0}, {4, 0}, {4, 1}, {4, 3}, {4, 4},
                    {3, 4}, {1, 4}, {0, 4}, {0, 3}, {0, 1}, {0, 0}};
}

// ---- Comparisons -----------------------------------------------------------------------------

::testing::AssertionResult SameVertices(const Polygon& actual, const Polygon& expected) {
  if (actual.size() != expected.size()) {
    return ::testing::AssertionFailure()
           << "vertex count " << actual.size() << ", expected " << expected.size();
  }
  for (size_t i = 0; i < actual.size(); ++i) {
    // Exact: the mappings under test multiply and add values that are exact in binary.
    if (!(actual[i].x == expected[i].x && actual[i].y == expected[i].y)) {
      return ::testing::AssertionFailure()
             << "vertex " << i << " is (" << actual[i].x << ", " << actual[i].y << "), expected ("
             << expected[i].x << ", " << expected[i].y << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

Polygon Flattened(const BezierPath& path) {
  Polygon polygon;
  pintovel::FlattenPath(path, polygon);
  return polygon;
}

// The flattened outline mapped with x' = x * sx + ox, y' = y * sy + oy.
Polygon FlattenedAndMapped(const BezierPath& path, double sx, double ox, double sy, double oy) {
  Polygon polygon = Flattened(path);
  for (Point& p : polygon) p = Point{p.x * sx + ox, p.y * sy + oy};
  return polygon;
}

// Area of `polygon` inside the image [0, width] x [0, height], summed cell by cell by the
// independent oracle.
long double AreaInsideImage(const Polygon& polygon, int32_t width, int32_t height) {
  long double sum = 0;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) sum += pintovel::testing::ExactCellArea(polygon, x, y);
  }
  return sum;
}

Polygon Junk() {
  return Polygon{{-7, -7}, {99, 3}, {5, 1e6}};
}

bool CallOne(const BezierPath& path, double minX, double maxX, double minY, double maxY,
             int32_t width, int32_t height, Polygon& result) {
  return pintovel::RegularPolygon(&path, minX, maxX, minY, maxY, width, height, HostArg(result));
}

bool CallMany(const std::vector<BezierPath>& paths, double minX, double maxX, double minY,
              double maxY, int32_t width, int32_t height, PolygonList& result) {
  return pintovel::RegularPolygons(&paths, minX, maxX, minY, maxY, width, height, HostArg(result));
}

// ---- Worked examples -------------------------------------------------------------------------

TEST(RegularPolygonExamples, SquareKeepsTheQuarterInsideTheImage) {
  // Maps to the square (2, 2)..(6, 6) on a 4 x 4 image: the quarter up to (4, 4) stays, still
  // ending with a repeat of its first vertex; the repeated joints outside are gone.
  const Polygon expected{{2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}};

  Polygon one = Junk();
  EXPECT_TRUE(CallOne(WorkedSquare(), -2, 2, -2, 2, 4, 4, one));
  EXPECT_EQ(Log<Polygon>().commits, 1);
  EXPECT_TRUE(SameVertices(one, expected));

  PolygonList many{Junk()};
  EXPECT_TRUE(CallMany({WorkedSquare()}, -2, 2, -2, 2, 4, 4, many));
  EXPECT_EQ(Log<PolygonList>().commits, 1);
  ASSERT_EQ(many.size(), 1u);
  EXPECT_TRUE(SameVertices(many[0], expected));
}

TEST(RegularPolygonExamples, CommitReceivesALibraryCopyAndItsRelease) {
  Polygon result;
  ASSERT_TRUE(CallOne(WorkedSquare(), -2, 2, -2, 2, 4, 4, result));
  const HookLog<Polygon>& log = Log<Polygon>();
  EXPECT_EQ(log.commits, 1);
  EXPECT_TRUE(log.workingAtCommit);
  EXPECT_NE(log.workingSeen, &result);
  // The library replaced the host's placeholder release with its own.
  EXPECT_NE(log.releaseSeen, reinterpret_cast<void*>(&HostRelease<Polygon>));
  EXPECT_EQ(log.hostReleases, 0);
}

// ---- The document-to-pixel mapping -----------------------------------------------------------

TEST(RegularPolygonMapping, ScaleTwoDoublesTheFlattenedVertices) {
  // Document 0..100 x 0..50 on 200 x 100 pixels: sx = sy = 2, no offset.
  const BezierPath square = StraightPath({{10, 10}, {20, 10}, {20, 20}, {10, 20}});
  const Polygon expectedSquare{{20, 20}, {40, 20}, {40, 20}, {40, 40},
                               {40, 40}, {20, 40}, {20, 40}, {20, 20}};
  Polygon result;
  EXPECT_TRUE(CallOne(square, 0, 100, 0, 50, 200, 100, result));
  EXPECT_TRUE(SameVertices(result, expectedSquare));

  // A curved outline within (10, 10)-(20, 20): its flattened vertices (flattened in document
  // units), each coordinate doubled, in the same order.
  const BezierPath ellipse = EllipsePath(15, 15, 5, 4);
  Polygon doubled = Flattened(ellipse);
  ASSERT_GT(doubled.size(), 8u);
  for (Point& p : doubled) p = Point{2 * p.x, 2 * p.y};
  EXPECT_TRUE(CallOne(ellipse, 0, 100, 0, 50, 200, 100, result));
  EXPECT_TRUE(SameVertices(result, doubled));

  PolygonList many;
  EXPECT_TRUE(CallMany({square, ellipse}, 0, 100, 0, 50, 200, 100, many));
  ASSERT_EQ(many.size(), 2u);
  EXPECT_TRUE(SameVertices(many[0], expectedSquare));
  EXPECT_TRUE(SameVertices(many[1], doubled));
}

TEST(RegularPolygonMapping, DocumentRangeLandsOnTheImage) {
  // minX 10 and maxX 20 on 100 pixels: sx = 10, ox = -100; y 0..10 on 100 pixels likewise.
  const BezierPath square = StraightPath({{10, 0}, {20, 0}, {20, 10}, {10, 10}});
  Polygon result;
  EXPECT_TRUE(CallOne(square, 10, 20, 0, 10, 100, 100, result));
  EXPECT_TRUE(SameVertices(
      result,
      Polygon{{0, 0}, {100, 0}, {100, 0}, {100, 100}, {100, 100}, {0, 100}, {0, 100}, {0, 0}}));

  // x = 5 maps to -50 and is clipped away at x = 0; the crossings sit exactly on x = 0.
  const BezierPath shifted = StraightPath({{5, 2}, {15, 2}, {15, 8}, {5, 8}});
  EXPECT_TRUE(CallOne(shifted, 10, 20, 0, 10, 100, 100, result));
  EXPECT_TRUE(
      SameVertices(result, Polygon{{0, 20}, {50, 20}, {50, 20}, {50, 80}, {50, 80}, {0, 80}}));
  EXPECT_EQ(pintovel::testing::ShoelaceArea(result), 50.0L * 60.0L);
}

TEST(RegularPolygonMapping, ReversedRangeMirrorsTheAxis) {
  // minX 20, maxX 10: x = 20 maps to 0 and x = 10 to the width. The outline, clockwise in the
  // document, comes back wound the other way.
  const BezierPath square = StraightPath({{10, 0}, {20, 0}, {20, 10}, {10, 10}});
  Polygon result;
  EXPECT_TRUE(CallOne(square, 20, 10, 0, 10, 100, 100, result));
  EXPECT_TRUE(SameVertices(
      result,
      Polygon{{100, 0}, {0, 0}, {0, 0}, {0, 100}, {0, 100}, {100, 100}, {100, 100}, {100, 0}}));
  EXPECT_EQ(pintovel::testing::ShoelaceArea(result), -10000.0L);

  // Both axes reversed: clockwise again.
  EXPECT_TRUE(CallOne(square, 20, 10, 10, 0, 100, 100, result));
  EXPECT_TRUE(SameVertices(
      result,
      Polygon{{100, 100}, {0, 100}, {0, 100}, {0, 0}, {0, 0}, {100, 0}, {100, 0}, {100, 100}}));
}

// ---- Clipping to the image -------------------------------------------------------------------

// Every vertex inside the image; each vertex is either a mapped vertex of the outline or lies
// exactly on the border (no crossing merely close to it).
::testing::AssertionResult ClippedOnBorder(const Polygon& clipped, const Polygon& mapped,
                                           int32_t width, int32_t height) {
  for (size_t i = 0; i < clipped.size(); ++i) {
    const Point& v = clipped[i];
    if (!(v.x >= 0 && v.x <= width && v.y >= 0 && v.y <= height)) {
      return ::testing::AssertionFailure()
             << "vertex " << i << " (" << v.x << ", " << v.y << ") is outside the image";
    }
    const bool onBorder = v.x == 0 || v.x == width || v.y == 0 || v.y == height;
    // Mapped vertices are compared loosely: with x87 arithmetic the test's own mapping may
    // round differently from the library's. The border coordinates must be exact.
    bool original = false;
    for (const Point& m : mapped) {
      original = original || (std::fabs(m.x - v.x) < 1e-9 && std::fabs(m.y - v.y) < 1e-9);
    }
    if (!onBorder && !original) {
      return ::testing::AssertionFailure() << "vertex " << i << " (" << v.x << ", " << v.y
                                           << ") is neither an outline vertex nor on the border";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(RegularPolygonClip, OutlineAcrossTheBorderIsCutExactlyOnIt) {
  // Document -1..1 x -1..1 on 120 x 80 pixels (sx = 60, ox = 60, sy = 40, oy = 40). The
  // ellipses reach over every side of the image, and over one side or two corners.
  struct Case {
    double cx, cy, rx, ry;
  };
  const Case cases[] = {{0.0, 0.0, 1.3, 1.15},    // over all four sides
                        {0.9, 0.1, 0.4, 0.3},     // over the right side
                        {-0.8, -0.85, 0.5, 0.4},  // over the top-left corner
                        {0.85, 0.9, 0.3, 0.3}};   // over the bottom-right corner
  const int32_t width = 120, height = 80;
  std::vector<BezierPath> paths;
  for (const Case& c : cases) paths.push_back(EllipsePath(c.cx, c.cy, c.rx, c.ry));

  PolygonList many;
  ASSERT_TRUE(CallMany(paths, -1, 1, -1, 1, width, height, many));
  ASSERT_EQ(many.size(), paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(i);
    const Polygon mapped = FlattenedAndMapped(paths[i], 60, 60, 40, 40);
    Polygon one;
    ASSERT_TRUE(CallOne(paths[i], -1, 1, -1, 1, width, height, one));
    EXPECT_TRUE(SameVertices(one, many[i]));
    EXPECT_TRUE(ClippedOnBorder(one, mapped, width, height));
    bool touchesBorder = false;
    for (const Point& v : one) {
      touchesBorder = touchesBorder || v.x == 0 || v.x == width || v.y == 0 || v.y == height;
    }
    EXPECT_TRUE(touchesBorder);
    // The clipped polygon holds exactly the part of the outline inside the image.
    const long double inside = AreaInsideImage(mapped, width, height);
    EXPECT_NEAR(static_cast<double>(pintovel::testing::ShoelaceArea(one)),
                static_cast<double>(inside), 1e-9);
    EXPECT_LT(static_cast<double>(inside),
              static_cast<double>(pintovel::testing::ShoelaceArea(mapped)) - 1);
  }
}

TEST(RegularPolygonClip, OutlineWhollyOutsideGivesAnEmptyPolygonAndTrue) {
  // Document 0..10 on 10 x 10 pixels; one square beyond each side.
  const std::vector<BezierPath> outside{StraightPath({{-5, 2}, {-1, 2}, {-1, 4}, {-5, 4}}),
                                        StraightPath({{11, 2}, {15, 2}, {15, 4}, {11, 4}}),
                                        StraightPath({{2, -5}, {4, -5}, {4, -1}, {2, -1}}),
                                        StraightPath({{2, 11}, {4, 11}, {4, 15}, {2, 15}}),
                                        StraightPath({{-9, -9}, {-3, -9}, {-3, -3}, {-9, -3}})};
  for (size_t i = 0; i < outside.size(); ++i) {
    SCOPED_TRACE(i);
    Polygon one = Junk();
    EXPECT_TRUE(CallOne(outside[i], 0, 10, 0, 10, 10, 10, one));
    EXPECT_EQ(Log<Polygon>().commits, 1);
    EXPECT_TRUE(one.empty());
  }
  PolygonList many{Junk(), Junk()};
  EXPECT_TRUE(CallMany(outside, 0, 10, 0, 10, 10, 10, many));
  ASSERT_EQ(many.size(), outside.size());
  for (const Polygon& p : many) EXPECT_TRUE(p.empty());
}

TEST(RegularPolygonClip, ImageWithoutWidthLeavesNoArea) {
  const BezierPath square = StraightPath({{1, 1}, {3, 1}, {3, 3}, {1, 3}});
  for (int32_t width : {0, -4}) {
    SCOPED_TRACE(width);
    Polygon one = Junk();
    EXPECT_TRUE(CallOne(square, 0, 4, 0, 4, width, 4, one));
    EXPECT_EQ(Log<Polygon>().commits, 1);
    EXPECT_EQ(pintovel::testing::ShoelaceArea(one), 0.0L);
    for (const Point& v : one) EXPECT_EQ(v.x, 0.0);
  }
}

// ---- Outlines without a whole segment, and lists ---------------------------------------------

TEST(RegularPolygonPaths, PathWithoutWholeSegmentGivesAnEmptyResult) {
  const BezierPath shortPaths[] = {BezierPath{}, BezierPath{{1, 1}},
                                   BezierPath{{1, 1}, {2, 1}, {2, 2}}};
  for (const BezierPath& path : shortPaths) {
    SCOPED_TRACE(path.size());
    Polygon one = Junk();
    EXPECT_FALSE(CallOne(path, 0, 10, 0, 10, 10, 10, one));
    EXPECT_EQ(Log<Polygon>().commits, 1);
    EXPECT_TRUE(Log<Polygon>().workingAtCommit);
    EXPECT_TRUE(one.empty());
  }

  // In a list, such a path gets an empty entry at its index and the call succeeds.
  const BezierPath square = StraightPath({{1, 1}, {3, 1}, {3, 3}, {1, 3}});
  const Polygon squarePolygon{{1, 1}, {3, 1}, {3, 1}, {3, 3}, {3, 3}, {1, 3}, {1, 3}, {1, 1}};
  PolygonList many{Junk(), Junk(), Junk()};
  EXPECT_TRUE(
      CallMany({square, BezierPath{{1, 1}, {2, 1}, {2, 2}}, square}, 0, 10, 0, 10, 10, 10, many));
  EXPECT_EQ(Log<PolygonList>().commits, 1);
  ASSERT_EQ(many.size(), 3u);
  EXPECT_TRUE(SameVertices(many[0], squarePolygon));
  EXPECT_TRUE(many[1].empty());
  EXPECT_TRUE(SameVertices(many[2], squarePolygon));
}

TEST(RegularPolygonPaths, PointsAfterTheLastWholeSegmentAreNotRead) {
  // Five and six points hold one whole segment; the rest, even if not a number, is ignored.
  BezierPath path{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {kNaN, kNaN}, {kInf, 2}};
  Polygon one;
  EXPECT_TRUE(CallOne(path, 0, 10, 0, 10, 10, 10, one));
  EXPECT_TRUE(SameVertices(one, Polygon{{1, 1}, {4, 1}}));
  PolygonList many;
  EXPECT_TRUE(CallMany({path}, 0, 10, 0, 10, 10, 10, many));
  ASSERT_EQ(many.size(), 1u);
  EXPECT_TRUE(SameVertices(many[0], Polygon{{1, 1}, {4, 1}}));
}

TEST(RegularPolygonsList, EmptyPathListGivesAnEmptyResult) {
  PolygonList many{Junk(), Junk()};
  EXPECT_TRUE(CallMany({}, 0, 10, 0, 10, 10, 10, many));
  EXPECT_EQ(Log<PolygonList>().commits, 1);
  EXPECT_TRUE(many.empty());
}

TEST(RegularPolygonsList, ResultHasOneEntryPerPathWhateverTheTargetHeld) {
  const std::vector<BezierPath> paths{StraightPath({{1, 1}, {3, 1}, {3, 3}, {1, 3}}),
                                      EllipsePath(5, 5, 2, 3)};
  PolygonList fresh;
  ASSERT_TRUE(CallMany(paths, 0, 10, 0, 10, 10, 10, fresh));
  ASSERT_EQ(fresh.size(), 2u);

  PolygonList held(5, Junk());
  held[1] = Polygon(40, Point{8, 8});
  EXPECT_TRUE(CallMany(paths, 0, 10, 0, 10, 10, 10, held));
  EXPECT_EQ(Log<PolygonList>().commits, 1);
  ASSERT_EQ(held.size(), 2u);
  EXPECT_TRUE(SameVertices(held[0], fresh[0]));
  EXPECT_TRUE(SameVertices(held[1], fresh[1]));

  // A shorter list than paths grows to one entry per path.
  PolygonList shortList{Junk()};
  EXPECT_TRUE(CallMany(paths, 0, 10, 0, 10, 10, 10, shortList));
  ASSERT_EQ(shortList.size(), 2u);
  EXPECT_TRUE(SameVertices(shortList[0], fresh[0]));
  EXPECT_TRUE(SameVertices(shortList[1], fresh[1]));
}

// ---- The hand-back protocol with a supplied working object -----------------------------------

TEST(RegularPolygonProtocol, SuppliedWorkingObjectIsChangedInPlace) {
  const BezierPath square = WorkedSquare();
  const Polygon expected{{2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}};

  Polygon target = Junk();
  Polygon working = Junk();
  EXPECT_TRUE(
      pintovel::RegularPolygon(&square, -2, 2, -2, 2, 4, 4, SuppliedWorkingArg(target, working)));
  const HookLog<Polygon>& one = Log<Polygon>();
  EXPECT_EQ(one.commits, 1);
  EXPECT_EQ(one.workingSeen, &working);
  EXPECT_EQ(one.releaseSeen, reinterpret_cast<void*>(&HostRelease<Polygon>));
  EXPECT_EQ(one.hostReleases, 0);
  EXPECT_TRUE(SameVertices(working, expected));
  EXPECT_TRUE(SameVertices(target, Junk()));

  const std::vector<BezierPath> paths{square, square};
  PolygonList listTarget{Junk()};
  PolygonList listWorking{Junk(), Junk(), Junk()};
  EXPECT_TRUE(pintovel::RegularPolygons(&paths, -2, 2, -2, 2, 4, 4,
                                        SuppliedWorkingArg(listTarget, listWorking)));
  const HookLog<PolygonList>& many = Log<PolygonList>();
  EXPECT_EQ(many.commits, 1);
  EXPECT_EQ(many.workingSeen, &listWorking);
  EXPECT_EQ(many.releaseSeen, reinterpret_cast<void*>(&HostRelease<PolygonList>));
  EXPECT_EQ(many.hostReleases, 0);
  ASSERT_EQ(listWorking.size(), 2u);
  EXPECT_TRUE(SameVertices(listWorking[0], expected));
  EXPECT_TRUE(SameVertices(listWorking[1], expected));
  ASSERT_EQ(listTarget.size(), 1u);
  EXPECT_TRUE(SameVertices(listTarget[0], Junk()));

  // A rejected call empties the supplied object, again in place.
  working = Junk();
  EXPECT_FALSE(
      pintovel::RegularPolygon(&square, 1, 1, -2, 2, 4, 4, SuppliedWorkingArg(target, working)));
  EXPECT_EQ(Log<Polygon>().commits, 1);
  EXPECT_EQ(Log<Polygon>().hostReleases, 0);
  EXPECT_TRUE(working.empty());
  EXPECT_TRUE(SameVertices(target, Junk()));
}

TEST(RegularPolygonProtocol, RecordThatCannotBeHandedBackCallsNoHook) {
  const BezierPath square = WorkedSquare();
  const std::vector<BezierPath> paths{square};
  Polygon target = Junk();
  PolygonList listTarget{Junk()};

  InOutArg<Polygon> noCommit = HostArg(target);
  noCommit.commit = nullptr;
  EXPECT_FALSE(pintovel::RegularPolygon(&square, -2, 2, -2, 2, 4, 4, noCommit));
  InOutArg<Polygon> noObject = HostArg(target);
  noObject.target = nullptr;
  EXPECT_FALSE(pintovel::RegularPolygon(&square, -2, 2, -2, 2, 4, 4, noObject));
  EXPECT_EQ(Log<Polygon>().commits, 0);
  EXPECT_EQ(Log<Polygon>().hostReleases, 0);
  EXPECT_TRUE(SameVertices(target, Junk()));

  InOutArg<PolygonList> listNoCommit = HostArg(listTarget);
  listNoCommit.commit = nullptr;
  EXPECT_FALSE(pintovel::RegularPolygons(&paths, -2, 2, -2, 2, 4, 4, listNoCommit));
  InOutArg<PolygonList> listNoObject = HostArg(listTarget);
  listNoObject.target = nullptr;
  EXPECT_FALSE(pintovel::RegularPolygons(&paths, -2, 2, -2, 2, 4, 4, listNoObject));
  EXPECT_EQ(Log<PolygonList>().commits, 0);
  EXPECT_EQ(Log<PolygonList>().hostReleases, 0);
  ASSERT_EQ(listTarget.size(), 1u);
}

TEST(RegularPolygonProtocol, MissingPathsAreRejectedThroughCommit) {
  Polygon one = Junk();
  EXPECT_FALSE(pintovel::RegularPolygon(nullptr, 0, 10, 0, 10, 10, 10, HostArg(one)));
  EXPECT_EQ(Log<Polygon>().commits, 1);
  EXPECT_TRUE(one.empty());
  PolygonList many{Junk()};
  EXPECT_FALSE(pintovel::RegularPolygons(nullptr, 0, 10, 0, 10, 10, 10, HostArg(many)));
  EXPECT_EQ(Log<PolygonList>().commits, 1);
  EXPECT_TRUE(many.empty());
}

// ---- Rejected input --------------------------------------------------------------------------

struct Rejected {
  const char* what;
  BezierPath path;
  double minX, maxX, minY, maxY;
};

std::vector<Rejected> RejectedCases() {
  const BezierPath square = StraightPath({{1, 1}, {3, 1}, {3, 3}, {1, 3}});
  auto with = [&](size_t index, Point p) {
    BezierPath path = square;
    path[index] = p;
    return path;
  };
  return {
      {"maxX equal to minX", square, 4, 4, 0, 10},
      {"maxY equal to minY", square, 0, 10, -3, -3},
      {"NaN x of an end point", with(0, Point{kNaN, 1}), 0, 10, 0, 10},
      {"NaN y of a control point", with(5, Point{3, kNaN}), 0, 10, 0, 10},
      {"infinite end point", with(6, Point{kInf, 3}), 0, 10, 0, 10},
      {"negative infinite control point", with(8, Point{1, -kInf}), 0, 10, 0, 10},
      {"huge coordinates", with(3, Point{1e200, -1e200}), 0, 10, 0, 10},
      {"all coordinates huge", StraightPath({{1e200, 1e200}, {3e200, 1e200}, {3e200, 3e200}}), 0,
       10, 0, 10},
      {"NaN minX", square, kNaN, 10, 0, 10},
      {"infinite maxY", square, 0, 10, 0, kInf},
      {"scale beyond double", square, 0, 1e-310, 0, 10},
      {"mapped coordinates beyond double", with(4, Point{1e290, 2}), 0, 1e-30, 0, 10},
      {"mapped coordinates beyond 1e100", with(2, Point{3, 1e60}), 0, 10, 0, 1e-50},
      {"document extent beyond double", square, -1e308, 1e308, 0, 10},
      {"NaN document extent", square, 0, 10, kInf, kInf},
  };
}

TEST(RegularPolygonFailure, RejectedInputCommitsAnEmptyPolygonOnce) {
  for (const Rejected& c : RejectedCases()) {
    SCOPED_TRACE(c.what);
    Polygon one = Junk();
    EXPECT_FALSE(CallOne(c.path, c.minX, c.maxX, c.minY, c.maxY, 10, 10, one));
    EXPECT_EQ(Log<Polygon>().commits, 1);
    EXPECT_TRUE(Log<Polygon>().workingAtCommit);
    EXPECT_EQ(Log<Polygon>().hostReleases, 0);
    EXPECT_TRUE(one.empty());
  }
}

TEST(RegularPolygonFailure, RejectedInputCommitsAnEmptyListOnce) {
  const BezierPath good = StraightPath({{1, 1}, {3, 1}, {3, 3}, {1, 3}});
  for (const Rejected& c : RejectedCases()) {
    SCOPED_TRACE(c.what);
    // The offending path sits between good ones; the whole call is rejected.
    PolygonList many{Junk(), Junk()};
    EXPECT_FALSE(CallMany({good, c.path, good}, c.minX, c.maxX, c.minY, c.maxY, 10, 10, many));
    EXPECT_EQ(Log<PolygonList>().commits, 1);
    EXPECT_TRUE(Log<PolygonList>().workingAtCommit);
    EXPECT_EQ(Log<PolygonList>().hostReleases, 0);
    EXPECT_TRUE(many.empty());
  }
}

}  // namespace
