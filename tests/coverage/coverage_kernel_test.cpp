// Tests of the exact coverage kernel: hand-worked examples, and seeded random polygons checked
// cell by cell against the clipping oracle of tests/support. The example, oracle and property
// suites are written against the fixtures of support/coverage_cases.h and run for every dense
// coverage function that instantiates them (the row kernel's in coverage_rows_test.cpp).
#include "support/reference_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/area_oracle.h"
#include "support/coverage_cases.h"
#include "support/random_polygons.h"

namespace pintovel {
namespace {

using testing::BoxOf;
using testing::Case;
using testing::CheckPopulation;
using testing::CoverageExampleTest;
using testing::CoverageName;
using testing::CoverageOracleTest;
using testing::CoveragePropertyTest;
using testing::Describe;
using testing::ExactCellArea;
using testing::ExactCoverage;
using testing::Extent;
using testing::Kind;
using testing::kOracleTolerance;
using testing::MakeCase;
using testing::MakeVertices;
using testing::MakeWindow;
using testing::MaxOracleError;
using testing::MediumExtent;
using testing::NamedCoverage;
using testing::Population;
using testing::Random;
using testing::ReportWorst;
using testing::Reversed;
using testing::ShoelaceArea;
using testing::SmallExtent;
using testing::TallExtent;
using testing::Translated;
using testing::ValueAt;
using testing::WideExtent;

INSTANTIATE_TEST_SUITE_P(CoverageKernel, CoverageExampleTest,
                         ::testing::Values(NamedCoverage{"ComputeCoverage", &ComputeCoverage}),
                         CoverageName);
INSTANTIATE_TEST_SUITE_P(CoverageKernel, CoverageOracleTest,
                         ::testing::Values(NamedCoverage{"ComputeCoverage", &ComputeCoverage}),
                         CoverageName);
INSTANTIATE_TEST_SUITE_P(CoverageKernel, CoveragePropertyTest,
                         ::testing::Values(NamedCoverage{"ComputeCoverage", &ComputeCoverage}),
                         CoverageName);

// ---- Helpers --------------------------------------------------------------------------------

CoverageGrid KernelCoverage(const Bounds& window, const Polygon& polygon) {
  CoverageGrid grid;
  ComputeCoverage(window, polygon, grid);
  return grid;
}

// The closed rectangle of cells around the vertices: at least one column and one row, and
// within `window`'s cells.
CellRange VertexCells(const Polygon& polygon, const CellRange& window) {
  const Bounds box = BoxOf(polygon);
  int32_t left = static_cast<int32_t>(std::floor(box.minX));
  int32_t right = static_cast<int32_t>(std::ceil(box.maxX));
  int32_t top = static_cast<int32_t>(std::floor(box.minY));
  int32_t bottom = static_cast<int32_t>(std::ceil(box.maxY));
  if (left == right) {
    right < window.originX + window.cols ? ++right : --left;
  }
  if (top == bottom) {
    bottom < window.originY + window.rows ? ++bottom : --top;
  }
  return CellRange{left, top, right - left, bottom - top};
}

// ---- Grid setup -----------------------------------------------------------------------------

TEST(CoverageGridSetupTest, FreshGridReadsTheDocumentedDefaults) {
  const CoverageGrid grid;
  EXPECT_EQ(grid.originX, -1000);
  EXPECT_EQ(grid.originY, -1000);
  EXPECT_EQ(grid.rows, 0);
  EXPECT_EQ(grid.cols, 0);
  EXPECT_TRUE(grid.values.empty());
}

TEST(CoverageGridSetupTest, WindowCellsTakeFloorsAndCeilings) {
  const CellRange a = WindowCells(Bounds{2.5, 5.2, 1.2, 3.9});
  EXPECT_EQ(a.originX, 2);
  EXPECT_EQ(a.originY, 1);
  EXPECT_EQ(a.cols, 4);
  EXPECT_EQ(a.rows, 3);
  const CellRange b = WindowCells(Bounds{-2.5, -1.0, -0.25, 3.0});
  EXPECT_EQ(b.originX, -3);
  EXPECT_EQ(b.originY, -1);
  EXPECT_EQ(b.cols, 2);
  EXPECT_EQ(b.rows, 4);
}

TEST_P(CoverageExampleTest, OverwritesTheGrid) {
  CoverageGrid grid;
  grid.values = {7.0, 7.0, 7.0};
  grid.originX = 40;
  GetParam().measure(Bounds{2.5, 5.2, 1.2, 3.9}, Polygon{{3, 2}, {5, 2}, {5, 3}, {3, 3}}, grid);
  EXPECT_EQ(grid.originX, 2);
  EXPECT_EQ(grid.originY, 1);
  EXPECT_EQ(grid.cols, 4);
  EXPECT_EQ(grid.rows, 3);
  ASSERT_EQ(grid.values.size(), 12u);
  for (int32_t y = 1; y < 4; ++y) {
    for (int32_t x = 2; x < 6; ++x) {
      const bool inside = y == 2 && (x == 3 || x == 4);
      EXPECT_NEAR(ValueAt(grid, x, y), inside ? 1.0 : 0.0, 1e-15) << x << ", " << y;
    }
  }
}

// ---- Worked examples ------------------------------------------------------------------------

TEST_P(CoverageExampleTest, UnitSquareBothWays) {
  const Polygon square{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const CoverageGrid clockwise = Coverage(Bounds{0, 1, 0, 1}, square);
  ASSERT_EQ(clockwise.values.size(), 1u);
  EXPECT_NEAR(clockwise.values[0], 1.0, 1e-15);
  const CoverageGrid counter = Coverage(Bounds{0, 1, 0, 1}, Reversed(square));
  ASSERT_EQ(counter.values.size(), 1u);
  EXPECT_NEAR(counter.values[0], -1.0, 1e-15);
}

TEST_P(CoverageExampleTest, Triangle) {
  const CoverageGrid grid = Coverage(Bounds{0, 2, 0, 2}, Polygon{{0, 0}, {2, 0}, {0, 2}});
  ASSERT_EQ(grid.values.size(), 4u);
  EXPECT_NEAR(ValueAt(grid, 0, 0), 1.0, 1e-15);
  EXPECT_NEAR(ValueAt(grid, 1, 0), 0.5, 1e-15);
  EXPECT_NEAR(ValueAt(grid, 0, 1), 0.5, 1e-15);
  EXPECT_NEAR(ValueAt(grid, 1, 1), 0.0, 1e-15);
}

TEST_P(CoverageExampleTest, RectangleOnTheRightEdge) {
  const CoverageGrid grid = Coverage(Bounds{0, 4, 0, 3}, Polygon{{4, 0}, {4, 3}, {2, 3}, {2, 0}});
  ASSERT_EQ(grid.values.size(), 12u);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 4; ++x) {
      EXPECT_NEAR(ValueAt(grid, x, y), x >= 2 ? 1.0 : 0.0, 1e-15) << x << ", " << y;
    }
  }
}

TEST_P(CoverageExampleTest, FigureEightGivesOppositeLobes) {
  const CoverageGrid grid = Coverage(Bounds{0, 2, 0, 1}, Polygon{{0, 0}, {2, 1}, {2, 0}, {0, 1}});
  ASSERT_EQ(grid.values.size(), 2u);
  EXPECT_NEAR(ValueAt(grid, 0, 0), 0.5, 1e-15);
  EXPECT_NEAR(ValueAt(grid, 1, 0), -0.5, 1e-15);
}

TEST_P(CoverageExampleTest, SquareListedTwiceWindsTwice) {
  const Polygon twice{{1, 1}, {3, 1}, {3, 2}, {1, 2}, {1, 1}, {3, 1}, {3, 2}, {1, 2}};
  const CoverageGrid grid = Coverage(Bounds{0, 4, 0, 3}, twice);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 4; ++x) {
      const bool inside = y == 1 && (x == 1 || x == 2);
      EXPECT_NEAR(ValueAt(grid, x, y), inside ? 2.0 : 0.0, 1e-15) << x << ", " << y;
    }
  }
}

