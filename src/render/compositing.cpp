#include "render/compositing.h"

#include <cmath>
#include <cstring>

#include "interface/failure.h"

namespace pintovel {

namespace {

uint8_t ChannelOf(uint32_t colour, int channel) {
  uint8_t bytes[4];
  std::memcpy(bytes, &colour, sizeof colour);  // channels in memory order, like image pixels
  return bytes[channel];
}

void BlendPixel(uint8_t* pixel, const std::vector<PixelWeight>& list, const ColourTable& colours) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0;
  double remain = 1.0;  // share of the pixel that keeps its old colour
  for (const PixelWeight& entry : list) {
    const uint32_t colour = colours[static_cast<size_t>(entry.id)];
    const double w = entry.weight;
    s0 = s0 + w * ChannelOf(colour, 0);
    s1 = s1 + w * ChannelOf(colour, 1);
    s2 = s2 + w * ChannelOf(colour, 2);
    remain = remain - w;
  }
  const uint8_t out[4] = {WrapToByte(s0 + remain * pixel[0] + 0.5),
                          WrapToByte(s1 + remain * pixel[1] + 0.5),
                          WrapToByte(s2 + remain * pixel[2] + 0.5), 0};
  std::memcpy(pixel, out, sizeof out);  // one 32-bit store
}

}  // namespace

uint8_t WrapToByte(double value) {
  if (!(std::fabs(value) < 2147483648.0)) return 0;
  return static_cast<uint8_t>(static_cast<uint32_t>(static_cast<int32_t>(value)) & 0xFFu);
}

bool ListsUseColourTable(const std::vector<std::vector<PixelWeight>>& pixels, size_t count,
                         const ColourTable& colours) {
  for (size_t p = 0; p < count; ++p) {
    for (const PixelWeight& entry : pixels[p]) {
      if (entry.id < 0 || static_cast<size_t>(entry.id) >= colours.size()) return false;
    }
  }
  return true;
}

bool RunOnDraw(uint8_t* image, int32_t width, int32_t height,
               const std::vector<std::vector<PixelWeight>>& pixels, const ColourTable& colours) {
  if (width <= 0 || height <= 0) return true;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (!ListsUseColourTable(pixels, count, colours)) return RejectInput();
  for (size_t p = 0; p < count; ++p) BlendPixel(image + 4 * p, pixels[p], colours);
  return true;
}

}  // namespace pintovel
