// Without FreeType there are no glyph outlines, so no glyph scenes.
#include "glyph_scene.h"

namespace pintovel::bench {

struct FreeTypeContext {};

bool HaveGlyphScenes() {
  return false;
}

std::unique_ptr<Scene> BuildGlyphScene(int32_t, int) {
  return nullptr;
}

}  // namespace pintovel::bench
