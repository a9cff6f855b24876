// Tests of the row kernel: the shared example, oracle and property suites through its dense
// helper, polygons large enough to be measured in several bands against the oracle, the form of
// the spans, the promise that a row's values do not depend on which rows are measured, and
// working memory that stays usable after a sink throws; and the runs of cells reaching a
// threshold against the spans they are read from.
#include "coverage/coverage_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "coverage/coverage_rows.h"
#include "support/coverage_cases.h"
#include "support/random_polygons.h"

namespace pintovel {
namespace {

using testing::CoverageExampleTest;
using testing::CoverageFunction;
using testing::CoverageName;
using testing::CoverageOracleTest;
using testing::CoveragePropertyTest;
using testing::Describe;
using testing::Extent;
using testing::Kind;
using testing::MakeCase;
using testing::MediumExtent;
using testing::NamedCoverage;
using testing::Population;
using testing::Random;
using testing::SmallExtent;
using testing::TallExtent;
using testing::WideExtent;

const NamedCoverage kRowKernel{"MeasureCoverageGrid",
                               static_cast<CoverageFunction>(&MeasureCoverageGrid)};

INSTANTIATE_TEST_SUITE_P(CoverageRows, CoverageExampleTest, ::testing::Values(kRowKernel),
                         CoverageName);
INSTANTIATE_TEST_SUITE_P(CoverageRows, CoverageOracleTest, ::testing::Values(kRowKernel),
                         CoverageName);
INSTANTIATE_TEST_SUITE_P(CoverageRows, CoveragePropertyTest, ::testing::Values(kRowKernel),
                         CoverageName);

// Polygons both wide and tall enough that the kernel measures them in several bands of rows:
// a band holds 65536 cells, fewer than 260 x 260.
Extent LargeExtent(Random& random) {
  return Extent{random.Between(260.0, 600.0), random.Between(260.0, 600.0)};
}

TEST(CoverageRowsOracleTest, LargePolygonsMeasuredInSeveralBands) {
  const CoverageFunction measure = kRowKernel.measure;
  const int count = 24;
  const double worst =
      testing::CheckPopulation(measure, 51, count, Population{LargeExtent, 0.5, 0.2, 0.3});
  testing::ReportWorst("large, several bands", count, worst);
}

// Records every reported row, checking the sink's side of the contract on the way: rows in
// increasing order within the requested range, spans sorted, non-empty, not overlapping and
// inside the cells.
class RecordingSink final : public CoverageRowSink {
 public:
  RecordingSink(const CellRange& cells, int32_t firstRow, int32_t endRow)
      : cells_(cells), firstRow_(firstRow), endRow_(endRow) {}

  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    EXPECT_GE(y, firstRow_);
    EXPECT_LT(y, endRow_);
    EXPECT_TRUE(rows.empty() || rows.back().y < y) << "row " << y << " out of order";
    EXPECT_GT(count, 0u);
    int32_t previousEnd = cells_.originX;
    for (size_t i = 0; i < count; ++i) {
      EXPECT_LT(spans[i].x0, spans[i].x1);
      EXPECT_GE(spans[i].x0, previousEnd);
      EXPECT_LE(spans[i].x1, cells_.originX + cells_.cols);
      previousEnd = spans[i].x1;
    }
    rows.push_back(RecordedRow{y, std::vector<CoverageSpan>(spans, spans + count)});
  }

  struct RecordedRow {
    int32_t y;
    std::vector<CoverageSpan> spans;
  };
  std::vector<RecordedRow> rows;

