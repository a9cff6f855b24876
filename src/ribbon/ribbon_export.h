// Banded measurement of all shapes and delivery of one inverted 8-bit coverage mask per
// enabled id and band to the host's callback objects.
#ifndef PINTOVEL_RIBBON_RIBBON_EXPORT_H
#define PINTOVEL_RIBBON_RIBBON_EXPORT_H

#include <pintovel/pintovel.h>

namespace pintovel {

// Bands hold at most this many pixels (whole rows) once the image has more.
constexpr int32_t kMaxBandPixels = 1000000;

// Rows per band for an image of width x height: all rows when the image has at most
// kMaxBandPixels pixels, else as many whole rows as fit, and at least one.
// Requires: width > 0 when height > 0, and width * height within int32.
int32_t RowsPerBand(int32_t width, int32_t height);

// Mask byte of a weight: 255 - t with t = 255 * weight + 0.5 truncated toward zero.
uint8_t MaskByteOfWeight(double weight);

// The entry behind the ExportRibbon export. The host pointers are non-null; everything the
// host reports (its size) and the shapes are checked here, after GetWidth and GetHeight.
bool RunExportRibbon(const RibbonHost& host, const std::vector<RibbonShape>& shapes,
                     const LayerTable& layers);

}  // namespace pintovel

#endif  // PINTOVEL_RIBBON_RIBBON_EXPORT_H
