// The row kernel.
//
// What is accumulated. With the winding number written as w(x, y) = -(sum of s over the edges
// crossing the horizontal line at height y left of x), where s = +1 for an edge running down
// and -1 for one running up, the coverage of cell (c, r) is
//   value(c, r) = sum over pieces in column c of h * xm  -  sum over pieces in columns <= c of h,
// where a piece is the part of an edge inside one cell, h its signed height (s times its extent
// in y) and xm the mean of its two x offsets within the column, in [0, 1]. (A piece in column c
// crossing height y at x' adds -s * (c + 1 - x') over that height to its own cell and -s to
// every cell right of it; integrating over the piece gives -h + h * xm and -h.) So every cell
// keeps two sums, `cover` (h) and `area` (h * xm), and a sweep from left to right carries the
// running sum of cover: value = area - run. A cell no edge touches has value -run, so the cells
// between two touched ones form one span. The clockwise unit square checks the sign: its left
// edge runs up (cover -1 in column 0, xm 0), so cell 0 reads 0 - (-1) = +1.
//
// Conventions. A point belongs to column floor(x); a piece whose right end lies exactly on the
// left line of a column does not enter that column, and a vertical piece on a grid line belongs
// to the column right of the line (both give the same values). Whether two positions differ is
// decided by exact comparison; there is no tolerance. Horizontal edges add nothing.
//
// Layout. The accumulator spans the columns of the polygon's bounding box, floor(minX) ..
// ceil(maxX) - 1, plus one column on the right that receives vertical pieces lying on the line
// x = ceil(maxX) and is never emitted. Rows are accumulated in bands of at most kBandCells
// cells; per band, every edge that reaches it adds its pieces, then each row is swept over its
// touched cells only (a bit per cell), clearing them as it goes, so the cells are zero again
// when the call ends and a cell is never cleared unless it was written.
//
// Precision. Positions are held as a whole column or row and a fraction in [0, 1) (a double
// minus its floor is exact), and every formula works with such fractions or with distances
// from the edge's upper end, so the accuracy does not depend on the distance from the origin.
// Where an edge meets a horizontal grid line, x = xTop + (line - yTop) * dx / dy, computed as
// start + depth * slope with start = xTop - yTop * slope (fractions of the upper end) and depth
// the whole number of rows from the upper end's row line: in plain double this carries an
// error of a few times 1e-16 times the edge's width, so edges wider than kCompensatedWidth
// compute it in double-double arithmetic (exact differences by TwoSum, the slope as a
// double-double quotient, products by Dekker's split since no fused multiply-add may be used).
// Crossings with vertical grid lines inside one row take the height from the piece's left end
// and dy / dx (the edge's, or the piece's own for an edge within one row); an error there only
// moves area between two cells of the row by about the crossing's x error, so they stay in
// double. The running sum along a row is kept as a double-double too: a row
// thousands of cells wide would otherwise gather an error of a rounding per cell.
//
// Determinism. No long double, no fused multiply-add, no libm calls in the arithmetic: the same
// bytes on every IEEE double platform that rounds each operation to double (x86-64, and 32-bit
// x86 with SSE2 arithmetic). A row's values depend only on the polygon and the row: crossings
// are computed from the edge's upper end for each line anew (never stepped from a neighbour),
// and every cell receives its terms in polygon edge order whatever the band.
#include "coverage/coverage_rows.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

#include "support/point_box.h"

#ifdef __clang__
// Keep a * b + c as two roundings: the compensated arithmetic below relies on it.
#  pragma clang fp contract(off)
#endif

