// Glyph scenes from DejaVu Sans, and the FreeType side of them. Without FreeType the bench
// still builds; it then has no glyph scenes at all (their outlines come from FreeType).
#ifndef PINTOVEL_BENCH_GLYPH_SCENE_H
#define PINTOVEL_BENCH_GLYPH_SCENE_H

#include <memory>

#include "scenes.h"

namespace pintovel::bench {

constexpr const char* kGlyphFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

bool HaveGlyphScenes();

// Every glyph of the font with an outline that covers at least one pixel, at `pixelsPerEm`
// (unhinted), each as its own one-shape image; null when the font cannot be read.
std::unique_ptr<Scene> BuildGlyphScene(int32_t pixelsPerEm, int glyphStride);

}  // namespace pintovel::bench

#endif  // PINTOVEL_BENCH_GLYPH_SCENE_H
