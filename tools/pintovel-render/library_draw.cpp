#include "library_draw.h"

#include <cstring>
#include <string>

#include "hand_back.h"
#include "shape_tables.h"
#include "tool_error.h"

namespace pintovel_render {

namespace {

ToolError LibraryFailure(const std::string& what) {
  return ToolError(ExitCode::kLibraryFailure, "the drawing library failed: " + what);
}

}  // namespace

PngImage DrawScene(const Scene& scene, Rgb background, bool quick) {
  const std::size_t count = scene.shapes.size();
  const int width = scene.width;
  const int height = scene.height;

  // The outlines are already in pixels: the document rectangle is the image itself, so the
  // library's mapping is the identity and its 0.1-unit flattening tolerance is 0.1 pixel.
  std::vector<pintovel::BezierPath> paths;
  paths.reserve(count);
  for (const SceneShape& shape : scene.shapes) paths.push_back(shape.outline);
  std::vector<pintovel::Polygon> polygons;
  if (!pintovel::RegularPolygons(&paths, 0.0, width, 0.0, height, width, height,
                                 HandBackTo(polygons))) {
    throw LibraryFailure("RegularPolygons returned false");
  }
  if (polygons.size() != count) {
    throw LibraryFailure("RegularPolygons returned " + std::to_string(polygons.size()) +
                         " polygons for " + std::to_string(count) + " outlines");
  }

  const std::vector<pintovel::FrontMask> fronts = DocumentOrderFronts(count);
  std::vector<int32_t> ids(count);
  pintovel::ColourTable colours(count);
  for (std::size_t i = 0; i < count; ++i) {
    ids[i] = static_cast<int32_t>(i);
    colours[i] = ColourEntry(scene.shapes[i].colour);
  }

  const std::size_t pixelCount = static_cast<std::size_t>(width) * height;
  std::vector<uint8_t> image(4 * pixelCount);
  for (std::size_t p = 0; p < pixelCount; ++p) {
    image[4 * p] = background.red;
    image[4 * p + 1] = background.green;
    image[4 * p + 2] = background.blue;
    image[4 * p + 3] = 0;
  }
  const bool drawn = quick ? pintovel::AllShapeDraw_Quickly(&fronts, &polygons, &ids, &colours,
                                                            width, height, image.data())
                           : pintovel::AllShapeDraw(&fronts, &polygons, &ids, &colours, width,
                                                    height, image.data());
  if (!drawn) {
    throw LibraryFailure(std::string(quick ? "AllShapeDraw_Quickly" : "AllShapeDraw") +
                         " returned false");
  }

  PngImage result;
  result.width = width;
  result.height = height;
  result.channels = 3;
  result.pixels.resize(3 * pixelCount);
  for (std::size_t p = 0; p < pixelCount; ++p) {
    std::memcpy(&result.pixels[3 * p], &image[4 * p], 3);
  }
  return result;
}

}  // namespace pintovel_render