namespace pintovel {

// One edge of the polygon as the row kernel walks it, from its upper end to its lower end, with
// columns relative to the accumulator's first column. The x range, slope and flags are set
// only for edges that cross a row line (lastRow > topRow), the only ones that need them.
struct CoverageEdge {
  int32_t topRow;   // floor of the upper end's y
  int32_t lastRow;  // last row the edge has height in: ceil(lower y) - 1
  int32_t topColumn;
  int32_t bottomColumn;
  double topX;  // fractions in [0, 1) within their column or row
  double topY;
  double bottomX;
  double bottomY;
  double sign;         // +1 when the polygon runs down along the edge, -1 when up
  double slope;        // dx / dy, the high part when `compensated`
  double slopeLow;     // the low part of dx / dy (double-double), or 0
  double slopeHead;    // when `compensated`: Dekker's split of `slope`, slopeHead + slopeTail,
  double slopeTail;    // each of at most 26 significant bits
  double start;        // topX - topY * slope: the crossing offset extended to the top row line
  double startLow;     // its low part (double-double), or 0
  double rise;         // dy / dx, or 0 for a vertical edge
  int32_t leftColumn;  // the edge's x range, for clamping crossings
  int32_t rightColumn;
  double leftX;
  double rightX;
  bool compensated;  // crossings with row lines computed in double-double arithmetic
  bool vertical;
};

// A vertex as whole column (relative to the accumulator's first column) and row, with the
// fractions in [0, 1).
struct CoverageVertex {
  int32_t column;
  int32_t row;
  double x;
  double y;
};

// One accumulator cell: the signed height the edges cross in it (`cover`, +1 for a whole-row
// descent) and the sum of height * mean x offset within the cell of those pieces (`area`).
struct CoverageCell {
  double cover;
  double area;
};

CoverageScratch::CoverageScratch() = default;
CoverageScratch::~CoverageScratch() = default;
CoverageScratch::CoverageScratch(CoverageScratch&&) noexcept = default;
CoverageScratch& CoverageScratch::operator=(CoverageScratch&&) noexcept = default;

namespace {

// Cells per band (16 bytes each, so 1 MB). Only the cells along the edges are written and read,
// so the band's size hardly matters to the cache; larger bands mean fewer passes over the edges.
// (Bands of 4096 cells, which keep a band in the first two cache levels, measured about 17%
// slower on 256 px glyphs: the passes cost more than the misses they save.)
constexpr int32_t kBandCells = 65536;

// Edges wider than this many pixels meet the row lines in double-double arithmetic; narrower
// ones keep the plain double error of the crossing (start, product and sum, each rounded to
// about 1.1e-16 of at most the width plus one) to a few times 1e-15, which moves a cell's
// value by at most about half that. The oracle populations' worst error stays near 1e-15.
constexpr double kCompensatedWidth = 8.0;

// ---- Double-double arithmetic -----------------------------------------------------------------
// A value hi + lo with |lo| <= ulp(hi) / 2, about 106 significant bits.
struct DoubleDouble {
  double hi;
  double lo;
};

// a + b = s + e exactly, for any a and b.
DoubleDouble TwoSum(double a, double b) {
  const double s = a + b;
  const double bVirtual = s - a;
  const double aVirtual = s - bVirtual;
  return DoubleDouble{s, (a - aVirtual) + (b - bVirtual)};
}

// a + b = s + e exactly, for |a| >= |b| (or a == 0).
DoubleDouble FastTwoSum(double a, double b) {
  const double s = a + b;
  return DoubleDouble{s, b - (s - a)};
}

// Dekker's split: a = hi + lo with hi and lo of at most 26 significant bits each, so that
// products of halves are exact.
inline DoubleDouble Split(double a) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  const double hi = c - (c - a);
  return DoubleDouble{hi, a - hi};
}

// a * b = p + e exactly (barring underflow).
inline DoubleDouble TwoProduct(double a, double b) {
  const double p = a * b;
  const DoubleDouble x = Split(a);
  const DoubleDouble y = Split(b);
  const double e = (((x.hi * y.hi - p) + x.hi * y.lo) + x.lo * y.hi) + x.lo * y.lo;
  return DoubleDouble{p, e};
}

// a / b for b.hi != 0: the quotient of the high parts, corrected by the remainder.
DoubleDouble Divide(const DoubleDouble& a, const DoubleDouble& b) {
  const double q = a.hi / b.hi;
  const DoubleDouble p = TwoProduct(q, b.hi);
  const double remainder = (((a.hi - p.hi) - p.lo) + a.lo) - q * b.lo;
  return FastTwoSum(q, remainder / b.hi);
}

// ---- Whole parts and fractions ----------------------------------------------------------------

// floor(v) for v within int32 range, without libm.
int32_t FloorToInt(double v) {
  const int32_t whole = static_cast<int32_t>(v);
  return static_cast<double>(whole) > v ? whole - 1 : whole;
}

// A position along one axis: whole + fraction, 0 <= fraction < 1.
struct Place {
  int32_t whole;
  double fraction;
};

// A vertex coordinate relative to the whole line `origin`: exact, since v - floor(v) is.
// Requires floor(v) within int32 (the cells' lines are: see CheckInput). Whole parts are taken
// in int32 rather than int64 because on 32-bit x86 a double <-> int64 conversion goes through
// the x87 unit with two control-word changes, a few dozen cycles for every vertex.
Place PlaceOf(double v, int32_t origin) {
  const int32_t whole = FloorToInt(v);
  return Place{whole - origin, v - static_cast<double>(whole)};
}

bool IsLeftOf(int32_t column, double x, int32_t otherColumn, double otherX) {
  return column != otherColumn ? column < otherColumn : x < otherX;
}

// ---- Edges ------------------------------------------------------------------------------------

// A vertex's column (relative to the accumulator's first column) and row, and its fractions.
CoverageVertex VertexOf(const Point& p, int32_t left) {
  const Place x = PlaceOf(p.x, left);
  const Place y = PlaceOf(p.y, 0);
  return CoverageVertex{x.whole, y.whole, x.fraction, y.fraction};
}

// The edge a -> b (placed as va and vb), or false for a horizontal edge.
inline bool MakeEdge(const Point& a, const Point& b, const CoverageVertex& va,
                     const CoverageVertex& vb, CoverageEdge& edge) {
  if (a.y == b.y) {
    return false;
  }
  const bool down = b.y > a.y;
  const Point& top = down ? a : b;
  const Point& bottom = down ? b : a;
  const CoverageVertex& upper = down ? va : vb;
  const CoverageVertex& lower = down ? vb : va;
  edge.sign = down ? 1.0 : -1.0;
  edge.topRow = upper.row;
  edge.topColumn = upper.column;
  edge.topX = upper.x;
  edge.topY = upper.y;
  edge.bottomColumn = lower.column;
  edge.bottomX = lower.x;
  // The lower end's height within the edge's last row, in (0, 1].
  const bool onRowLine = lower.y == 0.0;
  edge.lastRow = onRowLine ? lower.row - 1 : lower.row;
  edge.bottomY = onRowLine ? 1.0 : lower.y;
  if (edge.lastRow == edge.topRow) {
    // No crossing with a row line: the fields below are never read. They are set all the
    // same, since GCC at -O3 cannot see that and warns. (Edges within one row mostly do not
    // come here: the one-band road adds them directly.)
    edge.leftColumn = edge.rightColumn = edge.topColumn;
    edge.leftX = edge.rightX = edge.topX;
    edge.vertical = edge.compensated = false;
    edge.rise = edge.slope = edge.slopeLow = edge.slopeHead = edge.slopeTail = 0.0;
    edge.start = edge.startLow = 0.0;
    return true;
  }
  const bool topIsLeft = top.x <= bottom.x;
  edge.leftColumn = topIsLeft ? upper.column : lower.column;
  edge.leftX = topIsLeft ? upper.x : lower.x;
  edge.rightColumn = topIsLeft ? lower.column : upper.column;
  edge.rightX = topIsLeft ? lower.x : upper.x;
  edge.vertical = top.x == bottom.x;
  const double width = bottom.x - top.x;
  const double height = bottom.y - top.y;
  edge.rise = edge.vertical ? 0.0 : height / width;
  edge.compensated = width > kCompensatedWidth || width < -kCompensatedWidth;
  if (edge.compensated) {
    // Both differences are exact as double-doubles. The start, xTop's fraction - yTop's
    // fraction * slope, is carried to double-double accuracy too.
    const DoubleDouble slope = Divide(TwoSum(bottom.x, -top.x), TwoSum(bottom.y, -top.y));
    const DoubleDouble lift = TwoProduct(edge.topY, slope.hi);
    const DoubleDouble start = TwoSum(edge.topX, -lift.hi);
    edge.slope = slope.hi;
    edge.slopeLow = slope.lo;
    const DoubleDouble halves = Split(slope.hi);
    edge.slopeHead = halves.hi;
    edge.slopeTail = halves.lo;
    edge.start = start.hi;
    edge.startLow = start.lo - (lift.lo + edge.topY * slope.lo);
  } else {
    edge.slope = width / height;
    edge.slopeLow = 0.0;
    // Never read without compensation; set because GCC at -O3 cannot see that and warns.
    edge.slopeHead = edge.slopeTail = 0.0;
    edge.start = edge.topX - edge.topY * edge.slope;
    edge.startLow = 0.0;
  }
  return true;
}

// depth * edge.slope = p + e exactly, for a whole depth >= 0. A depth below 2^26 is its own
// high half in Dekker's split, so only the slope's halves (split once per edge) enter the
// product's error term; the error of a product is unique, so both branches give the same bits.
inline DoubleDouble DepthTimesSlope(const CoverageEdge& edge, double depth) {
  if (depth < 67108864.0) {
    const double p = depth * edge.slope;
    return DoubleDouble{p, (depth * edge.slopeHead - p) + depth * edge.slopeTail};
  }
  return TwoProduct(depth, edge.slope);
}

// The offset of the edge's crossing with the line `depth` rows below its upper end's row line
// from its upper end's column line, start + depth * slope, in double-double arithmetic; the
// whole part and the fraction, which may round up to 1. The product of the whole depth with the
// slope's high part is exact as a double-double, so the offset is good to about 2^-100 of the
// edge's width.
inline Place CompensatedOffset(const CoverageEdge& edge, double depth) {
  const DoubleDouble run = DepthTimesSlope(edge, depth);
  const DoubleDouble sum = TwoSum(run.hi, edge.start);
  const double low = sum.lo + ((run.lo + depth * edge.slopeLow) + edge.startLow);
  int32_t whole = FloorToInt(sum.hi);
  double fraction = (sum.hi - static_cast<double>(whole)) + low;
  if (fraction < 0.0) {
    --whole;
    fraction += 1.0;
  }
  return Place{whole, fraction};
}

// Where the edge meets the horizontal grid line y = line (topRow < line <= lastRow, strictly
// between its ends): x = xTop + (line - yTop) * slope, as a column and a fraction, limited to
// the edge's own x range so that rounding never carries it past an end.
inline Place CrossingAt(const CoverageEdge& edge, int32_t line) {
  if (edge.vertical) {
    return Place{edge.topColumn, edge.topX};
  }
  const double depth = static_cast<double>(line - edge.topRow);
  Place x;
  if (edge.compensated) {
    x = CompensatedOffset(edge, depth);
  } else {
    const double offset = edge.start + depth * edge.slope;
    x.whole = FloorToInt(offset);
    x.fraction = offset - static_cast<double>(x.whole);
  }
  if (x.fraction >= 1.0) {
    ++x.whole;
    x.fraction = 0.0;
  }
  x.whole += edge.topColumn;
  if (IsLeftOf(x.whole, x.fraction, edge.leftColumn, edge.leftX)) {
    return Place{edge.leftColumn, edge.leftX};
  }
  if (IsLeftOf(edge.rightColumn, edge.rightX, x.whole, x.fraction)) {
    return Place{edge.rightColumn, edge.rightX};
  }
  return x;
}

// ---- Accumulation -----------------------------------------------------------------------------

// Touched-cell bits are kept a machine word at a time (64 bits on x86-64, 32 on 32-bit x86),
// so that setting, testing and finding them takes one instruction each on every target.
using TouchedWord = CoverageScratch::TouchedWord;
constexpr int32_t kWordBits = std::numeric_limits<TouchedWord>::digits;
constexpr int32_t kWordShift = kWordBits == 64 ? 6 : 5;
static_assert(kWordBits == (1 << kWordShift), "touched words of 32 or 64 bits");

int32_t WordOf(int32_t column) {
  return column >> kWordShift;
}

TouchedWord BitOf(int32_t column) {
  return TouchedWord{1} << (column & (kWordBits - 1));
}

// One row of the band's accumulator.
struct AccumulatorRow {
  CoverageCell* cells;
  TouchedWord* touched;
};

// With kFirstTouch the cells hold whatever memory held until their bit is set, and a cell's
// first piece starts it from zero; otherwise every cell is zero until touched. Both give the
// same bits: the first piece computes 0.0 + its values either way (which also turns -0 into +0).
template <bool kFirstTouch>
inline void AddToCell(const AccumulatorRow& row, int32_t column, double height, double meanX) {
  CoverageCell& cell = row.cells[column];
  TouchedWord& word = row.touched[WordOf(column)];
  const TouchedWord bit = BitOf(column);
  if (kFirstTouch && (word & bit) == 0) {
    cell.cover = 0.0 + height;
    cell.area = 0.0 + height * meanX;
  } else {
    cell.cover += height;
    cell.area += height * meanX;
  }
  word |= bit;
}

// Adds the piece of an edge inside one row, from its upper end (columnA + xA, yA) to its lower
// end (columnB + xB, yB), heights relative to the row's top line (0 <= yA <= yB <= 1), for an
// edge of direction `sign`. The piece is cut at the vertical grid lines it crosses; the height
// where it meets line x = j is y = yLeft + (j - xLeft) * rise, from its left end, with rise the
// edge's dy / dx when `rise` is given, else taken from the piece's ends.
template <bool kFirstTouch>
inline void AddRowPiece(const AccumulatorRow& row, int32_t columnA, double xA, double yA,
                        int32_t columnB, double xB, double yB, double sign, const double* rise) {
  if (yA == yB) {
    return;
  }
  if (columnA == columnB) {
    AddToCell<kFirstTouch>(row, columnA, sign * (yB - yA), (xA + xB) * 0.5);
    return;
  }
  const bool aIsLeft = !IsLeftOf(columnB, xB, columnA, xA);
  const int32_t columnLeft = aIsLeft ? columnA : columnB;
  const double xLeft = aIsLeft ? xA : xB;
  const double yLeft = aIsLeft ? yA : yB;
  int32_t columnRight = aIsLeft ? columnB : columnA;
  double xRight = aIsLeft ? xB : xA;
  const double yRight = aIsLeft ? yB : yA;
  // A right end on a column's left line stays in the column before it.
  if (xRight == 0.0 && columnRight > columnLeft) {
    --columnRight;
    xRight = 1.0;
  }
  if (columnLeft == columnRight) {
    AddToCell<kFirstTouch>(row, columnLeft, sign * (yB - yA), (xLeft + xRight) * 0.5);
    return;
  }
  // Heights on the lines columnLeft + 1 .. columnRight run from yLeft towards yRight; a piece's
  // signed height is then heightSign * (its lower line's y - its upper line's y).
  const double heightSign = yRight > yLeft ? sign : -sign;
  const double yLow = std::min(yLeft, yRight);
  const double yHigh = std::max(yLeft, yRight);
  const double k =
      rise != nullptr
          ? *rise
          : (yRight - yLeft) / (static_cast<double>(columnRight - columnLeft) + (xRight - xLeft));
  const auto heightOnLine = [&](int32_t column) {
    const double y = yLeft + (static_cast<double>(column - columnLeft) - xLeft) * k;
    return std::min(std::max(y, yLow), yHigh);
  };
  double yPrevious = heightOnLine(columnLeft + 1);
  AddToCell<kFirstTouch>(row, columnLeft, heightSign * (yPrevious - yLeft), (xLeft + 1.0) * 0.5);
  for (int32_t column = columnLeft + 1; column < columnRight; ++column) {
    const double y = heightOnLine(column + 1);
    AddToCell<kFirstTouch>(row, column, heightSign * (y - yPrevious), 0.5);
    yPrevious = y;
  }
  AddToCell<kFirstTouch>(row, columnRight, heightSign * (yRight - yPrevious), xRight * 0.5);
}

// The accumulator of a band of rows: `width` cells and `words` touched words per row, the band's
// first row first.
struct Band {
  CoverageCell* cells;
  TouchedWord* touched;
  int32_t width;
  int32_t words;

