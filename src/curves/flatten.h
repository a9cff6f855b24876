// Adaptive flattening of cubic Bezier paths by chord-band subdivision: a piece of a cubic is
// split at the points where it lies farthest from its chord, on either side, until the band
// holding those points around the chord is at most `tolerance` wide. Works in the path's own
// units.
#ifndef PINTOVEL_CURVES_FLATTEN_H
#define PINTOVEL_CURVES_FLATTEN_H

#include <pintovel/pintovel.h>

namespace pintovel {

// One cubic segment with its power-basis coefficients, per coordinate:
// B(t) = a3 t^3 + a2 t^2 + a1 t + a0, with a3 = p3 - 3 p2 + 3 p1 - p0, a2 = 3 p2 - 6 p1 + 3 p0,
// a1 = 3 p1 - 3 p0, a0 = p0; B(0) = p0, B(1) = p3.
struct CubicSegment {
  Point p0, p1, p2, p3;
  Point a3, a2, a1, a0;
};

constexpr double kFlattenTolerance = 0.1;
constexpr double kParameterMargin = 0.001;

CubicSegment MakeCubicSegment(Point p0, Point p1, Point p2, Point p3);
Point EvaluateCubic(const CubicSegment& segment, double t);

// Real roots of qa t^2 + qb t + qc = 0, written to `roots`; returns how many (0, 1 or 2).
// Thresholds are absolute with strict comparisons: |qa| < 1e-9 gives the linear root -qc / qb
// (none when also |qb| < 1e-9); a discriminant with magnitude below 1e-9 gives the double root.
// Two roots come in the order (-qb - sqrt(disc)) / 2qa, then (sqrt(disc) - qb) / 2qa, which is
// descending when qa < 0. Non-finite coefficients give no root or NaN roots.
int SolveQuadratic(double qa, double qb, double qc, double roots[2]);

// Parameters over the whole segment at which B'(t) is parallel to `chord`: the coefficients
// come from the segment's control legs, only the chord belongs to the piece being split. A
// zero chord gives no root.
int ChordParallelParameters(const CubicSegment& segment, Point chord, double roots[2]);

// The roots that may split the piece [t0, t1], ascending: each at least `margin` inside the
// piece and at least `margin` after the previous kept one. Returns how many. A root too close
// to t0 or to the previous kept one is skipped; the first root beyond t1 - margin ends the
// scan. NaN roots are never kept. Sorts `roots` in place.
int FilterParameters(double roots[2], int count, double t0, double t1, double margin,
                     double kept[2]);

// Appends p0, then the end point of every accepted piece in increasing t (the last is p3).
// A piece is split at its kept chord-parallel parameters while their band around the chord is
// wider than `tolerance`. Every piece is at least `margin` long in t, so a segment yields at
// most 1 / margin pieces and the recursion is at most 1 / margin deep, whatever the input (NaN
// included). A margin below kParameterMargin, or NaN, is raised to kParameterMargin to keep
// those bounds at 1000.
void FlattenSegment(const CubicSegment& segment, double tolerance, double margin, Polygon& polygon);

// Appends the flattening of every whole segment of `path` to `polygon` (not cleared first).
// Every joint appears twice in a row; nothing is merged.
void FlattenPath(const BezierPath& path, Polygon& polygon);

// Resizes `polygons` to paths.size() (existing entries keep their vertices) and runs
// FlattenPath on each pair in order.
void FlattenPaths(const std::vector<BezierPath>& paths, std::vector<Polygon>& polygons);

// Largest coordinate magnitude the flattening accepts: squares of coordinate differences stay
// far from overflow, so every coefficient and chord product is finite.
constexpr double kMaxCurveCoordinate = 1e100;

// True when every point of the path's whole segments is finite and within
// kMaxCurveCoordinate; points after the last whole segment are not read.
bool IsFlattenablePath(const BezierPath& path);

}  // namespace pintovel

#endif  // PINTOVEL_CURVES_FLATTEN_H
