// The library's own roads (weight lists and owners held as runs) against the straightforward
// ones of tests/support/reference_roads.h, and AllShapeDraw against CreatePixelData + OnDraw,
// byte for byte on thousands of seeded scenes: shared ids, masks that are no consistent order,
// masks too short for the ids, colour tables too short, negative windings, loops that cover a
// pixel twice, coverages exactly on the thresholds, outlines beyond the image.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "clip/polygon_split.h"
#include "coverage/coverage_rows.h"
#include "curves/flatten.h"
#include "support/host_hooks.h"
#include "support/input_limits.h"
#include "support/reference_roads.h"
#include "support/shapes.h"

namespace pintovel {
namespace {

using testing::ReferenceAllShapeDraw;
using testing::ReferencePixelData;
using testing::ReferenceQuickDraw;

struct Scene {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<FrontMask> fronts;
  std::vector<Polygon> outlines;
  std::vector<int32_t> ids;
  ColourTable colours;
  std::vector<uint8_t> image;
};

class SceneMaker {
 public:
  explicit SceneMaker(uint32_t seed) : random_(seed) {}

  // A scene whose outlines stay inside the image, or, with `beyond`, may leave it.
  Scene Make(bool beyond) {
    Scene s;
    // Now and then an image large enough that the roads which work band by band split its rows
    // into several bands, with shapes across the band edges: AllShapeDraw's bands hold about
    // 16K pixels (64K in painting order), the quick road's about 256K.
    const double size = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
    s.width = size < 0.06 ? Int(1500, 2100) : Int(1, 24);
    s.height = size < 0.01 ? Int(130, 300) : size < 0.03 ? Int(40, 100) : Int(1, 24);
    // Now and then ids far apart (0-5 and 32-37), which a road that files the owners it has
    // met by the low bits of their ids must still tell apart.
    const bool farIds = Chance(0.1);
    const int32_t idCount = farIds ? 38 : Int(1, 6);
    // One shape in a fifth of the scenes: such calls take a road of their own.
    const int32_t shapes = Chance(0.2) ? 1 : Int(0, 9);
    const bool ordered = Chance(0.5);  // masks from one stacking order, or random bits
    // Now and then painting order: the shapes listed from the back of that order to the front
    // (ids never decrease along the list), with shapes covering much of the image, so that
    // shapes in front decide whole pixels and boxes of the shapes behind them.
    const bool painting = ordered && Chance(0.5);
    std::vector<int32_t> rank(static_cast<size_t>(idCount));
    for (int32_t k = 0; k < idCount; ++k) rank[static_cast<size_t>(k)] = k;
    if (!painting) std::shuffle(rank.begin(), rank.end(), random_);
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < shapes; ++i) {
      ids.push_back(farIds ? Int(0, 5) + (Chance(0.5) ? 32 : 0) : Int(0, idCount - 1));
    }
    if (painting) std::sort(ids.begin(), ids.end());
    for (const int32_t id : ids) {
      // Now and then a mask too short for the ids, which the library must reject if it matters.
      FrontMask mask(static_cast<size_t>(Chance(0.04) ? Int(0, idCount - 1) : idCount), false);
      for (size_t k = 0; k < mask.size(); ++k) {
        mask[k] = ordered ? rank[k] > rank[static_cast<size_t>(id)] : Chance(0.4);
      }
      s.fronts.push_back(mask);
      s.ids.push_back(id);
      s.outlines.push_back(painting && Chance(0.3) ? MakeCover(s.width, s.height, beyond)
                                                   : MakeOutline(s.width, s.height, beyond));
    }
    s.colours.resize(static_cast<size_t>(Chance(0.03) ? Int(0, idCount - 1) : idCount));
    for (uint32_t& c : s.colours) c = static_cast<uint32_t>(random_());
    s.image.resize(4 * static_cast<size_t>(s.width) * static_cast<size_t>(s.height));
    for (uint8_t& b : s.image) b = static_cast<uint8_t>(random_());
    return s;
  }

 private:
  int32_t Int(int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(random_);
  }
  bool Chance(double p) {
    return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < p;
  }
  // A coordinate in [lo, hi], often on a whole, half or quarter pixel so that coverages land
  // exactly on 1, 0.5 and the like.
  double Coordinate(double lo, double hi) {
    const double v = std::uniform_real_distribution<double>(lo, hi)(random_);
    if (Chance(0.4)) return std::round(v * 4.0) / 4.0;
    return v;
  }

