// The host's whole road: Bezier outlines in document coordinates through RegularPolygons, then
// AllShapeDraw (and AllShapeDraw_Quickly) into a 32-bit image. Every pixel is compared with a
// slow reference built here from first principles: exact cell areas from the independent
// oracle, the painter's-stack rules of the front masks, and the blending and rounding rules.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/area_oracle.h"
#include "support/shapes.h"

namespace {

using pintovel::testing::EllipsePath;

using pintovel::BezierPath;
using pintovel::ColourTable;
using pintovel::FrontMask;
using pintovel::InOutArg;
using pintovel::Point;
using pintovel::Polygon;
using PolygonList = std::vector<Polygon>;

// ---- The host's commit hook --------------------------------------------------------------------

int commits = 0;

void PINTOVEL_HOOK_CALL HostCommit(InOutArg<PolygonList>* arg) {
  ++commits;
  if (arg->working == nullptr) return;
  PolygonList copy(arg->working->begin(), arg->working->end());
  arg->target->swap(copy);
  arg->release(arg);
}

void PINTOVEL_HOOK_CALL HostRelease(InOutArg<PolygonList>*) {}

// ---- The scene
// -----------------------------------------------------------------------------------

constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 100;
constexpr int32_t kIds = 4;

// Document -1..1 on both axes: sx = 80, sy = 50.
constexpr double kMinX = -1, kMaxX = 1, kMinY = -1, kMaxY = 1;

// The rectangle [x0, x1] x [y0, y1], one straight cubic per side.
BezierPath RectPath(double x0, double y0, double x1, double y1) {
  return BezierPath{{x0, y0}, {x0, y0}, {x1, y0}, {x1, y0}, {x1, y0}, {x1, y1}, {x1, y1},
                    {x1, y1}, {x0, y1}, {x0, y1}, {x0, y1}, {x0, y0}, {x0, y0}};
}

BezierPath Reversed(BezierPath path) {
  std::reverse(path.begin(), path.end());
  return path;
}

FrontMask InFront(std::initializer_list<int32_t> ids) {
  FrontMask mask(kIds, false);
  for (int32_t id : ids) mask[static_cast<size_t>(id)] = true;
  return mask;
}

struct Scene {
  std::vector<BezierPath> paths;
  std::vector<FrontMask> fronts;
  std::vector<int32_t> ids;
  ColourTable colours;
};

// Id 2 lies in front of 1, and 1 in front of 0; id 3 is drawn over everything. The list order
// differs from the stacking, ids 0 and 1 have two shapes each, one shape is wound against the
// clock, and shapes reach over the image border.
Scene MakeScene() {
  Scene s;
  auto add = [&](BezierPath path, int32_t id, FrontMask front) {
    s.paths.push_back(std::move(path));
    s.ids.push_back(id);
    s.fronts.push_back(std::move(front));
  };
  // Over the right and bottom border.
  add(EllipsePath(0.85, 0.8, 0.35, 0.4), 2, InFront({}));
  // A rectangle from pixel (10, 62.5) to (40, 87.5): whole columns, half rows at its ends.
  add(BezierPath{{-0.875, 0.25},
                 {-0.75, 0.25},
                 {-0.625, 0.25},
                 {-0.5, 0.25},
                 {-0.5, 0.5},
                 {-0.5, 0.5},
                 {-0.5, 0.75},
                 {-0.625, 0.75},
                 {-0.75, 0.75},
                 {-0.875, 0.75},
                 {-0.875, 0.5},
                 {-0.875, 0.5},
                 {-0.875, 0.25}},
      2, InFront({}));
  add(EllipsePath(-0.2, 0.1, 0.6, 0.7), 0, InFront({1, 2}));
  add(EllipsePath(0.35, -0.1, 0.45, 0.5), 1, InFront({2}));
  // A veil of id 2 over the lower part of the ellipse of id 1, and a third shape of id 1 that
  // covers part of the same partly covered row: its share joins the entry of id 1 there, up to
  // what the veil in front leaves. Its mask marks its own id as in front, so where it covers
  // whole pixels the entry of id 1 stays in place and takes what the veil leaves.
  add(RectPath(0.15, 0.326, 0.4, 0.352), 2, InFront({}));
  add(RectPath(0.1875, 0.332, 0.375, 0.38), 1, InFront({1, 2}));
  // Wound the other way: negative coverage, draws nothing.
  add(Reversed(EllipsePath(0.0, 0.0, 0.5, 0.5)), 3, InFront({}));
  add(EllipsePath(0.1, 0.45, 0.25, 0.2), 1, InFront({2}));
  // A curved drop over the top border.
  add(BezierPath{{-0.9, -1.2},
                 {-0.3, -1.3},
                 {-0.2, -0.5},
                 {-0.5, -0.4},
                 {-0.8, -0.3},
                 {-1.1, -0.8},
                 {-0.9, -1.2}},
      0, InFront({1, 2}));
  add(EllipsePath(0.55, 0.3, 0.22, 0.3), 3, InFront({}));
  // Byte 3 of each colour is set: OnDraw writes 0 there, the quick road copies it.
  s.colours = {0x11C02040u, 0x2230D0A0u, 0x33F0F010u, 0x44102090u};
  return s;
}

std::vector<uint8_t> OldImage() {
  std::vector<uint8_t> image(static_cast<size_t>(kWidth) * kHeight * 4);
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      uint8_t* px = &image[4 * (static_cast<size_t>(y) * kWidth + x)];
      px[0] = static_cast<uint8_t>(x * 7 + y * 3);
      px[1] = static_cast<uint8_t>(255 - x - 2 * y);
      px[2] = static_cast<uint8_t>((x * y) % 251);
      px[3] = 0x77;
    }
  }
  return image;
}

