#include "render/all_shape_draw.h"

#include "coverage/owner_map.h"
#include "coverage/pixel_data.h"
#include "interface/working_copy.h"
#include "render/compositing.h"

namespace pintovel {

bool RunAllShapeDraw(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                     const std::vector<int32_t>& ids, const ColourTable& colours, int32_t width,
                     int32_t height, uint8_t* image) {
  PixelData data;
  data.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  data.width = width;
  data.height = height;
  const Bounds window{0.0, double(width), 0.0, double(height)};
  // The data is this call's own, so shapes are folded into it directly: no working copy.
  if (!AddShapesToPixelData(data, fronts, outlines, window, ids)) return false;
  return RunOnDraw(image, width, height, data.pixels, colours);
}

bool RunAllShapeDrawQuickly(const std::vector<FrontMask>& fronts,
                            const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                            const ColourTable& colours, int32_t width, int32_t height,
                            uint8_t* image) {
  OwnerMap map;
  map.owners.assign(static_cast<size_t>(width) * static_cast<size_t>(height), -1);
  map.width = width;
  map.height = height;
  if (!CreateOwnerMap(fronts, outlines, ids, MakeInPlaceArg(map))) return false;
  return FillFromOwnerMap(image, width, height, map.owners, colours);
}

}  // namespace pintovel