 private:
  CellRange cells_;
  int32_t firstRow_;
  int32_t endRow_;
};

bool SameBits(double a, double b) {
  uint64_t aBits;
  uint64_t bBits;
  std::memcpy(&aBits, &a, sizeof a);
  std::memcpy(&bBits, &b, sizeof b);
  return aBits == bBits;
}

TEST(CoverageRowsSpanTest, RowsOfARectangleOnGridLinesAreSingleSpans) {
  // Clockwise, so +1 inside; its rows 2 .. 4 asked for out of the cells' rows 0 .. 9.
  const Polygon rectangle{{3, 1}, {7, 1}, {7, 5}, {3, 5}};
  const CellRange cells{0, 0, 10, 10};
  CoverageScratch scratch;
  RecordingSink sink(cells, 2, 5);
  MeasureCoverageRows(rectangle, cells, 2, 5, scratch, sink);
  ASSERT_EQ(sink.rows.size(), 3u);
  for (size_t r = 0; r < 3; ++r) {
    EXPECT_EQ(sink.rows[r].y, static_cast<int32_t>(r) + 2);
    ASSERT_EQ(sink.rows[r].spans.size(), 1u);
    EXPECT_EQ(sink.rows[r].spans[0].x0, 3);
    EXPECT_EQ(sink.rows[r].spans[0].x1, 7);
    EXPECT_EQ(sink.rows[r].spans[0].value, 1.0);
  }
}

// Whole-window rows against the same rows measured in a random split into consecutive ranges,
// with the working memory reused (and at times fresh): the spans must agree bit for bit.
TEST(CoverageRowsBandTest, RowRangesGiveTheWholeWindowsRowsBitForBit) {
  Random random(41);
  CoverageScratch shared;
  Extent (*const extents[])(Random&) = {SmallExtent, MediumExtent, TallExtent, WideExtent,
                                        LargeExtent};
  for (int i = 0; i < 3000; ++i) {
    const double farChance = i % 3 == 0 ? 0.8 : 0.2;
    const testing::Case c = MakeCase(random, static_cast<Kind>(i % 4),
                                     Population{extents[i / 4 % 5], farChance, 0.4, 0.3});
    const CellRange cells = WindowCells(c.window);
    const int32_t endRow = cells.originY + cells.rows;
    RecordingSink whole(cells, cells.originY, endRow);
    MeasureCoverageRows(c.polygon, cells, cells.originY, endRow, shared, whole);

    std::vector<RecordingSink::RecordedRow> pieces;
    CoverageScratch fresh;
    for (int32_t top = cells.originY; top < endRow;) {
      const int32_t end = random.Chance(0.2) ? endRow : random.Int(top + 1, endRow);
      RecordingSink part(cells, top, end);
      MeasureCoverageRows(c.polygon, cells, top, end, random.Chance(0.5) ? shared : fresh, part);
      pieces.insert(pieces.end(), part.rows.begin(), part.rows.end());
      top = end;
    }

    ASSERT_EQ(pieces.size(), whole.rows.size()) << Describe(c.polygon, c.window);
    for (size_t r = 0; r < pieces.size(); ++r) {
      const auto& a = whole.rows[r];
      const auto& b = pieces[r];
      ASSERT_EQ(a.y, b.y) << Describe(c.polygon, c.window);
      ASSERT_EQ(a.spans.size(), b.spans.size())
          << "row " << a.y << " " << Describe(c.polygon, c.window);
      for (size_t s = 0; s < a.spans.size(); ++s) {
        ASSERT_EQ(a.spans[s].x0, b.spans[s].x0) << "row " << a.y;
        ASSERT_EQ(a.spans[s].x1, b.spans[s].x1) << "row " << a.y;
        ASSERT_TRUE(SameBits(a.spans[s].value, b.spans[s].value))
            << "row " << a.y << ": " << a.spans[s].value << " vs " << b.spans[s].value << " "
            << Describe(c.polygon, c.window);
      }
    }
    if (HasFailure()) {
      return;
    }
  }
}

// A row's cells reaching a threshold, as runs.
struct ReachingRow {
  int32_t y;
  std::vector<CellRun> runs;
};

class ReachingRecorder final : public ReachingRowSink {
 public:
  void Row(int32_t y, const CellRun* runs, size_t count) override {
    rows.push_back(ReachingRow{y, std::vector<CellRun>(runs, runs + count)});
  }
  std::vector<ReachingRow> rows;
};

// The straightforward reading of the spans: every cell with a value >= threshold, touching
// cells joined into one run, rows with no such cell left out.
std::vector<ReachingRow> CellsReaching(const std::vector<RecordingSink::RecordedRow>& rows,
                                       double threshold) {
  std::vector<ReachingRow> out;
  for (const auto& row : rows) {
    std::vector<CellRun> runs;
    for (const CoverageSpan& span : row.spans) {
      if (!(span.value >= threshold)) continue;
      if (!runs.empty() && runs.back().x1 == span.x0) {
        runs.back().x1 = span.x1;
      } else {
        runs.push_back(CellRun{span.x0, span.x1});
      }
    }
    if (!runs.empty()) out.push_back(ReachingRow{row.y, runs});
  }
  return out;
}

// The runs the kernel reports for a threshold against the spans it reports for the same rows,
// read cell by cell, on seeded polygons (overlapping loops too, whose values pass 1) and their
// row ranges, with working memory shared between the two kinds of call. Thresholds include the
// value of a measured span, so that a value equal to the threshold is met.
TEST(CoverageRowsReachingTest, RunsAreTheCellsWhoseSpansReachTheThreshold) {
  Random random(71);
  CoverageScratch shared;
  Extent (*const extents[])(Random&) = {SmallExtent, MediumExtent, TallExtent, WideExtent,
                                        LargeExtent};
  for (int i = 0; i < 3000; ++i) {
    const testing::Case c =
        MakeCase(random, static_cast<Kind>(i % 4), Population{extents[i / 4 % 5], 0.3, 0.4, 0.3});
    const CellRange cells = WindowCells(c.window);
    const int32_t top = random.Chance(0.5)
                            ? cells.originY
                            : random.Int(cells.originY, cells.originY + cells.rows - 1);
    const int32_t end = random.Chance(0.5) ? cells.originY + cells.rows
                                           : random.Int(top, cells.originY + cells.rows);
    RecordingSink spans(cells, top, end);
    MeasureCoverageRows(c.polygon, cells, top, end, shared, spans);
    double threshold = 0.5;
    const std::vector<double> fixed = {0.5, 0.5, 1.0, 1.5, 0.25, 1e-300};
    if (random.Chance(0.3) && !spans.rows.empty()) {
      const auto& row =
          spans.rows[static_cast<size_t>(random.Int(0, int32_t(spans.rows.size()) - 1))];
      threshold =
          row.spans[static_cast<size_t>(random.Int(0, int32_t(row.spans.size()) - 1))].value;
      if (!(threshold > 0.0)) threshold = 0.5;
    } else {
      threshold = fixed[static_cast<size_t>(random.Int(0, int32_t(fixed.size()) - 1))];
    }
    ReachingRecorder reaching;
    CoverageScratch fresh;
    MeasureRowsReaching(c.polygon, cells, top, end, threshold, random.Chance(0.7) ? shared : fresh,
                        reaching);
    const std::vector<ReachingRow> expected = CellsReaching(spans.rows, threshold);
    ASSERT_EQ(reaching.rows.size(), expected.size())
        << "threshold " << threshold << " " << Describe(c.polygon, c.window);
    for (size_t r = 0; r < expected.size(); ++r) {
      ASSERT_EQ(reaching.rows[r].y, expected[r].y);
      ASSERT_EQ(reaching.rows[r].runs.size(), expected[r].runs.size())
          << "row " << expected[r].y << " threshold " << threshold << " "
          << Describe(c.polygon, c.window);
      for (size_t k = 0; k < expected[r].runs.size(); ++k) {
        ASSERT_EQ(reaching.rows[r].runs[k].x0, expected[r].runs[k].x0) << "row " << expected[r].y;
        ASSERT_EQ(reaching.rows[r].runs[k].x1, expected[r].runs[k].x1) << "row " << expected[r].y;
      }
    }
  }
}

// Writes the measured rows of a narrow window into a dense array, row y at (y - firstRow).
class DenseRowsSink final : public CoverageRowSink {
 public:
  DenseRowsSink(int32_t cols, int32_t firstRow, int32_t endRow)
      : cols_(cols),
        firstRow_(firstRow),
        values(static_cast<size_t>(cols) * static_cast<size_t>(endRow - firstRow), 0.0) {}
  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    for (size_t i = 0; i < count; ++i) {
      for (int32_t x = spans[i].x0; x < spans[i].x1; ++x) {
        values[static_cast<size_t>(y - firstRow_) * static_cast<size_t>(cols_) +
               static_cast<size_t>(x)] = spans[i].value;
      }
    }
  }