uint8_t Channel(uint32_t colour, int c) {
  uint8_t bytes[4];
  std::memcpy(bytes, &colour, 4);
  return bytes[c];
}

// The polygons RegularPolygons returns for the scene, and each one's exact coverage of every
// pixel of the image from the oracle (zero outside the polygon's bounding box).
struct Measured {
  PolygonList polygons;
  std::vector<std::vector<long double>> coverage;  // [shape][y * width + x]
};

Measured MeasureScene(const Scene& scene) {
  Measured m;
  commits = 0;
  PolygonList result;
  const InOutArg<PolygonList> out{&result, nullptr, &HostCommit, &HostRelease};
  EXPECT_TRUE(
      pintovel::RegularPolygons(&scene.paths, kMinX, kMaxX, kMinY, kMaxY, kWidth, kHeight, out));
  EXPECT_EQ(commits, 1);
  EXPECT_EQ(result.size(), scene.paths.size());
  m.polygons = result;
  for (const Polygon& polygon : m.polygons) {
    std::vector<long double> cov(static_cast<size_t>(kWidth) * kHeight, 0.0L);
    if (!polygon.empty()) {
      double minX = polygon[0].x, maxX = minX, minY = polygon[0].y, maxY = minY;
      for (const Point& p : polygon) {
        EXPECT_TRUE(p.x >= 0 && p.x <= kWidth && p.y >= 0 && p.y <= kHeight)
            << "vertex (" << p.x << ", " << p.y << ") outside the image";
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
      }
      const int32_t x1 = std::min(kWidth, static_cast<int32_t>(std::ceil(maxX)));
      const int32_t y1 = std::min(kHeight, static_cast<int32_t>(std::ceil(maxY)));
      for (int32_t y = std::max(0, static_cast<int32_t>(std::floor(minY))); y < y1; ++y) {
        for (int32_t x = std::max(0, static_cast<int32_t>(std::floor(minX))); x < x1; ++x) {
          cov[static_cast<size_t>(y) * kWidth + x] =
              pintovel::testing::ExactCellArea(polygon, x, y);
        }
      }
    }
    m.coverage.push_back(std::move(cov));
  }
  return m;
}

// ---- The slow reference ----------------------------------------------------------------------

struct Share {
  int32_t id;
  long double weight;
};

