// Blending weight lists with a colour table into a 32-bit image.
//
// Per pixel and channel c: s_c = sum over the list, in order, of weight * colour_c (each sum
// rounded to double after every entry), remain = 1 - the weights (likewise), and the byte
// becomes the low eight bits of t = s_c + remain * old_c + 0.5 truncated toward zero (a wrap,
// not a clamp); byte 3 becomes 0. Both the host's PixelData and the library's own runs are
// blended through ListBlendOf and BlendPixel, so equal lists give equal bytes.
#ifndef PINTOVEL_RENDER_COMPOSITING_H
#define PINTOVEL_RENDER_COMPOSITING_H

#include <pintovel/pintovel.h>

#include <cmath>
#include <cstring>

#include "coverage/weight_rows.h"

namespace pintovel {

// What a list contributes to a pixel, before the pixel's old colour is known.
struct ListBlend {
  double s0;
  double s1;
  double s2;
  double remain;  // share of the pixel that keeps its old colour
};

// Low eight bits of `value` converted to a 32-bit integer by truncation toward zero. A value
// outside the int32 range (or NaN) gives 0, the low byte of the x86 conversion's out-of-range
// result, instead of undefined behaviour.
inline uint8_t WrapToByte(double value) {
  if (!(std::fabs(value) < 2147483648.0)) return 0;
  return static_cast<uint8_t>(static_cast<uint32_t>(static_cast<int32_t>(value)) & 0xFFu);
}

// Requires: every id indexes `colours`.
inline ListBlend ListBlendOf(const PixelWeight* entries, size_t count, const ColourTable& colours) {
  ListBlend b{0.0, 0.0, 0.0, 1.0};
  for (size_t j = 0; j < count; ++j) {
    const PixelWeight entry = entries[j];
    const uint32_t colour = colours[static_cast<size_t>(entry.id)];
    uint8_t bytes[4];
    std::memcpy(bytes, &colour, sizeof colour);  // channels in memory order, like image pixels
    const double w = entry.weight;
    b.s0 = b.s0 + w * bytes[0];
    b.s1 = b.s1 + w * bytes[1];
    b.s2 = b.s2 + w * bytes[2];
    b.remain = b.remain - w;
  }
  return b;
}

// Writes the blended pixel as one 32-bit store.
inline void BlendPixel(uint8_t* pixel, const ListBlend& b) {
  const uint8_t out[4] = {WrapToByte(b.s0 + b.remain * pixel[0] + 0.5),
                          WrapToByte(b.s1 + b.remain * pixel[1] + 0.5),
                          WrapToByte(b.s2 + b.remain * pixel[2] + 0.5), 0};
  std::memcpy(pixel, out, sizeof out);
}

// Every id in the first `count` lists indexes the colour table.
bool ListsUseColourTable(const std::vector<std::vector<PixelWeight>>& pixels, size_t count,
                         const ColourTable& colours);

// Blends `count` lists into the first `count` pixels of `image`.
// Requires: every id indexes the colour table.
void BlendLists(uint8_t* image, const std::vector<std::vector<PixelWeight>>& pixels, size_t count,
                const ColourTable& colours);

// The entry behind the OnDraw export: the lists blended into the image. Returns false, writing
// nothing, when a list holds an id outside the colour table.
// Requires: width and height positive or the call draws nothing; at least width * height lists;
// the image holds width * height pixels.
bool RunOnDraw(uint8_t* image, int32_t width, int32_t height,
               const std::vector<std::vector<PixelWeight>>& pixels, const ColourTable& colours);

// Blends the list entries[0 .. length) into `count` pixels from `pixels` on.
// Requires: every id indexes the colour table.
void BlendRunOfList(uint8_t* pixels, size_t count, const PixelWeight* entries, size_t length,
                    const ColourTable& colours);

// Blends every row of `rows` into the image rows it stands for (row y of the image starts at
// byte 4 * y * width).
// Requires: every id indexes the colour table; the image holds those rows of rows.width()
// pixels.
void BlendWeightRows(uint8_t* image, const WeightRows& rows, const ColourTable& colours);

}  // namespace pintovel

#endif  // PINTOVEL_RENDER_COMPOSITING_H
