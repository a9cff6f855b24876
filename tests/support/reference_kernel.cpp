// The exact coverage kernel.
//
// What is accumulated. For a cell in row r of column k the value is
//   sum over the boundary pieces lying in column k of  integral clamp(r + 1 - y, 0, 1) dx,
// which, summed over a closed outline, is the integral over the cell of the winding number
// (clockwise on screen, y down, counts +1: the top edge of such a loop runs to the right and
// adds its dx to every cell below it, the bottom edge runs to the left and takes it away again).
// A piece wholly above a cell adds its whole dx, one wholly below adds nothing, and one passing
// through the cell's row adds a part.
//
// How. The outline is cut at the vertical grid lines into column runs: maximal chains of
// consecutive vertices in one column, each entered and left on the column's grid lines. Every
// piece of a run adds its dx only down to the run's row limit D (the ceiling of the run's lowest
// point); the run's net horizontal travel (+1 when it crosses the column to the right, -1 to the
// left, 0 when it leaves through the line it came in by) is then added once to every row from D
// down to the bottom. Columns that an edge spans completely are handled the same way with the
// edge's piece in that column as the whole run.
//
// Two walks. The terms "add v to every row from D to the bottom of column k" would each cost a
// pass down a column, striding through memory a whole grid row at a time; a big polygon makes
// thousands of them. So the outline is walked twice. The first walk keeps only those terms and
// puts each into the single cell (k, D), as the difference to the row above; one running sum
// down all columns at once, row by row, then turns the differences into the terms (the +1 and
// -1 of runs and spanned columns sum exactly). The second walk adds the pieces' own
// contributions, which reach only the rows of their run. Below the lowest vertex neither walk
// writes anything but those terms, and above the highest nothing at all, so a grid that covers
// just the vertices' rows holds bit for bit the values of a taller one.
//
// Conventions. A point belongs to column floor(x), so a point on the grid line x = k is in
// column k. Whether two x values differ is decided by exact comparison; there is no tolerance.
//
// Precision. Heights are held as a row and a fraction (y = row + frac), and every formula works
// with distances to nearby grid lines, so the accuracy does not depend on how far the polygon is
// from the origin: stored as a plain double, a height near y = 8000 would already be off by up
// to 9e-13 from rounding alone, and a cell crossed by several edges collects several such
// errors. A vertex converts exactly. A height where an edge meets a grid line is interpolated
// from the edge's start, relative to the start's row; that is done in long double because in
// double the product slope * distance carries an error of about 1e-16 times the edge's height,
// which reaches 1e-12 per cell for edges some thousands of pixels tall. Where long double is
// only a double the kernel still works, with that edge-height-proportional error.
#include "support/reference_kernel.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace pintovel {
namespace {

// A height y = row + frac with row = floor(y) and 0 <= frac < 1.
struct Height {
  int32_t row;
  double frac;
};

// The height row + offset, for an offset of any sign and size. The whole part is found in
// double (a long double floor would switch the x87 rounding mode, which is slow) and corrected
// when the offset lies just below a whole number that the narrowing rounded up to.
Height MakeHeight(int32_t row, long double offset) {
  double whole = std::floor(static_cast<double>(offset));
  long double rest = offset - whole;
  if (rest < 0.0L) {
    whole -= 1.0;
    rest += 1.0L;
  }
  Height h{row + static_cast<int32_t>(whole), static_cast<double>(rest)};
  // The fraction may round up to 1.
  if (h.frac >= 1.0) {
    ++h.row;
    h.frac = 0.0;
  }
  return h;
}

// The height of a vertex; y - floor(y) is exact except for tiny negative y.
Height HeightOf(double y) {
  const double whole = std::floor(y);
  Height h{static_cast<int32_t>(whole), y - whole};
  if (h.frac >= 1.0) {
    ++h.row;
    h.frac = 0.0;
  }
  return h;
}

// True when a lies below b on screen (a greater y).
bool IsBelow(const Height& a, const Height& b) {
  return a.row != b.row ? a.row > b.row : a.frac > b.frac;
}

Height Lower(const Height& a, const Height& b) {
  return IsBelow(b, a) ? b : a;
}

Height Upper(const Height& a, const Height& b) {
  return IsBelow(b, a) ? a : b;
}

// ceil(y)
int32_t CeilRow(const Height& h) {
  return h.frac > 0.0 ? h.row + 1 : h.row;
}

// line - y, for the horizontal grid line y = line.
double DistanceAbove(const Height& h, int32_t line) {
  return static_cast<double>(int64_t{line} - h.row) - h.frac;
}

// y - line, for the horizontal grid line y = line.
double DistanceBelow(const Height& h, int32_t line) {
  return static_cast<double>(int64_t{h.row} - line) + h.frac;
}

// b.y - a.y
double Rise(const Height& a, const Height& b) {
  return static_cast<double>(int64_t{b.row} - a.row) + (b.frac - a.frac);
}

// An end point of a piece: a vertex, or a point where an edge meets a vertical grid line.
struct Node {
  double x;
  Height y;
};

Node NodeOf(const Point& p) {
  return Node{p.x, HeightOf(p.y)};
}

// A point where the outline meets the vertical grid line x = line.
struct LinePoint {
  int32_t line;
  Height y;
};

Node NodeOf(const LinePoint& p) {
  return Node{static_cast<double>(p.line), p.y};
}

// Where an edge leaves its start's column and where it enters its end's column.
struct Crossing {
  LinePoint exit;
  LinePoint entry;
};

int32_t ColumnOf(double x) {
  return static_cast<int32_t>(std::floor(x));
}

// The grid being filled and the walk in progress.
struct Accumulation {
  CoverageGrid& grid;
  bool belowTermsWalk;  // true: the first walk (terms to the bottom), false: the second (pieces)
  bool anyBelowTerm;    // the first walk has put at least one term into the grid
};

// The index of cell (k, row) in values, or -1 when the cell is outside the grid. The
// accumulation never asks for a cell outside the grid (the vertices are checked against it up
// front and crossing heights stay within their edge's y range): debug builds stop here should
// it ever do so, release builds skip the write.
int64_t CellIndex(const CoverageGrid& grid, int32_t k, int32_t row) {
  const int64_t col = int64_t{k} - grid.originX;
  const int64_t r = int64_t{row} - grid.originY;
  const bool inGrid = col >= 0 && col < grid.cols && r >= 0 && r < grid.rows;
  assert(inGrid && "coverage write outside the grid");
  return inGrid ? col + r * grid.cols : -1;
}

// Adds v to rows firstRow .. lastRow of column k (nothing when lastRow < firstRow); these are
// the pieces' contributions, so the first walk ignores them.
void AddToRows(Accumulation& acc, int32_t k, int32_t firstRow, int32_t lastRow, double v) {
  if (acc.belowTermsWalk || lastRow < firstRow) {
    return;
  }
  const int64_t first = CellIndex(acc.grid, k, firstRow);
  const int64_t last = CellIndex(acc.grid, k, lastRow);
  if (first < 0 || last < 0) {
    return;
  }
  const size_t stride = static_cast<size_t>(acc.grid.cols);
  for (size_t i = static_cast<size_t>(first); i <= static_cast<size_t>(last); i += stride) {
    acc.grid.values[i] += v;
  }
}

void AddToCell(Accumulation& acc, int32_t k, int32_t row, double v) {
  AddToRows(acc, k, row, row, v);
}

// Adds v to every row from firstRow to the bottom of column k (nothing when firstRow is below
// the grid). First walk only: v goes into cell (k, firstRow) as a difference to the row above,
// and AddBelowTermsUp adds the column up later.
void AddToRowsBelow(Accumulation& acc, int32_t k, int32_t firstRow, double v) {
  if (!acc.belowTermsWalk || firstRow >= acc.grid.originY + acc.grid.rows) {
    return;
  }
  const int64_t i = CellIndex(acc.grid, k, firstRow);
  if (i >= 0) {
    acc.grid.values[static_cast<size_t>(i)] += v;
    acc.anyBelowTerm = true;
  }
}

// Turns the differences of the first walk into values: each row becomes the sum of itself and
// every row above it, column by column (row r += row r - 1, top to bottom).
void AddBelowTermsUp(CoverageGrid& grid) {
  const size_t cols = static_cast<size_t>(grid.cols);
  double* values = grid.values.data();
  for (size_t rowStart = cols; rowStart < grid.values.size(); rowStart += cols) {
    double* row = values + rowStart;
    const double* above = row - cols;
    for (size_t c = 0; c < cols; ++c) {
      row[c] += above[c];
    }
  }
}

// Accumulates the straight piece a -> b, which lies within column k (k <= x <= k + 1) and is
// not vertical (a.x != b.x), into rows above the row limit `rowLimit`: every row from the
// piece's top row down to rowLimit - 1 receives the piece's integral, rows from rowLimit on are
// left to the caller's full-height term.
//
// With dx = b.x - a.x, lo = floor(min y), hi = ceil(max y) and, when the piece spans two rows
// or more, m = dx / (b.y - a.y) (then |b.y - a.y| > 1 >= |dx|, so |m| < 1):
//   rows hi .. rowLimit - 1 (wholly below the piece):   dx
//   one row (hi = lo + 1):                              dx * ((hi - a.y) + (hi - b.y)) / 2
//   piece running down (b.y > a.y), hi >= lo + 2:
//     row lo:                                           m * (lo + 1 - a.y)^2 / 2
//     row r, lo < r < hi - 1:                           m * (r + 1/2 - a.y)
//     row hi - 1:                                       dx - m * (b.y - (hi - 1))^2 / 2
//   piece running up (b.y < a.y), hi >= lo + 2:
//     row lo:                                           -m * (lo + 1 - b.y)^2 / 2
//     row r, lo < r < hi - 1:                           m * (b.y - (r + 1/2))
//     row hi - 1:                                       dx + m * (a.y - (hi - 1))^2 / 2
// (A row crossed from its top line to its bottom line gets the dx of the part above it plus
// half the dx inside it; the end rows integrate the linear depth over the part inside them.)
// A horizontal piece exactly on the grid line y = lo (hi = lo) touches no row above that line.
void AddPiece(Accumulation& acc, const Node& a, const Node& b, int32_t rowLimit, int32_t k) {
  if (acc.belowTermsWalk) {
    return;  // pieces contribute only to the second walk
  }
  const double dx = b.x - a.x;
  const int32_t lo = Upper(a.y, b.y).row;
  const int32_t hi = CeilRow(Lower(a.y, b.y));
  AddToRows(acc, k, hi, rowLimit - 1, dx);
  if (hi == lo) {
    return;
  }
  if (hi == lo + 1) {
    AddToCell(acc, k, lo, (DistanceAbove(a.y, hi) + DistanceAbove(b.y, hi)) * 0.5 * dx);
    return;
  }
  const double m = dx / Rise(a.y, b.y);
  if (IsBelow(b.y, a.y)) {
    const double inTop = DistanceAbove(a.y, lo + 1);
    const double inBottom = DistanceBelow(b.y, hi - 1);
    AddToCell(acc, k, lo, m * inTop * inTop * 0.5);
    for (int32_t r = lo + 1; r <= hi - 2; ++r) {
      // r + 1/2 - a.y
      AddToCell(acc, k, r, m * ((static_cast<double>(r - a.y.row) + 0.5) - a.y.frac));
    }
    AddToCell(acc, k, hi - 1, dx - m * inBottom * inBottom * 0.5);
  } else {
    const double inTop = DistanceAbove(b.y, lo + 1);
    const double inBottom = DistanceBelow(a.y, hi - 1);
    AddToCell(acc, k, lo, -(m * inTop * inTop * 0.5));
    for (int32_t r = lo + 1; r <= hi - 2; ++r) {
      // b.y - (r + 1/2)
      AddToCell(acc, k, r, m * ((static_cast<double>(b.y.row - r) - 0.5) + b.y.frac));
    }
    AddToCell(acc, k, hi - 1, dx + m * inBottom * inBottom * 0.5);
  }
}

// AddPiece for pieces that may be vertical; vertical ones (equal x) contribute nothing.
void AddPieceUnlessVertical(Accumulation& acc, const Node& a, const Node& b, int32_t rowLimit,
                            int32_t k) {
  if (a.x != b.x) {
    AddPiece(acc, a, b, rowLimit, k);
  }
}

// Accumulates the columns that the edge s -> e spans completely, for end points in different
// columns, and returns the exit point on the grid line where the edge leaves s's column and the
// entry point on the line where it enters e's column (the same line when only one grid line is
// crossed).
//
// Heights on the grid lines: y(x) = s.y + m * (x - s.x) with m = (e.y - s.y) / (e.x - s.x),
// formed relative to s's row in long double and limited to the edge's own y range, so that
// rounding cannot carry a crossing past an end point (nor past the grid's top or bottom line).
// Each height is computed once and used by both columns that share the line.
//
// Going right the lines are floor(s.x) + 1 .. floor(e.x); going left they are floor(s.x) down to
// floor(e.x) + 1. So an end point on a grid line x = j is entered on its column's left line
// going right and on its right line (j + 1) going left, and a start point on x = j going left
// leaves at its own position. Each spanned column k gets its piece with row limit
// Dk = ceil(max(y(k), y(k + 1))) and the piece's whole dx (+1 right, -1 left) in rows Dk and
// below.
Crossing AddCrossing(Accumulation& acc, const Point& s, const Point& e) {
  const long double m =
      (static_cast<long double>(e.y) - s.y) / (static_cast<long double>(e.x) - s.x);
  const Height start = HeightOf(s.y);
  const Height end = HeightOf(e.y);
  const Height upper = Upper(start, end);
  const Height lower = Lower(start, end);
  const auto heightAt = [&](int32_t line) {
    const Height h = MakeHeight(start.row, start.frac + m * (static_cast<long double>(line) - s.x));
    return IsBelow(h, lower) ? lower : IsBelow(upper, h) ? upper : h;
  };

  if (e.x > s.x) {
    const int32_t first = ColumnOf(s.x) + 1;
    const int32_t last = ColumnOf(e.x);
    Height left = heightAt(first);
    const LinePoint exit{first, left};
    for (int32_t k = first; k < last; ++k) {
      const Height right = heightAt(k + 1);
      const int32_t rowLimit = CeilRow(Lower(left, right));
      AddPiece(acc, Node{static_cast<double>(k), left}, Node{static_cast<double>(k + 1), right},
               rowLimit, k);
      AddToRowsBelow(acc, k, rowLimit, 1.0);
      left = right;
    }
    return Crossing{exit, LinePoint{last, left}};
  }

  const int32_t first = ColumnOf(s.x);
  const int32_t last = ColumnOf(e.x) + 1;
  Height left = heightAt(last);
  const LinePoint entry{last, left};
  for (int32_t k = last; k < first; ++k) {
    const Height right = heightAt(k + 1);
    const int32_t rowLimit = CeilRow(Lower(left, right));
    AddPiece(acc, Node{static_cast<double>(k + 1), right}, Node{static_cast<double>(k), left},
             rowLimit, k);
    AddToRowsBelow(acc, k, rowLimit, -1.0);
    left = right;
  }
  return Crossing{LinePoint{first, left}, entry};
}

// Accumulates the run of vertices p[a], p[a + 1], ..., p[l] (cyclic: it wraps past the last
// vertex when l < a), all in one column, entered at `entry` and left at `exit`, with row limit
// `rowLimit` = ceil(largest y of entry, vertices and exit).
//
// Each of the grid lines entry.line and exit.line is the run's column or the one after it:
//   entry.line == exit.line:     the column is entry.line if p[a] lies in it, else the one
//                                before; the pieces' dx sum to 0, no full-height term;
//   exit.line == entry.line + 1: column entry.line, +1 in rows rowLimit and below;
//   exit.line == entry.line - 1: column exit.line, -1 in rows rowLimit and below.
// The pieces are entry -> p[a], the edges inside the run, and p[l] -> exit.
void AddColumnRun(Accumulation& acc, const Polygon& polygon, size_t a, size_t l,
                  const LinePoint& entry, const LinePoint& exit, int32_t rowLimit) {
  int32_t k;
  if (entry.line == exit.line) {
    k = ColumnOf(polygon[a].x) == entry.line ? entry.line : entry.line - 1;
  } else if (exit.line == entry.line + 1) {
    k = entry.line;
    AddToRowsBelow(acc, k, rowLimit, 1.0);
  } else {
    assert(exit.line == entry.line - 1);
    k = exit.line;
    AddToRowsBelow(acc, k, rowLimit, -1.0);
  }

  const size_t n = polygon.size();
  AddPieceUnlessVertical(acc, NodeOf(entry), NodeOf(polygon[a]), rowLimit, k);
  for (size_t i = a; i != l; i = (i + 1) % n) {
    AddPieceUnlessVertical(acc, NodeOf(polygon[i]), NodeOf(polygon[(i + 1) % n]), rowLimit, k);
  }
  AddPieceUnlessVertical(acc, NodeOf(polygon[l]), NodeOf(exit), rowLimit, k);
}

// Accumulates a polygon that occupies the single column k: every non-vertical edge adds its dx
// to all rows below it down to the grid's last row (the row limit is the grid's end).
void AddSingleColumn(Accumulation& acc, const Polygon& polygon, int32_t k) {
  const size_t n = polygon.size();
  for (size_t i = 0; i < n; ++i) {
    const Node a = NodeOf(polygon[i]);
    const Node b = NodeOf(polygon[(i + 1) % n]);
    if (a.x != b.x) {
      // rows from ceil(max y) down: the piece's dx, as a term to the bottom
      const int32_t below = CeilRow(Lower(a.y, b.y));
      AddPiece(acc, a, b, below, k);
      AddToRowsBelow(acc, k, below, b.x - a.x);
    }
  }
}

// One walk over the outline: the column runs, or the single column.
void Walk(Accumulation& acc, const Polygon& polygon, bool windowIsSingleColumn) {
  // A window one column wide takes everything into that column, whatever the vertices' floors
  // (vertices on its right edge belong to the next column, which has no cells).
  if (windowIsSingleColumn) {
    AddSingleColumn(acc, polygon, acc.grid.originX);
    return;
  }

  const size_t n = polygon.size();
  const int32_t firstColumn = ColumnOf(polygon[0].x);
  size_t j = 1;
  while (j < n && ColumnOf(polygon[j].x) == firstColumn) {
    ++j;
  }
  if (j == n) {
    AddSingleColumn(acc, polygon, firstColumn);
    return;
  }

  // Runs start at the first column change, j; the run that holds p[j - 1] is closed last, with
  // the exit of the crossing p[j - 1] -> p[j]. runLowest is the lowest point of the current run
  // so far (its entry and its vertices).
  const Crossing opening = AddCrossing(acc, polygon[j - 1], polygon[j]);
  const LinePoint lastExit = opening.exit;
  size_t runStart = j;
  LinePoint runEntry = opening.entry;
  int32_t runColumn = ColumnOf(polygon[j].x);
  Height runLowest = Lower(runEntry.y, HeightOf(polygon[j].y));

  for (size_t step = 1; step < n; ++step) {
    const size_t v = (j + step) % n;
    const int32_t column = ColumnOf(polygon[v].x);
    if (column == runColumn) {
      runLowest = Lower(runLowest, HeightOf(polygon[v].y));
      continue;
    }
    const size_t u = (v + n - 1) % n;
    const Crossing crossing = AddCrossing(acc, polygon[u], polygon[v]);
    AddColumnRun(acc, polygon, runStart, u, runEntry, crossing.exit,
                 CeilRow(Lower(runLowest, crossing.exit.y)));
    runStart = v;
    runEntry = crossing.entry;
    runColumn = column;
    runLowest = Lower(runEntry.y, HeightOf(polygon[v].y));
  }
  AddColumnRun(acc, polygon, runStart, j - 1, runEntry, lastExit,
               CeilRow(Lower(runLowest, lastExit.y)));
}

// True when every vertex is finite and inside the closed rectangle of `cells`.
bool VerticesInCells(const Polygon& polygon, const CellRange& cells) {
  const double left = cells.originX;
  const double top = cells.originY;
  const double right = left + static_cast<double>(cells.cols);
  const double bottom = top + static_cast<double>(cells.rows);
  // Written so that NaN coordinates fail every test.
  return std::all_of(polygon.begin(), polygon.end(), [&](const Point& p) {
    return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
  });
}

}  // namespace