 private:
  int32_t cols_;
  int32_t firstRow_;

 public:
  std::vector<double> values;
};

// An edge about 100 px wide and 2^28 rows tall, measured in rows near its top and far below
// it, where the crossings' whole depth no longer fits the 26 bits of one half of a product
// split. Each row of the edge stays within one column almost everywhere; there the expected
// cell values follow from x(y) alone: 1 left of the edge's column, the mean of the edge's two
// offsets within its column, 0 right of it. Crossings in plain double would be off by about
// 1e-14 here, so the bound is tighter than the oracle suites' 1e-12.
TEST(CoverageRowsOracleTest, RowsFarDownAnEdgeTallerThan2To26Rows) {
  const double height = 268435456.0 + 12345.0;  // 2^28 + 12345 rows
  const double xTop = 3.7;
  const double xBottom = 104.0;
  // Clockwise on screen: down the slanted edge, left along the bottom, up the left side.
  const Polygon triangle{{xTop, 0.0}, {xBottom, height}, {xTop, height}};
  const CellRange cells{0, 0, 105, static_cast<int32_t>(height)};
  const auto edgeX = [&](int32_t y) {
    return static_cast<long double>(xTop) +
           (static_cast<long double>(xBottom) - static_cast<long double>(xTop)) *
               static_cast<long double>(y) / static_cast<long double>(height);
  };
  CoverageScratch scratch;
  int checkedRows = 0;
  long double worst = 0.0L;
  for (const int32_t firstRow : {0, 1 << 20, 1 << 26, cells.rows - 4096}) {
    const int32_t endRow = firstRow + 4096;
    DenseRowsSink sink(cells.cols, firstRow, endRow);
    MeasureCoverageRows(triangle, cells, firstRow, endRow, scratch, sink);
    for (int32_t y = firstRow; y < endRow; ++y) {
      const long double top = edgeX(y);
      const long double bottom = edgeX(y + 1);
      const int32_t column = static_cast<int32_t>(top);
      if (static_cast<int32_t>(bottom) != column || y == 0) {
        continue;  // the edge crosses a column line in this row, or its top vertex is here
      }
      ++checkedRows;
      for (int32_t x = 0; x < cells.cols; ++x) {
        // The left side x = xTop runs up through column 3.
        const long double left =
            std::max(static_cast<long double>(xTop), static_cast<long double>(x));
        const long double expected = x < 3 || x > column ? 0.0L
                                     : x < column        ? x + 1 - left
                                                         : (top + bottom) / 2 - left;
        const double value =
            sink.values[static_cast<size_t>(y - firstRow) * static_cast<size_t>(cells.cols) +
                        static_cast<size_t>(x)];
        const long double error = std::fabs(static_cast<long double>(value) - expected);
        worst = std::max(worst, error);
        ASSERT_LT(error, 4e-15L) << "row " << y << " column " << x << ": " << value;
      }
    }
  }
  EXPECT_GT(checkedRows, 16000);
  testing::ReportWorst("rows far down a 2^28-row edge", 1, static_cast<double>(worst));
}