  // A rectangle over most of the image, its sides on or off the pixel grid.
  Polygon MakeCover(int32_t width, int32_t height, bool beyond) {
    const double margin = beyond ? 6.0 : 0.0;
    const double w = width, h = height;
    Polygon p = testing::Rect(Coordinate(-margin, w / 3), Coordinate(-margin, h / 3),
                              Coordinate(2 * w / 3, w + margin), Coordinate(2 * h / 3, h + margin));
    if (Chance(0.1)) std::reverse(p.begin(), p.end());  // negative winding
    return p;
  }

  Polygon MakeOutline(int32_t width, int32_t height, bool beyond) {
    const double margin = beyond ? 6.0 : 0.0;
    const double x0 = -margin, x1 = width + margin, y0 = -margin, y1 = height + margin;
    Polygon p;
    switch (Int(0, 4)) {
      case 0:  // nothing to measure
        break;
      case 1: {  // a rectangle, sometimes exactly 1e-9 or 1 - 1e-9 of a pixel tall
        const double left = Coordinate(x0, x1), top = Coordinate(y0, y1);
        const double right = std::min(x1, left + Coordinate(0.0, 8.0));
        double bottom = std::min(y1, top + Coordinate(0.0, 8.0));
        if (Chance(0.1) && top == std::floor(top) && top + 1.0 <= y1) {
          bottom = top + (Chance(0.5) ? 1e-9 : 0.999999999);
        }
        p = testing::Rect(left, top, right, bottom);
        break;
      }
      default: {  // three to ten points anywhere: triangles, stars, self-crossing soups
        const int32_t n = Int(3, 10);
        for (int32_t k = 0; k < n; ++k) p.push_back(Point{Coordinate(x0, x1), Coordinate(y0, y1)});
        break;
      }
    }
    if (Chance(0.3)) std::reverse(p.begin(), p.end());  // negative winding
    if (Chance(0.1)) {                                  // the same loop twice: coverage up to 2
      const Polygon once = p;
      p.insert(p.end(), once.begin(), once.end());
    }
    return p;
  }

