// The SVG basic shapes as cubic subpaths in user units. Each outline runs clockwise on
// screen (y down): the direction in which the library counts coverage as positive.
#ifndef PINTOVEL_RENDER_BASIC_SHAPES_H
#define PINTOVEL_RENDER_BASIC_SHAPES_H

#include <vector>

#include "cubic_path.h"

namespace pintovel_render {

// A rectangle with corner radii rx, ry (already resolved: non-negative and at most half the
// width and height respectively; zero for square corners). Starts at (x + rx, y).
BezierPath RectangleOutline(double x, double y, double width, double height, double rx, double ry);

// An axis-aligned ellipse as four quarter arcs, starting at (cx + rx, cy).
BezierPath EllipseOutline(double cx, double cy, double rx, double ry);

// A polygon or polyline through `points`, closed back to the first point (fill closes a
// polyline too). Empty for fewer than two points.
BezierPath PolygonOutline(const std::vector<Point>& points);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_BASIC_SHAPES_H
