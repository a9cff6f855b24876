// ExportRibbon with a fuzzed host: image size, shapes, layer table, an allocator that may hand
// out no buffer, and a host call that may throw. The host's callbacks check the protocol as
// they are called:
// - GetWidth first, GetHeight second; a refused size ends the call there;
// - Allocate once, with the band size, and nothing after a null buffer;
// - the first report ("撇丝生成..." then position 0 of 100), then per band, from the top down,
//   one PutMask per enabled id in ascending id order with the allocated buffer, the band's
//   rectangle and the id's layer value, then the band's text and position;
// - bands tile the image rows exactly once, each at most 1,000,000 pixels (one row when a row
//   alone is wider);
// - Free once, with the buffer, and no call after it;
// - masks of ids that no shape carries are all 255;
// - a single shape at plausible coordinates: its id's masks, in every band, are 255 outside the
//   box of cells its flattened outline touches, and on a sample of pixels inside it
//   255 - (255 * w + 0.5 truncated), w being the exact area of the pixel under the flattened
//   outline (weights as a fold on empty lists gives them: nothing below 1e-9, 1 above
//   0.999999999); bytes whose value a rounding of 1e-6 could change are not compared.
// After the call: Free was called whenever a buffer was handed out, also when an exception left
// the call; the result is false only for the documented reasons. On a small image (one band)
// with finite outlines, the result and every mask byte are those of one straightforward pass
// over the whole image (tests/support/reference_roads.h, the library's dense kernel measuring
// the flattened outlines clipped to the image).
//
// Most images are small, so that a run covers many inputs a second; the few with several bands
// (a million pixels and more) carry their shapes near the cuts between bands.
#include <pintovel/pintovel.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "clip/polygon_split.h"
#include "coverage/coverage_rows.h"
#include "curves/flatten.h"
#include "fuzz/fuzz_input.h"
#include "support/area_oracle.h"
#include "support/reference_roads.h"

namespace pintovel::fuzz {
namespace {

constexpr char16_t kPrefix[] = u"撇丝生成...";

struct HostThrow {};

// The mask buffers the host hands out. A band can take a million bytes, and a fresh allocation
// of that size costs its pages anew on every input; so every buffer is the start of one arena
// kept for the whole run, with the bytes past the buffer's size, and the whole arena once the
// buffer is freed, poisoned: AddressSanitizer still stops any access outside the buffer or
// after Free, exactly as with an allocation of the size asked for.
class MaskArena {
 public:
  static constexpr size_t kSize = size_t{1} << 20;  // the largest band: one row of 2^20 pixels

  static uint8_t* Take(size_t size) {
    uint8_t* bytes = Bytes();
    ASAN_UNPOISON_MEMORY_REGION(bytes, size);
    ASAN_POISON_MEMORY_REGION(bytes + size, kSize - size);
    return bytes;
  }
  static void Give() {
    ASAN_POISON_MEMORY_REGION(Bytes(), kSize);
  }

 private:
  static uint8_t* Bytes() {
    static const std::unique_ptr<uint8_t[]> arena(new uint8_t[kSize]);
    return arena.get();
  }
};

class CheckingHost final : public RibbonCanvas, public RibbonAllocator, public RibbonProgress {
 public:
  CheckingHost(int32_t width, int32_t height, std::vector<std::pair<int32_t, int32_t>> enabled,
               std::set<int32_t> shapeIds)
      : width_(width),
        height_(height),
        enabled_(std::move(enabled)),
        shapeIds_(std::move(shapeIds)) {
    const int64_t pixels = int64_t(width) * height;
    rowsPerBand_ = pixels > 1000000 ? std::max<int32_t>(1, 1000000 / width) : height;
  }

