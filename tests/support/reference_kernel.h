// The library's first exact coverage kernel, kept as the slow reference for the row kernel
// (coverage/coverage_rows.h): for one closed polygon and a rectangle of pixel cells, the
// integral over every cell of the polygon's winding number (clockwise on screen, y down,
// counts +1), computed column by column into a dense grid. Nothing is sampled; values come
// from integrals along the edges. It walks columns with strided writes and interpolates in
// long double, which is why the library no longer uses it.
#ifndef PINTOVEL_TESTS_SUPPORT_REFERENCE_KERNEL_H
#define PINTOVEL_TESTS_SUPPORT_REFERENCE_KERNEL_H

#include <pintovel/pintovel.h>

#include "coverage/coverage_grid.h"
#include "coverage/coverage_rows.h"  // WindowCells

namespace pintovel {

// Fills `grid` with the coverage of every cell of `window`: sets its origin and size to the
// window's cells and replaces its values (any previous contents are discarded).
// Requires: at least one vertex, every vertex inside the closed rectangle of the window's
// cells, and at least one row and one column. Vertices on the right or bottom edge are fine.
// Input that breaks this (checked, as are non-finite vertices) stops debug builds with an
// assertion and leaves an all-zero grid in release builds; nothing is ever written outside
// the grid.
void ComputeCoverage(const Bounds& window, const Polygon& polygon, CoverageGrid& grid);

// Fills `grid` with the coverage of the cells in `cells` only, a sub-rectangle of the window's
// cells that holds every vertex (in its closed rectangle). Each value is the one a whole-window
// run gives for that cell; cells outside `cells` would be zero up to rounding.
// `windowIsSingleColumn` says whether the whole window is one column wide, which decides how a
// polygon whose vertices reach the window's right edge is accumulated (then `cells` is that
// column too). Full-height terms run to the last row of `cells` instead of the window's, which
// changes nothing inside `cells`, so the values match a whole-window run bit for bit.
void ComputeCoverageInCells(const CellRange& cells, bool windowIsSingleColumn,
                            const Polygon& polygon, CoverageGrid& grid);

}  // namespace pintovel

#endif  // PINTOVEL_TESTS_SUPPORT_REFERENCE_KERNEL_H
