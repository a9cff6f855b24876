// The shapes that reach each band of image rows, in list order. The library's own roads fold
// band by band so that the rows being changed stay in cache while every shape of the band
// passes over them; each pixel still sees the shapes in list order, so the result is that of a
// shape-by-shape pass.
#ifndef PINTOVEL_COVERAGE_SHAPE_BANDS_H
#define PINTOVEL_COVERAGE_SHAPE_BANDS_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <vector>

#include "coverage/shape_coverage.h"

namespace pintovel {

class ShapeBands {
 public:
  // Bands of `bandRows` rows (the last may be shorter) over `height` rows, for the first
  // `count` outlines. An outline goes to every band its vertices' rows reach.
  ShapeBands(const std::vector<Polygon>& outlines, size_t count, int32_t height, int32_t bandRows);
  // The same over rows.firstRow .. rows.endRow - 1, for shapes whose rows the caller knows:
  // shape i reaches rows reached[i].firstRow .. reached[i].endRow - 1 (none when empty).
  ShapeBands(const std::vector<RowSpan>& reached, RowSpan rows, int32_t bandRows);

  size_t bandCount() const {
    return starts_.size() - 1;
  }
  int32_t TopOf(size_t band) const {
    return firstRow_ + static_cast<int32_t>(band) * bandRows_;
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
  int32_t firstRow_;
  int32_t endRow_;
  int32_t bandRows_;
  std::vector<size_t> starts_;  // band b's shapes are shapes_[starts_[b] .. starts_[b + 1])
  std::vector<uint32_t> shapes_;
};

// Rows per band for the roads that own their data: about 16K pixels, at least 8 rows; a single
// shape gains nothing from bands and takes all rows at once.
int32_t FoldBandRows(int32_t width, int32_t height, size_t shapes);

// Visits the first `count` outlines band by band over `height` rows (FoldBandRows high), each
// band's shapes in list order: visit(index, top, bottom) for every shape reaching rows
// top .. bottom - 1. Stops as soon as visit returns false, and returns whether none did.
template <class Visit>
bool ForEachShapeOfBand(const std::vector<Polygon>& outlines, size_t count, int32_t width,
                        int32_t height, Visit visit) {
  const ShapeBands bands(outlines, count, height, FoldBandRows(width, height, count));
  for (size_t b = 0; b < bands.bandCount(); ++b) {
    for (const uint32_t* i = bands.ShapesBegin(b); i != bands.ShapesEnd(b); ++i) {
      if (!visit(size_t{*i}, bands.TopOf(b), bands.BottomOf(b))) return false;
    }
  }
  return true;
}

// Measures the first `count` outlines over the image {0, width, 0, height} band by band, each
// band's shapes in list order, and hands every shape's measured rows of the band to
// apply(index, rows). Stops as soon as apply returns false, and returns whether none did.
template <class Apply>
bool MeasureShapesByBand(const std::vector<Polygon>& outlines, size_t count, int32_t width,
                         int32_t height, Apply apply) {
  const Bounds image{0.0, double(width), 0.0, double(height)};
  MeasureScratch scratch;
  return ForEachShapeOfBand(outlines, count, width, height,
                            [&](size_t i, int32_t top, int32_t bottom) {
                              MeasureShapeRows(image, height, outlines[i], top, bottom, scratch);
                              return scratch.rows.rows.empty() || apply(i, scratch.rows);
                            });
}

// The same bands and order, for roads that read the kernel's rows in their own sink: hands
// every shape's kernel input for the band's rows to measure(index, input, kernelScratch).
template <class Measure>
void ForEachShapeKernelByBand(const std::vector<Polygon>& outlines, size_t count, int32_t width,
                              int32_t height, Measure measure) {
  const Bounds image{0.0, double(width), 0.0, double(height)};
  MeasureScratch scratch;
  ForEachShapeOfBand(outlines, count, width, height, [&](size_t i, int32_t top, int32_t bottom) {
    const ShapeKernelInput input = PrepareShapeKernel(image, height, outlines[i], top, bottom,
                                                      scratch.clipped, scratch.clipScratch);
    if (input.firstRow < input.endRow) measure(i, input, scratch.kernel);
    return true;
  });
}

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_SHAPE_BANDS_H
