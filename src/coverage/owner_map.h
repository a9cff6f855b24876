// The fast road's single-owner map: a shape claims every pixel it covers at least half of,
// unless its front mask marks the pixel's current owner.
#ifndef PINTOVEL_COVERAGE_OWNER_MAP_H
#define PINTOVEL_COVERAGE_OWNER_MAP_H

#include <pintovel/pintovel.h>

namespace pintovel {

// Coverage at or above this claims a pixel.
constexpr double kOwnershipCoverage = 0.5;

// Claims for shape `id` every pixel of the map (window {0, width, 0, height}) that the outline
// covers at least half of, unless the pixel's owner has its bit set in `front`. Returns false,
// changing nothing, when such an owner lies outside `front`.
// Requires: the map holds width * height owners, id >= 0, accepted vertex coordinates.
bool AddShapeToOwnerMap(OwnerMap& map, const FrontMask& front, const Polygon& outline, int32_t id);

// The per-shape and all-shapes steps behind AllShapeDraw_Quickly, with the hand-back protocol.
// Both call `commit` also when an exception leaves them. CreateOwnerMap hands the map itself to
// each per-shape step, so a shape costs no copy of the map; it stops at the first false step.
bool UpdateOwnerMap(const FrontMask& front, const Polygon& outline, int32_t id,
                    InOutArg<OwnerMap> map);
bool CreateOwnerMap(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                    const std::vector<int32_t>& ids, InOutArg<OwnerMap> map);

// image[i] := colours[owners[i]], all four bytes, for every owned pixel; -1 leaves the pixel.
// Returns false, writing nothing, when an owner lies outside the colour table.
// Requires: owners holds at least width * height entries, image is width * height pixels.
bool FillFromOwnerMap(uint8_t* image, int32_t width, int32_t height,
                      const std::vector<int32_t>& owners, const ColourTable& colours);

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_OWNER_MAP_H