constexpr long double kLow = 1e-9L;          // coverage below this leaves a pixel alone
constexpr long double kFull = 0.999999999L;  // coverage above this covers the whole pixel
constexpr long double kNear = 1e-12L;        // a value this close to a threshold may go either way

bool NearThreshold(long double v) {
  return std::fabs(v - kLow) < kNear || std::fabs(v - kFull) < kNear;
}

// One shape over one pixel's stack. Shapes whose bit is set in `front` lie in front: they keep
// their shares and limit what this shape receives. Any other entry lies behind: a whole-pixel
// cover removes it, a partial cover takes the covered fraction of its share away. The shape's
// own id is such an entry too; the shape's share then joins it.
void Paint(std::vector<Share>& stack, const FrontMask& front, int32_t id, long double cov,
           bool& uncertain) {
  if (NearThreshold(cov)) uncertain = true;
  if (cov < kLow) return;
  long double inFront = 0;
  int own = -1;
  if (cov > kFull) {
    std::vector<Share> kept;
    for (const Share& e : stack) {
      if (!front[static_cast<size_t>(e.id)]) continue;
      kept.push_back(e);
      if (e.id == id) {
        own = static_cast<int>(kept.size()) - 1;
      } else {
        inFront += e.weight;
      }
    }
    stack = kept;
    if (NearThreshold(inFront)) uncertain = true;
    if (own >= 0) {
      stack[static_cast<size_t>(own)].weight = 1 - inFront;
    } else if (inFront < kFull) {
      stack.push_back(Share{id, 1 - inFront});
    }
    return;
  }
  for (size_t j = 0; j < stack.size(); ++j) {
    if (front[static_cast<size_t>(stack[j].id)]) {
      inFront += stack[j].weight;
    } else {
      stack[j].weight *= 1 - cov;
    }
    if (stack[j].id == id) own = static_cast<int>(j);
  }
  if (NearThreshold(inFront)) uncertain = true;
  if (own >= 0) {
    stack[static_cast<size_t>(own)].weight += (1 - inFront) * cov;
  } else if (inFront < kFull) {
    stack.push_back(Share{id, (1 - inFront) * cov});
  }
}

// Rounds half up and keeps the low eight bits; `uncertain` when the value lies within 1e-9 of
// a rounding boundary.
uint8_t RoundChannel(long double t, bool& uncertain) {
  const long double shifted = t + 0.5L;
  if (std::fabs(shifted - std::round(shifted)) < 1e-9L) uncertain = true;
  return static_cast<uint8_t>(static_cast<int64_t>(std::floor(shifted)) & 0xFF);
}

// ---- Tests -----------------------------------------------------------------------------------

TEST(EndToEndDrawing, WeightedRoadMatchesExactAreasAndStacking) {
  const Scene scene = MakeScene();
  const Measured m = MeasureScene(scene);
  ASSERT_EQ(m.polygons.size(), scene.paths.size());

  std::vector<uint8_t> image = OldImage();
  const std::vector<uint8_t> old = image;
  ASSERT_TRUE(pintovel::AllShapeDraw(&scene.fronts, &m.polygons, &scene.ids, &scene.colours, kWidth,
                                     kHeight, image.data()));

  int stacked = 0, whole = 0, partial = 0, looseBytes = 0;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const size_t p = static_cast<size_t>(y) * kWidth + x;
      std::vector<Share> stack;
      bool uncertain = false;
      for (size_t i = 0; i < scene.fronts.size(); ++i) {
        Paint(stack, scene.fronts[i], scene.ids[i], m.coverage[i][p], uncertain);
      }
      long double sums[3] = {0, 0, 0};
      long double remain = 1;
      for (const Share& e : stack) {
        for (int c = 0; c < 3; ++c) sums[c] += e.weight * Channel(scene.colours[e.id], c);
        remain -= e.weight;
      }
      stacked += stack.size() >= 2;
      whole += stack.size() == 1 && stack[0].weight == 1;
      partial += !stack.empty() && remain > 1e-6L;
      const uint8_t* got = &image[4 * p];
      for (int c = 0; c < 3; ++c) {
        bool loose = uncertain;
        const uint8_t want = RoundChannel(sums[c] + remain * old[4 * p + c], loose);
        const int diff = int(got[c]) - int(want);
        if (loose && std::abs(diff) <= 1) {
          looseBytes += diff != 0;
          continue;
        }
        ASSERT_EQ(got[c], want) << "pixel (" << x << ", " << y << ") channel " << c << ", "
                                << stack.size() << " shares, remain "
                                << static_cast<double>(remain);
      }
      ASSERT_EQ(got[3], 0) << "pixel (" << x << ", " << y << ")";
    }
  }
  // The scene exercises what it is meant to: overlaps, whole covers and partial covers.
  EXPECT_GT(stacked, 200);
  EXPECT_GT(whole, 1000);
  EXPECT_GT(partial, 200);
  EXPECT_LE(looseBytes, 3);
}

