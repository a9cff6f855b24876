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

// What an invalid value in an element (malformed path data, points, transform, length or
// viewBox; a negative size or radius; coordinates beyond the library's range) does.
enum class InvalidContent {
  // As SVG's error handling and browsers do: the value is dropped, with one warning per
  // element naming it, and everything else is drawn. Path data and points are drawn up to
  // the error; a malformed transform, length or viewBox counts as not given; a negative rx or
  // ry of a rect counts as auto; a negative width, height or radius, or coordinates out of
  // range, leave that element out.
  kDropAndWarn,
  // The whole document fails with ToolError(kInvalidSvg) naming the element (--strict).
  kFail,
};

// Builds the scene for an image of the requested size (see PlanCanvas). What cannot be drawn
// is reported through `notices`. Throws ToolError: kInvalidSvg for invalid content under
// InvalidContent::kFail, kImpossibleSize for an impossible image size, kTooManyShapes above
// kMaxShapes.
Scene BuildScene(const SvgDocument& document, std::optional<int> width, std::optional<int> height,
                 Notices& notices, InvalidContent invalid = InvalidContent::kDropAndWarn);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_SCENE_H
