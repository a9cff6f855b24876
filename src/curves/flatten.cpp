#include "curves/flatten.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace pintovel {

namespace {

// Thresholds of the quadratic solver: absolute, so that the caller's units decide what counts
// as a vanishing leading coefficient or a double root.
constexpr double kDegenerateCoefficient = 1e-9;

Point Sub(Point a, Point b) {
  return Point{a.x - b.x, a.y - b.y};
}

// The discriminant qb^2 - 4 qa qc and, when it is positive, its square root. The discriminant
// is quartic in the coordinates, so beyond about 1e77 the direct form overflows although the
// roots are ordinary numbers. The fallback scales the three coefficients by one power of two
// (exact, apart from underflow of terms too small to matter) and scales the square root back;
// `value` then keeps only the sign, as +-infinity. That is enough for the solver: an overflowing
// discriminant is far from the near-zero threshold.
struct Discriminant {
  double value;
  double squareRoot;  // sqrt of the discriminant when value > 0, else 0
};

Discriminant ComputeDiscriminant(double qa, double qb, double qc) {
  const double direct = qb * qb - 4.0 * qa * qc;
  if (std::isfinite(direct) || !std::isfinite(qa) || !std::isfinite(qb) || !std::isfinite(qc)) {
    return Discriminant{direct, direct > 0.0 ? std::sqrt(direct) : 0.0};
  }
  const double largest = std::fmax(std::fabs(qa), std::fmax(std::fabs(qb), std::fabs(qc)));
  int exponent = 0;
  std::frexp(largest, &exponent);
  const double sa = std::ldexp(qa, -exponent);
  const double sb = std::ldexp(qb, -exponent);
  const double sc = std::ldexp(qc, -exponent);
  const double scaled = sb * sb - 4.0 * sa * sc;  // |scaled| <= 5, finite
  if (scaled > 0.0) {
    return Discriminant{HUGE_VAL, std::ldexp(std::sqrt(scaled), exponent)};
  }
  if (scaled < 0.0) {
    return Discriminant{-HUGE_VAL, 0.0};
  }
  return Discriminant{0.0, 0.0};
}

// Signed distance of q from the line through s along the non-zero `chord`; the sign tells the
// side.
double ChordDistance(Point q, Point s, Point chord, double chordLength) {
  return ((q.y - s.y) * chord.x - (q.x - s.x) * chord.y) / chordLength;
}

// Appends the end points of the accepted pieces of [t0, t1], in increasing t; S = B(t0) is
// already in the polygon. S and E are the exact points that were evaluated (or given) for the
// piece's ends, handed down so that neighbouring pieces share bit-identical vertices.
// Termination: every kept parameter lies at least `margin` inside [t0, t1] (FilterParameters
// rejects NaN), so each child is shorter than its parent by at least `margin` and at least
// `margin` long. Depth and piece count are both at most 1 / margin.
void SubdividePiece(const CubicSegment& segment, Point s, Point e, double t0, double t1,
                    double tolerance, double margin, Polygon& polygon) {
  const Point chord = Sub(e, s);
  double roots[2];
  const int rootCount = ChordParallelParameters(segment, chord, roots);
  double kept[2];
  const int keptCount = FilterParameters(roots, rootCount, t0, t1, margin, kept);
  if (keptCount == 0) {
    polygon.push_back(e);
    return;
  }
  // S == E makes all three quadratic coefficients vanish, so a kept root means a non-zero chord;
  // within kMaxCurveCoordinate it is also long enough for its squared length not to underflow.
  // Beyond that the distances may be infinite or NaN, which only decides whether to split on.
  const double chordLength = std::sqrt(chord.x * chord.x + chord.y * chord.y);
  Point q[2];
  double hi = 0.0;
  double lo = 0.0;
  for (int i = 0; i < keptCount; ++i) {
    q[i] = EvaluateCubic(segment, kept[i]);
    const double d = ChordDistance(q[i], s, chord, chordLength);
    if (d > hi) hi = d;
    if (d < lo) lo = d;
  }
  if (!(hi - lo > tolerance)) {
    polygon.push_back(e);
    return;
  }
  SubdividePiece(segment, s, q[0], t0, kept[0], tolerance, margin, polygon);
  if (keptCount == 2) {
    SubdividePiece(segment, q[0], q[1], kept[0], kept[1], tolerance, margin, polygon);
  }
  SubdividePiece(segment, q[keptCount - 1], e, kept[keptCount - 1], t1, tolerance, margin, polygon);
}

bool IsFlattenableCoordinate(double v) {
  // NaN fails the comparison, infinities exceed the bound.
  return std::fabs(v) <= kMaxCurveCoordinate;
}

}  // namespace

