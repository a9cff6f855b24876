#include "path_data.h"

#include <gtest/gtest.h>

#include "cubic_path.h"

namespace pintovel_render {
namespace {

// The end points of a path's segments, start point first.
std::vector<Point> Nodes(const BezierPath& path) {
  std::vector<Point> nodes;
  for (std::size_t i = 0; i < path.size(); i += 3) nodes.push_back(path[i]);
  return nodes;
}

void ExpectPoints(const std::vector<Point>& got, const std::vector<Point>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].x, want[i].x, 1e-12) << "point " << i;
    EXPECT_NEAR(got[i].y, want[i].y, 1e-12) << "point " << i;
  }
}

std::size_t ErrorOffset(const std::string& data) {
  try {
    ParsePathData(data);
  } catch (const PathDataError& error) {
    return error.offset();
  }
  ADD_FAILURE() << "no error for \"" << data << "\"";
  return std::string::npos;
}

TEST(PathData, LinesAbsoluteAndRelativeAgree) {
  const auto absolute = ParsePathData("M10 20 L30 40 H50 V60 Z");
  const auto relative = ParsePathData("m10 20 l20 20 h20 v20 z");
  ASSERT_EQ(absolute.size(), 1u);
  ASSERT_EQ(relative.size(), 1u);
  const std::vector<Point> want = {{10, 20}, {30, 40}, {50, 40}, {50, 60}, {10, 20}};
  ExpectPoints(Nodes(absolute[0]), want);
  ExpectPoints(Nodes(relative[0]), want);
  // A line is the cubic with its control points at a third and two thirds of the chord.
  ExpectPoints({absolute[0][1], absolute[0][2]},
               {{10 + 20.0 / 3, 20 + 20.0 / 3}, {10 + 40.0 / 3, 20 + 40.0 / 3}});
}

TEST(PathData, ImplicitRepeatsAfterMovetoAreLinetos) {
  ExpectPoints(Nodes(ParsePathData("M0 0 10 0 10 10")[0]), {{0, 0}, {10, 0}, {10, 10}});
  ExpectPoints(Nodes(ParsePathData("m5 5 10 0 0 10")[0]), {{5, 5}, {15, 5}, {15, 15}});
  ExpectPoints(Nodes(ParsePathData("M0 0 L1 1 2 0 3 1")[0]), {{0, 0}, {1, 1}, {2, 0}, {3, 1}});
  ExpectPoints(Nodes(ParsePathData("M0 0 h1 2 3 v4")[0]), {{0, 0}, {1, 0}, {3, 0}, {6, 0}, {6, 4}});
}

TEST(PathData, CompactNumbers) {
  ExpectPoints(Nodes(ParsePathData("M1.5.5L-1-2")[0]), {{1.5, 0.5}, {-1, -2}});
  ExpectPoints(Nodes(ParsePathData("M1e-3,2E+1l.5.5")[0]), {{0.001, 20}, {0.501, 20.5}});
  ExpectPoints(Nodes(ParsePathData("M0,0L10-5,+3.,4")[0]), {{0, 0}, {10, -5}, {3, 4}});
  ExpectPoints(Nodes(ParsePathData("  M 0 , 0\n\tL\r\n1 , 2  ")[0]), {{0, 0}, {1, 2}});
}

TEST(PathData, CubicsAndTheirReflection) {
  const auto paths = ParsePathData("M0 0 C1 2 3 4 5 6 S9 10 11 12 s1 1 2 0");
  ASSERT_EQ(paths.size(), 1u);
  // S mirrors the previous second control point about the current point.
  ExpectPoints(
      paths[0],
      {{0, 0}, {1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}, {11, 12}, {13, 14}, {12, 13}, {13, 12}});
  // Without a cubic before it, S takes the current point as its first control point.
  ExpectPoints(ParsePathData("M1 1 L4 1 S6 3 8 1")[0],
               {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 1}, {6, 3}, {8, 1}});
  // Relative c: every point relative to the segment's start.
  ExpectPoints(ParsePathData("M10 10 c1 2 3 4 5 6")[0], {{10, 10}, {11, 12}, {13, 14}, {15, 16}});
}

