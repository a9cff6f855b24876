// Elliptical arcs as cubic Bezier segments.
//
// An arc is kept in centre form: the point at angle a is
//   centre + R(rotation) (rx cos a, ry sin a),
// with angles growing clockwise on screen (y down), as in SVG. It is drawn as n cubics of
// equal sweep, n = ceil(|sweep| / 90 degrees); each cubic approximates its piece of the unit
// circle with the control distance k = 4/3 tan(delta / 4), whose largest radial error is
// about 2.7e-4 of the radius for a quarter circle.
#ifndef PINTOVEL_RENDER_ELLIPTIC_ARC_H
#define PINTOVEL_RENDER_ELLIPTIC_ARC_H

#include <optional>

#include "cubic_path.h"

namespace pintovel_render {

struct CentreArc {
  Point centre;
  double rx;
  double ry;
  double rotation;    // of the x radius, radians, clockwise on screen
  double startAngle;  // radians
  double sweepAngle;  // radians, positive clockwise on screen; |sweepAngle| <= 2 pi
};

// The SVG endpoint form (path command A) as a centre arc, following the SVG implementation
// notes: radii are made positive and scaled up when too small to reach `to`. Nothing when the
// arc draws nothing or a straight line: equal end points, or a zero radius.
std::optional<CentreArc> CentreArcFromEndpoints(Point from, Point to, double rx, double ry,
                                                double rotationDegrees, bool largeArc, bool sweep);

// The point of the ellipse at angle `angle`.
Point PointOnArc(const CentreArc& arc, double angle);

// Appends the cubics of `arc`. The path's last point is taken as the arc's start point (it is
// not written again); the final end point is `end` when given, so that an arc ends exactly
// where the path data says.
void AppendArc(BezierPath& path, const CentreArc& arc, const std::optional<Point>& end = {});

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_ELLIPTIC_ARC_H
