// The straightforward drawing roads, kept as the slow reference for the library's fast ones:
// one dense coverage grid per shape over the whole image, one weight list (or owner) per
// pixel, every pixel visited for every shape. The stacking, blending and ownership rules are
// written out here on their own, from the rules the library documents, so a fault in the
// library's shared fold or in its runs shows up as a difference.
#ifndef PINTOVEL_TESTS_SUPPORT_REFERENCE_ROADS_H
#define PINTOVEL_TESTS_SUPPORT_REFERENCE_ROADS_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <vector>

#include "coverage/coverage_grid.h"

namespace pintovel::testing {

// How the reference measures a shape: the coverage of every cell of the window. The roads
// below are only as exact as this; given the library's own kernel they must reproduce the
// library's bytes exactly.
using DenseCoverage = void (*)(const Bounds& window, const Polygon& polygon, CoverageGrid& grid);

// Every shape folded into one list per pixel, in list order. False where a list the shape
// covers holds an id outside its mask; the lists are then as far as they got.
// Requires: every outline inside [0, width] x [0, height].
bool ReferencePixelData(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                        const std::vector<int32_t>& ids, int32_t width, int32_t height,
                        DenseCoverage measure, std::vector<std::vector<PixelWeight>>& lists);

// ReferencePixelData blended into `image`; false, image untouched, where the library rejects.
bool ReferenceAllShapeDraw(const std::vector<FrontMask>& fronts,
                           const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                           const ColourTable& colours, int32_t width, int32_t height,
                           DenseCoverage measure, uint8_t* image);

// One owner per pixel, then the owners' colours; false, image untouched, where the library
// rejects.
bool ReferenceQuickDraw(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                        const std::vector<int32_t>& ids, const ColourTable& colours, int32_t width,
                        int32_t height, DenseCoverage measure, uint8_t* image);

}  // namespace pintovel::testing

#endif  // PINTOVEL_TESTS_SUPPORT_REFERENCE_ROADS_H
