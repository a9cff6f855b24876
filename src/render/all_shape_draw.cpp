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
  const bool checkEachShape = !IdsFitEveryMask(fronts, outlines, ids);
  const bool folded = MeasureShapesByBand(
      outlines, fronts.size(), width, height, [&](size_t i, const ShapeRows& measured) {
        if (checkEachShape && !rows.ListsFitMask(measured, fronts[i])) return false;
        rows.Fold(measured, fronts[i], ids[i]);
        return true;
      });
  if (!folded) return RejectInput();
  if (!rows.IdsBelow(colours.size())) return RejectInput();
  BlendWeightRows(image, rows, colours);
  return true;
}

}  // namespace pintovel