  AccumulatorRow Row(int32_t bandRow) const {
    return AccumulatorRow{cells + static_cast<size_t>(bandRow) * static_cast<size_t>(width),
                          touched + static_cast<size_t>(bandRow) * static_cast<size_t>(words)};
  }
};

// Adds the edge's pieces in rows bandTop .. bandEnd - 1 (which the edge reaches).
template <bool kFirstTouch>
inline void AddEdgeToBand(const CoverageEdge& edge, int32_t bandTop, int32_t bandEnd,
                          const Band& band) {
  if (edge.topRow == edge.lastRow) {
    // Most edges of small shapes and glyphs stay within one row.
    AddRowPiece<kFirstTouch>(band.Row(edge.topRow - bandTop), edge.topColumn, edge.topX, edge.topY,
                             edge.bottomColumn, edge.bottomX, edge.bottomY, edge.sign, nullptr);
    return;
  }
  const int32_t first = std::max(edge.topRow, bandTop);
  const int32_t last = std::min(edge.lastRow, bandEnd - 1);
  AccumulatorRow row = band.Row(first - bandTop);
  if (edge.vertical) {
    // Glyph stems and grid-aligned sides: one cell per row, with the same terms AddRowPiece
    // gives a piece within one column (its mean x, (x + x) * 0.5, is x exactly).
    for (int32_t r = first; r <= last; ++r) {
      const double upperY = r == edge.topRow ? edge.topY : 0.0;
      const double lowerY = r == edge.lastRow ? edge.bottomY : 1.0;
      AddToCell<kFirstTouch>(row, edge.topColumn, edge.sign * (lowerY - upperY), edge.topX);
      row.cells += band.width;
      row.touched += band.words;
    }
    return;
  }
  Place upper = first == edge.topRow ? Place{edge.topColumn, edge.topX} : CrossingAt(edge, first);
  double upperY = first == edge.topRow ? edge.topY : 0.0;
  for (int32_t r = first; r <= last; ++r) {
    const bool endsHere = r == edge.lastRow;
    const Place lower = endsHere ? Place{edge.bottomColumn, edge.bottomX} : CrossingAt(edge, r + 1);
    const double lowerY = endsHere ? edge.bottomY : 1.0;
    AddRowPiece<kFirstTouch>(row, upper.whole, upper.fraction, upperY, lower.whole, lower.fraction,
                             lowerY, edge.sign, &edge.rise);
    upper = lower;
    upperY = 0.0;
    row.cells += band.width;
    row.touched += band.words;
  }
}

// ---- Sweep ------------------------------------------------------------------------------------

int32_t LowestBit(TouchedWord bits) {
#if defined(__GNUC__) || defined(__clang__)
  if constexpr (kWordBits == 64) {
    return __builtin_ctzll(bits);
  } else {
    return __builtin_ctz(bits);
  }
#else
  int32_t n = 0;
  while ((bits & 1) == 0) {
    bits >>= 1;
    ++n;
  }
  return n;
#endif
}

// Collects a row's spans, extending the last one when the next starts where it ends with the
// same value (a touched cell often reads exactly like the run beside it, e.g. along a vertical
// edge on a grid line); cells of value 0 are left out. The branches stay: writing every span and
// advancing the count by 0 or 1 measured slower, as did computing a row's values in a first pass
// and its spans in a second.
class SpanWriter {
 public:
  explicit SpanWriter(CoverageSpan* spans) : spans_(spans) {}

