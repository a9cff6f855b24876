#include "cubic_path.h"

namespace pintovel_render {

void AppendLine(BezierPath& path, Point to) {
  const Point from = path.back();
  const Point step = (1.0 / 3.0) * (to - from);
  path.push_back(from + step);
  path.push_back(to - step);
  path.push_back(to);
}

void AppendQuadratic(BezierPath& path, Point control, Point to) {
  const Point from = path.back();
  path.push_back(from + (2.0 / 3.0) * (control - from));
  path.push_back(to + (2.0 / 3.0) * (control - to));
  path.push_back(to);
}

void AppendCubic(BezierPath& path, Point c1, Point c2, Point to) {
  path.push_back(c1);
  path.push_back(c2);
  path.push_back(to);
}

Point EvaluateCubic(Point p0, Point c1, Point c2, Point p1, double t) {
  const double s = 1.0 - t;
  const double b0 = s * s * s;
  const double b1 = 3.0 * t * s * s;
  const double b2 = 3.0 * t * t * s;
  const double b3 = t * t * t;
  return {b0 * p0.x + b1 * c1.x + b2 * c2.x + b3 * p1.x,
          b0 * p0.y + b1 * c1.y + b2 * c2.y + b3 * p1.y};
}

Point EvaluateSegment(const BezierPath& path, std::size_t segment, double t) {
  const std::size_t i = 3 * segment;
  return EvaluateCubic(path[i], path[i + 1], path[i + 2], path[i + 3], t);
}

double SignedArea(const BezierPath& path) {
  if (path.empty()) return 0.0;
  double twentyTimes = 0.0;
  const std::size_t segments = SegmentCount(path);
  for (std::size_t s = 0; s < segments; ++s) {
    const Point p0 = path[3 * s];
    const Point c1 = path[3 * s + 1];
    const Point c2 = path[3 * s + 2];
    const Point p1 = path[3 * s + 3];
    twentyTimes += 6.0 * Cross(p0, c1) + 3.0 * Cross(p0, c2) + Cross(p0, p1) + 3.0 * Cross(c1, c2) +
                   3.0 * Cross(c1, p1) + 6.0 * Cross(c2, p1);
  }
  const Point last = path[3 * segments];
  return twentyTimes / 20.0 + 0.5 * Cross(last, path.front());
}

BezierPath ReversePath(const BezierPath& path) {
  const std::size_t used = path.empty() ? 0 : 3 * SegmentCount(path) + 1;
  return BezierPath(path.rbegin() + static_cast<std::ptrdiff_t>(path.size() - used), path.rend());
}

void ClosePath(BezierPath& path) {
  if (!path.empty() && path.back() != path.front()) AppendLine(path, path.front());
}

}  // namespace pintovel_render
