#include "ribbon/ribbon_export.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "clip/polygon_split.h"
#include "coverage/front_to_back_fold.h"
#include "coverage/stacking_fold.h"
#include "coverage/weight_rows.h"
#include "curves/flatten.h"
#include "support/failure.h"
#include "support/input_limits.h"

namespace pintovel {

namespace {

constexpr char16_t kProgressPrefix[] = u"撇丝生成...";

// Every shape's outline flattened in pixel units and clipped to the image, with the record
// that contains it.
struct ShapeOutlines {
  std::vector<Polygon> polygons;
  std::vector<Bounds> bounds;
};

bool ShapesAreAccepted(const std::vector<RibbonShape>& shapes) {
  return std::all_of(shapes.begin(), shapes.end(),
                     [](const RibbonShape& shape) { return IsFlattenablePath(shape.outline); });
}

ShapeOutlines PrepareOutlines(const std::vector<RibbonShape>& shapes, int32_t width,
                              int32_t height) {
  ShapeOutlines outlines;
  const size_t n = shapes.size();
  outlines.polygons.resize(n);
  outlines.bounds.assign(n, Bounds{0.0, 0.0, 0.0, 0.0});
  Polygon scratch;
  Bounds scratchBounds{};
  for (size_t i = 0; i < n; ++i) {
    Polygon& polygon = outlines.polygons[i];
    FlattenPath(shapes[i].outline, polygon);
    outlines.bounds[i] = BoundingBox(polygon);
    ClipPolygonToImage(polygon, outlines.bounds[i], width, height, polygon, scratch, scratchBounds);
  }
  return outlines;
}

bool ShapeReachesRows(const Polygon& polygon, const Bounds& bounds, int32_t top, int32_t bottom) {
  return !polygon.empty() && bounds.maxY > top && bounds.minY < bottom;
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

// Folds every shape into the band's rows (of an image `height` rows tall) in list order; with
// `checkEachShape`, false as soon as a shape covers a list holding an id its mask cannot answer
// for.
bool FoldInListOrder(const std::vector<RibbonShape>& shapes, const ShapeOutlines& outlines,
                     const std::vector<BoundedFront>& fronts, bool checkEachShape, int32_t height,
                     MeasureScratch& scratch, WeightRows& band) {
  const int32_t top = band.firstRow();
  const int32_t bottom = top + band.rowCount();
  const CellRange image{0, 0, band.width(), height};
  for (size_t i = 0; i < shapes.size(); ++i) {
    if (!ShapeReachesRows(outlines.polygons[i], outlines.bounds[i], top, bottom)) continue;
    if (!checkEachShape) {
      FoldingSink fold(band, fronts[i], shapes[i].id);
      MeasureCoverageRows(outlines.polygons[i], image, top, bottom, scratch.kernel, fold);
      continue;
    }
    MeasureRowsOfOutline(outlines.polygons[i], image, top, bottom, scratch);
    if (!band.ListsFitMask(scratch.rows, shapes[i].front)) return false;
    band.Fold(scratch.rows, fronts[i], shapes[i].id);
  }
  return true;
}

// The mask of `id` over the rows held: 255 where a list has no entry for the id, else the
// byte of its (only) entry's weight.
void WriteMask(const WeightRows& rows, int32_t id, uint8_t* mask) {
  const size_t width = static_cast<size_t>(rows.width());
  for (int32_t y = rows.firstRow(); y < rows.firstRow() + rows.rowCount(); ++y) {
    uint8_t* row = mask + static_cast<size_t>(y - rows.firstRow()) * width;
    const WeightRow& weightRow = rows.Row(y);
    const std::vector<WeightRun>& runs = weightRow.runs;
    if (runs.empty()) std::memset(row, 255, width);
    for (size_t k = 0; k < runs.size(); ++k) {
      uint8_t byte = 255;
      const PixelWeight* entries = weightRow.EntriesOf(runs[k]);
      for (uint32_t j = 0; j < runs[k].count; ++j) {
        if (entries[j].id == id) {
          byte = MaskByteOfWeight(entries[j].weight);
          break;
        }
      }
      std::memset(row + runs[k].x0, byte, static_cast<size_t>(rows.RunEnd(runs, k) - runs[k].x0));
    }
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

  const ShapeOutlines outlines = PrepareOutlines(shapes, width, height);
  const bool checkEachShape = !IdsFitEveryMask(
      shapes.size(), [&](size_t i) -> const FrontMask& { return shapes[i].front; },
      [&](size_t i) { return int32_t{shapes[i].id}; },
      [&](size_t i) { return !outlines.polygons[i].empty(); });
  std::vector<BoundedFront> fronts(shapes.size());
  std::vector<int32_t> ids(shapes.size());
  for (size_t i = 0; i < shapes.size(); ++i) {
    fronts[i] = BoundFront(shapes[i].front);
    ids[i] = shapes[i].id;
  }
  const bool frontToBack = !checkEachShape && InPaintingOrder(fronts, outlines.polygons, ids);
  const int32_t rowsPerBand = RowsPerBand(width, height);
  const size_t bandPixels = static_cast<size_t>(rowsPerBand) * static_cast<size_t>(width);
  WeightRows band;
  MeasureScratch scratch;

  uint8_t* bytes = host.allocator->Allocate(static_cast<int32_t>(bandPixels));
  if (bytes == nullptr) return RejectInput();
  MaskBuffer mask(*host.allocator, bytes);

  host.progress->SetText(kProgressPrefix);
  host.progress->SetPosition(0, 100);

  // Rows do not depend on each other, so each band measures just its rows of every outline.
  for (int32_t top = 0; top < height;) {
    const int32_t bottom = std::min(height, top + rowsPerBand);
    band.Reset(width, top, bottom - top);
    if (frontToBack) {
      FoldFrontToBack(fronts, outlines.polygons, ids, height, band);
    } else if (!FoldInListOrder(shapes, outlines, fronts, checkEachShape, height, scratch, band)) {
      mask.Free();
      return RejectInput();
    }

    const RibbonRect rect{0, top, width, bottom};
    for (size_t k = 0; k < layers.size(); ++k) {
      if (layers[k] <= 0) continue;
      WriteMask(band, static_cast<int32_t>(k), mask.bytes());
      host.canvas->PutMask(mask.bytes(), layers[k], &rect);
    }

    const double percent = double(bottom) / height * 100.0;
    host.progress->SetText(ProgressText(percent).c_str());
    host.progress->SetPosition(static_cast<int32_t>(percent), 100);
    top = bottom;
  }

  mask.Free();
  return true;
}

}  // namespace pintovel