TEST_P(CoverageExampleTest, DegeneratePolygonsCoverNothing) {
  const Bounds window{0, 5, 0, 4};
  const Polygon cases[] = {
      {{2.5, 1.5}},                                   // one vertex
      {{0.5, 0.5}, {4.5, 3.5}},                       // two vertices
      {{3, 0}, {3, 4}, {3, 1.5}},                     // on one vertical grid line
      {{2.25, 0.1}, {2.25, 3.9}, {2.25, 2}},          // on one vertical line inside a column
      {{0.2, 0.1}, {2.2, 1.6}, {4.2, 3.1}, {1.4, 1}}  // collinear, slanted
  };
  for (const Polygon& polygon : cases) {
    const CoverageGrid grid = Coverage(window, polygon);
    ASSERT_EQ(grid.values.size(), 20u);
    for (double v : grid.values) {
      EXPECT_NEAR(v, 0.0, 1e-14) << Describe(polygon, window);
    }
  }
}

TEST_P(CoverageExampleTest, SliverStaysInItsColumn) {
  // A triangle 0.3 wide inside column 2 of a five-column window: area by rows from the
  // triangle (2.2, 0) -> (2.5, 3) -> (2.2, 3), whose width at height y is 0.1 * y.
  const Polygon sliver{{2.2, 0.0}, {2.5, 3.0}, {2.2, 3.0}};
  const CoverageGrid grid = Coverage(Bounds{0, 5, 0, 3}, sliver);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 5; ++x) {
      // integral of 0.1 * t for t in [y, y + 1] = 0.05 * (2y + 1)
      const double expected = x == 2 ? 0.05 * (2 * y + 1) : 0.0;
      EXPECT_NEAR(ValueAt(grid, x, y), expected, 1e-15) << x << ", " << y;
    }
  }
}

