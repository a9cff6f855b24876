#include "shape_tables.h"

#include <cstring>

namespace pintovel_render {

std::vector<pintovel::FrontMask> DocumentOrderFronts(std::size_t count) {
  std::vector<pintovel::FrontMask> fronts(count);
  for (std::size_t i = 0; i < count; ++i) {
    // Bits 0..i clear, then i+1..count-1 set (resize fills whole words at once).
    fronts[i].assign(i + 1, false);
    fronts[i].resize(count, true);
  }
  return fronts;
}

uint32_t ColourEntry(Rgb colour) {
  const uint8_t bytes[4] = {colour.red, colour.green, colour.blue, 0};
  uint32_t entry = 0;
  std::memcpy(&entry, bytes, sizeof entry);
  return entry;
}

}  // namespace pintovel_render
