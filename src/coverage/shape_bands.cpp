#include "coverage/shape_bands.h"

#include <algorithm>

#include "coverage/shape_coverage.h"

namespace pintovel {

ShapeBands::ShapeBands(const std::vector<Polygon>& outlines, size_t count, int32_t height,
                       int32_t bandRows)
    : height_(height), bandRows_(bandRows) {
  const size_t bands = height > 0 ? static_cast<size_t>((height - 1) / bandRows) + 1 : 0;
  std::vector<RowSpan> rows(count);
  starts_.assign(bands + 1, 0);
  // Count each band's shapes, turn the counts into starts, then place the shapes in order.
  for (size_t i = 0; i < count; ++i) {
    rows[i] = RowsOfOutline(outlines[i], height);
    if (rows[i].firstRow >= rows[i].endRow) continue;
    for (size_t b = static_cast<size_t>(rows[i].firstRow / bandRows);
         b <= static_cast<size_t>((rows[i].endRow - 1) / bandRows); ++b) {
      ++starts_[b + 1];
    }
  }
  for (size_t b = 0; b < bands; ++b) starts_[b + 1] += starts_[b];
  shapes_.resize(starts_[bands]);
  std::vector<size_t> next(starts_.begin(), starts_.end() - 1);
  for (size_t i = 0; i < count; ++i) {
    if (rows[i].firstRow >= rows[i].endRow) continue;
    for (size_t b = static_cast<size_t>(rows[i].firstRow / bandRows);
         b <= static_cast<size_t>((rows[i].endRow - 1) / bandRows); ++b) {
      shapes_[next[b]++] = static_cast<uint32_t>(i);
    }
  }
}

int32_t ShapeBands::BottomOf(size_t band) const {
  return std::min(height_, TopOf(band) + bandRows_);
}

int32_t FoldBandRows(int32_t width, int32_t height, size_t shapes) {
  if (shapes <= 1 || width <= 0) return std::max(height, 1);
  return std::clamp((int32_t{1} << 14) / width, 8, std::max(height, 8));
}

}  // namespace pintovel