TEST_P(CoverageExampleTest, HorizontalEdgesOnRowLinesCountOnlyDownwards) {
  // Clockwise rectangle from row line 1 to row line 3: rows 1 and 2 covered, row 0 untouched,
  // in a single-column polygon and in one spanning three columns.
  const Polygon narrow{{1.25, 1}, {1.75, 1}, {1.75, 3}, {1.25, 3}};
  const Polygon wide{{0.5, 1}, {2.5, 1}, {2.5, 3}, {0.5, 3}};
  const CoverageGrid a = Coverage(Bounds{0, 3, 0, 4}, narrow);
  const CoverageGrid b = Coverage(Bounds{0, 3, 0, 4}, wide);
  for (int32_t y = 0; y < 4; ++y) {
    const bool inRows = y == 1 || y == 2;
    for (int32_t x = 0; x < 3; ++x) {
      EXPECT_NEAR(ValueAt(a, x, y), inRows && x == 1 ? 0.5 : 0.0, 1e-15) << x << ", " << y;
      EXPECT_NEAR(ValueAt(b, x, y), inRows ? (x == 1 ? 1.0 : 0.5) : 0.0, 1e-15) << x << ", " << y;
    }
  }
}

TEST_P(CoverageExampleTest, RotatingTheVertexListChangesNothing) {
  // Two vertices in column 0 and one in column 3, which is last in the first rotation.
  const Polygon base{{0.2, 0.5}, {0.8, 2.5}, {3.5, 1.25}};
  const Bounds window{0, 4, 0, 3};
  for (const Polygon& polygon : {base, Reversed(base)}) {
    const CoverageGrid reference = Coverage(window, polygon);
    for (size_t shift = 1; shift < polygon.size(); ++shift) {
      Polygon rotated = polygon;
      std::rotate(rotated.begin(), rotated.begin() + static_cast<std::ptrdiff_t>(shift),
                  rotated.end());
      const CoverageGrid grid = Coverage(window, rotated);
      ASSERT_EQ(grid.values.size(), reference.values.size());
      for (size_t i = 0; i < grid.values.size(); ++i) {
        EXPECT_NEAR(grid.values[i], reference.values[i], 1e-14) << "shift " << shift;
      }
    }
    EXPECT_LT(MaxOracleError(window, polygon), 1e-14);
  }
}

