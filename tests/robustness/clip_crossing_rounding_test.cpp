// Regression of a fault found by the outline fuzzer: a crossing made by one cut of the clipping
// chain can land just outside the rectangle on an axis that an earlier cut has already dealt with.
//
// The crossing of an edge with a line is interpolated from the edge's first vertex. When that
// vertex is far away (here 1.6e8 pixels below the image) and the other one lies just inside the
// line, the interpolation fraction rounds to slightly more than 1, and the crossing overshoots
// the near vertex on the other axis by a rounding error of the far one: x = -8.9e-16 where both
// ends of the edge have x >= 0. The cut at x = 0 has already run, so nothing moves it back.
//
// Two consequences:
// - RegularPolygon(s) hand the host a vertex outside [0, width] x [0, height] (a host indexing
//   pixels by floor(x) reads column -1);
// - UpdatePixelData clips such an outline to the window before measuring, hands the kernel a
//   vertex outside its cells, and the kernel (which then writes nothing) loses the whole shape;
//   builds with assertions stop at "coverage kernel called outside its preconditions".
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <cmath>

#include "support/area_oracle.h"
#include "support/host_hooks.h"
#include "support/shapes.h"

namespace pintovel {
namespace {

// Edges as cubic segments with their control points on the chord: flattening keeps them
// straight and leaves exactly these vertices (joints repeated).
BezierPath StraightPath(const Polygon& corners) {
  BezierPath path{corners[0]};
  for (size_t i = 1; i <= corners.size(); ++i) {
    const Point& p = corners[i % corners.size()];
    const Point& q = path.back();
    path.push_back(q);
    path.push_back(p);
    path.push_back(p);
  }
  return path;
}

// A triangle whose first vertex lies 1.6e8 pixels below a 35 x 34 image and whose second lies
// 3.9e-9 above the image's bottom edge, on its left edge.
const Polygon kFarTriangle{{7.81640625, 158489319.2461111}, {0.0, 33.9999999961}, {20.0, 10.0}};

void ExpectInsideImage(const Polygon& polygon, double width, double height) {
  ASSERT_FALSE(polygon.empty());
  for (const Point& v : polygon) {
    EXPECT_TRUE(v.x >= 0.0 && v.x <= width && v.y >= 0.0 && v.y <= height)
        << "vertex (" << v.x << ", " << v.y << ") outside " << width << " x " << height;
  }
}

TEST(ClipCrossingRounding, RegularPolygonKeepsTheCrossingOfAFarEdgeInsideTheImage) {
  const BezierPath path = StraightPath(kFarTriangle);
  Polygon out;
  ASSERT_TRUE(RegularPolygon(&path, 0, 35, 0, 34, 35, 34, testing::HostArg(out)));
  ExpectInsideImage(out, 35, 34);
}

// The same with the axes swapped: the last cut (x = width) makes a crossing with y < 0.
TEST(ClipCrossingRounding, RegularPolygonsKeepsTheCrossingOfAFarEdgeInsideTheImage) {
  Polygon swapped;
  for (const Point& v : kFarTriangle) swapped.push_back(Point{v.y, v.x});
  const std::vector<BezierPath> paths{StraightPath(swapped)};
  std::vector<Polygon> out;
  ASSERT_TRUE(RegularPolygons(&paths, 0, 34, 0, 35, 34, 35, testing::HostArg(out)));
  ASSERT_EQ(out.size(), 1u);
  ExpectInsideImage(out[0], 34, 35);
}

// Every list against the exact area of its cell (the shape is alone on empty lists).
TEST(ClipCrossingRounding, UpdatePixelDataMeasuresAShapeWithAFarVertex) {
  PixelData data = testing::EmptyPixelData(35, 34);
  const FrontMask front(2, false);
  const Bounds window = testing::WindowOf(35, 34);
  ASSERT_TRUE(UpdatePixelData(&front, &kFarTriangle, &window, 1, testing::HostArg(data)));
  int covered = 0;
  for (int32_t y = 0; y < 34; ++y) {
    for (int32_t x = 0; x < 35; ++x) {
      const double exact = static_cast<double>(testing::ExactCellArea(kFarTriangle, x, y));
      const auto& list = data.pixels[static_cast<size_t>(y) * 35 + x];
      if (exact < 1e-9) {
        EXPECT_TRUE(list.empty()) << "cell (" << x << ", " << y << ")";
        continue;
      }
      ++covered;
      ASSERT_EQ(list.size(), 1u) << "cell (" << x << ", " << y << "), exact " << exact;
      const double expected = exact > 0.999999999 ? 1.0 : exact;
      EXPECT_NEAR(list[0].weight, expected, 4e-9) << "cell (" << x << ", " << y << ")";
    }
  }
  EXPECT_GT(covered, 200);  // the triangle reaches into 260 cells of the image
}

}  // namespace
}  // namespace pintovel