  RibbonHost Host() {
    return RibbonHost{static_cast<RibbonCanvas*>(this), static_cast<RibbonAllocator*>(this),
                      static_cast<RibbonProgress*>(this)};
  }
  void ReturnNoBuffer() {
    returnNull_ = true;
  }
  // Compare the masks of `id` with the exact areas of `outline` (flattened, pixel units) within
  // the cells [x0, x1) x [y0, y1); every other byte must be 255.
  void CompareWithOracle(int32_t id, const Polygon* outline, int32_t x0, int32_t y0, int32_t x1,
                         int32_t y1) {
    oracleId_ = id;
    oracle_ = outline;
    box_[0] = x0;
    box_[1] = y0;
    box_[2] = x1;
    box_[3] = y1;
  }
  int oracleMasks() const {
    return oracleMasks_;
  }
  void ThrowAtCall(int n) {
    throwAt_ = n;
  }
  // Keep a copy of every mask delivered, by id (for images of one band).
  void KeepMasks() {
    keepMasks_ = true;
  }
  const std::map<int32_t, std::vector<uint8_t>>& masks() const {
    return masks_;
  }

  int calls() const {
    return calls_;
  }
  const char* lastCall() const {
    return lastCall_;
  }
  bool allocated() const {
    return buffer_ != nullptr;
  }
  int frees() const {
    return frees_;
  }
  bool allBandsDone() const {
    return reported_ && nextTop_ >= height_;
  }
  int bandsDone() const {
    return bands_;
  }

