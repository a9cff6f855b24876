// Cubic outlines in the library's BezierPath layout: P0, then C1, C2, P for every segment.
// Every drawing primitive of the tool ends up as such a path; lines and quadratics are stored
// as the exact cubics that trace them.
#ifndef PINTOVEL_RENDER_CUBIC_PATH_H
#define PINTOVEL_RENDER_CUBIC_PATH_H

#include <cstddef>
#include <vector>

#include "pintovel/pintovel.h"

namespace pintovel_render {

using pintovel::BezierPath;
using pintovel::Point;

inline Point operator+(Point a, Point b) {
  return {a.x + b.x, a.y + b.y};
}
inline Point operator-(Point a, Point b) {
  return {a.x - b.x, a.y - b.y};
}
inline Point operator*(double k, Point a) {
  return {k * a.x, k * a.y};
}
inline bool operator==(Point a, Point b) {
  return a.x == b.x && a.y == b.y;
}
inline bool operator!=(Point a, Point b) {
  return !(a == b);
}

// a.x * b.y - a.y * b.x: positive when b lies clockwise of a on screen (y down).
inline double Cross(Point a, Point b) {
  return a.x * b.y - a.y * b.x;
}

// Number of whole cubic segments held by a path.
inline std::size_t SegmentCount(const BezierPath& path) {
  return path.empty() ? 0 : (path.size() - 1) / 3;
}

// The straight segment to `to` as a cubic: control points at 1/3 and 2/3 of the chord.
// `path` must already hold its start point.
void AppendLine(BezierPath& path, Point to);

// The quadratic with control point `control` as the identical cubic
// (C1 = P0 + 2/3 (Q - P0), C2 = P1 + 2/3 (Q - P1)).
void AppendQuadratic(BezierPath& path, Point control, Point to);

void AppendCubic(BezierPath& path, Point c1, Point c2, Point to);

// B(t) = (1-t)^3 P0 + 3t(1-t)^2 C1 + 3t^2(1-t) C2 + t^3 P1.
Point EvaluateCubic(Point p0, Point c1, Point c2, Point p1, double t);

// The point at parameter t of segment `segment` of the path.
Point EvaluateSegment(const BezierPath& path, std::size_t segment, double t);

// Exact signed area enclosed by the path, closed by the straight edge from its last point
// back to its first. Positive when the outline runs clockwise on screen (y down). Per segment:
//   1/2 \int B x B' dt = (6 P0xC1 + 3 P0xC2 + P0xP1 + 3 C1xC2 + 3 C1xP1 + 6 C2xP1) / 20.
double SignedArea(const BezierPath& path);

// The same outline traversed the other way.
BezierPath ReversePath(const BezierPath& path);

// Adds a straight segment back to the first point unless the path already ends there.
void ClosePath(BezierPath& path);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_CUBIC_PATH_H