  void Add(int32_t x0, int32_t x1, double value) {
    if (value == 0.0) {
      return;
    }
    if (x0 == lastEnd_ && value == lastValue_) {
      spans_[count_ - 1].x1 = x1;
    } else {
      spans_[count_++] = CoverageSpan{x0, x1, value};
      lastValue_ = value;
    }
    lastEnd_ = x1;
  }

  size_t count() const {
    return count_;
  }

 private:
  CoverageSpan* spans_;
  size_t count_ = 0;
  // No span ends there, so the first span never extends one.
  int32_t lastEnd_ = std::numeric_limits<int32_t>::min();
  double lastValue_ = 0.0;
};

// Collects a row's runs of cells whose values reach the threshold, joining touching ones. The
// comparison is the one a reader of SpanWriter's spans would make on the same values.
class RunWriter {
 public:
  RunWriter(CellRun* runs, double threshold) : runs_(runs), threshold_(threshold) {}

  void Add(int32_t x0, int32_t x1, double value) {
    if (!(value >= threshold_)) {
      return;
    }
    if (x0 == lastEnd_) {
      runs_[count_ - 1].x1 = x1;
    } else {
      runs_[count_++] = CellRun{x0, x1};
    }
    lastEnd_ = x1;
  }

  size_t count() const {
    return count_;
  }

