#include "ribbon/ribbon_export.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "clip/polygon_split.h"
#include "coverage/pixel_data.h"
#include "curves/flatten.h"
#include "interface/failure.h"
#include "interface/validation.h"

namespace pintovel {

namespace {

constexpr char16_t kProgressPrefix[] = u"撇丝生成...";

// What the call measures: every shape's part that is not measured yet, with its record, and
// the part below the current band that the band's cut carries on.
struct ShapeState {
  std::vector<Polygon> polygons;
  std::vector<Bounds> bounds;
  std::vector<Polygon> carried;
  std::vector<Bounds> carriedBounds;
  std::vector<FrontMask> fronts;
  std::vector<int32_t> ids;
};

bool ShapesAreAccepted(const std::vector<RibbonShape>& shapes) {
  return std::all_of(shapes.begin(), shapes.end(),
                     [](const RibbonShape& shape) { return IsFlattenablePath(shape.outline); });
}

// Flattened in pixel units, bounded and clipped to the image.
ShapeState PrepareShapes(const std::vector<RibbonShape>& shapes, int32_t width, int32_t height) {
  ShapeState state;
  const size_t n = shapes.size();
  state.polygons.resize(n);
  state.bounds.assign(n, Bounds{0.0, 0.0, 0.0, 0.0});
  state.carried.resize(n);
  state.carriedBounds.assign(n, Bounds{0.0, 0.0, 0.0, 0.0});
  state.fronts.reserve(n);
  state.ids.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    FlattenPath(shapes[i].outline, state.polygons[i]);
    state.fronts.push_back(shapes[i].front);
    state.ids.push_back(static_cast<int32_t>(shapes[i].id));
  }
  Polygon scratch;
  Bounds scratchBounds{};
  for (size_t i = 0; i < n; ++i) {
    state.bounds[i] = BoundingBox(state.polygons[i]);
    ClipPolygonToImage(state.polygons[i], state.bounds[i], width, height, state.polygons[i],
                       scratch, scratchBounds);
  }
  return state;
}

// Gives the mask buffer back exactly once: after the last band, or as an exception passes.
class MaskBuffer {
 public:
  MaskBuffer(RibbonAllocator& allocator, uint8_t* bytes) : allocator_(allocator), bytes_(bytes) {}
  MaskBuffer(const MaskBuffer&) = delete;
  MaskBuffer& operator=(const MaskBuffer&) = delete;
  ~MaskBuffer() {
    if (bytes_ != nullptr) allocator_.Free(bytes_);
  }
  uint8_t* bytes() const {
    return bytes_;
  }
  void Free() {
    uint8_t* bytes = bytes_;
    bytes_ = nullptr;
    allocator_.Free(bytes);
  }

 private:
  RibbonAllocator& allocator_;
  uint8_t* bytes_;
};

void WriteMask(const PixelData& band, size_t bandPixels, int32_t id, uint8_t* mask) {
  for (size_t p = 0; p < bandPixels; ++p) {
    uint8_t byte = 255;
    for (const PixelWeight& entry : band.pixels[p]) {
      if (entry.id == id) {
        byte = MaskByteOfWeight(entry.weight);
        break;
      }
    }
    mask[p] = byte;
  }
}

// "撇丝生成..." followed by the share done with one decimal and a percent sign.
std::u16string ProgressText(double percent) {
  char number[64];
  std::snprintf(number, sizeof number, "%.1f%%", percent);
  std::u16string text(kProgressPrefix);
  for (const char* c = number; *c != '\0'; ++c) text.push_back(static_cast<char16_t>(*c));
  return text;
}

}  // namespace

int32_t RowsPerBand(int32_t width, int32_t height) {
  if (static_cast<int64_t>(width) * height <= kMaxBandPixels) return height;
  return std::max<int32_t>(1, kMaxBandPixels / width);
}

uint8_t MaskByteOfWeight(double weight) {
  const double t = 255.0 * weight + 0.5;
  // Weights of folded lists lie in [0, 1] up to rounding; the clamp only keeps the conversion
  // defined.
  const int32_t whole = t <= 0.0 ? 0 : t >= 255.0 ? 255 : static_cast<int32_t>(t);
  return static_cast<uint8_t>(255 - whole);
}

bool RunExportRibbon(const RibbonHost& host, const std::vector<RibbonShape>& shapes,
                     const LayerTable& layers) {
  const int32_t width = host.canvas->GetWidth();
  const int32_t height = host.canvas->GetHeight();
  int64_t pixelCount = 0;
  if (!PixelCount(width, height, pixelCount) || (width == 0 && height > 0) ||
      width > kMaxRibbonWidth) {
    return RejectInput();
  }
  if (!ShapesAreAccepted(shapes)) return RejectInput();

  ShapeState state = PrepareShapes(shapes, width, height);
  const int32_t rowsPerBand = RowsPerBand(width, height);
  size_t bandPixels = static_cast<size_t>(rowsPerBand) * static_cast<size_t>(width);
  PixelData band;
  band.pixels.resize(bandPixels);
  band.width = width;
  band.height = rowsPerBand;
  RibbonRect rect{0, 0, width, rowsPerBand};

  uint8_t* bytes = host.allocator->Allocate(static_cast<int32_t>(bandPixels));
  if (bytes == nullptr) return RejectInput();
  MaskBuffer mask(*host.allocator, bytes);

  host.progress->SetText(kProgressPrefix);
  host.progress->SetPosition(0, 100);

  for (int32_t top = 0; top < height;) {
    int32_t rows = rowsPerBand;
    if (height - top < rowsPerBand) {
      // The last, shorter band: the clip already ended every polygon at the image's height.
      rows = height - top;
      band.height = rows;
      bandPixels = static_cast<size_t>(rows) * static_cast<size_t>(width);
      rect.top = top;
      rect.bottom = height;
    } else {
      for (size_t i = 0; i < shapes.size(); ++i) {
        SplitPolygonAtY(state.bounds[i], state.polygons[i], state.carried[i],
                        state.carriedBounds[i], top + rowsPerBand);
      }
      rect.top = top;
      rect.bottom = top + rowsPerBand;
    }

    const Bounds window{0.0, double(width), double(rect.top), double(rect.bottom)};
    if (!AddShapesToPixelData(band, state.fronts, state.polygons, window, state.ids)) {
      mask.Free();
      return RejectInput();
    }

    for (size_t k = 0; k < layers.size(); ++k) {
      if (layers[k] <= 0) continue;
      WriteMask(band, bandPixels, static_cast<int32_t>(k), mask.bytes());
      host.canvas->PutMask(mask.bytes(), layers[k], &rect);
    }

    const double percent = double(rect.bottom) / height * 100.0;
    host.progress->SetText(ProgressText(percent).c_str());
    host.progress->SetPosition(static_cast<int32_t>(percent), 100);

    // The fold adds to the lists it is given, so the next band starts from empty ones.
    for (std::vector<PixelWeight>& list : band.pixels) list.clear();
    // The carried parts become the shapes still to measure; the old parts are spent, and the
    // next cut empties the carried lists before it writes them.
    state.polygons.swap(state.carried);
    state.bounds.swap(state.carriedBounds);
    top += rows;
  }

  mask.Free();
  return true;
}

}  // namespace pintovel
