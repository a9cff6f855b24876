// FreeType's anti-aliasing rasterizer as the kernel's peer: direct rendering of spans, clipped
// to the shape's integer pixel box, into a cleared 8-bit buffer of that box. Clearing the box
// each time is the counterpart of the kernel writing every cell of its dense box. The
// FreeType-spans road renders the same outlines with the same flags and clip boxes, and folds
// each span into a checksum instead (the counterpart of kernel-spans).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "freetype_context.h"
#include "roads.h"
#include "span_checksum.h"

namespace pintovel::bench {

bool FreeTypeIsBuilt() {
  return true;
}

namespace {

// Where FreeType's spans land: row = rowBase + rowStep * y for raster row y, column x - left.
struct SpanTarget {
  uint8_t* buffer = nullptr;
  int32_t stride = 0;
  int32_t left = 0;
  int32_t rowBase = 0;
  int32_t rowStep = 1;
};

void WriteSpans(int y, int count, const FT_Span* spans, void* user) {
  const auto* target = static_cast<const SpanTarget*>(user);
  uint8_t* row = target->buffer +
                 static_cast<ptrdiff_t>(target->rowBase + target->rowStep * y) * target->stride;
  for (int i = 0; i < count; ++i) {
    std::memset(row + (spans[i].x - target->left), spans[i].coverage, spans[i].len);
  }
}

// FreeType-spans' callback: `user` is the road's SpanChecksum; y is FreeType's raster row.
void FoldSpans(int y, int count, const FT_Span* spans, void* user) {
  auto* checksum = static_cast<SpanChecksum*>(user);
  for (int i = 0; i < count; ++i) {
    checksum->Add(y, spans[i].x, spans[i].len, spans[i].coverage);
  }
}

// One outline in FreeType units with its pixel clip box and where its rows go.
struct FreeTypeShape {
  FT_Outline* outline;
  FT_BBox clip;
  SpanTarget target;
  size_t bytes;
};

// What both FreeType roads render, unit by unit in the scene's order: a glyph's own outline, or
// a polygon converted to an outline, each with the clip box of its integer pixel box.
class FreeTypeShapes : public PreparedRoad {
 protected:
  explicit FreeTypeShapes(const Scene& scene) : scene_(scene) {
    if (scene.kind == SceneKind::kGlyphs) {
      for (const Glyph& g : scene.glyphs) AddGlyph(g);
    } else {
      context_ = std::make_unique<FreeTypeContext>();
      const ShapeSet& s = scene.shapes;
      for (size_t i = 0; i < s.polygons.size(); ++i) AddPolygon(s.polygons[i], s.boxes[i]);
    }
  }

  FT_Library Library() const {
    return scene_.kind == SceneKind::kGlyphs ? scene_.freetype->library : context_->library;
  }

  // Direct rendering of anti-aliased spans to `spans`, clipped to the box set per shape.
  static FT_Raster_Params DirectParams(FT_SpanFunc spans, void* user) {
    FT_Raster_Params params{};
    params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
    params.gray_spans = spans;
    params.user = user;
    return params;
  }

  const Scene& scene_;
  std::unique_ptr<FreeTypeContext> context_;
  std::vector<FreeTypeShape> shapes_;

 private:
  // Glyph outlines are in 26.6 with y up; the box's top row is raster row boxTop - 1.
  void AddGlyph(const Glyph& g) {
    FreeTypeShape shape{};
    shape.outline = static_cast<FT_Outline*>(g.outline);
    shape.clip = FT_BBox{g.boxLeft, g.boxTop - g.height, g.boxLeft + g.width, g.boxTop};
    shape.target = SpanTarget{nullptr, g.width, g.boxLeft, g.boxTop - 1, -1};
    shape.bytes = static_cast<size_t>(g.width) * static_cast<size_t>(g.height);
    shapes_.push_back(shape);
  }

