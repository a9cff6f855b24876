// Blending per-pixel weight lists with a colour table into a 32-bit image.
#ifndef PINTOVEL_RENDER_COMPOSITING_H
#define PINTOVEL_RENDER_COMPOSITING_H

#include <pintovel/pintovel.h>

namespace pintovel {

// Every id in the first `count` lists indexes the colour table.
bool ListsUseColourTable(const std::vector<std::vector<PixelWeight>>& pixels, size_t count,
                         const ColourTable& colours);

// The entry behind the OnDraw export and the last step of AllShapeDraw. Per pixel and channel:
// t = sum(weight * colour) + (1 - sum(weight)) * old; the byte becomes the low eight bits of
// t + 0.5 truncated toward zero (a wrap, not a clamp); byte 3 becomes 0. Returns false, writing
// nothing, when a list holds an id outside the colour table.
// Requires: width and height positive or the call draws nothing; at least width * height lists;
// the image holds width * height pixels.
bool RunOnDraw(uint8_t* image, int32_t width, int32_t height,
               const std::vector<std::vector<PixelWeight>>& pixels, const ColourTable& colours);

// Low eight bits of `value` converted to a 32-bit integer by truncation toward zero. A value
// outside the int32 range (or NaN) gives 0, the low byte of the x86 conversion's out-of-range
// result, instead of undefined behaviour.
uint8_t WrapToByte(double value);

}  // namespace pintovel

#endif  // PINTOVEL_RENDER_COMPOSITING_H
