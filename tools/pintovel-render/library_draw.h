// Drawing a scene with the library: RegularPolygons, then AllShapeDraw (exact compositing)
// or AllShapeDraw_Quickly (one shape per pixel).
#ifndef PINTOVEL_RENDER_LIBRARY_DRAW_H
#define PINTOVEL_RENDER_LIBRARY_DRAW_H

#include <cstdint>
#include <vector>

#include "colour.h"
#include "png_writer.h"
#include "pintovel/pintovel.h"
#include "scene.h"

namespace pintovel_render {

// Shape i's front mask has bit j set for every j > i: each shape lies in front of all
// earlier ones, the order in which SVG paints.
std::vector<pintovel::FrontMask> DocumentOrderFronts(std::size_t count);

// A 32-bit colour whose bytes 0, 1, 2 in memory are red, green, blue (byte 3 zero), matching
// the RGB(x) image the tool hands to the library.
uint32_t ColourEntry(Rgb colour);

// Draws the scene over `background` and returns the RGB image. Throws
// ToolError(kLibraryFailure) when the library reports false or returns a malformed result.
PngImage DrawScene(const Scene& scene, Rgb background, bool quick);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_LIBRARY_DRAW_H