 private:
  CellRun* runs_;
  double threshold_;
  size_t count_ = 0;
  int32_t lastEnd_ = std::numeric_limits<int32_t>::min();  // no run ends there
};

// Turns one accumulated row into values, given to out.Add(x0, x1, value) left to right for the
// stretches of untouched cells between touched ones and for each touched cell (absolute columns:
// relative column + left), and clears its cells and bits. The extra column (emitEnd) is cleared,
// never given: its cover only closes the stretch of untouched cells before it.
template <class Writer>
void SweepRow(const AccumulatorRow& row, int32_t words, int32_t emitEnd, int32_t left,
              Writer& out) {
  TouchedWord& extraWord = row.touched[WordOf(emitEnd)];
  const TouchedWord extraBit = BitOf(emitEnd);
  const bool extraTouched = (extraWord & extraBit) != 0;
  extraWord &= ~extraBit;
  // The running sum of cover as a double-double.
  double runHi = 0.0;
  double runLo = 0.0;
  int32_t next = 0;  // the first column after the last touched one
  for (int32_t w = 0; w < words; ++w) {
    TouchedWord bits = row.touched[w];
    if (bits == 0) {
      continue;
    }
    row.touched[w] = 0;
    do {
      const int32_t column = w * kWordBits + LowestBit(bits);
      bits &= bits - 1;
      if (column > next) {
        out.Add(left + next, left + column, -(runHi + runLo));
      }
      const CoverageCell cell = row.cells[column];
      row.cells[column] = CoverageCell{0.0, 0.0};
      const DoubleDouble run = TwoSum(runHi, cell.cover);
      runHi = run.hi;
      runLo += run.lo;
      out.Add(left + column, left + column + 1, cell.area - (runHi + runLo));
      next = column + 1;
    } while (bits != 0);
  }
  if (extraTouched) {
    row.cells[emitEnd] = CoverageCell{0.0, 0.0};
    if (emitEnd > next) {
      out.Add(left + next, left + emitEnd, -(runHi + runLo));
    }
  }
}

// Where the swept rows of a band go.
class BandOutput {
 public:
  // Sweeps rows bandTop .. bandEnd - 1 of the band (accumulator columns from `left`, emitted up
  // to emitEnd - 1) and reports those with anything to report.
  virtual void SweepBand(const Band& band, int32_t bandTop, int32_t bandEnd, int32_t emitEnd,
                         int32_t left) = 0;

