#include "coverage/shape_bands.h"

#include <algorithm>

#include "coverage/shape_coverage.h"

namespace pintovel {

namespace {

std::vector<RowSpan> RowsOfOutlines(const std::vector<Polygon>& outlines, size_t count,
                                    int32_t height) {
  std::vector<RowSpan> reached(count);
  for (size_t i = 0; i < count; ++i) reached[i] = RowsOfOutline(outlines[i], height);
  return reached;
}

}  // namespace

ShapeBands::ShapeBands(const std::vector<Polygon>& outlines, size_t count, int32_t height,
                       int32_t bandRows)
    : ShapeBands(RowsOfOutlines(outlines, count, height), RowSpan{0, height}, bandRows) {}

ShapeBands::ShapeBands(const std::vector<RowSpan>& reached, RowSpan rows, int32_t bandRows)
    : firstRow_(rows.firstRow), endRow_(rows.endRow), bandRows_(bandRows) {
  const size_t count = reached.size();
  const int32_t height = endRow_ - firstRow_;
  const size_t bands = height > 0 ? static_cast<size_t>((height - 1) / bandRows) + 1 : 0;
  // The bands of shape i are firstBands[i] .. lastBands[i], none when the first is larger.
  std::vector<size_t> firstBands(count, 1), lastBands(count, 0);
  starts_.assign(bands + 1, 0);
  // Count each band's shapes, turn the counts into starts, then place the shapes in order.
  for (size_t i = 0; i < count; ++i) {
    const int32_t first = std::max(reached[i].firstRow, firstRow_);
    const int32_t end = std::min(reached[i].endRow, endRow_);
    if (first >= end) continue;
    firstBands[i] = static_cast<size_t>((first - firstRow_) / bandRows);
    lastBands[i] = static_cast<size_t>((end - 1 - firstRow_) / bandRows);
    for (size_t b = firstBands[i]; b <= lastBands[i]; ++b) ++starts_[b + 1];
  }
  for (size_t b = 0; b < bands; ++b) starts_[b + 1] += starts_[b];
  shapes_.resize(starts_[bands]);
  std::vector<size_t> next(starts_.begin(), starts_.end() - 1);
  for (size_t i = 0; i < count; ++i) {
    for (size_t b = firstBands[i]; b <= lastBands[i]; ++b) {
      shapes_[next[b]++] = static_cast<uint32_t>(i);
    }
  }
}

int32_t ShapeBands::BottomOf(size_t band) const {
  return std::min(endRow_, TopOf(band) + bandRows_);
}

int32_t FoldBandRows(int32_t width, int32_t height, size_t shapes) {
  if (shapes <= 1 || width <= 0) return std::max(height, 1);
  return std::clamp((int32_t{1} << 14) / width, 8, std::max(height, 8));
}

}  // namespace pintovel