void ComputeCoverage(const Bounds& window, const Polygon& polygon, CoverageGrid& grid) {
  const CellRange cells = WindowCells(window);
  ComputeCoverageInCells(cells, cells.cols == 1, polygon, grid);
}

void ComputeCoverageInCells(const CellRange& cells, bool windowIsSingleColumn,
                            const Polygon& polygon, CoverageGrid& grid) {
  grid.originX = cells.originX;
  grid.originY = cells.originY;
  grid.cols = cells.cols;
  grid.rows = cells.rows;
  grid.values.assign(cells.rows > 0 && cells.cols > 0
                         ? static_cast<size_t>(cells.rows) * static_cast<size_t>(cells.cols)
                         : 0,
                     0.0);

  // Caller errors (no cells, no vertex, a vertex outside the cells) leave the grid all zero.
  const bool validInput = cells.rows > 0 && cells.cols > 0 && !polygon.empty() &&
                          VerticesInCells(polygon, cells) &&
                          (!windowIsSingleColumn || cells.cols == 1);
  assert(validInput && "coverage kernel called outside its preconditions");
  if (!validInput) {
    return;
  }

  Accumulation acc{grid, true, false};
  Walk(acc, polygon, windowIsSingleColumn);
  if (acc.anyBelowTerm) {
    AddBelowTermsUp(grid);
  }
  acc.belowTermsWalk = false;
  Walk(acc, polygon, windowIsSingleColumn);
}

}  // namespace pintovel
