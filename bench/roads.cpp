#include "roads.h"

#include <algorithm>
#include <cstring>

#include "kernel_entry.h"
#include "span_checksum.h"

namespace pintovel::bench {

namespace {

struct RoadNameEntry {
  Road road;
  const char* name;
};

constexpr RoadNameEntry kRoadNames[] = {
    {Road::kAllShapeDraw, "AllShapeDraw"},
    {Road::kQuickly, "AllShapeDraw_Quickly"},
    {Road::kKernel, "kernel"},
    {Road::kFreeType, "FreeType"},
    {Road::kKernelSpans, "kernel-spans"},
    {Road::kFreeTypeSpans, "FreeType-spans"},
    {Road::kCairoAa, "Cairo-AA"},
    {Road::kCairoNoAa, "Cairo-noAA"},
    {Road::kExportRibbon, "ExportRibbon"},
};

uint64_t DigestBytes(const std::vector<uint8_t>& bytes) {
  uint64_t digest = 0;
  for (size_t i = 0; i < bytes.size(); i += 4099) digest = digest * 31 + bytes[i];
  return digest;
}

// The one-shape image of a glyph: the shape's front mask, id and colour.
struct OneShape {
  std::vector<FrontMask> fronts{FrontMask(1, false)};
  std::vector<int32_t> ids{0};
  ColourTable colours{0xff3366ccu};
};

using DrawExport = bool (*)(const std::vector<FrontMask>*, const std::vector<Polygon>*,
                            const std::vector<int32_t>*, const ColourTable*, int32_t, int32_t,
                            uint8_t*);

// AllShapeDraw or AllShapeDraw_Quickly: one call per glyph image, or one for the whole list.
class ExportDrawRoad final : public PreparedRoad {
 public:
  ExportDrawRoad(const Scene& scene, DrawExport draw)
      : scene_(scene), draw_(draw), image_(static_cast<size_t>(scene.ImagePixels()) * 4) {
    TouchBytes(image_.data(), image_.size());
  }
  bool RunOnce() override {
    if (scene_.kind == SceneKind::kGlyphs) {
      for (const Glyph& g : scene_.glyphs) {
        if (!draw_(&one_.fronts, &g.polygons, &one_.ids, &one_.colours, g.width, g.height,
                   image_.data())) {
          return false;
        }
      }
      return true;
    }
    const ShapeSet& s = scene_.shapes;
    return draw_(&s.fronts, &s.polygons, &s.ids, &s.colours, s.width, s.height, image_.data());
  }
  uint64_t Digest() const override {
    return DigestBytes(image_);
  }
  bool DrawUnitForCheck(size_t index) override {
    if (scene_.kind != SceneKind::kGlyphs) return false;
    const Glyph& g = scene_.glyphs.at(index);
    std::fill(image_.begin(), image_.end(), uint8_t{0});
    checkWidth_ = g.width;
    return draw_(&one_.fronts, &g.polygons, &one_.ids, &one_.colours, g.width, g.height,
                 image_.data());
  }
  // Byte 0 of the colour over black is weight * byte 0 (AllShapeDraw) or all or nothing
  // (AllShapeDraw_Quickly).
  double CheckCoverage(int32_t x, int32_t y) const override {
    const size_t pixel = static_cast<size_t>(y) * checkWidth_ + x;
    return image_[pixel * 4] / double(one_.colours[0] & 0xffu);
  }

