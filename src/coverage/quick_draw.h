// The fast road, AllShapeDraw_Quickly: every pixel goes to at most one owning shape, the last
// in list order that covers at least half of it, except that a shape never takes a pixel from
// an owner its front mask marks as in front; owned pixels then receive the owner's whole colour.
#ifndef PINTOVEL_COVERAGE_QUICK_DRAW_H
#define PINTOVEL_COVERAGE_QUICK_DRAW_H

#include <pintovel/pintovel.h>

namespace pintovel {

// Coverage at or above this claims a pixel (negative coverage never does).
constexpr double kOwnershipCoverage = 0.5;

// The owners of the whole image, held as runs of pixels with one owner, then the owners'
// colours (all four bytes) copied into the owned pixels; the others keep all four bytes. Every
// allocation happens before the first pixel is written, so a failed one leaves the image as it
// was. A call with a single shape that has vertices needs no owners: its claims are filled.
// Returns false, leaving the image untouched, when a shape claims a pixel whose owner lies
// outside its front mask, or an owner lies outside the colour table.
// Requires (checked by the export): width * height representable, outlines and ids at least
// as long as fronts, no negative id, accepted vertex coordinates.
bool RunAllShapeDrawQuickly(const std::vector<FrontMask>& fronts,
                            const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                            const ColourTable& colours, int32_t width, int32_t height,
                            uint8_t* image);

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_QUICK_DRAW_H
