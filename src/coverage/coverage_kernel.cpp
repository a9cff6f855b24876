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
#include "coverage/coverage_kernel.h"

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

// The height row + offset, for an offset of any sign and size.
Height MakeHeight(int32_t row, long double offset) {
  const long double whole = std::floor(offset);
  Height h{row + static_cast<int32_t>(whole), static_cast<double>(offset - whole)};
  // The fraction may round up to 1 (from just below 1, or for tiny negative offsets).
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

// The last row of the grid.
int32_t LastRow(const CoverageGrid& grid) {
  return grid.originY + grid.rows - 1;
}

// values[(k - originX) + (r - originY) * cols] += v for every row r in firstRow .. lastRow of
// column k; nothing when lastRow < firstRow. The accumulation never asks for a cell outside the
// grid (the vertices are checked against it up front and crossing heights stay within their
// edge's y range); should it ever do so, debug builds stop here and release builds drop the
// whole request rather than write outside `values`.
void AddToRows(CoverageGrid& grid, int32_t k, int32_t firstRow, int32_t lastRow, double v) {
  if (lastRow < firstRow) {
    return;
  }
  const int64_t col = int64_t{k} - grid.originX;
  const int64_t row0 = int64_t{firstRow} - grid.originY;
  const int64_t row1 = int64_t{lastRow} - grid.originY;
  const bool inGrid = col >= 0 && col < grid.cols && row0 >= 0 && row1 < grid.rows;
  assert(inGrid && "coverage write outside the grid");
  if (!inGrid) {
    return;
  }
  const size_t stride = static_cast<size_t>(grid.cols);
  size_t index = static_cast<size_t>(col) + static_cast<size_t>(row0) * stride;
  for (int64_t row = row0; row <= row1; ++row, index += stride) {
    grid.values[index] += v;
  }
}

void AddToCell(CoverageGrid& grid, int32_t k, int32_t row, double v) {
  AddToRows(grid, k, row, row, v);
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
void AddPiece(CoverageGrid& grid, const Node& a, const Node& b, int32_t rowLimit, int32_t k) {
  const double dx = b.x - a.x;
  const int32_t lo = Upper(a.y, b.y).row;
  const int32_t hi = CeilRow(Lower(a.y, b.y));
  AddToRows(grid, k, hi, rowLimit - 1, dx);
  if (hi == lo) {
    return;
  }
  if (hi == lo + 1) {
    AddToCell(grid, k, lo, (DistanceAbove(a.y, hi) + DistanceAbove(b.y, hi)) * 0.5 * dx);
    return;
  }
  const double m = dx / Rise(a.y, b.y);
  if (IsBelow(b.y, a.y)) {
    const double inTop = DistanceAbove(a.y, lo + 1);
    const double inBottom = DistanceBelow(b.y, hi - 1);
    AddToCell(grid, k, lo, m * inTop * inTop * 0.5);
    for (int32_t r = lo + 1; r <= hi - 2; ++r) {
      // r + 1/2 - a.y
      AddToCell(grid, k, r, m * ((static_cast<double>(r - a.y.row) + 0.5) - a.y.frac));
    }
    AddToCell(grid, k, hi - 1, dx - m * inBottom * inBottom * 0.5);
  } else {
    const double inTop = DistanceAbove(b.y, lo + 1);
    const double inBottom = DistanceBelow(a.y, hi - 1);
    AddToCell(grid, k, lo, -(m * inTop * inTop * 0.5));
    for (int32_t r = lo + 1; r <= hi - 2; ++r) {
      // b.y - (r + 1/2)
      AddToCell(grid, k, r, m * ((static_cast<double>(b.y.row - r) - 0.5) + b.y.frac));
    }
    AddToCell(grid, k, hi - 1, dx + m * inBottom * inBottom * 0.5);
  }
}

// AddPiece for pieces that may be vertical; vertical ones (equal x) contribute nothing.
void AddPieceUnlessVertical(CoverageGrid& grid, const Node& a, const Node& b, int32_t rowLimit,
                            int32_t k) {
  if (a.x != b.x) {
    AddPiece(grid, a, b, rowLimit, k);
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
Crossing AddCrossing(CoverageGrid& grid, const Point& s, const Point& e) {
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
  const int32_t lastRow = LastRow(grid);

  if (e.x > s.x) {
    const int32_t first = ColumnOf(s.x) + 1;
    const int32_t last = ColumnOf(e.x);
    Height left = heightAt(first);
    const LinePoint exit{first, left};
    for (int32_t k = first; k < last; ++k) {
      const Height right = heightAt(k + 1);
      const int32_t rowLimit = CeilRow(Lower(left, right));
      AddPiece(grid, Node{static_cast<double>(k), left}, Node{static_cast<double>(k + 1), right},
               rowLimit, k);
      AddToRows(grid, k, rowLimit, lastRow, 1.0);
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
    AddPiece(grid, Node{static_cast<double>(k + 1), right}, Node{static_cast<double>(k), left},
             rowLimit, k);
    AddToRows(grid, k, rowLimit, lastRow, -1.0);
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
void AddColumnRun(CoverageGrid& grid, const Polygon& polygon, size_t a, size_t l,
                  const LinePoint& entry, const LinePoint& exit, int32_t rowLimit) {
  const int32_t lastRow = LastRow(grid);
  int32_t k;
  if (entry.line == exit.line) {
    k = ColumnOf(polygon[a].x) == entry.line ? entry.line : entry.line - 1;
  } else if (exit.line == entry.line + 1) {
    k = entry.line;
    AddToRows(grid, k, rowLimit, lastRow, 1.0);
  } else {
    assert(exit.line == entry.line - 1);
    k = exit.line;
    AddToRows(grid, k, rowLimit, lastRow, -1.0);
  }

  const size_t n = polygon.size();
  AddPieceUnlessVertical(grid, NodeOf(entry), NodeOf(polygon[a]), rowLimit, k);
  for (size_t i = a; i != l; i = (i + 1) % n) {
    AddPieceUnlessVertical(grid, NodeOf(polygon[i]), NodeOf(polygon[(i + 1) % n]), rowLimit, k);
  }
  AddPieceUnlessVertical(grid, NodeOf(polygon[l]), NodeOf(exit), rowLimit, k);
}

// Accumulates a polygon that occupies the single column k: every non-vertical edge adds its dx
// to all rows below it down to the grid's last row, so the row limit is the grid's end.
void AddSingleColumn(CoverageGrid& grid, const Polygon& polygon, int32_t k) {
  const size_t n = polygon.size();
  const int32_t endRow = LastRow(grid) + 1;
  for (size_t i = 0; i < n; ++i) {
    AddPieceUnlessVertical(grid, NodeOf(polygon[i]), NodeOf(polygon[(i + 1) % n]), endRow, k);
  }
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

CellRange WindowCells(const Bounds& window) {
  const double left = std::floor(window.minX);
  const double top = std::floor(window.minY);
  // The differences are taken in double, where they are exact, before narrowing.
  return CellRange{static_cast<int32_t>(left), static_cast<int32_t>(top),
                   static_cast<int32_t>(std::ceil(window.maxX) - left),
                   static_cast<int32_t>(std::ceil(window.maxY) - top)};
}

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

  // A window one column wide takes everything into that column, whatever the vertices' floors
  // (vertices on its right edge belong to the next column, which has no cells).
  if (windowIsSingleColumn) {
    AddSingleColumn(grid, polygon, cells.originX);
    return;
  }

  const size_t n = polygon.size();
  const int32_t firstColumn = ColumnOf(polygon[0].x);
  size_t j = 1;
  while (j < n && ColumnOf(polygon[j].x) == firstColumn) {
    ++j;
  }
  if (j == n) {
    AddSingleColumn(grid, polygon, firstColumn);
    return;
  }

  // Runs start at the first column change, j; the run that holds p[j - 1] is closed last, with
  // the exit of the crossing p[j - 1] -> p[j]. runLowest is the lowest point of the current run
  // so far (its entry and its vertices).
  const Crossing opening = AddCrossing(grid, polygon[j - 1], polygon[j]);
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
    const Crossing crossing = AddCrossing(grid, polygon[u], polygon[v]);
    AddColumnRun(grid, polygon, runStart, u, runEntry, crossing.exit,
                 CeilRow(Lower(runLowest, crossing.exit.y)));
    runStart = v;
    runEntry = crossing.entry;
    runColumn = column;
    runLowest = Lower(runEntry.y, HeightOf(polygon[v].y));
  }
  AddColumnRun(grid, polygon, runStart, j - 1, runEntry, lastExit,
               CeilRow(Lower(runLowest, lastExit.y)));
}

}  // namespace pintovel