CubicSegment MakeCubicSegment(Point p0, Point p1, Point p2, Point p3) {
  CubicSegment s;
  s.p0 = p0;
  s.p1 = p1;
  s.p2 = p2;
  s.p3 = p3;
  s.a3 = Point{p3.x - 3.0 * p2.x + 3.0 * p1.x - p0.x, p3.y - 3.0 * p2.y + 3.0 * p1.y - p0.y};
  s.a2 = Point{3.0 * p2.x - 6.0 * p1.x + 3.0 * p0.x, 3.0 * p2.y - 6.0 * p1.y + 3.0 * p0.y};
  s.a1 = Point{3.0 * p1.x - 3.0 * p0.x, 3.0 * p1.y - 3.0 * p0.y};
  s.a0 = p0;
  return s;
}

Point EvaluateCubic(const CubicSegment& segment, double t) {
  const double t2 = t * t;
  const double t3 = t2 * t;
  return Point{segment.a3.x * t3 + segment.a2.x * t2 + segment.a1.x * t + segment.a0.x,
               segment.a3.y * t3 + segment.a2.y * t2 + segment.a1.y * t + segment.a0.y};
}

int SolveQuadratic(double qa, double qb, double qc, double roots[2]) {
  if (std::fabs(qa) < kDegenerateCoefficient) {
    if (std::fabs(qb) < kDegenerateCoefficient) return 0;
    roots[0] = -qc / qb;
    return 1;
  }
  const Discriminant disc = ComputeDiscriminant(qa, qb, qc);
  if (std::fabs(disc.value) < kDegenerateCoefficient) {
    roots[0] = (qb / qa) * -0.5;
    return 1;
  }
  if (disc.value > 0.0) {
    roots[0] = (-qb - disc.squareRoot) / qa * 0.5;
    roots[1] = (disc.squareRoot - qb) / qa * 0.5;
    return 2;
  }
  // Negative, or NaN from non-finite coefficients: no real root.
  return 0;
}

int ChordParallelParameters(const CubicSegment& segment, Point chord, double roots[2]) {
  const Point d0 = Sub(segment.p1, segment.p0);
  const Point d1 = Sub(segment.p2, segment.p1);
  const Point d2 = Sub(segment.p3, segment.p2);
  const double cx = chord.x;
  const double cy = chord.y;
  // cross(B'(t) / 3, chord) = qa t^2 + qb t + qc.
  const double qa = cy * (d0.x - 2.0 * d1.x + d2.x) - cx * (d0.y - 2.0 * d1.y + d2.y);
  const double qb = 2.0 * (cy * (d1.x - d0.x) - cx * (d1.y - d0.y));
  const double qc = cy * d0.x - cx * d0.y;
  return SolveQuadratic(qa, qb, qc, roots);
}

int FilterParameters(double roots[2], int count, double t0, double t1, double margin,
                     double kept[2]) {
  if (count > 2) count = 2;
  if (count == 2 && roots[1] < roots[0]) std::swap(roots[0], roots[1]);
  int keptCount = 0;
  double prev = t0;
  for (int i = 0; i < count; ++i) {
    const double r = roots[i];
    // Written so that NaN (from garbage coefficients) is skipped rather than kept: a kept root
    // must be provably inside the piece for the recursion to shrink.
    if (!(r >= prev + margin)) continue;
    if (!(r <= t1 - margin)) break;
    kept[keptCount++] = r;
    prev = r;
  }
  return keptCount;
}

void FlattenSegment(const CubicSegment& segment, double tolerance, double margin,
                    Polygon& polygon) {
  if (!(margin >= kParameterMargin)) margin = kParameterMargin;
  polygon.push_back(segment.p0);
  SubdividePiece(segment, segment.p0, segment.p3, 0.0, 1.0, tolerance, margin, polygon);
}

void FlattenPath(const BezierPath& path, Polygon& polygon) {
  const std::size_t segmentCount = path.size() < 4 ? 0 : (path.size() - 1) / 3;
  for (std::size_t k = 0; k < segmentCount; ++k) {
    const CubicSegment segment =
        MakeCubicSegment(path[3 * k], path[3 * k + 1], path[3 * k + 2], path[3 * k + 3]);
    FlattenSegment(segment, kFlattenTolerance, kParameterMargin, polygon);
  }
}

void FlattenPaths(const std::vector<BezierPath>& paths, std::vector<Polygon>& polygons) {
  polygons.resize(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) FlattenPath(paths[i], polygons[i]);
}

bool IsFlattenablePath(const BezierPath& path) {
  const std::size_t segmentCount = path.size() < 4 ? 0 : (path.size() - 1) / 3;
  const std::size_t used = segmentCount == 0 ? 0 : 3 * segmentCount + 1;
  for (std::size_t i = 0; i < used; ++i) {
    if (!IsFlattenableCoordinate(path[i].x) || !IsFlattenableCoordinate(path[i].y)) return false;
  }
  return true;
}

}  // namespace pintovel
