#include "basic_shapes.h"

#include "elliptic_arc.h"

namespace pintovel_render {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A quarter of the ellipse centred at `centre`, from angle `start` (radians) clockwise.
void AppendCorner(BezierPath& path, Point centre, double rx, double ry, double start) {
  AppendArc(path, CentreArc{centre, rx, ry, 0.0, start, 0.5 * kPi});
}

}  // namespace

BezierPath RectangleOutline(double x, double y, double width, double height, double rx, double ry) {
  const double right = x + width;
  const double bottom = y + height;
  if (rx <= 0.0 || ry <= 0.0) {
    BezierPath path{{x, y}};
    AppendLine(path, {right, y});
    AppendLine(path, {right, bottom});
    AppendLine(path, {x, bottom});
    AppendLine(path, {x, y});
    return path;
  }
  // Top edge, top-right corner, right edge, ... ; an edge of zero length is left out.
  BezierPath path{{x + rx, y}};
  if (right - rx > x + rx) AppendLine(path, {right - rx, y});
  AppendCorner(path, {right - rx, y + ry}, rx, ry, -0.5 * kPi);
  if (bottom - ry > y + ry) AppendLine(path, {right, bottom - ry});
  AppendCorner(path, {right - rx, bottom - ry}, rx, ry, 0.0);
  if (x + rx < right - rx) AppendLine(path, {x + rx, bottom});
  AppendCorner(path, {x + rx, bottom - ry}, rx, ry, 0.5 * kPi);
  if (y + ry < bottom - ry) AppendLine(path, {x, y + ry});
  AppendCorner(path, {x + rx, y + ry}, rx, ry, kPi);
  path.back() = path.front();
  return path;
}

BezierPath EllipseOutline(double cx, double cy, double rx, double ry) {
  BezierPath path{{cx + rx, cy}};
  AppendArc(path, CentreArc{{cx, cy}, rx, ry, 0.0, 0.0, 2.0 * kPi}, Point{cx + rx, cy});
  return path;
}

BezierPath PolygonOutline(const std::vector<Point>& points) {
  if (points.size() < 2) return {};
  BezierPath path{points.front()};
  for (std::size_t i = 1; i < points.size(); ++i) AppendLine(path, points[i]);
  ClosePath(path);
  return path;
}

}  // namespace pintovel_render
