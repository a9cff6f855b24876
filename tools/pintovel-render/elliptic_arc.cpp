#include "elliptic_arc.h"

#include <algorithm>
#include <cmath>

namespace pintovel_render {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Signed angle from u to v, in (-pi, pi].
double AngleBetween(Point u, Point v) {
  return std::atan2(Cross(u, v), u.x * v.x + u.y * v.y);
}

// Maps a point of the unit circle frame onto the ellipse.
Point MapFromUnitCircle(const CentreArc& arc, Point unit) {
  const double c = std::cos(arc.rotation);
  const double s = std::sin(arc.rotation);
  const double ex = arc.rx * unit.x;
  const double ey = arc.ry * unit.y;
  return {arc.centre.x + c * ex - s * ey, arc.centre.y + s * ex + c * ey};
}

}  // namespace

std::optional<CentreArc> CentreArcFromEndpoints(Point from, Point to, double rx, double ry,
                                                double rotationDegrees, bool largeArc, bool sweep) {
  if (from == to) return std::nullopt;
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (rx == 0.0 || ry == 0.0) return std::nullopt;

  const double phi = std::fmod(rotationDegrees, 360.0) * kPi / 180.0;
  const double c = std::cos(phi);
  const double s = std::sin(phi);
  // (x1', y1') = R(-phi) (from - to) / 2: the start point in the ellipse's own frame, with
  // the chord's midpoint as origin.
  const double hx = 0.5 * (from.x - to.x);
  const double hy = 0.5 * (from.y - to.y);
  const double x1 = c * hx + s * hy;
  const double y1 = -s * hx + c * hy;

  const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
  if (lambda > 1.0) {
    const double grow = std::sqrt(lambda);
    rx *= grow;
    ry *= grow;
  }
  const double rx2 = rx * rx;
  const double ry2 = ry * ry;
  const double numerator = rx2 * ry2 - rx2 * y1 * y1 - ry2 * x1 * x1;
  const double denominator = rx2 * y1 * y1 + ry2 * x1 * x1;
  double coefficient = std::sqrt(std::max(0.0, numerator / denominator));
  if (largeArc == sweep) coefficient = -coefficient;
  const double cx1 = coefficient * rx * y1 / ry;
  const double cy1 = -coefficient * ry * x1 / rx;

  CentreArc arc{};
  arc.rx = rx;
  arc.ry = ry;
  arc.rotation = phi;
  arc.centre = {c * cx1 - s * cy1 + 0.5 * (from.x + to.x),
                s * cx1 + c * cy1 + 0.5 * (from.y + to.y)};
  const Point u{(x1 - cx1) / rx, (y1 - cy1) / ry};
  const Point v{(-x1 - cx1) / rx, (-y1 - cy1) / ry};
  arc.startAngle = std::atan2(u.y, u.x);
  double sweepAngle = AngleBetween(u, v);
  if (!sweep && sweepAngle > 0.0) sweepAngle -= 2.0 * kPi;
  if (sweep && sweepAngle < 0.0) sweepAngle += 2.0 * kPi;
  arc.sweepAngle = sweepAngle;
  return arc;
}

Point PointOnArc(const CentreArc& arc, double angle) {
  return MapFromUnitCircle(arc, {std::cos(angle), std::sin(angle)});
}

void AppendArc(BezierPath& path, const CentreArc& arc, const std::optional<Point>& end) {
  const double quarter = 0.5 * kPi;
  // The small allowance keeps an exact quarter (or half, ...) from becoming one piece more.
  const int pieces =
      std::max(1, static_cast<int>(std::ceil(std::fabs(arc.sweepAngle) / quarter - 1e-9)));
  const double delta = arc.sweepAngle / pieces;
  const double k = 4.0 / 3.0 * std::tan(delta / 4.0);
  for (int i = 0; i < pieces; ++i) {
    const double a0 = arc.startAngle + i * delta;
    const double a1 = a0 + delta;
    const Point e0{std::cos(a0), std::sin(a0)};
    const Point e1{std::cos(a1), std::sin(a1)};
    const Point c1{e0.x - k * e0.y, e0.y + k * e0.x};
    const Point c2{e1.x + k * e1.y, e1.y - k * e1.x};
    const bool last = i + 1 == pieces;
    path.push_back(MapFromUnitCircle(arc, c1));
    path.push_back(MapFromUnitCircle(arc, c2));
    path.push_back(last && end ? *end : MapFromUnitCircle(arc, e1));
  }
}

}  // namespace pintovel_render
