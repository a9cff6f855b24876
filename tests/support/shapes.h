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

}  // namespace pintovel::testing

#endif  // PINTOVEL_TESTS_SUPPORT_SHAPES_H
