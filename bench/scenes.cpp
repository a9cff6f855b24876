#include "scenes.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "clip/polygon_split.h"
#include "glyph_scene.h"

namespace pintovel::bench {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A uniform double in [lo, hi) from the 32 random bits of one mt19937 draw; written out so that
// every build (32 and 64 bits) makes the same scenes.
double Uniform(std::mt19937& random, double lo, double hi) {
  return lo + (hi - lo) * (static_cast<double>(random()) / 4294967296.0);
}

// `corners` points on the circle of diameter `size` around (cx, cy), at ascending angles: a
// convex polygon that runs clockwise on screen (with y down, a growing angle turns clockwise).
Polygon ConvexPolygon(std::mt19937& random, int corners, double cx, double cy, double size) {
  std::vector<double> angles(static_cast<size_t>(corners));
  for (double& a : angles) a = Uniform(random, 0.0, 2.0 * kPi);
  std::sort(angles.begin(), angles.end());
  Polygon polygon;
  for (double a : angles) {
    polygon.push_back(Point{cx + 0.5 * size * std::cos(a), cy + 0.5 * size * std::sin(a)});
  }
  return polygon;
}

CellRange BoxOf(const Polygon& polygon) {
  const Bounds b = BoundingBox(polygon);
  const int32_t x0 = static_cast<int32_t>(std::floor(b.minX));
  const int32_t y0 = static_cast<int32_t>(std::floor(b.minY));
  return CellRange{x0, y0, static_cast<int32_t>(std::ceil(b.maxX)) - x0,
                   static_cast<int32_t>(std::ceil(b.maxY)) - y0};
}

// Ids, random colours and front masks of painting order: shape i lies behind every later one.
void AddStacking(std::mt19937& random, ShapeSet& set) {
  const size_t n = set.polygons.size();
  set.ids.resize(n);
  set.colours.resize(n);
  set.fronts.assign(n, FrontMask(n, false));
  set.boxes.resize(n);
  for (size_t i = 0; i < n; ++i) {
    set.ids[i] = static_cast<int32_t>(i);
    set.colours[i] = static_cast<uint32_t>(random()) | 0xff000000u;
    for (size_t j = i + 1; j < n; ++j) set.fronts[i][j] = true;
    set.boxes[i] = BoxOf(set.polygons[i]);
  }
}

// Triangles and convex quads (alternating at random) whose circle diameters are uniform in
// [minSize, maxSize], each wholly inside the image.
ShapeSet RandomShapes(uint32_t seed, size_t count, double minSize, double maxSize, int32_t width,
                      int32_t height) {
  std::mt19937 random(seed);
  ShapeSet set;
  set.width = width;
  set.height = height;
  set.polygons.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const double size = Uniform(random, minSize, maxSize);
    const double cx = Uniform(random, 0.5 * size, width - 0.5 * size);
    const double cy = Uniform(random, 0.5 * size, height - 0.5 * size);
    const int corners = (random() & 1u) != 0 ? 4 : 3;
    set.polygons.push_back(ConvexPolygon(random, corners, cx, cy, size));
  }
  AddStacking(random, set);
  return set;
}

ShapeSet TinyTriangles() {
  std::mt19937 random(1000);
  ShapeSet set;
  set.width = 2048;
  set.height = 2048;
  for (int i = 0; i < 1000; ++i) {
    const double cx = Uniform(random, 4.0, 2044.0);
    const double cy = Uniform(random, 4.0, 2044.0);
    set.polygons.push_back(ConvexPolygon(random, 3, cx, cy, 8.0));
  }
  AddStacking(random, set);
  return set;
}

ShapeSet BigQuad() {
  std::mt19937 random(4096);
  ShapeSet set;
  set.width = 4096;
  set.height = 4096;
  // Clockwise on screen: right along the top, down the right side, back along the bottom.
  set.polygons.push_back(
      Polygon{{100.25, 50.5}, {4000.75, 200.125}, {4050.5, 4000.25}, {80.125, 3900.75}});
  AddStacking(random, set);
  return set;
}

