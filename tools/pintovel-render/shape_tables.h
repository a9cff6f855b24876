// The per-shape tables handed to the library besides the outlines: front masks and colours.
#ifndef PINTOVEL_RENDER_SHAPE_TABLES_H
#define PINTOVEL_RENDER_SHAPE_TABLES_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "colour.h"
#include "pintovel/pintovel.h"

namespace pintovel_render {

// Shape i's front mask has bit j set for every j > i: each shape lies in front of all
// earlier ones, the order in which SVG paints.
std::vector<pintovel::FrontMask> DocumentOrderFronts(std::size_t count);

// A 32-bit colour whose bytes 0, 1, 2 in memory are red, green, blue (byte 3 zero), matching
// the RGB(x) image the tool hands to the library.
uint32_t ColourEntry(Rgb colour);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_SHAPE_TABLES_H