 private:
  const Scene& scene_;
  DrawExport draw_;
  OneShape one_;
  std::vector<uint8_t> image_;
  int32_t checkWidth_ = 0;
};

class KernelRoad final : public PreparedRoad {
 public:
  explicit KernelRoad(const Scene& scene) : scene_(scene) {
    size_t most = 0;
    for (const Glyph& g : scene.glyphs) {
      most = std::max(most, static_cast<size_t>(g.width) * static_cast<size_t>(g.height));
    }
    for (const CellRange& box : scene.shapes.boxes) {
      most = std::max(most, static_cast<size_t>(box.cols) * static_cast<size_t>(box.rows));
    }
    ReserveKernelOutput(work_, most);
  }
  bool RunOnce() override {
    if (scene_.kind == SceneKind::kGlyphs) {
      for (const Glyph& g : scene_.glyphs) {
        Read(MeasureKernelCoverage(g.polygons.front(), CellRange{0, 0, g.width, g.height}, work_));
      }
      return true;
    }
    const ShapeSet& s = scene_.shapes;
    for (size_t i = 0; i < s.polygons.size(); ++i) {
      Read(MeasureKernelCoverage(s.polygons[i], s.boxes[i], work_));
    }
    return true;
  }
  uint64_t Digest() const override {
    return digest_;
  }
  bool DrawUnitForCheck(size_t index) override {
    if (scene_.kind == SceneKind::kGlyphs) {
      const Glyph& g = scene_.glyphs.at(index);
      checked_ =
          MeasureKernelCoverage(g.polygons.front(), CellRange{0, 0, g.width, g.height}, work_);
      checkWidth_ = g.width;
    } else {
      checked_ = MeasureKernelCoverage(scene_.shapes.polygons.at(index), scene_.shapes.boxes[index],
                                       work_);
      checkWidth_ = scene_.shapes.boxes[index].cols;
    }
    return true;
  }
  double CheckCoverage(int32_t x, int32_t y) const override {
    return checked_[static_cast<size_t>(y) * checkWidth_ + x];
  }

 private:
  void Read(const double* values) {
    digest_ = digest_ * 31 + static_cast<uint64_t>(values[0] * 1e6);
  }
  const Scene& scene_;
  KernelWork work_;
  uint64_t digest_ = 0;
  const double* checked_ = nullptr;
  int32_t checkWidth_ = 0;
};

// The kernel-spans road's sink: each span is folded into the checksum and goes nowhere else.
class ChecksumSink final : public CoverageRowSink {
 public:
  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    for (size_t i = 0; i < count; ++i) {
      checksum.Add(y, spans[i].x0, spans[i].x1 - spans[i].x0, spans[i].value);
    }
  }
  SpanChecksum checksum;
};

// The kernel on the same polygons and boxes as KernelRoad, its spans folded into a checksum
// instead of written into a dense box: the rasterizer's own cost, without an output buffer.
class KernelSpansRoad final : public PreparedRoad {
 public:
  // The unit list is allocated once: freeing the blocks of a growing list would move glibc's
  // mmap threshold and change where the kernel's working memory lands, which the memory
  // driver would count against this road.
  explicit KernelSpansRoad(const Scene& scene) {
    const ShapeSet& s = scene.shapes;
    units_.reserve(scene.glyphs.size() + s.polygons.size());
    for (const Glyph& g : scene.glyphs) {
      units_.push_back(Unit{&g.polygons.front(), CellRange{0, 0, g.width, g.height}});
    }
    for (size_t i = 0; i < s.polygons.size(); ++i) {
      units_.push_back(Unit{&s.polygons[i], s.boxes[i]});
    }
  }
  bool RunOnce() override {
    sink_.checksum = SpanChecksum{};
    for (const Unit& unit : units_) {
      MeasureKernelSpans(*unit.polygon, unit.box, work_.scratch, sink_);
    }
    return true;
  }
  uint64_t Digest() const override {
    return sink_.checksum.Digest();
  }
  // The check reads the unit through the kernel's dense entry, the same call with a sink that
  // writes the spans into a box (the timed road writes none).
  bool DrawUnitForCheck(size_t index) override {
    const Unit& unit = units_.at(index);
    checked_ = MeasureKernelCoverage(*unit.polygon, unit.box, work_);
    checkWidth_ = unit.box.cols;
    return true;
  }
  double CheckCoverage(int32_t x, int32_t y) const override {
    return checked_[static_cast<size_t>(y) * checkWidth_ + x];
  }

