// The box of a polygon's vertices in one pass, for the checks and clip decisions that each layer
// makes on its own polygons.
#ifndef PINTOVEL_SUPPORT_POINT_BOX_H
#define PINTOVEL_SUPPORT_POINT_BOX_H

#include <pintovel/pintovel.h>

#include <cstddef>

#if defined(__SSE2__)
#  include <emmintrin.h>
#endif

namespace pintovel {

struct PointBox {
  Bounds box;    // the smallest box holding every vertex; meaningful only when `numbers`
  bool numbers;  // no coordinate is NaN
};

// The box of points[0] .. points[count - 1], count >= 1. Each bound is the first vertex's value
// until a later one is strictly beyond it, so of equal values (+0 and -0) the earliest is kept.
inline PointBox BoxOfPoints(const Point* points, size_t count) {
#if defined(__SSE2__)
  // A Point is one (x, y) pair of lanes, loaded from its x. _mm_min_pd(v, low) is v < low ? v : low
  // per lane, the same choice as the scalar loop below; a NaN lane is caught by the unordered
  // compare.
  static_assert(sizeof(Point) == 2 * sizeof(double), "a Point is two packed doubles");
  __m128d low = _mm_loadu_pd(&points[0].x);
  __m128d high = low;
  __m128d unordered = _mm_cmpunord_pd(low, low);
  for (size_t i = 1; i < count; ++i) {
    const __m128d v = _mm_loadu_pd(&points[i].x);
    low = _mm_min_pd(v, low);
    high = _mm_max_pd(v, high);
    unordered = _mm_or_pd(unordered, _mm_cmpunord_pd(v, v));
  }
  double lows[2];
  double highs[2];
  _mm_storeu_pd(lows, low);
  _mm_storeu_pd(highs, high);
  return PointBox{Bounds{lows[0], highs[0], lows[1], highs[1]}, _mm_movemask_pd(unordered) == 0};
#else
  Bounds box{points[0].x, points[0].x, points[0].y, points[0].y};
  bool numbers = true;
  for (size_t i = 0; i < count; ++i) {
    const Point& p = points[i];
    numbers = numbers && p.x == p.x && p.y == p.y;
    box.minX = p.x < box.minX ? p.x : box.minX;
    box.maxX = p.x > box.maxX ? p.x : box.maxX;
    box.minY = p.y < box.minY ? p.y : box.minY;
    box.maxY = p.y > box.maxY ? p.y : box.maxY;
  }
  return PointBox{box, numbers};
#endif
}

}  // namespace pintovel

#endif  // PINTOVEL_SUPPORT_POINT_BOX_H