TEST(PathData, QuadraticsBecomeExactCubics) {
  const auto paths = ParsePathData("M0 0 Q3 3 6 0 T12 0");
  ASSERT_EQ(paths.size(), 1u);
  // T's control point mirrors the previous one: (9, -3).
  ExpectPoints(paths[0], {{0, 0}, {2, 2}, {4, 2}, {6, 0}, {8, -2}, {10, -2}, {12, 0}});
  // The cubic traces the quadratic (1-t)^2 P0 + 2t(1-t) Q + t^2 P1 exactly.
  for (double t = 0; t <= 1.0; t += 0.125) {
    const Point p = EvaluateSegment(paths[0], 0, t);
    EXPECT_NEAR(p.x, 2 * t * (1 - t) * 3 + t * t * 6, 1e-12);
    EXPECT_NEAR(p.y, 2 * t * (1 - t) * 3, 1e-12);
  }
  ExpectPoints(ParsePathData("m1 1 q1 1 2 0 t2 0")[0], ParsePathData("M1 1 Q2 2 3 1 T5 1")[0]);
}

TEST(PathData, ArcsEndExactlyAndBulgeTheRightWay) {
  // Sweep flag 1 runs clockwise on screen (y down): from the left end over the top.
  const auto over = ParsePathData("M0 0 A10 10 0 0 1 20 0");
  ASSERT_EQ(over.size(), 1u);
  EXPECT_EQ(SegmentCount(over[0]), 2u);
  EXPECT_EQ(over[0].back().x, 20.0);
  EXPECT_EQ(over[0].back().y, 0.0);
  EXPECT_NEAR(EvaluateSegment(over[0], 0, 1.0).y, -10.0, 1e-9);
  // Flags written together with the next number: large-arc 1, sweep 0, end (20, 0).
  const auto under = ParsePathData("M0 0a10 10 0 1020 0");
  EXPECT_NEAR(EvaluateSegment(under[0], 0, 1.0).y, 10.0, 1e-9);
  // Radii too small to reach the end point grow until they do.
  const auto grown = ParsePathData("M0 0 A1 1 0 0 1 20 0");
  EXPECT_NEAR(EvaluateSegment(grown[0], 0, 1.0).y, -10.0, 1e-9);
  // A zero radius is a straight line; equal end points draw nothing.
  ExpectPoints(Nodes(ParsePathData("M0 0 A0 5 0 0 1 6 0")[0]), {{0, 0}, {6, 0}});
  EXPECT_TRUE(ParsePathData("M0 0 A5 5 0 0 1 0 0").empty());
}

TEST(PathData, SubpathsAndClosing) {
  const auto paths = ParsePathData("M0 0 L10 0 L10 10 Z L5 5 M20 20 L30 20 m0 10 l1 1");
  ASSERT_EQ(paths.size(), 4u);
  // After Z the next command starts from the closed subpath's start.
  ExpectPoints(Nodes(paths[0]), {{0, 0}, {10, 0}, {10, 10}, {0, 0}});
  ExpectPoints(Nodes(paths[1]), {{0, 0}, {5, 5}});
  ExpectPoints(Nodes(paths[2]), {{20, 20}, {30, 20}});
  ExpectPoints(Nodes(paths[3]), {{30, 30}, {31, 31}});
  // Z back at the start point adds no segment; m after z is relative to that start.
  const auto closed = ParsePathData("M1 1 L2 1 L1 1 z m1 1 l1 0");
  ExpectPoints(Nodes(closed[0]), {{1, 1}, {2, 1}, {1, 1}});
  ExpectPoints(Nodes(closed[1]), {{2, 2}, {3, 2}});
  EXPECT_TRUE(ParsePathData("").empty());
  EXPECT_TRUE(ParsePathData(" \n ").empty());
  EXPECT_TRUE(ParsePathData("M5 5").empty());
}