  std::mt19937 random_;
};

std::string Describe(const Scene& s) {
  std::string out = std::to_string(s.width) + "x" + std::to_string(s.height) + ", " +
                    std::to_string(s.fronts.size()) + " shapes";
  return out;
}

// The library's own kernel as the reference's measure, so that both sides fold the same values.
void LibraryCoverage(const Bounds& window, const Polygon& polygon, CoverageGrid& grid) {
  MeasureCoverageGrid(window, polygon, grid);
}

TEST(FastPathReference, AllShapeDrawMatchesTheStraightforwardRoad) {
  SceneMaker maker(101);
  for (int n = 0; n < 3000; ++n) {
    const Scene s = maker.Make(false);
    std::vector<uint8_t> fast = s.image, slow = s.image;
    const bool fastOk =
        AllShapeDraw(&s.fronts, &s.outlines, &s.ids, &s.colours, s.width, s.height, fast.data());
    const bool slowOk = ReferenceAllShapeDraw(s.fronts, s.outlines, s.ids, s.colours, s.width,
                                              s.height, &LibraryCoverage, slow.data());
    ASSERT_EQ(fastOk, slowOk) << "scene " << n << ": " << Describe(s);
    ASSERT_EQ(fast, slow) << "scene " << n << ": " << Describe(s);
  }
}

TEST(FastPathReference, AllShapeDrawEqualsCreatePixelDataThenOnDraw) {
  SceneMaker maker(202);
  for (int n = 0; n < 3000; ++n) {
    const Scene s = maker.Make(true);
    std::vector<uint8_t> fast = s.image, host = s.image;
    const bool fastOk =
        AllShapeDraw(&s.fronts, &s.outlines, &s.ids, &s.colours, s.width, s.height, fast.data());
    PixelData data = testing::EmptyPixelData(s.width, s.height);
    const Bounds window = testing::WindowOf(s.width, s.height);
    const bool hostOk =
        CreatePixelData(&s.fronts, &s.outlines, &window, &s.ids, testing::HostArg(data)) &&
        OnDraw(host.data(), s.width, s.height, &data.pixels, &s.colours);
    ASSERT_EQ(fastOk, hostOk) << "scene " << n << ": " << Describe(s);
    if (fastOk) {
      ASSERT_EQ(fast, host) << "scene " << n << ": " << Describe(s);
    }
  }
}

// The outlines clipped to the image, as the reference roads need them.
std::vector<Polygon> ClippedToImage(const Scene& s) {
  std::vector<Polygon> clipped = s.outlines;
  for (Polygon& polygon : clipped) {
    Bounds bounds = BoundingBox(polygon);
    Polygon scratch;
    Bounds scratchBounds{};
    ClipPolygonToImage(polygon, bounds, s.width, s.height, polygon, scratch, scratchBounds);
  }
  return clipped;
}

TEST(FastPathReference, QuickDrawMatchesTheStraightforwardOwnerMap) {
  SceneMaker maker(303);
  for (int n = 0; n < 3000; ++n) {
    // Every other scene has outlines beyond the image, which the library clips itself.
    const Scene s = maker.Make(n % 2 == 1);
    std::vector<uint8_t> fast = s.image, slow = s.image;
    const bool fastOk = AllShapeDraw_Quickly(&s.fronts, &s.outlines, &s.ids, &s.colours, s.width,
                                             s.height, fast.data());
    const bool slowOk = ReferenceQuickDraw(s.fronts, ClippedToImage(s), s.ids, s.colours, s.width,
                                           s.height, &LibraryCoverage, slow.data());
    ASSERT_EQ(fastOk, slowOk) << "scene " << n << ": " << Describe(s);
    ASSERT_EQ(fast, slow) << "scene " << n << ": " << Describe(s);
  }
}

// A host that keeps every mask it is handed, per layer value, as whole-image masks.
class MaskCollector : public RibbonCanvas, public RibbonAllocator, public RibbonProgress {
 public:
  MaskCollector(int32_t width, int32_t height) : width_(width), height_(height) {}
  int32_t GetWidth() override {
    return width_;
  }
  int32_t GetHeight() override {
    return height_;
  }
  void PutMask(const uint8_t* mask, int32_t layer, const RibbonRect* rect) override {
    std::vector<uint8_t>& image = masks[layer];
    image.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
    std::memcpy(image.data() + static_cast<size_t>(rect->top) * static_cast<size_t>(width_), mask,
                static_cast<size_t>(rect->bottom - rect->top) * static_cast<size_t>(width_));
    ++bands;
  }
  uint8_t* Allocate(int32_t size) override {
    buffer_.resize(static_cast<size_t>(size));
    return buffer_.data();
  }
  void Free(uint8_t*) override {}
  void SetPosition(int32_t, int32_t) override {}
  void SetText(const char16_t*) override {}

  std::map<int32_t, std::vector<uint8_t>> masks;
  int bands = 0;