TEST_P(CoverageExampleTest, SingleColumnWindowTakesVerticesOnItsRightEdge) {
  // The window is column 3 only; vertices at x = 4 belong to column 4 by the floor rule but
  // lie on the window's edge.
  const Polygon polygon{{3, 0.5}, {4, 1.5}, {4, 4}, {3.5, 2.5}};
  const Bounds window{3, 4, 0, 5};
  EXPECT_LT(MaxOracleError(window, polygon), 1e-14);
  EXPECT_LT(MaxOracleError(window, Reversed(polygon)), 1e-14);
}

TEST_P(CoverageExampleTest, EdgeEndingOnTheBottomLine) {
  // Interpolated from its start, the first edge's height on the line x = 10 comes out a hair
  // below the bottom line y = 100 where it ends: with the first start in double arithmetic
  // (100.00000000000001), with the second in 80-bit long double. Nothing may land below the
  // grid, and the cells must still be right.
  const Bounds window{0, 12, 0, 100};
  for (const Point start : {Point{1.171, 28.699000000000002}, Point{0.316, 69.813999999999993}}) {
    const Polygon polygon{start, {10, 100}, {11.5, 100}, {11.5, 20}};
    EXPECT_LT(MaxOracleError(window, polygon), 1e-13);
    EXPECT_LT(MaxOracleError(window, Reversed(polygon)), 1e-13);
  }
}

// ---- Random polygons against the oracle -----------------------------------------------------

TEST_P(CoverageOracleTest, SmallPolygonsNearTheOrigin) {
  const int count = 6000;
  const double worst = CheckPopulation(11, count, Population{SmallExtent, 0.0, 0.3, 0.2});
  ReportWorst("small, near origin", count, worst);
}

TEST_P(CoverageOracleTest, SnappedVerticesOnGridLines) {
  const int count = 3000;
  const double worst = CheckPopulation(12, count, Population{SmallExtent, 0.3, 0.9, 0.3});
  ReportWorst("snapped vertices", count, worst);
}

TEST_P(CoverageOracleTest, MediumPolygonsFarFromTheOrigin) {
  const int count = 1000;
  const double worst = CheckPopulation(13, count, Population{MediumExtent, 0.7, 0.2, 0.2});
  ReportWorst("medium, far", count, worst);
}

TEST_P(CoverageOracleTest, TallAndWidePolygons) {
  const int count = 60;
  double worst = CheckPopulation(14, count, Population{TallExtent, 0.7, 0.2, 0.2});
  worst = std::max(worst, CheckPopulation(15, count, Population{WideExtent, 0.7, 0.2, 0.2}));
  ReportWorst("tall and wide", 2 * count, worst);
}

TEST_P(CoverageOracleTest, AccuracyDoesNotFallWithDistanceOrEdgeLength) {
  // The kernel's arithmetic is relative to nearby grid lines, so polygons tens of thousands of
  // pixels out, and long slanted edges, stay at rounding level. Where long double is no wider
  // than double, the oracle and the kernel's edge interpolation both lose about 11 bits.
  const double tolerance = std::numeric_limits<long double>::digits > 53 ? 1e-14 : 1e-12;
  Random random(17);
  double worst = 0.0;
  int count = 0;
  Extent (*const extents[])(Random&) = {SmallExtent, MediumExtent, TallExtent, WideExtent};
  for (int i = 0; i < 400; ++i) {
    const Extent extent = extents[i % 4](random);
    const double x0 = random.Between(10000.0, 30000.0);
    const double y0 = random.Between(10000.0, 30000.0);
    const Polygon polygon = MakeVertices(random, static_cast<Kind>(i / 4 % 4), x0, y0, extent, 0.2);
    const Bounds window = MakeWindow(random, polygon);
    const double error = MaxOracleError(window, polygon);
    worst = std::max(worst, error);
    ++count;
    ASSERT_LT(error, tolerance) << Describe(polygon, window);
  }
  // Thin quadrilaterals along diagonals some 1500 pixels long.
  for (int i = 0; i < 4; ++i) {
    const double x0 = random.Between(0.0, 20000.0);
    const double y0 = random.Between(0.0, 20000.0);
    const double length = random.Between(1200.0, 1600.0);
    const double slope = random.Between(0.5, 2.0);
    const Polygon polygon{{x0, y0},
                          {x0 + length, y0 + slope * length},
                          {x0 + length - random.Between(0.5, 3.0), y0 + slope * length},
                          {x0 + random.Between(0.0, 2.0), y0 + random.Between(1.0, 4.0)}};
    const Bounds window = MakeWindow(random, polygon);
    const double error = MaxOracleError(window, (i % 2 == 0) ? polygon : Reversed(polygon));
    worst = std::max(worst, error);
    ++count;
    ASSERT_LT(error, tolerance) << Describe(polygon, window);
  }
  ReportWorst("far out and long edges", count, worst);
}