 private:
  struct Unit {
    const Polygon* polygon;
    CellRange box;
  };
  std::vector<Unit> units_;
  KernelWork work_;  // its box is written on the check path only
  ChecksumSink sink_;
  const double* checked_ = nullptr;
  int32_t checkWidth_ = 0;
};

// Host callbacks of a host that keeps nothing: the masks are read, not stored.
class NullCanvas final : public RibbonCanvas {
 public:
  NullCanvas(int32_t width, int32_t height) : width_(width), height_(height) {}
  int32_t GetWidth() override {
    return width_;
  }
  int32_t GetHeight() override {
    return height_;
  }
  void PutMask(const uint8_t* mask, int32_t layer, const RibbonRect* rect) override {
    digest = digest * 31 + mask[0] + static_cast<uint64_t>(layer) + rect->top;
  }
  uint64_t digest = 0;

 private:
  int32_t width_;
  int32_t height_;
};

class HeapAllocator final : public RibbonAllocator {
 public:
  uint8_t* Allocate(int32_t size) override {
    return new uint8_t[static_cast<size_t>(size)];
  }
  void Free(uint8_t* buffer) override {
    delete[] buffer;
  }
};

class SilentProgress final : public RibbonProgress {
 public:
  void SetPosition(int32_t, int32_t) override {}
  void SetText(const char16_t*) override {}
};

class RibbonRoad final : public PreparedRoad {
 public:
  explicit RibbonRoad(const Scene& scene)
      : scene_(scene), canvas_(scene.ribbon.width, scene.ribbon.height) {}
  bool RunOnce() override {
    RibbonHost host{&canvas_, &allocator_, &progress_};
    return ExportRibbon(&host, &scene_.ribbon.shapes, &scene_.ribbon.layers);
  }
  uint64_t Digest() const override {
    return canvas_.digest;
  }

 private:
  const Scene& scene_;
  NullCanvas canvas_;
  HeapAllocator allocator_;
  SilentProgress progress_;
};

}  // namespace

const std::vector<Road>& AllRoads() {
  static const std::vector<Road> roads = [] {
    std::vector<Road> all;
    for (const RoadNameEntry& e : kRoadNames) all.push_back(e.road);
    return all;
  }();
  return roads;
}

const char* RoadName(Road road) {
  for (const RoadNameEntry& e : kRoadNames) {
    if (e.road == road) return e.name;
  }
  return "?";
}

bool ParseRoad(const std::string& name, Road& road) {
  for (const RoadNameEntry& e : kRoadNames) {
    if (name == e.name) {
      road = e.road;
      return true;
    }
  }
  return false;
}

bool RoadIsBuilt(Road road) {
  switch (road) {
    case Road::kFreeType:
    case Road::kFreeTypeSpans:
      return FreeTypeIsBuilt();
    case Road::kCairoAa:
    case Road::kCairoNoAa:
      return CairoIsBuilt();
    default:
      return true;
  }
}

bool RoadAppliesTo(Road road, SceneKind kind) {
  if (kind == SceneKind::kRibbon) return road == Road::kExportRibbon;
  return road != Road::kExportRibbon;
}

std::unique_ptr<PreparedRoad> PrepareRoad(const Scene& scene, Road road) {
  if (!RoadIsBuilt(road) || !RoadAppliesTo(road, scene.kind)) return nullptr;
  switch (road) {
    case Road::kAllShapeDraw:
      return std::make_unique<ExportDrawRoad>(scene, &AllShapeDraw);
    case Road::kQuickly:
      return std::make_unique<ExportDrawRoad>(scene, &AllShapeDraw_Quickly);
    case Road::kKernel:
      return std::make_unique<KernelRoad>(scene);
    case Road::kFreeType:
      return PrepareFreeType(scene);
    case Road::kKernelSpans:
      return std::make_unique<KernelSpansRoad>(scene);
    case Road::kFreeTypeSpans:
      return PrepareFreeTypeSpans(scene);
    case Road::kCairoAa:
      return PrepareCairo(scene, true);
    case Road::kCairoNoAa:
      return PrepareCairo(scene, false);
    case Road::kExportRibbon:
      return std::make_unique<RibbonRoad>(scene);
  }
  return nullptr;
}

void TouchBytes(void* bytes, size_t size) {
  std::memset(bytes, 0x5a, size);
}

}  // namespace pintovel::bench
