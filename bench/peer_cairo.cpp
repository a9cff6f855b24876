// Cairo as the peer of the drawing roads: it fills exactly the library's polygons (nonzero
// winding, solid colour) on ARGB32 image surfaces, antialiased (CAIRO_ANTIALIAS_DEFAULT) as the
// peer of AllShapeDraw or not (CAIRO_ANTIALIAS_NONE) as the peer of AllShapeDraw_Quickly.
// Surfaces wrap the road's own pixel buffer and are made once; a cairo_t is made per draw, one
// per glyph image or one per list, as a host would.
#include <cairo.h>

#include <algorithm>
#include <cstring>

#include "roads.h"

namespace pintovel::bench {

bool CairoIsBuilt() {
  return true;
}

namespace {

class CairoRoad final : public PreparedRoad {
 public:
  CairoRoad(const Scene& scene, bool antialias)
      : scene_(scene), antialias_(antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE) {
    size_t most = 0;
    if (scene.kind == SceneKind::kGlyphs) {
      for (const Glyph& g : scene.glyphs) most = std::max(most, BytesOf(g.width, g.height));
    } else {
      most = BytesOf(scene.shapes.width, scene.shapes.height);
    }
    pixels_.resize(most);
    TouchBytes(pixels_.data(), pixels_.size());
    if (scene.kind == SceneKind::kGlyphs) {
      for (const Glyph& g : scene.glyphs) surfaces_.push_back(WrapPixels(g.width, g.height));
    } else {
      surfaces_.push_back(WrapPixels(scene.shapes.width, scene.shapes.height));
    }
  }
  ~CairoRoad() override {
    for (cairo_surface_t* surface : surfaces_) cairo_surface_destroy(surface);
  }
  CairoRoad(const CairoRoad&) = delete;
  CairoRoad& operator=(const CairoRoad&) = delete;

  bool RunOnce() override {
    if (scene_.kind == SceneKind::kGlyphs) {
      for (size_t i = 0; i < scene_.glyphs.size(); ++i) {
        cairo_t* cr = Begin(surfaces_[i]);
        Fill(cr, scene_.glyphs[i].polygons.front(), 0xff3366ccu);
        if (!End(cr)) return false;
      }
      return true;
    }
    const ShapeSet& s = scene_.shapes;
    cairo_t* cr = Begin(surfaces_.front());
    for (size_t i = 0; i < s.polygons.size(); ++i) Fill(cr, s.polygons[i], s.colours[i]);
    return End(cr);
  }

  uint64_t Digest() const override {
    uint64_t digest = 0;
    for (size_t i = 0; i < pixels_.size(); i += 4099) digest = digest * 31 + pixels_[i];
    return digest;
  }

  // Alpha of the unit's opaque colour over transparent pixels, read in the unit's box.
  bool DrawUnitForCheck(size_t index) override {
    std::fill(pixels_.begin(), pixels_.end(), uint8_t{0});
    const bool glyphs = scene_.kind == SceneKind::kGlyphs;
    checked_ = surfaces_.at(glyphs ? index : 0);
    cairo_surface_mark_dirty(checked_);
    const CellRange box = glyphs ? CellRange{0, 0, 0, 0} : scene_.shapes.boxes.at(index);
    checkLeft_ = box.originX;
    checkTop_ = box.originY;
    cairo_t* cr = Begin(checked_);
    Fill(cr, glyphs ? scene_.glyphs[index].polygons.front() : scene_.shapes.polygons[index],
         0xff3366ccu);
    const bool ok = End(cr);
    cairo_surface_flush(checked_);
    return ok;
  }
  double CheckCoverage(int32_t x, int32_t y) const override {
    const size_t row = static_cast<size_t>(checkTop_ + y);
    const size_t column = static_cast<size_t>(checkLeft_ + x);
    uint32_t pixel;
    std::memcpy(&pixel,
                pixels_.data() + row * cairo_image_surface_get_stride(checked_) + 4 * column, 4);
    return (pixel >> 24) / 255.0;
  }

 private:
  static size_t BytesOf(int32_t width, int32_t height) {
    return static_cast<size_t>(cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width)) *
           static_cast<size_t>(height);
  }
  cairo_surface_t* WrapPixels(int32_t width, int32_t height) {
    return cairo_image_surface_create_for_data(
        pixels_.data(), CAIRO_FORMAT_ARGB32, width, height,
        cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width));
  }
  cairo_t* Begin(cairo_surface_t* surface) const {
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, antialias_);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    return cr;
  }
  // Channel bytes 2, 1, 0 of the colour are red, green, blue, as in an ARGB32 pixel.
  static void Fill(cairo_t* cr, const Polygon& polygon, uint32_t colour) {
    cairo_set_source_rgb(cr, ((colour >> 16) & 0xffu) / 255.0, ((colour >> 8) & 0xffu) / 255.0,
                         (colour & 0xffu) / 255.0);
    cairo_move_to(cr, polygon.front().x, polygon.front().y);
    for (size_t k = 1; k < polygon.size(); ++k) cairo_line_to(cr, polygon[k].x, polygon[k].y);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  static bool End(cairo_t* cr) {
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    return ok;
  }

  const Scene& scene_;
  cairo_antialias_t antialias_;
  std::vector<uint8_t> pixels_;
  std::vector<cairo_surface_t*> surfaces_;
  cairo_surface_t* checked_ = nullptr;
  int32_t checkLeft_ = 0;
  int32_t checkTop_ = 0;
};

}  // namespace

std::unique_ptr<PreparedRoad> PrepareCairo(const Scene& scene, bool antialias) {
  if (scene.kind == SceneKind::kRibbon) return nullptr;
  return std::make_unique<CairoRoad>(scene, antialias);
}

}  // namespace pintovel::bench