TEST(CoverageKernelOracleTest, OracleAgreesWithItselfCellByCell) {
  // The column-strip shortcut of ExactCoverage against the plain four-sided clip.
  Random random(16);
  for (int i = 0; i < 200; ++i) {
    const Case c =
        MakeCase(random, static_cast<Kind>(i % 4), Population{SmallExtent, 0.5, 0.3, 0.2});
    const CellRange cells = WindowCells(c.window);
    const std::vector<long double> all = ExactCoverage(c.polygon, cells);
    for (int32_t y = 0; y < cells.rows; ++y) {
      for (int32_t x = 0; x < cells.cols; ++x) {
        const long double single = ExactCellArea(c.polygon, cells.originX + x, cells.originY + y);
        ASSERT_NEAR(static_cast<double>(all[static_cast<size_t>(y * cells.cols + x)]),
                    static_cast<double>(single), 1e-15)
            << Describe(c.polygon, c.window);
      }
    }
  }
}

// ---- Computing only the vertices' cells -----------------------------------------------------

// Compares ComputeCoverageInCells on `cells` with the whole-window run: bit for bit inside,
// near zero outside.
void ExpectCellsMatchWindow(const Bounds& window, const CellRange& cells, const Polygon& polygon) {
  const CoverageGrid whole = KernelCoverage(window, polygon);
  CoverageGrid part;
  ComputeCoverageInCells(cells, WindowCells(window).cols == 1, polygon, part);
  ASSERT_EQ(part.originX, cells.originX);
  ASSERT_EQ(part.originY, cells.originY);
  ASSERT_EQ(part.cols, cells.cols);
  ASSERT_EQ(part.rows, cells.rows);
  ASSERT_EQ(part.values.size(), static_cast<size_t>(cells.cols) * cells.rows);
  for (int32_t y = whole.originY; y < whole.originY + whole.rows; ++y) {
    for (int32_t x = whole.originX; x < whole.originX + whole.cols; ++x) {
      const double w = ValueAt(whole, x, y);
      const bool inCells = x >= cells.originX && x < cells.originX + cells.cols &&
                           y >= cells.originY && y < cells.originY + cells.rows;
      if (inCells) {
        const double p = ValueAt(part, x, y);
        uint64_t wBits, pBits;
        std::memcpy(&wBits, &w, sizeof w);
        std::memcpy(&pBits, &p, sizeof p);
        ASSERT_EQ(wBits, pBits) << "cell " << x << ", " << y << ": " << w << " vs " << p << " "
                                << Describe(polygon, window);
      } else {
        ASSERT_LT(std::fabs(w), 1e-12)
            << "cell " << x << ", " << y << " " << Describe(polygon, window);
      }
    }
  }
}

TEST(CoverageKernelInCellsTest, VertexCellsMatchTheWholeWindowBitForBit) {
  Random random(21);
  for (int i = 0; i < 2000; ++i) {
    const Case c =
        MakeCase(random, static_cast<Kind>(i % 4), Population{SmallExtent, 0.3, 0.4, 0.3});
    // Widen the window so that the vertices' cells are a proper part of it.
    Bounds window = c.window;
    window.minX -= random.Int(0, 4);
    window.maxX += random.Int(0, 4);
    window.minY -= random.Int(0, 4);
    window.maxY += random.Int(0, 4);
    const CellRange windowCells = WindowCells(window);
    ExpectCellsMatchWindow(window, VertexCells(c.polygon, windowCells), c.polygon);
    if (HasFailure()) {
      return;
    }
    // Any rectangle between the vertices' cells and the window's.
    const CellRange inner = VertexCells(c.polygon, windowCells);
    const int32_t left = random.Int(windowCells.originX, inner.originX);
    const int32_t top = random.Int(windowCells.originY, inner.originY);
    const int32_t right =
        random.Int(inner.originX + inner.cols, windowCells.originX + windowCells.cols);
    const int32_t bottom =
        random.Int(inner.originY + inner.rows, windowCells.originY + windowCells.rows);
    ExpectCellsMatchWindow(window, CellRange{left, top, right - left, bottom - top}, c.polygon);
    if (HasFailure()) {
      return;
    }
  }
}