TEST(EndToEndDrawing, QuickRoadGivesEachPixelToItsOwner) {
  const Scene scene = MakeScene();
  const Measured m = MeasureScene(scene);
  ASSERT_EQ(m.polygons.size(), scene.paths.size());

  std::vector<uint8_t> image = OldImage();
  const std::vector<uint8_t> old = image;
  ASSERT_TRUE(pintovel::AllShapeDraw_Quickly(&scene.fronts, &m.polygons, &scene.ids, &scene.colours,
                                             kWidth, kHeight, image.data()));

  int owned = 0, taken = 0, skipped = 0;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const size_t p = static_cast<size_t>(y) * kWidth + x;
      // In list order, a shape covering at least half of the pixel takes it, unless its front
      // mask marks the current owner.
      int32_t owner = -1;
      bool uncertain = false;
      int claims = 0;
      for (size_t i = 0; i < scene.fronts.size(); ++i) {
        const long double cov = m.coverage[i][p];
        if (std::fabs(cov - 0.5L) < 1e-9L) uncertain = true;
        if (cov < 0.5L) continue;
        ++claims;
        if (owner < 0 || !scene.fronts[i][static_cast<size_t>(owner)]) owner = scene.ids[i];
      }
      if (uncertain) {
        ++skipped;
        continue;
      }
      uint8_t want[4];
      if (owner < 0) {
        std::memcpy(want, &old[4 * p], 4);
      } else {
        std::memcpy(want, &scene.colours[static_cast<size_t>(owner)], 4);
        ++owned;
        taken += claims >= 2;
      }
      for (int c = 0; c < 4; ++c) {
        ASSERT_EQ(image[4 * p + c], want[c])
            << "pixel (" << x << ", " << y << ") byte " << c << ", owner " << owner;
      }
    }
  }
  EXPECT_GT(owned, 2000);
  EXPECT_GT(taken, 200);
  // The rectangle's half rows are covered by exactly one half; little else lies that close.
  EXPECT_LE(skipped, 70);
}

TEST(EndToEndDrawing, QuickRoadOwnerIsTheFrontmostWhateverTheListOrder) {
  // With masks that describe one stacking order, reversing the list changes no pixel.
  Scene scene = MakeScene();
  const Measured m = MeasureScene(scene);
  std::vector<uint8_t> forward = OldImage();
  ASSERT_TRUE(pintovel::AllShapeDraw_Quickly(&scene.fronts, &m.polygons, &scene.ids, &scene.colours,
                                             kWidth, kHeight, forward.data()));

  // Id 3 was drawn over everything by list order alone; in reverse it must be marked in
  // front of the others to keep its place.
  std::vector<FrontMask> fronts(scene.fronts.rbegin(), scene.fronts.rend());
  const PolygonList polygons(m.polygons.rbegin(), m.polygons.rend());
  const std::vector<int32_t> ids(scene.ids.rbegin(), scene.ids.rend());
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (ids[i] != 3) fronts[i][3] = true;
  }
  std::vector<uint8_t> backward = OldImage();
  ASSERT_TRUE(pintovel::AllShapeDraw_Quickly(&fronts, &polygons, &ids, &scene.colours, kWidth,
                                             kHeight, backward.data()));
  EXPECT_EQ(forward, backward);
}

}  // namespace