  int32_t GetWidth() override {
    Enter("GetWidth");
    FUZZ_CHECK(calls_ == 1, "GetWidth is call %d", calls_);
    MaybeThrow();
    return width_;
  }
  int32_t GetHeight() override {
    Enter("GetHeight");
    FUZZ_CHECK(calls_ == 2, "GetHeight is call %d", calls_);
    MaybeThrow();
    return height_;
  }
  uint8_t* Allocate(int32_t size) override {
    Enter("Allocate");
    FUZZ_CHECK(calls_ == 3, "Allocate is call %d", calls_);
    const int64_t expected = int64_t(rowsPerBand_) * width_;
    FUZZ_CHECK(size == expected, "Allocate(%d) for a %d x %d image, expected %lld", size, width_,
               height_, static_cast<long long>(expected));
    MaybeThrow();
    if (returnNull_) {
      nulled_ = true;
      return nullptr;
    }
    size_ = size;
    FUZZ_CHECK(size <= static_cast<int64_t>(MaskArena::kSize), "Allocate(%d) beyond any band",
               size);
    buffer_ = MaskArena::Take(static_cast<size_t>(size));
    return buffer_;
  }
  void Free(uint8_t* buffer) override {
    Enter("Free");
    FUZZ_CHECK(buffer != nullptr && buffer == buffer_, "Free with another address");
    FUZZ_CHECK(frees_ == 0, "Free called twice");
    ++frees_;
    MaskArena::Give();
    MaybeThrow();
  }
  void PutMask(const uint8_t* mask, int32_t layer, const RibbonRect* rect) override {
    Enter("PutMask");
    FUZZ_CHECK(reported_, "PutMask before the first report");
    FUZZ_CHECK(!awaitingPosition_, "PutMask between SetText and SetPosition");
    FUZZ_CHECK(mask != nullptr && mask == buffer_, "PutMask without the allocated buffer");
    FUZZ_CHECK(rect != nullptr, "PutMask without a rectangle");
    FUZZ_CHECK(nextMask_ < enabled_.size(), "PutMask %zu of a band with %zu enabled ids",
               nextMask_ + 1, enabled_.size());
    const auto [id, value] = enabled_[nextMask_];
    FUZZ_CHECK(layer == value, "PutMask %zu: layer %d, expected %d (id %d)", nextMask_, layer,
               value, id);
    const int32_t bottom = std::min<int64_t>(int64_t(nextTop_) + rowsPerBand_, height_);
    FUZZ_CHECK(
        rect->left == 0 && rect->top == nextTop_ && rect->right == width_ && rect->bottom == bottom,
        "band {%d, %d, %d, %d}, expected {0, %d, %d, %d}", rect->left, rect->top, rect->right,
        rect->bottom, nextTop_, width_, bottom);
    const size_t bytes =
        static_cast<size_t>(rect->bottom - rect->top) * static_cast<size_t>(width_);
    FUZZ_CHECK(bytes <= static_cast<size_t>(size_), "a band of %zu bytes in a %d-byte buffer",
               bytes, size_);
    const bool carried = shapeIds_.count(id) > 0;
    // Reads every byte of the band (memcmp is checked whole): AddressSanitizer checks the extent.
    const bool blank = IsBlank(mask, bytes);
    FUZZ_CHECK(carried || blank, "mask of id %d, which no shape has, is not all 255", id);
    if (oracle_ != nullptr && id == oracleId_) CheckMask(mask, rect->top, rect->bottom);
    if (keepMasks_) masks_[id].assign(mask, mask + bytes);
    ++nextMask_;
    MaybeThrow();
  }
  void SetText(const char16_t* text) override {
    Enter("SetText");
    FUZZ_CHECK(allocated(), "SetText before Allocate");
    FUZZ_CHECK(!awaitingPosition_, "two SetText calls in a row");
    FUZZ_CHECK(text != nullptr, "SetText without a text");
    std::u16string expected(kPrefix);
    if (reported_) {
      FUZZ_CHECK(nextMask_ == enabled_.size(), "band report after %zu of %zu masks", nextMask_,
                 enabled_.size());
      const int32_t bottom = std::min<int64_t>(int64_t(nextTop_) + rowsPerBand_, height_);
      FUZZ_CHECK(nextTop_ < height_, "a report after the last band");
      percent_ = double(bottom) / height_ * 100.0;
      char number[64];
      std::snprintf(number, sizeof number, "%.1f%%", percent_);
      for (const char* c = number; *c != '\0'; ++c) expected.push_back(static_cast<char16_t>(*c));
    }
    FUZZ_CHECK(std::u16string(text) == expected, "unexpected progress text (%zu code units)",
               std::u16string(text).size());
    awaitingPosition_ = true;
    MaybeThrow();
  }
  void SetPosition(int32_t position, int32_t range) override {
    Enter("SetPosition");
    FUZZ_CHECK(awaitingPosition_, "SetPosition without a SetText before it");
    FUZZ_CHECK(range == 100, "range %d", range);
    awaitingPosition_ = false;
    if (!reported_) {
      FUZZ_CHECK(position == 0, "first position %d", position);
      reported_ = true;
    } else {
      FUZZ_CHECK(position == static_cast<int32_t>(percent_), "position %d after %.17g%%", position,
                 percent_);
      nextTop_ = std::min<int64_t>(int64_t(nextTop_) + rowsPerBand_, height_);
      nextMask_ = 0;
      ++bands_;
    }
    MaybeThrow();
  }