 protected:
  ~BandOutput() = default;
};

// Every row's spans of equal value to a CoverageRowSink.
class SpanOutput final : public BandOutput {
 public:
  // `spans` has room for one row's spans: 2 * emitEnd + 1 is enough.
  SpanOutput(CoverageSpan* spans, CoverageRowSink& sink) : spans_(spans), sink_(sink) {}

  void SweepBand(const Band& band, int32_t bandTop, int32_t bandEnd, int32_t emitEnd,
                 int32_t left) override {
    for (int32_t r = bandTop; r < bandEnd; ++r) {
      SpanWriter out(spans_);
      SweepRow(band.Row(r - bandTop), band.words, emitEnd, left, out);
      if (out.count() > 0) {
        sink_.Row(r, spans_, out.count());
      }
    }
  }

 private:
  CoverageSpan* spans_;
  CoverageRowSink& sink_;
};

// Every row's runs of cells reaching a threshold to a ReachingRowSink.
class ReachingOutput final : public BandOutput {
 public:
  // `runs` has room for one row's runs: emitEnd / 2 + 1 is enough, since runs never touch.
  ReachingOutput(CellRun* runs, double threshold, ReachingRowSink& sink)
      : runs_(runs), threshold_(threshold), sink_(sink) {}

  void SweepBand(const Band& band, int32_t bandTop, int32_t bandEnd, int32_t emitEnd,
                 int32_t left) override {
    for (int32_t r = bandTop; r < bandEnd; ++r) {
      RunWriter out(runs_, threshold_);
      SweepRow(band.Row(r - bandTop), band.words, emitEnd, left, out);
      if (out.count() > 0) {
        sink_.Row(r, runs_, out.count());
      }
    }
  }

 private:
  CellRun* runs_;
  double threshold_;
  ReachingRowSink& sink_;
};

// ---- Checks -----------------------------------------------------------------------------------

// The vertices' box, or false when a vertex is outside the closed rectangle of `cells` (or not
// a number), the rows asked for are not within the cells' rows, or the cells' right or bottom
// line is beyond int32 (so that every vertex's whole column and row fit one).
bool CheckInput(const Polygon& polygon, const CellRange& cells, int32_t firstRow, int32_t endRow,
                Bounds& box) {
  constexpr int64_t kLastLine = std::numeric_limits<int32_t>::max();
  const int64_t rightLine = int64_t{cells.originX} + cells.cols;
  const int64_t bottomLine = int64_t{cells.originY} + cells.rows;
  if (polygon.empty() || cells.cols <= 0 || cells.rows <= 0 || firstRow > endRow ||
      firstRow < cells.originY || int64_t{endRow} > bottomLine || rightLine > kLastLine ||
      bottomLine > kLastLine) {
    return false;
  }
  const double left = cells.originX;
  const double top = cells.originY;
  const double right = left + static_cast<double>(cells.cols);
  const double bottom = top + static_cast<double>(cells.rows);
  const PointBox points = BoxOfPoints(polygon.data(), polygon.size());
  // A NaN coordinate fails through `numbers`; the box is then meaningless.
  if (!(points.numbers && points.box.minX >= left && points.box.maxX <= right &&
        points.box.minY >= top && points.box.maxY <= bottom)) {
    return false;
  }
  box = points.box;
  return true;
}

int32_t CeilToInt(double v) {
  const int32_t floor = FloorToInt(v);
  return static_cast<double>(floor) < v ? floor + 1 : floor;
}

template <typename T>
void GrowZeroed(std::vector<T>& v, size_t size) {
  if (v.size() < size) {
    v.resize(size, T{});
  }
}

// Writes the spans of each row into a dense grid.
class GridSink final : public CoverageRowSink {
 public:
  explicit GridSink(CoverageGrid& grid) : grid_(grid) {}

  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    double* row = grid_.values.data() +
                  static_cast<size_t>(int64_t{y} - grid_.originY) * static_cast<size_t>(grid_.cols);
    for (size_t i = 0; i < count; ++i) {
      const CoverageSpan& span = spans[i];
      std::fill(row + (int64_t{span.x0} - grid_.originX), row + (int64_t{span.x1} - grid_.originX),
                span.value);
    }
  }

 private:
  CoverageGrid& grid_;
};

// The band (counted from rowBegin, bandRows rows each) holding the edge's first measured row.
int32_t StartBand(const CoverageEdge& edge, int32_t rowBegin, int32_t bandRows) {
  return (std::max(edge.topRow, rowBegin) - rowBegin) / bandRows;
}

// Groups the edges by the band they start in: the indices of band b's edges are
// byBand[starts[b]] .. byBand[starts[b + 1] - 1], in polygon order (a stable counting sort).
void GroupByStartBand(const std::vector<CoverageEdge>& edges, int32_t rowBegin, int32_t bandRows,
                      int32_t bandCount, std::vector<uint32_t>& starts,
                      std::vector<uint32_t>& byBand) {
  // Counts, then their running sums (the end of each band's group), then each edge placed from
  // the back so that the groups keep polygon order and `starts` ends up at their beginnings.
  starts.assign(static_cast<size_t>(bandCount) + 1, 0);
  for (const CoverageEdge& edge : edges) {
    ++starts[static_cast<size_t>(StartBand(edge, rowBegin, bandRows))];
  }
  for (size_t b = 1; b < starts.size(); ++b) {
    starts[b] += starts[b - 1];
  }
  byBand.resize(edges.size());
  for (size_t e = edges.size(); e-- > 0;) {
    byBand[--starts[static_cast<size_t>(StartBand(edges[e], rowBegin, bandRows))]] =
        static_cast<uint32_t>(e);
  }
}

