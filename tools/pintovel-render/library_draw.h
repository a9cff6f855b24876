// Drawing a scene with the library: RegularPolygons, then AllShapeDraw (exact compositing)
// or AllShapeDraw_Quickly (one shape per pixel).
#ifndef PINTOVEL_RENDER_LIBRARY_DRAW_H
#define PINTOVEL_RENDER_LIBRARY_DRAW_H

#include "colour.h"
#include "png_writer.h"
#include "scene.h"

namespace pintovel_render {

// Draws the scene over `background` and returns the RGB image. Throws
// ToolError(kLibraryFailure) when the library reports false or returns a malformed result.
PngImage DrawScene(const Scene& scene, Rgb background, bool quick);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_LIBRARY_DRAW_H