TEST(PathData, ErrorsNameTheOffset) {
  EXPECT_EQ(ErrorOffset("L 10 10"), 0u);      // must begin with a moveto
  EXPECT_EQ(ErrorOffset("M 10"), 4u);         // a missing coordinate at the end
  EXPECT_EQ(ErrorOffset("M 10 10 X 5"), 8u);  // unknown command
  EXPECT_EQ(ErrorOffset("M 10 10 L 5,,6"), 12u);
  EXPECT_EQ(ErrorOffset("M0 0 A 5 5 0 2 1 10 10"), 13u);  // a flag must be 0 or 1
  EXPECT_EQ(ErrorOffset("M 1e999 0"), 2u);                // out of range
  EXPECT_EQ(ErrorOffset("M 0 0 L 1 2,"), 12u);            // a comma with nothing after it
  EXPECT_EQ(ErrorOffset("M 0 0 Z 5"), 8u);                // no numbers after Z
  EXPECT_EQ(ErrorOffset("M 0 0 L 1 e"), 10u);
  EXPECT_EQ(ErrorOffset("M,0 0"), 1u);  // no comma before the first argument
}

// Data with an error draws what its well-formed beginning draws: cut by hand at the end of the
// last complete command, the beginning read on its own gives the same subpaths.
TEST(PathData, UpToErrorKeepsTheCompleteCommands) {
  const struct {
    const char* data;
    const char* completeBeginning;
  } cases[] = {
      {"M0 0 L10 0 L10 10 Z M20 20 L30 20 L", "M0 0 L10 0 L10 10 Z M20 20 L30 20"},
      {"M0 0 L10 0 10", "M0 0 L10 0"},  // an implicit repeat cut short
      {"M0 0 C1 1 2 2", "M0 0"},
      {"M0 0 H5 V5 X 3", "M0 0 H5 V5"},
      {"M0 0 L5 5 A 5 5 0 2 1 10 10", "M0 0 L5 5"},
      {"m1 1 l 1 2, ", "m1 1 l 1 2"},
      {"M0 0 Q 5 5 10 0 T 20", "M0 0 Q 5 5 10 0"},
      {"L 10 10", ""},
  };
  for (const auto& c : cases) {
    const ReadUpToError<BezierPath> read = ParsePathDataUpToError(c.data);
    ASSERT_TRUE(read.error.has_value()) << c.data;
    EXPECT_EQ(read.error->offset(), ErrorOffset(c.data)) << c.data;
    const std::vector<BezierPath> want = ParsePathData(c.completeBeginning);
    ASSERT_EQ(read.items.size(), want.size()) << c.data;
    for (std::size_t i = 0; i < want.size(); ++i) ExpectPoints(read.items[i], want[i]);
  }
  EXPECT_FALSE(ParsePathDataUpToError("M0 0 L1 1").error.has_value());
}

TEST(PointList, PairsAndErrors) {
  const auto points = ParsePointList(" 0,0 10,0\n10,10 1-2");
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(points[3].x, 1.0);
  EXPECT_EQ(points[3].y, -2.0);
  EXPECT_TRUE(ParsePointList("").empty());
  EXPECT_THROW(ParsePointList("0,0 10"), PathDataError);
  try {
    ParsePointList("0,0 1,x");
    FAIL() << "no error";
  } catch (const PathDataError& error) {
    EXPECT_EQ(error.offset(), 6u);
  }
  // Up to the error: the whole pairs before it.
  const ReadUpToError<Point> odd = ParsePointListUpToError("0,0 10,0 10,10 7");
  ASSERT_TRUE(odd.error.has_value());
  ExpectPoints(odd.items, {{0, 0}, {10, 0}, {10, 10}});
  const ReadUpToError<Point> bad = ParsePointListUpToError("0,0 1,x 3,3");
  ASSERT_TRUE(bad.error.has_value());
  EXPECT_EQ(bad.error->offset(), 6u);
  ExpectPoints(bad.items, {{0, 0}});
}

}  // namespace
}  // namespace pintovel_render