// One call's work: rows rowBegin .. rowEnd - 1, accumulator columns from `leftColumn` on
// (emitted up to leftColumn + emitEnd - 1), in bands of bandRows rows.
struct Measurement {
  const Polygon& polygon;
  const CoverageVertex* vertices;  // the polygon's vertices, placed
  int32_t rowBegin;
  int32_t rowEnd;
  int32_t leftColumn;
  int32_t emitEnd;
  int32_t bandRows;
  Band band;
  BandOutput& output;
};

// The polygon's edge from vertex i to the next, or false when it is horizontal or has no height
// in the measured rows.
inline bool MeasuredEdge(const Measurement& m, size_t i, CoverageEdge& edge) {
  const size_t j = i + 1 == m.polygon.size() ? 0 : i + 1;
  return MakeEdge(m.polygon[i], m.polygon[j], m.vertices[i], m.vertices[j], edge) &&
         edge.lastRow >= m.rowBegin && edge.topRow < m.rowEnd;
}

// All rows in one band: each edge goes into the cells as soon as it is made, in polygon order
// as in MeasureInBands, so the two give the same bits.
template <bool kFirstTouch>
void MeasureInOneBand(const Measurement& m) {
  const size_t n = m.polygon.size();
  for (size_t i = 0; i < n; ++i) {
    const CoverageVertex& va = m.vertices[i];
    const CoverageVertex& vb = m.vertices[i + 1 == n ? 0 : i + 1];
    if (va.row == vb.row) {
      // Within one row (or horizontal): the piece AddEdgeToBand would add for the edge.
      if (va.y != vb.y && va.row >= m.rowBegin && va.row < m.rowEnd) {
        const bool down = vb.y > va.y;
        const CoverageVertex& upper = down ? va : vb;
        const CoverageVertex& lower = down ? vb : va;
        AddRowPiece<kFirstTouch>(m.band.Row(va.row - m.rowBegin), upper.column, upper.x, upper.y,
                                 lower.column, lower.x, lower.y, down ? 1.0 : -1.0, nullptr);
      }
      continue;
    }
    CoverageEdge edge;
    if (MeasuredEdge(m, i, edge)) {
      AddEdgeToBand<kFirstTouch>(edge, m.rowBegin, m.rowEnd, m.band);
    }
  }
  m.output.SweepBand(m.band, m.rowBegin, m.rowEnd, m.emitEnd, m.leftColumn);
}

// Band after band, each with the edges that reach it, in polygon order: those carried over
// from the bands above merged with those starting in it.
template <bool kFirstTouch>
void MeasureInBands(const Measurement& m, std::vector<CoverageEdge>& edges,
                    std::vector<uint32_t>& starts, std::vector<uint32_t>& byBand,
                    std::vector<uint32_t>& active, std::vector<uint32_t>& current) {
  edges.clear();
  for (size_t i = 0; i < m.polygon.size(); ++i) {
    edges.emplace_back();
    if (!MeasuredEdge(m, i, edges.back())) {
      edges.pop_back();
    }
  }
  const int32_t bandCount = (m.rowEnd - m.rowBegin + m.bandRows - 1) / m.bandRows;
  GroupByStartBand(edges, m.rowBegin, m.bandRows, bandCount, starts, byBand);
  // Grown before the first row goes out (neither ever holds more than every edge), so that
  // nothing is allocated once the sink has been called.
  active.reserve(edges.size());
  current.reserve(edges.size());
  active.clear();
  for (int32_t b = 0; b < bandCount; ++b) {
    const int32_t bandTop = m.rowBegin + b * m.bandRows;
    const int32_t bandEnd = std::min(bandTop + m.bandRows, m.rowEnd);
    current.clear();
    std::merge(active.begin(), active.end(), byBand.begin() + starts[static_cast<size_t>(b)],
               byBand.begin() + starts[static_cast<size_t>(b) + 1], std::back_inserter(current));
    active.clear();
    for (uint32_t e : current) {
      AddEdgeToBand<kFirstTouch>(edges[e], bandTop, bandEnd, m.band);
      if (edges[e].lastRow >= bandEnd) {
        active.push_back(e);
      }
    }
    m.output.SweepBand(m.band, bandTop, bandEnd, m.emitEnd, m.leftColumn);
  }
}

// Grows an uninitialised buffer to at least `count` elements.
template <typename T>
void GrowBuffer(std::unique_ptr<T[]>& buffer, size_t& capacity, size_t count) {
  if (capacity < count) {
    buffer.reset();
    buffer.reset(new T[count]);
    capacity = count;
  }
}

}  // namespace

// The kernel's way into its working memory (a friend of CoverageScratch): one measurement, the
// same for every kind of output.
class KernelCall {
 public:
  static void Spans(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                    int32_t endRow, CoverageScratch& scratch, CoverageRowSink& sink) {
    Measure(polygon, cells, firstRow, endRow, scratch, [&](int32_t emitEnd) {
      GrowBuffer(scratch.spans, scratch.spanCapacity, 2 * static_cast<size_t>(emitEnd) + 1);
      return SpanOutput(scratch.spans.get(), sink);
    });
  }

  static void Reaching(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                       int32_t endRow, double threshold, CoverageScratch& scratch,
                       ReachingRowSink& sink) {
    // Cells left of the first touched one, and right of the last, are never given a value: they
    // hold 0, which must not reach.
    assert(threshold > 0.0 && "a threshold that cells of coverage 0 reach");
    Measure(polygon, cells, firstRow, endRow, scratch, [&](int32_t emitEnd) {
      GrowBuffer(scratch.runs, scratch.runCapacity, static_cast<size_t>(emitEnd) / 2 + 1);
      return ReachingOutput(scratch.runs.get(), threshold, sink);
    });
  }