  // A pixel-space polygon given to FreeType as it is (y down read as y up): raster row y is
  // then pixel row y. Vertices round to FreeType's 1/64 pixel grid; winding is nonzero, and
  // FreeType's coverage does not depend on the outline's sense.
  void AddPolygon(const Polygon& polygon, const CellRange& box) {
    const int n = static_cast<int>(polygon.size());
    FT_Outline* outline = context_->NewOutline(n, 1);
    for (int i = 0; i < n; ++i) {
      outline->points[i].x = static_cast<FT_Pos>(std::lround(polygon[i].x * 64.0));
      outline->points[i].y = static_cast<FT_Pos>(std::lround(polygon[i].y * 64.0));
      outline->tags[i] = FT_CURVE_TAG_ON;
    }
    outline->contours[0] = static_cast<short>(n - 1);
    outline->flags = FT_OUTLINE_NONE;
    FreeTypeShape shape{};
    shape.outline = outline;
    shape.clip = FT_BBox{box.originX, box.originY, box.originX + box.cols, box.originY + box.rows};
    shape.target = SpanTarget{nullptr, box.cols, box.originX, -box.originY, 1};
    shape.bytes = static_cast<size_t>(box.cols) * static_cast<size_t>(box.rows);
    shapes_.push_back(shape);
  }
};

class FreeTypeRoad final : public FreeTypeShapes {
 public:
  explicit FreeTypeRoad(const Scene& scene) : FreeTypeShapes(scene) {
    size_t most = 0;
    for (const FreeTypeShape& shape : shapes_) most = std::max(most, shape.bytes);
    buffer_.resize(most);
    TouchBytes(buffer_.data(), buffer_.size());
    for (FreeTypeShape& shape : shapes_) shape.target.buffer = buffer_.data();
  }

  bool RunOnce() override {
    FT_Library library = Library();
    FT_Raster_Params params = DirectParams(&WriteSpans, nullptr);
    for (FreeTypeShape& shape : shapes_) {
      std::memset(buffer_.data(), 0, shape.bytes);
      params.user = &shape.target;
      params.clip_box = shape.clip;
      if (FT_Outline_Render(library, shape.outline, &params) != 0) return false;
    }
    return true;
  }

  bool DrawUnitForCheck(size_t index) override {
    FreeTypeShape& shape = shapes_.at(index);
    FT_Raster_Params params = DirectParams(&WriteSpans, &shape.target);
    std::memset(buffer_.data(), 0, shape.bytes);
    params.clip_box = shape.clip;
    checked_ = &shape;
    return FT_Outline_Render(Library(), shape.outline, &params) == 0;
  }

  double CheckCoverage(int32_t x, int32_t y) const override {
    return buffer_[static_cast<size_t>(y) * checked_->target.stride + x] / 255.0;
  }

  uint64_t Digest() const override {
    uint64_t digest = 0;
    for (size_t i = 0; i < buffer_.size(); i += 257) digest = digest * 31 + buffer_[i];
    return digest;
  }

 private:
  std::vector<uint8_t> buffer_;
  const FreeTypeShape* checked_ = nullptr;
};

// The same rendering as FreeTypeRoad (flags, outlines, clip boxes), each span folded into a
// checksum: no buffer is cleared or written, so the time is the rasterizer's alone.
class FreeTypeSpansRoad final : public FreeTypeShapes {
 public:
  explicit FreeTypeSpansRoad(const Scene& scene) : FreeTypeShapes(scene) {}

  bool RunOnce() override {
    FT_Library library = Library();
    FT_Raster_Params params = DirectParams(&FoldSpans, &checksum_);
    checksum_ = SpanChecksum{};
    for (const FreeTypeShape& shape : shapes_) {
      params.clip_box = shape.clip;
      if (FT_Outline_Render(library, shape.outline, &params) != 0) return false;
    }
    return true;
  }

  uint64_t Digest() const override {
    return checksum_.Digest();
  }

  // The check renders the unit exactly as RunOnce does but writes its spans into an 8-bit box
  // of its own (the timed road has none), as FreeTypeRoad's buffer is written.
  bool DrawUnitForCheck(size_t index) override {
    const FreeTypeShape& shape = shapes_.at(index);
    checkBuffer_.assign(shape.bytes, 0);
    checkTarget_ = shape.target;
    checkTarget_.buffer = checkBuffer_.data();
    FT_Raster_Params params = DirectParams(&WriteSpans, &checkTarget_);
    params.clip_box = shape.clip;
    return FT_Outline_Render(Library(), shape.outline, &params) == 0;
  }

  double CheckCoverage(int32_t x, int32_t y) const override {
    return checkBuffer_[static_cast<size_t>(y) * checkTarget_.stride + x] / 255.0;
  }

 private:
  SpanChecksum checksum_;
  std::vector<uint8_t> checkBuffer_;
  SpanTarget checkTarget_;
};

}  // namespace

std::unique_ptr<PreparedRoad> PrepareFreeType(const Scene& scene) {
  if (scene.kind == SceneKind::kRibbon) return nullptr;
  return std::make_unique<FreeTypeRoad>(scene);
}

std::unique_ptr<PreparedRoad> PrepareFreeTypeSpans(const Scene& scene) {
  if (scene.kind == SceneKind::kRibbon) return nullptr;
  return std::make_unique<FreeTypeSpansRoad>(scene);
}

}  // namespace pintovel::bench
