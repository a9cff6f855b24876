// Small builders for test shapes and pixel data.
#ifndef PINTOVEL_TESTS_SUPPORT_SHAPES_H
#define PINTOVEL_TESTS_SUPPORT_SHAPES_H

#include <pintovel/pintovel.h>

#include <vector>

namespace pintovel::testing {

// The rectangle [x0, x1] x [y0, y1], wound clockwise on screen (positive coverage).
inline Polygon Rect(double x0, double y0, double x1, double y1) {
  return Polygon{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

// The same rectangle wound the other way (negative coverage).
inline Polygon ReversedRect(double x0, double y0, double x1, double y1) {
  return Polygon{{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}};
}

inline PixelData EmptyPixelData(int32_t width, int32_t height) {
  PixelData data;
  data.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  data.width = width;
  data.height = height;
  return data;
}

// A front mask of `size` bits with the listed ids set.
inline FrontMask MaskWith(size_t size, std::initializer_list<int32_t> inFront) {
  FrontMask mask(size, false);
  for (int32_t id : inFront) mask[static_cast<size_t>(id)] = true;
  return mask;
}

// The weight of an entry by value: the packed member must not be bound to a double reference,
// which is what the comparison macros would do.
inline double WeightOf(const PixelWeight& entry) {
  return entry.weight;
}

inline Bounds WindowOf(int32_t width, int32_t height) {
  return Bounds{0.0, double(width), 0.0, double(height)};
}

// The closed outline through `corners`, one straight cubic per side with its control points at
// the side's ends: it flattens to each corner twice in a row, then the first corner again.
inline BezierPath StraightPath(const std::vector<Point>& corners) {
  BezierPath path{corners[0]};
  for (size_t i = 0; i < corners.size(); ++i) {
    const Point& a = corners[i];
    const Point& b = corners[(i + 1) % corners.size()];
    path.push_back(a);
    path.push_back(b);
    path.push_back(b);
  }
  return path;
}

// The rectangle [x0, x1] x [y0, y1] as a straight path, clockwise on screen.
inline BezierPath RectPath(double x0, double y0, double x1, double y1) {
  return StraightPath({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// An ellipse of four cubic quarters, clockwise on screen (y down).
inline BezierPath EllipsePath(double cx, double cy, double rx, double ry) {
  const double k = 0.5522847498307936;  // 4/3 (sqrt(2) - 1): the quarter's control distance
  return BezierPath{{cx + rx, cy}, {cx + rx, cy + k * ry}, {cx + k * rx, cy + ry},
                    {cx, cy + ry}, {cx - k * rx, cy + ry}, {cx - rx, cy + k * ry},
                    {cx - rx, cy}, {cx - rx, cy - k * ry}, {cx - k * rx, cy - ry},
                    {cx, cy - ry}, {cx + k * rx, cy - ry}, {cx + rx, cy - k * ry},
                    {cx + rx, cy}};
}

}  // namespace pintovel::testing

#endif  // PINTOVEL_TESTS_SUPPORT_SHAPES_H