 private:
  // makeOutput(emitEnd) grows the output's buffer for rows of emitEnd columns and returns the
  // output; it is called before anything is reported.
  template <class MakeOutput>
  static void Measure(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                      int32_t endRow, CoverageScratch& scratch, MakeOutput makeOutput) {
    Bounds box{};
    const bool validInput = CheckInput(polygon, cells, firstRow, endRow, box);
    assert(validInput && "row kernel called outside its preconditions");
    if (!validInput) {
      return;
    }
    // The box lies within the cells, whose lines all fit int32 (checked).
    const int32_t rowBegin = std::max(firstRow, FloorToInt(box.minY));
    const int32_t rowEnd = std::min(endRow, CeilToInt(box.maxY));
    const int32_t left = FloorToInt(box.minX);
    // Emitted columns are left .. left + emitEnd - 1; the accumulator has one more.
    const int32_t emitEnd = CeilToInt(box.maxX) - left;
    if (rowBegin >= rowEnd || emitEnd <= 0) {
      return;  // no rows asked for, or every vertex on one vertical line: nothing enclosed
    }
    const int32_t width = emitEnd + 1;
    const int32_t words = (width + kWordBits - 1) / kWordBits;
    const int32_t bandRows = std::max(1, std::min(kBandCells / width, rowEnd - rowBegin));

    const size_t cellCount = static_cast<size_t>(bandRows) * static_cast<size_t>(width);
    if (scratch.cellCapacity < cellCount) {
      // Not initialised: this call starts each cell when it first touches it, so that measuring
      // one shape with new memory (a drawing call with one shape) does not clear a box of cells.
      GrowBuffer(scratch.cells, scratch.cellCapacity, cellCount);
      scratch.cellsZero = false;
    } else if (!scratch.cellsZero || scratch.dirty) {
      // Memory that measures again is cleared once, and then adds to cells without testing bits.
      std::fill(scratch.cells.get(), scratch.cells.get() + scratch.cellCapacity,
                CoverageCell{0.0, 0.0});
      scratch.cellsZero = true;
    }
    const bool firstTouch = !scratch.cellsZero;
    auto output = makeOutput(emitEnd);
    GrowZeroed(scratch.touched, static_cast<size_t>(bandRows) * static_cast<size_t>(words));
    if (scratch.dirty) {
      std::fill(scratch.touched.begin(), scratch.touched.end(), TouchedWord{0});
    }
    GrowBuffer(scratch.vertices, scratch.vertexCapacity, polygon.size());
    CoverageVertex* vertices = scratch.vertices.get();
    for (size_t i = 0; i < polygon.size(); ++i) {
      vertices[i] = VertexOf(polygon[i], left);
    }

    const Measurement m{polygon,  vertices,
                        rowBegin, rowEnd,
                        left,     emitEnd,
                        bandRows, Band{scratch.cells.get(), scratch.touched.data(), width, words},
                        output};
    scratch.dirty = true;  // until every band has been swept
    if (rowEnd - rowBegin <= bandRows) {
      firstTouch ? MeasureInOneBand<true>(m) : MeasureInOneBand<false>(m);
    } else if (firstTouch) {
      MeasureInBands<true>(m, scratch.edges, scratch.bandStarts, scratch.byBand, scratch.active,
                           scratch.current);
    } else {
      MeasureInBands<false>(m, scratch.edges, scratch.bandStarts, scratch.byBand, scratch.active,
                            scratch.current);
    }
    scratch.dirty = false;
  }
};

void MeasureCoverageRows(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                         int32_t endRow, CoverageScratch& scratch, CoverageRowSink& sink) {
  KernelCall::Spans(polygon, cells, firstRow, endRow, scratch, sink);
}

void MeasureRowsReaching(const Polygon& polygon, const CellRange& cells, int32_t firstRow,
                         int32_t endRow, double threshold, CoverageScratch& scratch,
                         ReachingRowSink& sink) {
  KernelCall::Reaching(polygon, cells, firstRow, endRow, threshold, scratch, sink);
}

CellRange WindowCells(const Bounds& window) {
  const double left = std::floor(window.minX);
  const double top = std::floor(window.minY);
  // The differences are taken in double, where they are exact, before narrowing.
  return CellRange{static_cast<int32_t>(left), static_cast<int32_t>(top),
                   static_cast<int32_t>(std::ceil(window.maxX) - left),
                   static_cast<int32_t>(std::ceil(window.maxY) - top)};
}

void MeasureCoverageGrid(const Bounds& window, const Polygon& polygon, CoverageScratch& scratch,
                         CoverageGrid& grid) {
  const CellRange cells = WindowCells(window);
  grid.originX = cells.originX;
  grid.originY = cells.originY;
  grid.cols = cells.cols;
  grid.rows = cells.rows;
  grid.values.assign(cells.rows > 0 && cells.cols > 0
                         ? static_cast<size_t>(cells.rows) * static_cast<size_t>(cells.cols)
                         : 0,
                     0.0);
  GridSink sink(grid);
  MeasureCoverageRows(polygon, cells, cells.originY, cells.originY + cells.rows, scratch, sink);
}

void MeasureCoverageGrid(const Bounds& window, const Polygon& polygon, CoverageGrid& grid) {
  CoverageScratch scratch;
  MeasureCoverageGrid(window, polygon, scratch, grid);
}

}  // namespace pintovel
