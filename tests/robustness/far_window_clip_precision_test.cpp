// Regression of a fault found by the coverage fuzzer: far from the origin, a shape that reaches
// beyond the window loses accuracy, although the kernel itself keeps its accuracy everywhere.
//
// The measurement first clips the outline to the window's cells, and the crossings of that
// clip are computed and stored in absolute coordinates. Near y = -1.85e9 a double holds a
// height only to about 1.2e-7, so a crossing lands up to that far from the true one and the
// cell's coverage is off by about 1e-8 (here 1.1e-8), where the same shape at the origin is
// exact to 1e-16. Clipping relative to the window's first cell (an exact shift for vertices on
// the usual grids) would keep the accuracy independent of the position.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <cmath>

#include "support/area_oracle.h"
#include "support/host_hooks.h"

namespace pintovel {
namespace {

// A triangle through a window of one column and three rows whose first cell is (ox, oy); two
// of its vertices lie outside the window, so it is clipped. Returns the largest difference
// between a list's weight and the exact area of its cell.
double LargestErrorOfTriangleAt(double ox, double oy) {
  const Polygon triangle{{ox - 2, oy + 1.88671875}, {ox + 3, oy}, {ox + 1, oy + 4}};
  PixelData data;
  data.pixels.resize(3);
  data.width = 1;
  data.height = 3;
  const FrontMask front(5, false);
  const Bounds window{ox, ox + 1, oy, oy + 3};
  EXPECT_TRUE(UpdatePixelData(&front, &triangle, &window, 4, testing::HostArg(data)));
  double largest = 0.0;
  for (int32_t row = 0; row < 3; ++row) {
    const double exact = static_cast<double>(
        testing::ExactCellArea(triangle, static_cast<int32_t>(ox), static_cast<int32_t>(oy) + row));
    EXPECT_GT(exact, 0.05);  // every cell is partly or fully covered
    const auto& list = data.pixels[static_cast<size_t>(row)];
    if (list.size() != 1) {
      ADD_FAILURE() << "row " << row << " holds " << list.size() << " entries";
      continue;
    }
    const double expected = exact > 0.999999999 ? 1.0 : exact;
    largest = std::fmax(largest, std::fabs(list[0].weight - expected));
  }
  return largest;
}

TEST(FarWindowClipPrecision, TheTriangleAtTheOriginIsExact) {
  EXPECT_LT(LargestErrorOfTriangleAt(0, 0), 1e-12);
}

TEST(FarWindowClipPrecision, TheSameTriangleFarFromTheOriginIsAsExact) {
  EXPECT_LT(LargestErrorOfTriangleAt(155903360, -1848971651), 1e-12);
}

}  // namespace
}  // namespace pintovel