 private:
  void Enter(const char* name) {
    ++calls_;
    lastCall_ = name;
    FUZZ_CHECK(frees_ == 0, "%s after Free", name);
    FUZZ_CHECK(!nulled_, "%s after Allocate returned no buffer", name);
  }
  // Whether `count` bytes from `bytes` are all 255.
  // The 255s are kept from one input to the next: bands of a million bytes are common enough
  // for filling them anew to cost more than the rest of such an input.
  static bool IsBlank(const uint8_t* bytes, size_t count) {
    static std::vector<uint8_t> blank;
    if (blank.size() < count) blank.assign(count, 255);
    return std::memcmp(bytes, blank.data(), count) == 0;
  }
  void CheckMask(const uint8_t* mask, int32_t top, int32_t bottom) {
    ++oracleMasks_;
    const size_t width = static_cast<size_t>(width_);
    for (int32_t y = top; y < bottom; ++y) {
      const uint8_t* row = mask + static_cast<size_t>(y - top) * width;
      const bool inBox = y >= box_[1] && y < box_[3] && box_[0] < box_[2];
      const size_t left = inBox ? static_cast<size_t>(box_[0]) : width;
      const size_t right = inBox ? static_cast<size_t>(box_[2]) : width;
      FUZZ_CHECK(IsBlank(row, left) && IsBlank(row + right, width - right),
                 "row %d: a byte outside the outline's box [%d, %d) x [%d, %d) is not 255", y,
                 box_[0], box_[2], box_[1], box_[3]);
    }
    // The oracle on a sample of the box's cells in this band.
    const int32_t y0 = std::max(top, box_[1]), y1 = std::min(bottom, box_[3]);
    if (y0 >= y1 || box_[0] >= box_[2]) return;
    const int64_t cells = int64_t(box_[2] - box_[0]) * (y1 - y0);
    constexpr int64_t kSampled = 32;
    uint32_t state = static_cast<uint32_t>(top) * 2654435761u + 1u;
    for (int64_t k = 0; k < std::min(cells, kSampled); ++k) {
      int64_t cell = k;
      if (cells > kSampled) {
        state = state * 1664525u + 1013904223u;  // a linear congruential step
        cell = (state >> 4) % cells;
      }
      const int32_t x = box_[0] + static_cast<int32_t>(cell % (box_[2] - box_[0]));
      const int32_t y = y0 + static_cast<int32_t>(cell / (box_[2] - box_[0]));
      {
        const uint8_t got = mask[static_cast<size_t>(y - top) * width + static_cast<size_t>(x)];
        const double cov = static_cast<double>(testing::ExactCellArea(*oracle_, x, y));
        if (std::fabs(cov - 1e-9) < 1e-6 || std::fabs(cov - 0.999999999) < 1e-6) continue;
        const double w = cov < 1e-9 ? 0.0 : cov > 0.999999999 ? 1.0 : cov;
        const double t = 255.0 * w + 0.5;
        if (std::fabs(t - std::round(t)) < 1e-6 * 255) continue;
        const int expected = 255 - static_cast<int>(t);
        FUZZ_CHECK(got == expected, "pixel (%d, %d): byte %u, exact area %.17g gives %d", x, y, got,
                   cov, expected);
      }
    }
  }
  void MaybeThrow() {
    if (calls_ == throwAt_) throw HostThrow{};
  }

