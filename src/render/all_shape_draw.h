// The one-call roads from pixel-space polygons to a finished image.
#ifndef PINTOVEL_RENDER_ALL_SHAPE_DRAW_H
#define PINTOVEL_RENDER_ALL_SHAPE_DRAW_H

#include <pintovel/pintovel.h>

namespace pintovel {

// Fresh pixel data for the whole image, every shape folded in, then blended. Returns false,
// leaving the image untouched, when a step rejects its input.
// Requires (checked by the export): width * height representable, outlines and ids at least
// as long as fronts, accepted vertex coordinates.
bool RunAllShapeDraw(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                     const std::vector<int32_t>& ids, const ColourTable& colours, int32_t width,
                     int32_t height, uint8_t* image);

// The owner map of the whole image, then its owners' colours copied into the image.
// Requires also: no negative id.
bool RunAllShapeDrawQuickly(const std::vector<FrontMask>& fronts,
                            const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                            const ColourTable& colours, int32_t width, int32_t height,
                            uint8_t* image);

}  // namespace pintovel

#endif  // PINTOVEL_RENDER_ALL_SHAPE_DRAW_H
