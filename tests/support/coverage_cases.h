// The test suites every dense coverage function must pass: worked examples, random populations
// against the exact-area oracle and properties. The tests are written once (in
// tests/coverage/coverage_kernel_test.cpp) against the fixtures below, and each kernel's test
// file instantiates them with its own function.
#ifndef PINTOVEL_TESTS_SUPPORT_COVERAGE_CASES_H
#define PINTOVEL_TESTS_SUPPORT_COVERAGE_CASES_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "support/area_oracle.h"
#include "support/random_polygons.h"

namespace pintovel {
namespace testing {

// Every cell of every random polygon must match the oracle this closely.
constexpr double kOracleTolerance = 1e-12;

// A dense coverage function with ComputeCoverage's contract: fills `grid` with the window's
// cells.
using CoverageFunction = void (*)(const Bounds& window, const Polygon& polygon, CoverageGrid& grid);

struct NamedCoverage {
  const char* name;
  CoverageFunction measure;
};

// Shown by GoogleTest in place of the parameter's bytes.
inline void PrintTo(const NamedCoverage& coverage, std::ostream* out) {
  *out << coverage.name;
}

inline std::string CoverageName(const ::testing::TestParamInfo<NamedCoverage>& info) {
  return info.param.name;
}

inline CoverageGrid MeasureWith(CoverageFunction measure, const Bounds& window,
                                const Polygon& polygon) {
  CoverageGrid grid;
  measure(window, polygon, grid);
  return grid;
}

// Largest |kernel - oracle| over the window's cells; also checks the grid's shape.
inline double MaxOracleError(CoverageFunction measure, const Bounds& window,
                             const Polygon& polygon) {
  const CoverageGrid grid = MeasureWith(measure, window, polygon);
  const CellRange cells = WindowCells(window);
  EXPECT_EQ(grid.originX, cells.originX);
  EXPECT_EQ(grid.originY, cells.originY);
  EXPECT_EQ(grid.cols, cells.cols);
  EXPECT_EQ(grid.rows, cells.rows);
  const std::vector<long double> exact = ExactCoverage(polygon, cells);
  if (grid.values.size() != exact.size()) {
    ADD_FAILURE() << "grid holds " << grid.values.size() << " values for " << exact.size()
                  << " cells";
    return INFINITY;
  }
  double worst = 0.0;
  for (size_t i = 0; i < exact.size(); ++i) {
    worst = std::max(worst, static_cast<double>(std::fabs(grid.values[i] - exact[i])));
  }
  return worst;
}

// Runs `count` random cases of every kind against the oracle and returns the largest error.
inline double CheckPopulation(CoverageFunction measure, uint32_t seed, int count,
                              const Population& population) {
  Random random(seed);
  double worst = 0.0;
  const Kind kinds[] = {Kind::kSoup, Kind::kConvex, Kind::kStar, Kind::kRectilinear};
  for (int i = 0; i < count; ++i) {
    const Case c = MakeCase(random, kinds[i % 4], population);
    const double error = MaxOracleError(measure, c.window, c.polygon);
    worst = std::max(worst, error);
    if (error > kOracleTolerance) {
      ADD_FAILURE() << "case " << i << ": error " << error << " for "
                    << Describe(c.polygon, c.window);
      break;
    }
  }
  return worst;
}

inline void ReportWorst(const char* what, int count, double worst) {
  std::printf("[ oracle   ] %s: %d polygons, max |kernel - oracle| = %.3g\n", what, count, worst);
}

// The fixture of the shared suites: the parameter is the function under test.
class CoverageFunctionTest : public ::testing::TestWithParam<NamedCoverage> {
 protected:
  CoverageGrid Coverage(const Bounds& window, const Polygon& polygon) const {
    return MeasureWith(GetParam().measure, window, polygon);
  }
  double MaxOracleError(const Bounds& window, const Polygon& polygon) const {
    return testing::MaxOracleError(GetParam().measure, window, polygon);
  }
  double CheckPopulation(uint32_t seed, int count, const Population& population) const {
    return testing::CheckPopulation(GetParam().measure, seed, count, population);
  }
};

class CoverageExampleTest : public CoverageFunctionTest {};
class CoverageOracleTest : public CoverageFunctionTest {};
class CoveragePropertyTest : public CoverageFunctionTest {};

}  // namespace testing
}  // namespace pintovel

#endif  // PINTOVEL_TESTS_SUPPORT_COVERAGE_CASES_H