// A sink that gives up (throws) after a number of rows.
class ThrowingSink final : public CoverageRowSink {
 public:
  explicit ThrowingSink(int rowsBeforeThrow) : rowsLeft_(rowsBeforeThrow) {}
  void Row(int32_t, const CoverageSpan*, size_t) override {
    if (rowsLeft_-- == 0) {
      throw 1;
    }
  }

 private:
  int rowsLeft_;
};

TEST(CoverageRowsScratchTest, WorkingMemoryLeftByAThrowingSinkMeasuresLikeFreshMemory) {
  // A throw leaves the rest of the band's cells filled; the next call must not see them.
  Random random(61);
  for (int i = 0; i < 200; ++i) {
    const testing::Case first =
        MakeCase(random, static_cast<Kind>(i % 4), Population{LargeExtent, 0.0, 0.2, 0.0});
    const testing::Case second =
        MakeCase(random, static_cast<Kind>(i % 4), Population{MediumExtent, 0.0, 0.2, 0.0});
    const CellRange firstCells = WindowCells(first.window);
    CoverageScratch reused;
    ThrowingSink thrower(random.Int(0, 3));
    try {
      MeasureCoverageRows(first.polygon, firstCells, firstCells.originY,
                          firstCells.originY + firstCells.rows, reused, thrower);
    } catch (int) {
    }
    const CellRange cells = WindowCells(second.window);
    const int32_t endRow = cells.originY + cells.rows;
    RecordingSink afterThrow(cells, cells.originY, endRow);
    MeasureCoverageRows(second.polygon, cells, cells.originY, endRow, reused, afterThrow);
    CoverageScratch fresh;
    RecordingSink reference(cells, cells.originY, endRow);
    MeasureCoverageRows(second.polygon, cells, cells.originY, endRow, fresh, reference);
    ASSERT_EQ(afterThrow.rows.size(), reference.rows.size())
        << Describe(second.polygon, second.window);
    for (size_t r = 0; r < reference.rows.size(); ++r) {
      ASSERT_EQ(afterThrow.rows[r].spans.size(), reference.rows[r].spans.size());
      for (size_t s = 0; s < reference.rows[r].spans.size(); ++s) {
        ASSERT_TRUE(SameBits(afterThrow.rows[r].spans[s].value, reference.rows[r].spans[s].value))
            << Describe(second.polygon, second.window);
      }
    }
  }
}

}  // namespace
}  // namespace pintovel