// Each edge P0 -> P1 as the straight cubic P0, P0 + (P1 - P0) / 3, P0 + 2 (P1 - P0) / 3, P1.
BezierPath StraightCubicOutline(const Polygon& polygon) {
  BezierPath path{polygon.front()};
  for (size_t i = 0; i < polygon.size(); ++i) {
    const Point a = polygon[i];
    const Point b = polygon[(i + 1) % polygon.size()];
    path.push_back(Point{a.x + (b.x - a.x) / 3.0, a.y + (b.y - a.y) / 3.0});
    path.push_back(Point{a.x + 2.0 * (b.x - a.x) / 3.0, a.y + 2.0 * (b.y - a.y) / 3.0});
    path.push_back(b);
  }
  return path;
}

// The 10,000-shape scene scaled onto width x height, with 16 enabled ids spread over the list.
RibbonSet RibbonScene(int32_t width, int32_t height) {
  const ShapeSet source = RandomShapes(10000, 10000, 8.0, 256.0, 2048, 2048);
  const double sx = width / 2048.0, sy = height / 2048.0;
  RibbonSet set;
  set.width = width;
  set.height = height;
  const size_t n = source.polygons.size();
  set.shapes.resize(n);
  for (size_t i = 0; i < n; ++i) {
    Polygon scaled = source.polygons[i];
    for (Point& p : scaled) p = Point{p.x * sx, p.y * sy};
    set.shapes[i].id = static_cast<int16_t>(source.ids[i]);
    set.shapes[i].front = source.fronts[i];
    set.shapes[i].outline = StraightCubicOutline(scaled);
    set.shapes[i].reserved = 0;
  }
  set.layers.assign(n, 0);
  for (size_t k = 0; k < 16; ++k) set.layers[k * n / 16 + n / 32] = static_cast<int32_t>(k + 1);
  return set;
}

std::unique_ptr<Scene> ShapeScene(const std::string& name, ShapeSet set) {
  auto scene = std::make_unique<Scene>();
  scene->name = name;
  scene->kind = SceneKind::kShapes;
  scene->shapes = std::move(set);
  return scene;
}

}  // namespace

int64_t Scene::Units() const {
  return kind == SceneKind::kGlyphs ? static_cast<int64_t>(glyphs.size()) : 1;
}

int64_t Scene::ImagePixels() const {
  switch (kind) {
    case SceneKind::kGlyphs: {
      int64_t most = 0;
      for (const Glyph& g : glyphs) most = std::max<int64_t>(most, int64_t{g.width} * g.height);
      return most;
    }
    case SceneKind::kShapes:
      return int64_t{shapes.width} * shapes.height;
    case SceneKind::kRibbon:
      return int64_t{ribbon.width} * ribbon.height;
  }
  return 0;
}

std::vector<std::string> SceneNames() {
  std::vector<std::string> names;
  if (HaveGlyphScenes()) names = {"glyphs16", "glyphs64", "glyphs256"};
  for (const char* name :
       {"shapes10k", "triangles1k", "quad4096", "ribbon4000x4000", "ribbon4000x16000"}) {
    names.emplace_back(name);
  }
  return names;
}

std::unique_ptr<Scene> BuildScene(const std::string& name, int glyphStride) {
  if (name == "glyphs16") return BuildGlyphScene(16, glyphStride);
  if (name == "glyphs64") return BuildGlyphScene(64, glyphStride);
  if (name == "glyphs256") return BuildGlyphScene(256, glyphStride);
  if (name == "shapes10k") {
    return ShapeScene(name, RandomShapes(10000, 10000, 8.0, 256.0, 2048, 2048));
  }
  if (name == "triangles1k") return ShapeScene(name, TinyTriangles());
  if (name == "quad4096") return ShapeScene(name, BigQuad());
  if (name == "ribbon4000x4000" || name == "ribbon4000x16000") {
    auto scene = std::make_unique<Scene>();
    scene->name = name;
    scene->kind = SceneKind::kRibbon;
    scene->ribbon = RibbonScene(4000, name == "ribbon4000x4000" ? 4000 : 16000);
    return scene;
  }
  return nullptr;
}

}  // namespace pintovel::bench