  int32_t width_;
  int32_t height_;
  int32_t rowsPerBand_ = 0;
  std::vector<std::pair<int32_t, int32_t>> enabled_;  // (id, layer value), ascending ids
  std::set<int32_t> shapeIds_;
  uint8_t* buffer_ = nullptr;
  int32_t size_ = 0;
  bool returnNull_ = false;
  bool nulled_ = false;
  int throwAt_ = 0;
  int calls_ = 0;
  const char* lastCall_ = "";
  int frees_ = 0;
  bool reported_ = false;
  bool awaitingPosition_ = false;
  int32_t nextTop_ = 0;
  size_t nextMask_ = 0;
  int bands_ = 0;
  double percent_ = 0.0;
  int32_t oracleId_ = 0;
  const Polygon* oracle_ = nullptr;
  int32_t box_[4] = {0, 0, 0, 0};
  int oracleMasks_ = 0;
  bool keepMasks_ = false;
  std::map<int32_t, std::vector<uint8_t>> masks_;
};

void SizeOfImage(FuzzInput& in, int32_t& width, int32_t& height) {
  const int kind = in.Int(0, 999);
  if (kind < 880) {
    width = in.Int(0, 40);
    height = in.Int(0, 40);
  } else if (kind < 886) {
    // Several bands: just over 1,000,000 pixels.
    width = in.Int(1001, 2000);
    height = 1000000 / width + in.Int(1, 1000000 / width + 2);
  } else if (kind < 889) {
    // A row wider than a band.
    width = in.Int(1000001, 1001000);
    height = in.Int(1, 2);
  } else {
    // Sizes to refuse, and empty ones.
    static const int32_t kSizes[][2] = {
        {-1, 5},        {5, -1},        {0, 5},         {0, 0},         {7, 0},
        {46341, 46341}, {INT32_MAX, 2}, {INT32_MIN, 1}, {65536, 32768}, {1000000, 0},
        {1048577, 1},   {1048577, 0},   {INT32_MAX, 0}, {1048576, 1},
    };
    const auto& s = kSizes[in.Count(sizeof kSizes / sizeof kSizes[0] - 1)];
    width = s[0];
    height = s[1];
  }
}

bool SizeIsRefused(int32_t width, int32_t height) {
  return width < 0 || height < 0 || (width == 0 && height > 0) || width > (1 << 20) ||
         int64_t(width) * height > INT32_MAX;
}

// Where shapes go: over a small image as a whole; on an image of several bands, in a 64-pixel
// square at its left or right edge across one of the cuts between bands, so that measuring
// stays cheap and the cuts are what is exercised.
struct Placement {
  double extentX = 32;
  double extentY = 32;
  double offsetX = 0;
  double offsetY = 0;
  bool severalBands = false;
};

Placement PlaceShapes(FuzzInput& in, int32_t width, int32_t height) {
  Placement place;
  if (width <= 0 || height <= 0 || width > (1 << 20) || int64_t(width) * height > INT32_MAX) {
    return place;
  }
  if (int64_t(width) * height <= 1000000) {
    place.extentX = width;
    place.extentY = height;
    return place;
  }
  const int32_t rowsPerBand = std::max<int32_t>(1, 1000000 / width);
  const int32_t cuts = std::max(1, (height - 1) / rowsPerBand);
  place.severalBands = true;
  place.extentX = 64;
  place.extentY = 64;
  place.offsetX = in.Bool() ? 0.0 : width - 64.0;
  place.offsetY = double(rowsPerBand) * in.Int(1, cuts) - 32.0;
  return place;
}

void LibraryCoverage(const Bounds& window, const Polygon& polygon, CoverageGrid& grid) {
  MeasureCoverageGrid(window, polygon, grid);
}

// The mask bytes one straightforward pass over the whole image gives every id of `layers`
// that is enabled, or false where that pass rejects the shapes.
bool ReferenceMasks(const std::vector<RibbonShape>& shapes, const LayerTable& layers, int32_t width,
                    int32_t height, std::map<int32_t, std::vector<uint8_t>>& masks) {
  std::vector<FrontMask> fronts;
  std::vector<Polygon> outlines;
  std::vector<int32_t> ids;
  Polygon scratch;
  for (const RibbonShape& shape : shapes) {
    Polygon polygon;
    FlattenPath(shape.outline, polygon);
    Bounds bounds = BoundingBox(polygon);
    Bounds scratchBounds{};
    ClipPolygonToImage(polygon, bounds, width, height, polygon, scratch, scratchBounds);
    fronts.push_back(shape.front);
    outlines.push_back(polygon);
    ids.push_back(shape.id);
  }
  std::vector<std::vector<PixelWeight>> lists;
  if (!testing::ReferencePixelData(fronts, outlines, ids, width, height, &LibraryCoverage, lists)) {
    return false;
  }
  for (size_t k = 0; k < layers.size(); ++k) {
    if (layers[k] <= 0) continue;
    std::vector<uint8_t>& mask = masks[static_cast<int32_t>(k)];
    mask.assign(lists.size(), 255);
    for (size_t p = 0; p < lists.size(); ++p) {
      for (const PixelWeight& e : lists[p]) {
        if (e.id != static_cast<int32_t>(k)) continue;
        const double t = 255.0 * e.weight + 0.5;
        mask[p] = static_cast<uint8_t>(255 - (t <= 0.0     ? 0
                                              : t >= 255.0 ? 255
                                                           : static_cast<int>(t)));
        break;
      }
    }
  }
  return true;
}

}  // namespace
}  // namespace pintovel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  using namespace pintovel;
  using namespace pintovel::fuzz;
  FuzzInput in(bytes, size);
  const int hostile = in.Chance(25) ? in.Int(1, 30) : 0;

  int32_t width = 0, height = 0;
  SizeOfImage(in, width, height);
  const Placement place = PlaceShapes(in, width, height);

  const size_t idCount = static_cast<size_t>(in.Int(1, 6));
  // A share of single shapes, whose masks are compared with the oracle.
  std::vector<RibbonShape> shapes(in.Chance(30) ? 1 : in.Count(5));
  bool finite = true;
  bool idsFit = true;  // every id non-negative and inside every front mask
  std::set<int32_t> shapeIds;
  for (RibbonShape& shape : shapes) {
    shape.id = static_cast<int16_t>(in.Chance(hostile) ? in.Int(-40000, 40000)
                                                       : in.Int(0, int(idCount) - 1));
    shape.front = in.MakeFront(idCount, hostile);
    shape.outline = in.MakePath(place.extentX, place.extentY, 4, hostile / 2);
    for (Point& point : shape.outline) {
      point.x += place.offsetX;
      point.y += place.offsetY;
    }
    shape.reserved = 0xDEADBEEF;
    shapeIds.insert(shape.id);
    const size_t segments = shape.outline.size() < 4 ? 0 : (shape.outline.size() - 1) / 3;
    for (size_t i = 0; i < (segments == 0 ? 0 : 3 * segments + 1); ++i) {
      finite = finite && std::isfinite(shape.outline[i].x) && std::isfinite(shape.outline[i].y);
    }
  }
  // Now and then painting order (ids rising along the list, each mask marking the higher ids),
  // which the export folds from the front of the stack to the back.
  if (hostile == 0 && in.Chance(30)) {
    std::sort(shapes.begin(), shapes.end(),
              [](const RibbonShape& a, const RibbonShape& b) { return a.id < b.id; });
    for (RibbonShape& shape : shapes) {
      for (size_t k = 0; k < shape.front.size(); ++k) shape.front[k] = int32_t(k) > shape.id;
    }
  }
  for (const RibbonShape& shape : shapes) {
    for (const RibbonShape& other : shapes) {
      idsFit = idsFit && shape.id >= 0 && static_cast<size_t>(shape.id) < other.front.size();
    }
  }
  // An image of several bands gets few enabled ids: each costs a mask of a million bytes per
  // band, and the order of masks within a band is exercised on the small images.
  LayerTable layers(in.Count(place.severalBands ? 3 : 8));
  for (int32_t& layer : layers) {
    layer = in.Chance(60) ? in.Int(1, 9) : in.Chance(hostile) ? INT32_MIN : in.Int(-2, 0);
  }
  if (shapes.size() == 1 && shapes[0].id >= 0 && in.Chance(80)) {
    // Export the single shape's id.
    const size_t id = static_cast<size_t>(shapes[0].id);
    if (layers.size() <= id) layers.resize(id + 1, 0);
    if (layers[id] <= 0) layers[id] = in.Int(1, 9);
  }
  std::vector<std::pair<int32_t, int32_t>> enabled;
  for (size_t k = 0; k < layers.size(); ++k) {
    if (layers[k] > 0) enabled.emplace_back(static_cast<int32_t>(k), layers[k]);
  }

  CheckingHost host(width, height, enabled, shapeIds);
  // One shape, plausible coordinates, a box of cells small enough to measure exactly.
  Polygon flattened;
  if (shapes.size() == 1 && shapes[0].id >= 0 && finite && width > 0 && height > 0) {
    FlattenPath(shapes[0].outline, flattened);
    bool plausible = !flattened.empty();
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (size_t i = 0; i < flattened.size(); ++i) {
      const Point& v = flattened[i];
      // Shapes on an image of several bands lie up to a million pixels from the origin.
      plausible = plausible && std::fabs(v.x) < 4e6 && std::fabs(v.y) < 4e6;
      minX = i == 0 ? v.x : std::fmin(minX, v.x);
      maxX = i == 0 ? v.x : std::fmax(maxX, v.x);
      minY = i == 0 ? v.y : std::fmin(minY, v.y);
      maxY = i == 0 ? v.y : std::fmax(maxY, v.y);
    }
    if (plausible) {
      const int32_t x0 = std::max(0, static_cast<int32_t>(std::floor(minX)));
      const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(minY)));
      const int32_t x1 = std::min(width, static_cast<int32_t>(std::ceil(maxX)) + 1);
      const int32_t y1 = std::min(height, static_cast<int32_t>(std::ceil(maxY)) + 1);
      host.CompareWithOracle(shapes[0].id, &flattened, x0, y0, x1, y1);
    }
  }
  const bool small = width > 0 && height > 0 && int64_t(width) * height <= 4096;
  if (small) host.KeepMasks();
  if (in.Chance(4)) host.ReturnNoBuffer();
  const int throwAt = in.Chance(12) ? in.Int(1, 14) : 0;
  host.ThrowAtCall(throwAt);
  RibbonHost record = host.Host();

  bool ok = false;
  bool threw = false;
  try {
    ok = ExportRibbon(&record, &shapes, &layers);
  } catch (const HostThrow&) {
    threw = true;
  }

  if (host.allocated()) {
    FUZZ_CHECK(host.frees() == 1, "Free called %d times for an allocated buffer", host.frees());
  }
  if (threw) {
    Tally::Note("host call threw");
    // Once a buffer is out, the only call after the throwing one is Free, as the exception passes.
    const bool freedAfter = host.calls() == throwAt + 1 && std::string(host.lastCall()) == "Free";
    FUZZ_CHECK(host.calls() == throwAt || freedAfter,
               "the exception surfaced after call %d (%s), thrown at %d", host.calls(),
               host.lastCall(), throwAt);
    return 0;
  }
  FUZZ_CHECK(throwAt == 0 || host.calls() < throwAt, "call %d threw but the export returned",
             throwAt);
  if (SizeIsRefused(width, height)) {
    Tally::Note("size refused");
    FUZZ_CHECK(!ok && host.calls() == 2, "a %d x %d image: result %d after %d calls", width, height,
               ok, host.calls());
    return 0;
  }
  if (!finite) {
    FUZZ_CHECK(!ok && host.calls() == 2, "a non-finite outline: result %d after %d calls", ok,
               host.calls());
    return 0;
  }
  if (small && host.calls() > 3) {
    // One band, measured: the same result and masks as one straightforward pass.
    std::map<int32_t, std::vector<uint8_t>> expected;
    const bool referenceOk = ReferenceMasks(shapes, layers, width, height, expected);
    Tally::Note("masks compared with the straightforward pass");
    FUZZ_CHECK(ok == referenceOk, "ExportRibbon returned %d, the straightforward pass %d", ok,
               referenceOk);
    if (ok) {
      for (const auto& [id, mask] : expected) {
        const auto got = host.masks().find(id);
        FUZZ_CHECK(got != host.masks().end(), "no mask for id %d", id);
        for (size_t p = 0; p < mask.size(); ++p) {
          FUZZ_CHECK(got->second[p] == mask[p],
                     "id %d, pixel (%d, %d): byte %u, the straightforward pass gives %u", id,
                     static_cast<int>(p % width), static_cast<int>(p / width), got->second[p],
                     mask[p]);
        }
      }
    }
  }
  if (ok) {
    if (host.oracleMasks() > 0) Tally::Note("masks compared with the oracle");
    Tally::Note(host.bandsDone() > 1 ? "true, several bands" : "true, one band or none");
    FUZZ_CHECK(host.allBandsDone(), "true after %d bands of a %d x %d image", host.bandsDone(),
               width, height);
    return 0;
  }
  Tally::Note(host.calls() == 3 ? "false, no buffer" : "false after measuring");
  // False: a buffer refused, a coordinate beyond the accepted range, or ids that masks cannot
  // answer for.
  FUZZ_CHECK(host.calls() == 3 || host.calls() == 2 || !idsFit,
             "false after %d calls with ids inside every mask", host.calls());
  return 0;
}
