#include "ribbon_masks.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "pintovel/pintovel.h"
#include "shape_tables.h"
#include "tool_error.h"

namespace pintovel_render {

namespace {

ToolError RibbonFailure(const std::string& what) {
  return ToolError(ExitCode::kLibraryFailure, "the ribbon export failed: " + what);
}

// Receives the bands of every mask of one pass. Mask slot k belongs to the k-th id of the
// pass; its layer value is k + 1 (layer values must be above zero).
class MaskCanvas final : public pintovel::RibbonCanvas {
 public:
  MaskCanvas(int width, int height, std::size_t slots)
      : width_(width), height_(height), masks_(slots), rowsReceived_(slots, 0) {
    for (PngImage& mask : masks_) {
      mask.width = width;
      mask.height = height;
      mask.channels = 1;
      mask.pixels.assign(static_cast<std::size_t>(width) * height, 255);
    }
  }

  int32_t GetWidth() override {
    return width_;
  }
  int32_t GetHeight() override {
    return height_;
  }

  void PutMask(const uint8_t* mask, int32_t layer, const pintovel::RibbonRect* rect) override {
    if (!problem_.empty()) return;
    if (layer < 1 || static_cast<std::size_t>(layer) > masks_.size()) {
      problem_ = "PutMask with the unknown layer value " + std::to_string(layer);
      return;
    }
    if (mask == nullptr || rect == nullptr || rect->left != 0 || rect->right != width_ ||
        rect->top < 0 || rect->bottom > height_ || rect->top >= rect->bottom) {
      problem_ = "PutMask with a band that is not a run of whole rows of the image";
      return;
    }
    const std::size_t slot = static_cast<std::size_t>(layer - 1);
    const std::size_t offset = static_cast<std::size_t>(rect->top) * width_;
    const std::size_t bytes = static_cast<std::size_t>(rect->bottom - rect->top) * width_;
    std::memcpy(masks_[slot].pixels.data() + offset, mask, bytes);
    rowsReceived_[slot] += rect->bottom - rect->top;
  }

  // Empty when every mask received every row exactly once.
  std::string Problem() const {
    if (!problem_.empty()) return problem_;
    for (std::size_t slot = 0; slot < masks_.size(); ++slot) {
      if (rowsReceived_[slot] != height_) {
        return "mask " + std::to_string(slot + 1) + " received " +
               std::to_string(rowsReceived_[slot]) + " rows of " + std::to_string(height_);
      }
    }
    return {};
  }

  std::vector<PngImage> TakeMasks() {
    return std::move(masks_);
  }

 private:
  int width_;
  int height_;
  std::vector<PngImage> masks_;
  std::vector<long long> rowsReceived_;
  std::string problem_;
};

// One buffer, handed out once and taken back once.
class MaskAllocator final : public pintovel::RibbonAllocator {
 public:
  uint8_t* Allocate(int32_t size) override {
    ++allocations_;
    buffer_.assign(static_cast<std::size_t>(std::max<int32_t>(size, 1)), 0);
    return buffer_.data();
  }

  void Free(uint8_t* buffer) override {
    ++frees_;
    if (buffer != buffer_.data()) foreignFree_ = true;
    buffer_.clear();
    buffer_.shrink_to_fit();
  }

  std::string Problem() const {
    if (allocations_ != 1 || frees_ != 1 || foreignFree_) {
      return "the mask buffer was allocated " + std::to_string(allocations_) + " time(s) and " +
             "freed " + std::to_string(frees_) + " time(s)" +
             (foreignFree_ ? ", once with an unknown address" : "");
    }
    return {};
  }

 private:
  std::vector<uint8_t> buffer_;
  int allocations_ = 0;
  int frees_ = 0;
  bool foreignFree_ = false;
};

// Shows the library's position under the tool's own label. The library's progress texts are
// for its own users and are not shown: the host presents progress as it likes.
class ProgressForwarder final : public pintovel::RibbonProgress {
 public:
  ProgressForwarder(ProgressDisplay* display, std::string label)
      : display_(display), label_(std::move(label)) {}

  void SetPosition(int32_t position, int32_t range) override {
    if (display_ != nullptr)
      display_->Show(ProgressLabel(label_, position, range), position, range);
  }

  void SetText(const char16_t*) override {}

 private:
  ProgressDisplay* display_;
  std::string label_;
};

std::vector<pintovel::RibbonShape> RibbonShapes(const Scene& scene) {
  const std::size_t count = scene.shapes.size();
  std::vector<pintovel::FrontMask> fronts = DocumentOrderFronts(count);
  std::vector<pintovel::RibbonShape> shapes(count);
  for (std::size_t i = 0; i < count; ++i) {
    shapes[i].id = static_cast<int16_t>(i);
    shapes[i].front = std::move(fronts[i]);
    shapes[i].outline = scene.shapes[i].outline;  // already in the image's pixels
    shapes[i].reserved = 0;
  }
  return shapes;
}

}  // namespace

void CheckRibbonShapeCount(std::size_t count) {
  if (count > kMaxRibbonShapes) {
    throw ToolError(ExitCode::kTooManyShapes, "ribbon masks name shapes by 16-bit ids: at most " +
                                                  std::to_string(kMaxRibbonShapes) +
                                                  " shapes, but the drawing has " +
                                                  std::to_string(count));
  }
}

std::vector<PngImage> ExportMasks(const Scene& scene, const std::vector<int>& ids,
                                  ProgressDisplay* progress) {
  const std::size_t count = scene.shapes.size();
  CheckRibbonShapeCount(count);
  for (int id : ids) {
    if (id < 0 || static_cast<std::size_t>(id) >= count) {
      throw ToolError(ExitCode::kUsage,
                      "--ids: there is no shape " + std::to_string(id) + " (the drawing has " +
                          std::to_string(count) + " shapes" +
                          (count > 0 ? ", ids 0 to " + std::to_string(count - 1) : "") + ")");
    }
  }
  const std::vector<pintovel::RibbonShape> shapes = RibbonShapes(scene);
  const std::size_t maskBytes = static_cast<std::size_t>(scene.width) * scene.height;
  const std::size_t perPass = std::max<std::size_t>(1, kMaskMemoryBudget / maskBytes);
  const std::size_t passes = (ids.size() + perPass - 1) / perPass;

  std::vector<PngImage> masks;
  masks.reserve(ids.size());
  for (std::size_t pass = 0; pass < passes; ++pass) {
    const std::size_t first = pass * perPass;
    const std::size_t last = std::min(ids.size(), first + perPass);
    pintovel::LayerTable layers(count, 0);
    for (std::size_t k = first; k < last; ++k) {
      layers[static_cast<std::size_t>(ids[k])] = static_cast<int32_t>(k - first + 1);
    }
    MaskCanvas canvas(scene.width, scene.height, last - first);
    MaskAllocator allocator;
    ProgressForwarder forwarder(progress, passes > 1 ? "measuring masks (pass " +
                                                           std::to_string(pass + 1) + " of " +
                                                           std::to_string(passes) + ")"
                                                     : std::string("measuring masks"));
    pintovel::RibbonHost host{&canvas, &allocator, &forwarder};
    const bool exported = pintovel::ExportRibbon(&host, &shapes, &layers);
    if (progress != nullptr) progress->Finish();
    if (!exported) throw RibbonFailure("ExportRibbon returned false");
    for (const std::string& problem : {allocator.Problem(), canvas.Problem()}) {
      if (!problem.empty()) throw RibbonFailure(problem);
    }
    for (PngImage& mask : canvas.TakeMasks()) masks.push_back(std::move(mask));
  }
  return masks;
}

}  // namespace pintovel_render