TEST(CoverageKernelInCellsTest, SingleColumnWindows) {
  // A window one column wide, with vertices on both of its grid lines, against a band of rows.
  Random random(22);
  for (int i = 0; i < 500; ++i) {
    const int32_t k = random.Int(-5, 3000);
    const int32_t top = random.Int(-5, 3000);
    const int32_t rows = random.Int(3, 12);
    Polygon polygon;
    const int32_t n = random.Int(1, 8);
    for (int32_t v = 0; v < n; ++v) {
      const double x = random.Chance(0.4) ? k + random.Int(0, 1) : k + random.Unit();
      polygon.push_back(Point{x, top + 1 + (rows - 2) * random.Unit()});
    }
    const Bounds window{k + 0.0, k + 1.0, top + 0.0, top + 0.0 + rows};
    EXPECT_LT(MaxOracleError(&ComputeCoverage, window, polygon), kOracleTolerance)
        << Describe(polygon, window);
    ExpectCellsMatchWindow(window, CellRange{k, top + 1, 1, rows - 2}, polygon);
    // The same polygon in a wider window takes the column-run road, seen through one column.
    const Bounds wider{k - 2.0, k + 3.0, top + 0.0, top + 0.0 + rows};
    EXPECT_LT(MaxOracleError(&ComputeCoverage, wider, polygon), kOracleTolerance)
        << Describe(polygon, wider);
    ExpectCellsMatchWindow(wider, CellRange{k, top + 1, 1, rows - 2}, polygon);
    if (HasFailure()) {
      return;
    }
  }
}

// ---- Properties -----------------------------------------------------------------------------

TEST_P(CoveragePropertyTest, CellsSumToTheShoelaceArea) {
  Random random(31);
  for (int i = 0; i < 1000; ++i) {
    const Case c =
        MakeCase(random, static_cast<Kind>(i % 4), Population{MediumExtent, 0.5, 0.3, 0.0});
    const CoverageGrid grid = Coverage(c.window, c.polygon);
    long double sum = 0.0L;
    for (double v : grid.values) {
      sum += v;
    }
    ASSERT_NEAR(static_cast<double>(sum), static_cast<double>(ShoelaceArea(c.polygon)), 1e-10)
        << Describe(c.polygon, c.window);
  }
}

TEST_P(CoveragePropertyTest, WholePixelTranslationShiftsTheGrid) {
  Random random(32);
  for (int i = 0; i < 500; ++i) {
    const Case c =
        MakeCase(random, static_cast<Kind>(i % 4), Population{SmallExtent, 0.0, 0.4, 0.2});
    const int32_t tx = random.Int(-3000, 3000);
    const int32_t ty = random.Int(-3000, 3000);
    const Bounds moved{c.window.minX + tx, c.window.maxX + tx, c.window.minY + ty,
                       c.window.maxY + ty};
    const CoverageGrid a = Coverage(c.window, c.polygon);
    const CoverageGrid b = Coverage(moved, Translated(c.polygon, tx, ty));
    ASSERT_EQ(b.originX, a.originX + tx);
    ASSERT_EQ(b.originY, a.originY + ty);
    ASSERT_EQ(b.cols, a.cols);
    ASSERT_EQ(b.rows, a.rows);
    for (size_t j = 0; j < a.values.size(); ++j) {
      ASSERT_NEAR(a.values[j], b.values[j], 1e-12) << Describe(c.polygon, c.window);
    }
  }
}

}  // namespace
}  // namespace pintovel
