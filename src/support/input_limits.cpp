#include "support/input_limits.h"

#include <cmath>
#include <limits>

#include "support/point_box.h"

namespace pintovel {

namespace {

// A window edge whose floor and ceiling convert to int32 exactly.
bool IsCellEdge(double value) {
  return std::isfinite(value) && value >= -2147483648.0 && value <= 2147483647.0;
}

}  // namespace

bool IsAcceptedCoordinate(double value) {
  return std::fabs(value) <= kMaxCoordinate;  // false for NaN as well
}

bool IsAcceptedPolygon(const Polygon& polygon) {
  if (polygon.empty()) return true;
  // Every coordinate is accepted exactly when none is NaN and the box's bounds are accepted.
  const PointBox points = BoxOfPoints(polygon.data(), polygon.size());
  const Bounds& b = points.box;
  return points.numbers && IsAcceptedCoordinate(b.minX) && IsAcceptedCoordinate(b.maxX) &&
         IsAcceptedCoordinate(b.minY) && IsAcceptedCoordinate(b.maxY);
}

bool PixelCount(int32_t width, int32_t height, int64_t& count) {
  if (width < 0 || height < 0) return false;
  const int64_t product = static_cast<int64_t>(width) * height;
  if (product > std::numeric_limits<int32_t>::max()) return false;
  count = product;
  return true;
}

bool WindowFitsPixelData(const Bounds& window, int32_t width, int32_t height) {
  if (!IsCellEdge(window.minX) || !IsCellEdge(window.maxX) || !IsCellEdge(window.minY) ||
      !IsCellEdge(window.maxY)) {
    return false;
  }
  const int64_t cols =
      static_cast<int64_t>(std::ceil(window.maxX)) - static_cast<int64_t>(std::floor(window.minX));
  const int64_t rows =
      static_cast<int64_t>(std::ceil(window.maxY)) - static_cast<int64_t>(std::floor(window.minY));
  return cols == width && rows >= height && rows <= std::numeric_limits<int32_t>::max();
}

bool HasAllLists(const PixelData& data) {
  int64_t count = 0;
  return PixelCount(data.width, data.height, count) &&
         data.pixels.size() >= static_cast<uint64_t>(count);
}

}  // namespace pintovel
