#include "render/all_shape_draw.h"

#include "coverage/shape_bands.h"
#include "coverage/stacking_fold.h"
#include "coverage/weight_rows.h"
#include "render/compositing.h"
#include "support/failure.h"

namespace pintovel {

bool RunAllShapeDraw(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                     const std::vector<int32_t>& ids, const ColourTable& colours, int32_t width,
                     int32_t height, uint8_t* image) {
  if (width <= 0 || height <= 0) return true;
  WeightRows rows;
  rows.Reset(width, 0, height);
  const Bounds window{0.0, double(width), 0.0, double(height)};
  const bool checkEachShape = !IdsFitEveryMask(fronts, outlines, ids);
  MeasureScratch scratch;
  const ShapeBands bands(outlines, fronts.size(), height,
                         FoldBandRows(width, height, fronts.size()));
  for (size_t b = 0; b < bands.bandCount(); ++b) {
    for (const uint32_t* i = bands.ShapesBegin(b); i != bands.ShapesEnd(b); ++i) {
      MeasureShapeRows(window, height, outlines[*i], bands.TopOf(b), bands.BottomOf(b), scratch);
      if (scratch.rows.rows.empty()) continue;
      if (checkEachShape && !rows.ListsFitMask(scratch.rows, fronts[*i])) return RejectInput();
      rows.Fold(scratch.rows, fronts[*i], ids[*i]);
    }
  }
  if (!rows.IdsBelow(colours.size())) return RejectInput();
  BlendWeightRows(image, rows, colours);
  return true;
}

}  // namespace pintovel