 private:
  int32_t width_;
  int32_t height_;
  std::vector<uint8_t> buffer_;
};

// 1000 x 2500 pixels: bands of 1000, 1000 and 500 rows, with shapes across the band edges. In
// painting order the shapes are listed from the back to the front (ids rising, each mask marking
// the higher ids), and every fourth is a wide rectangle that covers whole pixels of the others.
void CheckRibbonAgainstOneStraightforwardPass(bool painting) {
  const int32_t width = 1000, height = 2500;
  std::mt19937 random(404);
  std::vector<RibbonShape> shapes;
  for (int i = 0; i < 16; ++i) {
    std::uniform_real_distribution<double> x(-50.0, width + 50.0), y(-50.0, height + 50.0);
    std::vector<Point> corners;
    if (painting && i % 4 == 3) {
      const double top = y(random), bottom = top + 700.5;
      corners = {{-10.0, top}, {width + 10.0, top + 0.5}, {width + 10.0, bottom}, {-10.0, bottom}};
    } else {
      for (int k = 0; k < 3 + i % 4; ++k) corners.push_back(Point{x(random), y(random)});
    }
    RibbonShape shape{};
    shape.id = static_cast<int16_t>(painting ? i * 5 / 16 : i % 5);
    shape.front = testing::MaskWith(5, {});
    for (int32_t k = 0; k < 5; ++k) {
      shape.front[static_cast<size_t>(k)] = painting ? k > shape.id : (k + i) % 3 == 0;
    }
    shape.outline = testing::StraightPath(corners);
    shapes.push_back(shape);
  }
  const LayerTable layers{3, 0, 7, -1, 9};
  MaskCollector host(width, height);
  RibbonHost hosts{&host, &host, &host};
  ASSERT_TRUE(ExportRibbon(&hosts, &shapes, &layers));
  EXPECT_EQ(host.bands, 9);

  std::vector<FrontMask> fronts;
  std::vector<Polygon> outlines;
  std::vector<int32_t> ids;
  for (const RibbonShape& shape : shapes) {
    Polygon polygon;
    FlattenPath(shape.outline, polygon);
    Bounds bounds = BoundingBox(polygon);
    Polygon scratch;
    Bounds scratchBounds{};
    ClipPolygonToImage(polygon, bounds, width, height, polygon, scratch, scratchBounds);
    fronts.push_back(shape.front);
    outlines.push_back(polygon);
    ids.push_back(shape.id);
  }
  std::vector<std::vector<PixelWeight>> lists;
  ASSERT_TRUE(ReferencePixelData(fronts, outlines, ids, width, height, &LibraryCoverage, lists));
  for (int32_t id : {0, 2, 4}) {
    const std::vector<uint8_t>& mask = host.masks[layers[static_cast<size_t>(id)]];
    ASSERT_EQ(mask.size(), lists.size());
    for (size_t p = 0; p < lists.size(); ++p) {
      int expected = 255;
      for (const PixelWeight& e : lists[p]) {
        if (e.id == id) {
          expected = 255 - static_cast<int>(255.0 * e.weight + 0.5);
          break;
        }
      }
      ASSERT_EQ(mask[p], expected) << "id " << id << " pixel " << p % width << ", " << p / width;
    }
  }
}

TEST(FastPathReference, RibbonBandsMatchOneStraightforwardPass) {
  CheckRibbonAgainstOneStraightforwardPass(false);
  CheckRibbonAgainstOneStraightforwardPass(true);
}

// The one-pass vertex box (two lanes at a time where SSE2 is there) against the per-coordinate
// loops it replaced: the accepted-coordinate check, and the bounds that keep a value until a
// later one is strictly beyond it, compared bit for bit so that the earliest of +0 and -0 is
// kept and a NaN is passed over as those loops pass over it.
TEST(FastPathReference, VertexBoxesMatchThePlainLoops) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double special[] = {0.0, -0.0, 1.5, -2.25, kMaxCoordinate, -kMaxCoordinate, 1e101, -1e101,
                            inf, -inf, nan, 3.0};
  const auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  std::mt19937 random(20261208);
  for (int round = 0; round < 5000; ++round) {
    SCOPED_TRACE(round);
    const bool rare = std::uniform_int_distribution<int>(0, 3)(random) == 0;
    const auto coordinate = [&]() {
      if (std::uniform_int_distribution<int>(0, 9)(random) < (rare ? 4 : 1)) {
        return special[std::uniform_int_distribution<size_t>(0, std::size(special) - 1)(random)];
      }
      return std::uniform_real_distribution<double>(-50.0, 50.0)(random);
    };
    Polygon polygon(std::uniform_int_distribution<size_t>(0, 9)(random));
    for (Point& p : polygon) p = Point{coordinate(), coordinate()};

    bool accepted = true;
    for (const Point& p : polygon) {
      accepted = accepted && IsAcceptedCoordinate(p.x) && IsAcceptedCoordinate(p.y);
    }
    EXPECT_EQ(IsAcceptedPolygon(polygon), accepted);

    Bounds plain{0.0, 0.0, 0.0, 0.0};
    if (!polygon.empty()) plain = Bounds{polygon[0].x, polygon[0].x, polygon[0].y, polygon[0].y};
    for (const Point& p : polygon) {
      if (p.x < plain.minX) plain.minX = p.x;
      if (p.x > plain.maxX) plain.maxX = p.x;
      if (p.y < plain.minY) plain.minY = p.y;
      if (p.y > plain.maxY) plain.maxY = p.y;
    }
    const Bounds box = BoundingBox(polygon);
    EXPECT_TRUE(same(box.minX, plain.minX) && same(box.maxX, plain.maxX) &&
                same(box.minY, plain.minY) && same(box.maxY, plain.maxY))
        << box.minX << " " << box.maxX << " " << box.minY << " " << box.maxY << " against "
        << plain.minX << " " << plain.maxX << " " << plain.minY << " " << plain.maxY;
  }
}

}  // namespace
}  // namespace pintovel
