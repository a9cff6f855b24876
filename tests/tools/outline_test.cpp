#include "outline.h"

#include <gtest/gtest.h>

#include <cmath>

#include "basic_shapes.h"
#include "cubic_path.h"

namespace pintovel_render {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A square with corners (x, y) and (x + side, y + side), clockwise on screen or not.
BezierPath Square(double x, double y, double side, bool clockwise) {
  BezierPath path = RectangleOutline(x, y, side, side, 0, 0);
  return clockwise ? path : ReversePath(path);
}

// Shoelace area of a dense polyline through the path: an estimate independent of the
// closed-form area of the cubics.
double SampledArea(const BezierPath& path) {
  std::vector<Point> line;
  for (std::size_t s = 0; s < SegmentCount(path); ++s) {
    for (int i = 0; i < 4000; ++i) line.push_back(EvaluateSegment(path, s, i / 4000.0));
  }
  line.push_back(path.back());
  double twice = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    twice += Cross(line[i], line[(i + 1) % line.size()]);
  }
  return 0.5 * twice;
}

TEST(SignedArea, ClosedFormAgreesWithSampling) {
  EXPECT_DOUBLE_EQ(SignedArea(Square(0, 0, 1, true)), 1.0);
  EXPECT_DOUBLE_EQ(SignedArea(Square(3, 4, 2, false)), -4.0);
  const BezierPath wavy = {{0, 0}, {3, -4}, {7, 5}, {10, 0}, {12, 8}, {-2, 9}, {0, 0}};
  EXPECT_NEAR(SignedArea(wavy), SampledArea(wavy), 1e-4);
  const BezierPath circle = EllipseOutline(5, 5, 3, 3);
  EXPECT_NEAR(SignedArea(circle), SampledArea(circle), 1e-4);
  EXPECT_NEAR(SignedArea(circle), kPi * 9, 0.01);  // four quarter cubics, area error < 0.1%
  const BezierPath rounded = RectangleOutline(0, 0, 10, 6, 2, 1);
  EXPECT_GT(SignedArea(rounded), 0.0);
  EXPECT_NEAR(SignedArea(rounded), 60 - (4 - kPi) * 2, 0.01);
}

TEST(JoinSubpaths, BridgesAddNoArea) {
  const std::vector<BezierPath> pieces = {Square(0, 0, 8, true), Square(2, 2, 4, false),
                                          Square(20, 0, 3, true), EllipseOutline(40, 40, 5, 2)};
  double sum = 0;
  for (const BezierPath& piece : pieces) sum += SignedArea(piece);
  const BezierPath joined = JoinSubpaths(pieces);
  EXPECT_NEAR(SignedArea(joined), sum, 1e-9);
  EXPECT_TRUE(joined.front() == joined.back());  // closed: the implied closing edge is empty
  // Winding is unchanged everywhere, including on the bridges' sides.
  EXPECT_EQ(WindingNumber(joined, {1, 1}), 1);
  EXPECT_EQ(WindingNumber(joined, {4, 4}), 0);  // in the hole
  EXPECT_EQ(WindingNumber(joined, {21, 1}), 1);
  EXPECT_EQ(WindingNumber(joined, {12, 0.5}), 0);  // between the pieces
  EXPECT_EQ(WindingNumber(joined, {40, 40}), 1);
  EXPECT_EQ(WindingNumber(joined, {30, 20}), 0);
}

TEST(OrientSubpaths, NonzeroFlipsWholeIslandsOnly) {
  // Outer ring the other way round with its hole clockwise: the island is reversed, the
  // hole stays a hole.
  const BezierPath ring =
      BuildOutline({Square(0, 0, 8, false), Square(2, 2, 4, true)}, FillRule::kNonZero);
  EXPECT_NEAR(SignedArea(ring), 64 - 16, 1e-9);
  EXPECT_EQ(WindingNumber(ring, {1, 1}), 1);
  EXPECT_EQ(WindingNumber(ring, {4, 4}), 0);

  // A hole wound like its outer ring is filled under nonzero: winding 2 inside it.
  const BezierPath same =
      BuildOutline({Square(0, 0, 8, true), Square(2, 2, 4, true)}, FillRule::kNonZero);
  EXPECT_NEAR(SignedArea(same), 64 + 16, 1e-9);
  EXPECT_EQ(WindingNumber(same, {4, 4}), 2);

  // Separate pieces wound opposite ways are each made positive.
  const BezierPath apart =
      BuildOutline({Square(0, 0, 2, true), Square(10, 0, 3, false)}, FillRule::kNonZero);
  EXPECT_NEAR(SignedArea(apart), 4 + 9, 1e-9);
  EXPECT_EQ(WindingNumber(apart, {11, 1}), 1);

  // One subpath the other way round is simply reversed.
  EXPECT_NEAR(SignedArea(BuildOutline({Square(0, 0, 5, false)}, FillRule::kNonZero)), 25, 1e-9);
}

TEST(OrientSubpaths, EvenOddAlternatesWithNestingDepth) {
  const BezierPath target = BuildOutline(
      {Square(0, 0, 12, true), Square(2, 2, 8, true), Square(4, 4, 4, true)}, FillRule::kEvenOdd);
  EXPECT_NEAR(SignedArea(target), 144 - 64 + 16, 1e-9);
  EXPECT_EQ(WindingNumber(target, {1, 1}), 1);
  EXPECT_EQ(WindingNumber(target, {3, 3}), 0);
  EXPECT_EQ(WindingNumber(target, {6, 6}), 1);
}

TEST(OrientSubpaths, ClosesOpenSubpathsAndDropsEmptyOnes) {
  const BezierPath open = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {3, 3}};
  const auto oriented = OrientSubpaths({open, BezierPath{{7, 7}}}, FillRule::kNonZero);
  ASSERT_EQ(oriented.size(), 1u);
  EXPECT_TRUE(oriented[0].back() == oriented[0].front());
  EXPECT_NEAR(SignedArea(oriented[0]), 4.5, 1e-12);
  EXPECT_TRUE(BuildOutline({}, FillRule::kNonZero).empty());
}

}  // namespace
}  // namespace pintovel_render
