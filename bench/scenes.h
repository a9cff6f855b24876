// The benchmark scenes: deterministic inputs built once, before anything is timed.
//
// Every polygon is in pixel space (x right, y down) and runs clockwise on screen, which the
// library counts as positive coverage. A scene owns only inputs; the images and surfaces that
// a road draws into belong to the road (see roads.h).
#ifndef PINTOVEL_BENCH_SCENES_H
#define PINTOVEL_BENCH_SCENES_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "coverage/coverage_grid.h"

namespace pintovel::bench {

// One glyph as its own one-shape image: the polygon lies in [0, width] x [0, height] of the
// glyph's integer pixel box. `outline` is the glyph's outline in FreeType's own units (26.6,
// y up) for FreeType's rasterizer; `boxLeft` and `boxTop` place the box in those units' pixel
// grid (the box's top row is the y-up row boxTop - 1).
struct Glyph {
  std::vector<Polygon> polygons;  // exactly one: the contours joined by zero-area bridges
  int32_t width = 0;
  int32_t height = 0;
  int32_t boxLeft = 0;
  int32_t boxTop = 0;
  void* outline = nullptr;  // FT_Outline*, owned by the GlyphSet's FreeType context
};

// Many shapes painted in list order on one image: shape i has id i, a random colour, and a
// front mask with the bits of every later shape set.
struct ShapeSet {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Polygon> polygons;
  std::vector<FrontMask> fronts;
  std::vector<int32_t> ids;
  ColourTable colours;
  std::vector<CellRange> boxes;  // the integer pixel box of each polygon
};

// The ExportRibbon input: shapes with straight cubic outlines and the enabled layers.
struct RibbonSet {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<RibbonShape> shapes;
  LayerTable layers;
};

enum class SceneKind { kGlyphs, kShapes, kRibbon };

struct FreeTypeContext;  // the FT_Library and the outline copies of a glyph scene

struct Scene {
  std::string name;
  SceneKind kind = SceneKind::kShapes;
  std::vector<Glyph> glyphs;
  ShapeSet shapes;
  RibbonSet ribbon;
  std::shared_ptr<FreeTypeContext> freetype;

  // How many units the per-unit time divides by: glyphs for glyph scenes, else 1.
  int64_t Units() const;
  // The pixels of the largest image one unit draws into.
  int64_t ImagePixels() const;
};

// Names of every scene this build can make, in table order (glyph scenes only with FreeType).
std::vector<std::string> SceneNames();

// Builds the named scene; null for an unknown name. `glyphStride` > 1 keeps every
// glyphStride-th glyph only (for smoke runs).
std::unique_ptr<Scene> BuildScene(const std::string& name, int glyphStride = 1);

}  // namespace pintovel::bench

#endif  // PINTOVEL_BENCH_SCENES_H
