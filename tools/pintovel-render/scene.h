// From the SVG document to the shapes the library draws: one shape per filled element, in
// document order, each a single closed cubic outline in the output image's pixel space.
#ifndef PINTOVEL_RENDER_SCENE_H
#define PINTOVEL_RENDER_SCENE_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "colour.h"
#include "cubic_path.h"
#include "notices.h"
#include "svg_document.h"

namespace pintovel_render {

struct SceneShape {
  BezierPath outline;  // pixel coordinates of the output image, oriented for positive coverage
  Rgb colour;
  std::string source;  // the element it comes from, for messages and the mask index
};

struct Scene {
  int width = 0;  // output image size in pixels
  int height = 0;
  std::vector<SceneShape> shapes;  // in document (painting) order
};

// Each shape is in front of all earlier ones, so the front masks grow with the square of the
// count; this bounds their memory.
constexpr std::size_t kMaxShapes = 50000;

// Builds the scene for an image of the requested size (see PlanCanvas). What cannot be drawn
// is reported through `notices`. Throws ToolError: kInvalidSvg for malformed path data,
// transforms, lengths or point lists and for invalid geometry (a negative width or radius),
// kImpossibleSize for an impossible image size, kTooManyShapes above kMaxShapes.
Scene BuildScene(const SvgDocument& document, std::optional<int> width, std::optional<int> height,
                 Notices& notices);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_SCENE_H
