// The shapes that reach each band of image rows, in list order. The library's own roads fold
// band by band so that the rows being changed stay in cache while every shape of the band
// passes over them; each pixel still sees the shapes in list order, so the result is that of a
// shape-by-shape pass.
#ifndef PINTOVEL_COVERAGE_SHAPE_BANDS_H
#define PINTOVEL_COVERAGE_SHAPE_BANDS_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <vector>

namespace pintovel {

class ShapeBands {
 public:
  // Bands of `bandRows` rows (the last may be shorter) over `height` rows, for the first
  // `count` outlines. An outline goes to every band its vertices' rows reach.
  ShapeBands(const std::vector<Polygon>& outlines, size_t count, int32_t height, int32_t bandRows);

  size_t bandCount() const {
    return starts_.size() - 1;
  }
  int32_t TopOf(size_t band) const {
    return static_cast<int32_t>(band) * bandRows_;
  }
  int32_t BottomOf(size_t band) const;
  // The indices of the shapes that reach `band`, increasing.
  const uint32_t* ShapesBegin(size_t band) const {
    return shapes_.data() + starts_[band];
  }
  const uint32_t* ShapesEnd(size_t band) const {
    return shapes_.data() + starts_[band + 1];
  }

 private:
  int32_t height_;
  int32_t bandRows_;
  std::vector<size_t> starts_;  // band b's shapes are shapes_[starts_[b] .. starts_[b + 1])
  std::vector<uint32_t> shapes_;
};

// Rows per band for the roads that own their data: about 64K pixels, at least 8 rows; a single
// shape gains nothing from bands and takes all rows at once.
int32_t FoldBandRows(int32_t width, int32_t height, size_t shapes);

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_SHAPE_BANDS_H
