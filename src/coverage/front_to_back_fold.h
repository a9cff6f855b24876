// Folding the shapes of a painting-order call from the front of the stack to the back. In such a
// call nothing a pixel holds is ever in front of the shape that reaches it next, so a shape that
// covers a pixel whole leaves only its own entry there, whatever the shapes before it left: of
// each shape only the folds on pixels that no shape after it covers whole change the result. The
// shapes of a band are measured from the last to the first, each recording just those folds,
// and a shape whose box has no such pixel left is not measured at all; the recorded folds are
// then made in list order. The lists come out as a shape-by-shape pass leaves them, bit for bit.
#ifndef PINTOVEL_COVERAGE_FRONT_TO_BACK_FOLD_H
#define PINTOVEL_COVERAGE_FRONT_TO_BACK_FOLD_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <vector>

#include "coverage/stacking_fold.h"
#include "coverage/weight_rows.h"

namespace pintovel {

// Folds every shape into the rows that `rows` holds, of an image rows.width() wide and
// `imageHeight` rows tall (outlines in its pixel space, clipped as needed).
// Requires: the ids fit every mask, InPaintingOrder(fronts, outlines, ids); rows within the
// image.
void FoldFrontToBack(const std::vector<BoundedFront>& fronts, const std::vector<Polygon>& outlines,
                     const std::vector<int32_t>& ids, int32_t imageHeight, WeightRows& rows);

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_FRONT_TO_BACK_FOLD_H
