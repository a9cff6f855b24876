#include "glyph_scene.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "curves/flatten.h"
#include "freetype_context.h"

namespace pintovel::bench {

FreeTypeContext::FreeTypeContext() {
  if (FT_Init_FreeType(&library) != 0) throw std::runtime_error("FT_Init_FreeType failed");
}

FreeTypeContext::~FreeTypeContext() {
  for (FT_Outline& outline : outlines) FT_Outline_Done(library, &outline);
  if (face != nullptr) FT_Done_Face(face);
  FT_Done_FreeType(library);
}

FT_Outline* FreeTypeContext::NewOutline(int points, int contours) {
  outlines.emplace_back();
  FT_Outline* outline = &outlines.back();
  if (FT_Outline_New(library, static_cast<FT_UInt>(points), contours, outline) != 0) {
    outlines.pop_back();
    throw std::runtime_error("FT_Outline_New failed");
  }
  return outline;
}

bool HaveGlyphScenes() {
  return true;
}

namespace {

// The outline's contours as cubic paths in the glyph box's pixel space (y down), built by
// FT_Outline_Decompose. Lines become straight cubics, conics their exact cubic elevation.
struct ContourBuilder {
  std::vector<BezierPath> paths;
  double left = 0.0;  // box left in pixels
  double top = 0.0;   // box top (y up) in pixels

  Point ToPixels(const FT_Vector* v) const {
    return Point{v->x / 64.0 - left, top - v->y / 64.0};
  }
  void AddCubic(Point c1, Point c2, Point end) {
    BezierPath& path = paths.back();
    path.push_back(c1);
    path.push_back(c2);
    path.push_back(end);
  }

  static int MoveTo(const FT_Vector* to, void* user) {
    auto* self = static_cast<ContourBuilder*>(user);
    self->paths.push_back(BezierPath{self->ToPixels(to)});
    return 0;
  }
  static int LineTo(const FT_Vector* to, void* user) {
    auto* self = static_cast<ContourBuilder*>(user);
    const Point a = self->paths.back().back(), b = self->ToPixels(to);
    self->AddCubic(Point{a.x + (b.x - a.x) / 3.0, a.y + (b.y - a.y) / 3.0},
                   Point{a.x + 2.0 * (b.x - a.x) / 3.0, a.y + 2.0 * (b.y - a.y) / 3.0}, b);
    return 0;
  }
  static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* self = static_cast<ContourBuilder*>(user);
    const Point a = self->paths.back().back(), q = self->ToPixels(control), b = self->ToPixels(to);
    self->AddCubic(Point{a.x + 2.0 * (q.x - a.x) / 3.0, a.y + 2.0 * (q.y - a.y) / 3.0},
                   Point{b.x + 2.0 * (q.x - b.x) / 3.0, b.y + 2.0 * (q.y - b.y) / 3.0}, b);
    return 0;
  }
  static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* self = static_cast<ContourBuilder*>(user);
    self->AddCubic(self->ToPixels(c1), self->ToPixels(c2), self->ToPixels(to));
    return 0;
  }
};

// The flattened contours as one polygon: each contour in turn, a bridge from the end of one
// (its start point again) to the start of the next, and after the last the same bridges walked
// back to the first start. Every bridge is run once each way, so they enclose nothing.
Polygon JoinContours(const std::vector<Polygon>& contours) {
  Polygon joined;
  for (const Polygon& contour : contours)
    joined.insert(joined.end(), contour.begin(), contour.end());
  for (size_t k = contours.size(); k-- > 1;) joined.push_back(contours[k - 1].front());
  return joined;
}

}  // namespace

std::unique_ptr<Scene> BuildGlyphScene(int32_t pixelsPerEm, int glyphStride) {
  auto context = std::make_shared<FreeTypeContext>();
  if (FT_New_Face(context->library, kGlyphFontPath, 0, &context->face) != 0) return nullptr;
  FT_Face face = context->face;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelsPerEm)) != 0) return nullptr;

  auto scene = std::make_unique<Scene>();
  scene->name = "glyphs" + std::to_string(pixelsPerEm);
  scene->kind = SceneKind::kGlyphs;
  scene->freetype = context;

  FT_Outline_Funcs funcs{};
  funcs.move_to = &ContourBuilder::MoveTo;
  funcs.line_to = &ContourBuilder::LineTo;
  funcs.conic_to = &ContourBuilder::ConicTo;
  funcs.cubic_to = &ContourBuilder::CubicTo;

  const int stride = std::max(1, glyphStride);
  for (FT_Long index = 0; index < face->num_glyphs; index += stride) {
    if (FT_Load_Glyph(face, static_cast<FT_UInt>(index), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) !=
            0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE || face->glyph->outline.n_contours <= 0) {
      continue;
    }
    const FT_Outline& source = face->glyph->outline;
    FT_BBox cbox;
    FT_Outline_Get_CBox(&source, &cbox);
    Glyph glyph;
    glyph.boxLeft = static_cast<int32_t>(std::floor(cbox.xMin / 64.0));
    glyph.boxTop = static_cast<int32_t>(std::ceil(cbox.yMax / 64.0));
    glyph.width = static_cast<int32_t>(std::ceil(cbox.xMax / 64.0)) - glyph.boxLeft;
    glyph.height = glyph.boxTop - static_cast<int32_t>(std::floor(cbox.yMin / 64.0));
    if (glyph.width <= 0 || glyph.height <= 0) continue;

    ContourBuilder builder;
    builder.left = glyph.boxLeft;
    builder.top = glyph.boxTop;
    if (FT_Outline_Decompose(const_cast<FT_Outline*>(&source), &funcs, &builder) != 0) continue;
    std::vector<Polygon> contours(builder.paths.size());
    for (size_t k = 0; k < builder.paths.size(); ++k) FlattenPath(builder.paths[k], contours[k]);
    Polygon joined = JoinContours(contours);
    // The y flip keeps the picture, and so the sense in which outlines run on screen: TrueType
    // outer contours run clockwise, which the library counts positive. PostScript-style
    // outlines run the other way and are reversed.
    if (FT_Outline_Get_Orientation(const_cast<FT_Outline*>(&source)) == FT_ORIENTATION_POSTSCRIPT) {
      std::reverse(joined.begin(), joined.end());
    }
    glyph.polygons.push_back(std::move(joined));

    FT_Outline* copy = context->NewOutline(source.n_points, source.n_contours);
    FT_Outline_Copy(&source, copy);
    glyph.outline = copy;
    scene->glyphs.push_back(std::move(glyph));
  }
  return scene;
}

}  // namespace pintovel::bench
