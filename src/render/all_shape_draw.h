// The weighted road from pixel-space polygons to a finished image in one call.
#ifndef PINTOVEL_RENDER_ALL_SHAPE_DRAW_H
#define PINTOVEL_RENDER_ALL_SHAPE_DRAW_H

#include <pintovel/pintovel.h>

namespace pintovel {

// Every shape folded, in list order, into weight lists of the whole image held as runs
// (coverage/weight_rows.h), then blended; a call with one shape blends that shape's spans
// straight into the image, since every list it meets is empty. The image is what
// CreatePixelData on pixel data of width * height empty lists with the window
// {0, width, 0, height} followed by OnDraw gives, byte for byte. Returns false, leaving the
// image untouched, when a shape meets an id outside its front mask or a list holds an id
// outside the colour table.
// Requires (checked by the export): width * height representable, outlines and ids at least
// as long as fronts, accepted vertex coordinates.
bool RunAllShapeDraw(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                     const std::vector<int32_t>& ids, const ColourTable& colours, int32_t width,
                     int32_t height, uint8_t* image);

}  // namespace pintovel

#endif  // PINTOVEL_RENDER_ALL_SHAPE_DRAW_H
