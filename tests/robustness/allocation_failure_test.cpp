// Allocation failure at every point: for each export on a representative input, the k-th
// allocation the library makes throws std::bad_alloc, for k = 0, 1, 2, ... until a call
// completes without reaching it. At every k:
// - the exception leaves the export (or the call returns normally, with no failure injected);
// - every allocation the library made during the call has been freed;
// - the caller's containers and image are either unchanged or hold the complete result of an
//   undisturbed call;
// - the hand-back commit is never called on the exception path and exactly once otherwise;
// - ExportRibbon gives its buffer back exactly once whenever it obtained one.
// OnDraw allocates nothing.
//
// The roads that keep their own per-pixel data as runs (AllShapeDraw, AllShapeDraw_Quickly,
// ExportRibbon) are also run on a busy scene: many shapes over few ids, masks in no consistent
// order, so that rows split into many runs and the weight rows' entry store outgrows its
// compaction threshold. A replay of the weight rows on that scene checks that it does.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "clip/polygon_split.h"
#include "coverage/shape_coverage.h"
#include "coverage/weight_rows.h"
#include "curves/flatten.h"
#include "robustness/failing_allocator.h"
#include "robustness/ribbon_test_host.h"
#include "support/shapes.h"

namespace pintovel {
namespace {

using testing::ArmAllocations;
using testing::CountedAllocations;
using testing::DisarmAllocations;
using testing::HostScope;
using testing::InjectedFailure;
using testing::LiveTrackedAllocations;
using testing::RibbonEvent;
using testing::TestRibbonHost;

constexpr long kMaxAllocationPoints = 100000;

// ---- Host side of the hand-back protocol --------------------------------------------------

template <class T>
int& Commits() {
  static int commits = 0;
  return commits;
}

// Copies the result with the host's own allocation (not failed by the test), then releases.
template <class T>
void PINTOVEL_HOOK_CALL CopyingCommit(InOutArg<T>* arg) {
  HostScope host;
  ++Commits<T>();
  if (arg->working == nullptr) return;
  *arg->target = *arg->working;
  arg->release(arg);
}

// The host supplied its own working object: nothing to copy.
template <class T>
void PINTOVEL_HOOK_CALL KeepCommit(InOutArg<T>*) {
  ++Commits<T>();
}

template <class T>
void PINTOVEL_HOOK_CALL NoRelease(InOutArg<T>*) {}

template <class T>
InOutArg<T> CopyingArg(T& target) {
  Commits<T>() = 0;
  return InOutArg<T>{&target, nullptr, &CopyingCommit<T>, &NoRelease<T>};
}

template <class T>
InOutArg<T> InPlaceArg(T& object) {
  Commits<T>() = 0;
  return InOutArg<T>{&object, &object, &KeepCommit<T>, &NoRelease<T>};
}

// ---- Comparisons --------------------------------------------------------------------------

bool Same(const PixelData& a, const PixelData& b) {
  if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size())
    return false;
  for (size_t p = 0; p < a.pixels.size(); ++p) {
    if (a.pixels[p].size() != b.pixels[p].size()) return false;
    for (size_t i = 0; i < a.pixels[p].size(); ++i) {
      const PixelWeight x = a.pixels[p][i];
      const PixelWeight y = b.pixels[p][i];
      if (x.id != y.id || std::memcmp(&x.weight, &y.weight, sizeof(double)) != 0) return false;
    }
  }
  return true;
}

bool Same(const Polygon& a, const Polygon& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Point)) == 0);
}

bool Same(const std::vector<Polygon>& a, const std::vector<Polygon>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!Same(a[i], b[i])) return false;
  }
  return true;
}

// ---- The loop over allocation points ------------------------------------------------------

// Runs `attempt(k, threw)` for k = 0, 1, 2, ... until an attempt returns normally. An attempt
// sets up fresh containers, makes one call through Armed(k, ...) and checks the outcome; `threw`
// tells it whether bad_alloc left the call. Returns the number of allocation points (the k of
// the undisturbed call).
template <class Attempt>
long ForEachAllocationPoint(Attempt attempt) {
  for (long k = 0; k < kMaxAllocationPoints; ++k) {
    bool threw = false;
    attempt(k, threw);
    EXPECT_EQ(LiveTrackedAllocations(), 0u) << "blocks leaked with allocation " << k << " failing";
    if (threw) {
      EXPECT_TRUE(InjectedFailure()) << "bad_alloc without an injected failure, at " << k;
    } else {
      EXPECT_FALSE(InjectedFailure())
          << "allocation " << k << " failed and the call returned normally";
      return k;
    }
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "stopped at allocation " << k;
      return -1;
    }
  }
  ADD_FAILURE() << "more than " << kMaxAllocationPoints << " allocations";
  return -1;
}

// Makes `call` with the library's allocation number `failAt` failing; tells whether bad_alloc
// left the call. Any other exception fails the test.
template <class Call>
bool Armed(long failAt, bool& threw, Call call) {
  bool result = false;
  ArmAllocations(failAt);
  try {
    result = call();
  } catch (const std::bad_alloc&) {
    threw = true;
  } catch (...) {
    ADD_FAILURE() << "an exception other than std::bad_alloc left the call, allocation " << failAt;
  }
  DisarmAllocations();
  return result;
}

// ---- Representative inputs ----------------------------------------------------------------

constexpr int32_t kWidth = 8;
constexpr int32_t kHeight = 6;

// Lists with entries of ids 0 and 2 in a band of pixels, so folds both add and scale entries.
PixelData PrefilledData() {
  PixelData data;
  data.pixels.resize(kWidth * kHeight);
  data.width = kWidth;
  data.height = kHeight;
  for (int32_t p = 0; p < kWidth * kHeight; p += 3) data.pixels[p].push_back({0, 0.5});
  for (int32_t p = 1; p < kWidth * kHeight; p += 4) data.pixels[p].push_back({2, 0.25});
  return data;
}

// Four ids; id 1 lies in front of the shapes that use this mask.
FrontMask Front() {
  return FrontMask{false, true, false, false};
}

// Partly outside the window, so the measurement clips it; covers whole and partial pixels.
Polygon Outline() {
  return Polygon{{-2.0, 1.5}, {6.25, -1.0}, {9.0, 5.5}, {2.5, 7.0}};
}

const Bounds kWindow{0.0, double(kWidth), 0.0, double(kHeight)};

struct ShapeList {
  std::vector<FrontMask> fronts;
  std::vector<Polygon> outlines;
  std::vector<int32_t> ids;
  ColourTable colours;
};

// Three shapes, the first and last with the same id.
ShapeList Shapes() {
  ShapeList s;
  s.fronts = {Front(), FrontMask{false, false, false, true}, Front()};
  s.outlines = {Outline(), Polygon{{0.5, 0.5}, {5.0, 0.5}, {5.0, 4.75}, {0.5, 4.75}},
                Polygon{{3.0, 2.0}, {7.5, 3.0}, {4.0, 6.0}}};
  s.ids = {3, 0, 3};
  s.colours = {0x00112233u, 0x00445566u, 0x00778899u, 0x00AABBCCu};
  return s;
}

std::vector<uint8_t> StartImage(int32_t width = kWidth, int32_t height = kHeight) {
  std::vector<uint8_t> image(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
  return image;
}

// ---- A busy scene -------------------------------------------------------------------------

constexpr int32_t kBusyWidth = 64;
constexpr int32_t kBusyHeight = 32;
constexpr int32_t kBusyIds = 16;

// Shapes over the image, on 16 ids with random masks of full length (so every call succeeds)
// and one distinct colour per id, four kinds in turn: a band across the whole width with
// slightly slanted top and bottom edges (every pixel along them gets a coverage of its own, so
// those rows split into a run per pixel); a comb of teeth narrower than a pixel, one per
// column, which covers the same share of every pixel between its top and bottom (a partial
// fold on every run it meets, so lists keep growing); a small triangle, a few pixels across,
// which gives rows many owners; a quadrilateral with a corner near each corner of the image.
// Some are wound the other way. As straight paths they flatten to the same outlines for
// ExportRibbon.
struct BusyScene {
  ShapeList shapes;
  std::vector<std::vector<Point>> corners;
};

BusyScene MakeBusyScene() {
  BusyScene scene;
  std::mt19937 random(2024);
  const auto uniform = [&random](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  };
  const double w = kBusyWidth, h = kBusyHeight;
  std::uniform_int_distribution<int32_t> id(0, kBusyIds - 1);
  for (int i = 0; i < 160; ++i) {
    std::vector<Point> corners;
    const double top = uniform(-1.0, h - 1.0), bottom = top + uniform(1.0, h / 2);
    if (i % 4 == 0) {
      corners = {{-1.0, top + uniform(0.0, 1.0)},
                 {w + 1.0, top + uniform(0.0, 1.0)},
                 {w + 1.0, bottom + uniform(0.0, 1.0)},
                 {-1.0, bottom + uniform(0.0, 1.0)}};
    } else if (i % 4 == 1) {
      const double phase = uniform(0.0, 0.5), tooth = uniform(0.1, 0.5);
      corners.push_back(Point{0.0, bottom});
      for (int32_t c = 0; c < kBusyWidth; ++c) {
        corners.push_back(Point{c + phase, bottom});
        corners.push_back(Point{c + phase, top});
        corners.push_back(Point{c + phase + tooth, top});
        corners.push_back(Point{c + phase + tooth, bottom});
      }
    } else if (i % 4 == 2) {
      const Point anchor{uniform(-2.0, w + 2.0), uniform(-2.0, h + 2.0)};
      corners = {anchor,
                 {anchor.x + uniform(-4.0, 4.0), anchor.y + uniform(-4.0, 4.0)},
                 {anchor.x + uniform(-4.0, 4.0), anchor.y + uniform(-4.0, 4.0)}};
    } else {
      corners = {{uniform(-4.0, w / 2), uniform(-4.0, h / 2)},
                 {uniform(w / 2, w + 4.0), uniform(-4.0, h / 2)},
                 {uniform(w / 2, w + 4.0), uniform(h / 2, h + 4.0)},
                 {uniform(-4.0, w / 2), uniform(h / 2, h + 4.0)}};
    }
    if (i % 5 == 0) std::reverse(corners.begin(), corners.end());
    FrontMask front(kBusyIds);
    for (size_t k = 0; k < front.size(); ++k) front[k] = random() % 2 == 0;
    scene.shapes.fronts.push_back(front);
    scene.shapes.outlines.push_back(Polygon(corners.begin(), corners.end()));
    scene.shapes.ids.push_back(id(random));
    scene.corners.push_back(corners);
  }
  for (int32_t k = 0; k < kBusyIds; ++k) scene.shapes.colours.push_back(0x00081018u * (k + 1));
  return scene;
}

// What folding the measured shapes into weight rows does: whether a row's entry store was
// compacted on the way (the lists its runs refer to were renumbered below where they had
// reached; without compaction new lists only ever go to the end of the row's store) and the
// most runs a row had after any fold.
struct RowsReached {
  bool compacted = false;
  size_t mostRuns = 0;
  size_t highestEnd = 0;  // the highest end of a list that a row's runs referred to after a fold
};

// `measure(i, scratch)` measures shape i as the road under test does.
template <class Measure>
RowsReached ReplayWeightRows(const ShapeList& s, int32_t width, int32_t height, Measure measure) {
  RowsReached reached;
  WeightRows rows;
  rows.Reset(width, 0, height);
  MeasureScratch scratch;
  std::vector<size_t> lastEnds(static_cast<size_t>(height), 0);
  for (size_t i = 0; i < s.fronts.size(); ++i) {
    measure(i, scratch);
    if (scratch.rows.rows.empty()) continue;
    rows.Fold(scratch.rows, BoundFront(s.fronts[i]), s.ids[i]);
    for (int32_t y = 0; y < height; ++y) {
      const std::vector<WeightRun>& runs = rows.Row(y).runs;
      reached.mostRuns = std::max(reached.mostRuns, runs.size());
      size_t end = 0;
      for (const WeightRun& run : runs) {
        if (run.count > 0) end = std::max<size_t>(end, run.first + run.count);
      }
      size_t& lastEnd = lastEnds[static_cast<size_t>(y)];
      reached.compacted = reached.compacted || end < lastEnd;
      reached.highestEnd = std::max(reached.highestEnd, end);
      lastEnd = end;
    }
  }
  return reached;
}

// The most changes from one pixel's colour to the next in any row of a 32-bit image.
size_t MostColourChanges(const std::vector<uint8_t>& image, int32_t width) {
  size_t most = 0;
  const size_t rowBytes = 4 * static_cast<size_t>(width);
  for (size_t row = 0; row < image.size(); row += rowBytes) {
    size_t changes = 0;
    for (size_t i = row + 4; i < row + rowBytes; i += 4) {
      changes += std::memcmp(&image[i], &image[i - 4], 4) != 0;
    }
    most = std::max(most, changes);
  }
  return most;
}

TEST(AllocationFailure, BusySceneReachesCompactionAndManyRuns) {
  const BusyScene scene = MakeBusyScene();
  const Bounds window{0.0, double(kBusyWidth), 0.0, double(kBusyHeight)};
  const RowsReached drawing =
      ReplayWeightRows(scene.shapes, kBusyWidth, kBusyHeight, [&](size_t i, MeasureScratch& m) {
        MeasureShapeRows(window, kBusyHeight, scene.shapes.outlines[i], m);
      });
  EXPECT_TRUE(drawing.compacted) << "lists reached entry " << drawing.highestEnd;
  EXPECT_GE(drawing.mostRuns, 40u);

  const CellRange image{0, 0, kBusyWidth, kBusyHeight};
  const RowsReached ribbon =
      ReplayWeightRows(scene.shapes, kBusyWidth, kBusyHeight, [&](size_t i, MeasureScratch& m) {
        Polygon polygon;
        FlattenPath(testing::StraightPath(scene.corners[i]), polygon);
        Bounds bounds = BoundingBox(polygon);
        Polygon scratch;
        Bounds scratchBounds{};
        ClipPolygonToImage(polygon, bounds, kBusyWidth, kBusyHeight, polygon, scratch,
                           scratchBounds);
        MeasureRowsOfOutline(polygon, image, 0, kBusyHeight, m);
      });
  EXPECT_TRUE(ribbon.compacted) << "lists reached entry " << ribbon.highestEnd;
  EXPECT_GE(ribbon.mostRuns, 40u);
}

// ---- Pixel data ---------------------------------------------------------------------------

TEST(AllocationFailure, UpdatePixelData) {
  const FrontMask front = Front();
  const Polygon outline = Outline();
  const PixelData initial = PrefilledData();
  PixelData expected = initial;
  ASSERT_TRUE(UpdatePixelData(&front, &outline, &kWindow, 3, CopyingArg(expected)));
  ASSERT_FALSE(Same(expected, initial));

  const long points = ForEachAllocationPoint([&](long k, bool& threw) {
    PixelData target = initial;
    const bool ok = Armed(k, threw, [&] {
      return UpdatePixelData(&front, &outline, &kWindow, 3, CopyingArg(target));
    });
    if (threw) {
      EXPECT_EQ(Commits<PixelData>(), 0) << "commit on the exception path, allocation " << k;
      EXPECT_TRUE(Same(target, initial)) << "target changed, allocation " << k;
    } else {
      EXPECT_TRUE(ok);
      EXPECT_EQ(Commits<PixelData>(), 1);
      EXPECT_TRUE(Same(target, expected));
    }
  });
  EXPECT_GT(points, 0);
  std::printf("UpdatePixelData: %ld allocation points\n", points);
}

TEST(AllocationFailure, CreatePixelData) {
  const ShapeList s = Shapes();
  const PixelData initial = PrefilledData();
  PixelData expected = initial;
  ASSERT_TRUE(CreatePixelData(&s.fronts, &s.outlines, &kWindow, &s.ids, CopyingArg(expected)));
  ASSERT_FALSE(Same(expected, initial));

  const long points = ForEachAllocationPoint([&](long k, bool& threw) {
    PixelData target = initial;
    const bool ok = Armed(k, threw, [&] {
      return CreatePixelData(&s.fronts, &s.outlines, &kWindow, &s.ids, CopyingArg(target));
    });
    if (threw) {
      EXPECT_EQ(Commits<PixelData>(), 0) << "commit on the exception path, allocation " << k;
      EXPECT_TRUE(Same(target, initial)) << "target changed, allocation " << k;
    } else {
      EXPECT_TRUE(ok);
      EXPECT_EQ(Commits<PixelData>(), 1);
      EXPECT_TRUE(Same(target, expected));
    }
  });
  EXPECT_GT(points, 0);
  std::printf("CreatePixelData: %ld allocation points\n", points);
}

// With the host's own working object the library changes it in place; after an allocation
// failure it must still be either as it was or complete.
TEST(AllocationFailure, UpdatePixelDataOnTheHostsWorkingObject) {
  const FrontMask front = Front();
  const Polygon outline = Outline();
  const PixelData initial = PrefilledData();
  PixelData expected = initial;
  ASSERT_TRUE(UpdatePixelData(&front, &outline, &kWindow, 3, InPlaceArg(expected)));

  const long points = ForEachAllocationPoint([&](long k, bool& threw) {
    PixelData object = initial;
    const bool ok = Armed(k, threw, [&] {
      return UpdatePixelData(&front, &outline, &kWindow, 3, InPlaceArg(object));
    });
    if (threw) {
      EXPECT_EQ(Commits<PixelData>(), 0) << "commit on the exception path, allocation " << k;
      EXPECT_TRUE(Same(object, initial) || Same(object, expected))
          << "a partly updated working object, allocation " << k;
    } else {
      EXPECT_TRUE(ok);
      EXPECT_EQ(Commits<PixelData>(), 1);
      EXPECT_TRUE(Same(object, expected));
    }
  });
  EXPECT_GT(points, 0);
  std::printf("UpdatePixelData in place: %ld allocation points\n", points);
}

// With the host's own working object CreatePixelData works in place, shape by shape, without a
// copy of the data; each shape is folded whole or not at all, so after an allocation failure
// the object holds the first j shapes for some j.
TEST(AllocationFailure, CreatePixelDataOnTheHostsWorkingObject) {
  const ShapeList s = Shapes();
  const PixelData initial = PrefilledData();
  std::vector<PixelData> prefixes{initial};
  for (size_t j = 0; j < s.fronts.size(); ++j) {
    PixelData next = prefixes.back();
    ASSERT_TRUE(
        UpdatePixelData(&s.fronts[j], &s.outlines[j], &kWindow, s.ids[j], InPlaceArg(next)));
    prefixes.push_back(next);
  }
  const PixelData& expected = prefixes.back();

  const long points = ForEachAllocationPoint([&](long k, bool& threw) {
    PixelData object = initial;
    const bool ok = Armed(k, threw, [&] {
      return CreatePixelData(&s.fronts, &s.outlines, &kWindow, &s.ids, InPlaceArg(object));
    });
    if (threw) {
      EXPECT_EQ(Commits<PixelData>(), 0) << "commit on the exception path, allocation " << k;
      bool wholeShapes = false;
      for (const PixelData& prefix : prefixes) wholeShapes = wholeShapes || Same(object, prefix);
      EXPECT_TRUE(wholeShapes) << "a shape folded in part, allocation " << k;
    } else {
      EXPECT_TRUE(ok);
      EXPECT_EQ(Commits<PixelData>(), 1);
      EXPECT_TRUE(Same(object, expected));
    }
  });
  EXPECT_GT(points, 0);
  std::printf("CreatePixelData in place: %ld allocation points\n", points);
}

// ---- Drawing ------------------------------------------------------------------------------

TEST(AllocationFailure, OnDrawAllocatesNothing) {
  const ShapeList s = Shapes();
  PixelData data = PrefilledData();
  ASSERT_TRUE(CreatePixelData(&s.fronts, &s.outlines, &kWindow, &s.ids, CopyingArg(data)));
  std::vector<uint8_t> image = StartImage();
  const std::vector<uint8_t> before = image;

  bool threw = false;
  const bool ok = Armed(
      0, threw, [&] { return OnDraw(image.data(), kWidth, kHeight, &data.pixels, &s.colours); });
  EXPECT_FALSE(threw);
  EXPECT_TRUE(ok);
  EXPECT_EQ(CountedAllocations(), 0);
  EXPECT_NE(image, before);
}

using DrawingRoad = decltype(&AllShapeDraw);

// At every allocation point a drawing road either leaves the image as it was or completes it.
// `minColourChanges`: the least number of colour changes the complete image has in its busiest
// row, to show that the road's rows held many runs.
long CheckDrawingRoadAtEveryAllocation(DrawingRoad draw, const ShapeList& s = Shapes(),
                                       int32_t width = kWidth, int32_t height = kHeight,
                                       size_t minColourChanges = 0) {
  const std::vector<uint8_t> initial = StartImage(width, height);
  std::vector<uint8_t> expected = initial;
  EXPECT_TRUE(draw(&s.fronts, &s.outlines, &s.ids, &s.colours, width, height, expected.data()));
  EXPECT_NE(expected, initial);
  EXPECT_GE(MostColourChanges(expected, width), minColourChanges);

  return ForEachAllocationPoint([&](long k, bool& threw) {
    std::vector<uint8_t> image = initial;
    const bool ok = Armed(k, threw, [&] {
      return draw(&s.fronts, &s.outlines, &s.ids, &s.colours, width, height, image.data());
    });
    if (threw) {
      EXPECT_EQ(image, initial) << "image changed, allocation " << k;
    } else {
      EXPECT_TRUE(ok);
      EXPECT_EQ(image, expected);
    }
  });
}

TEST(AllocationFailure, AllShapeDraw) {
  const long points = CheckDrawingRoadAtEveryAllocation(&AllShapeDraw);
  EXPECT_GT(points, 0);
  std::printf("AllShapeDraw: %ld allocation points\n", points);
}

TEST(AllocationFailure, AllShapeDrawQuickly) {
  const long points = CheckDrawingRoadAtEveryAllocation(&AllShapeDraw_Quickly);
  EXPECT_GT(points, 0);
  std::printf("AllShapeDraw_Quickly: %ld allocation points\n", points);
}

// A call with a single shape takes roads of its own.
TEST(AllocationFailure, DrawingRoadsWithOneShape) {
  ShapeList one = Shapes();
  one.fronts.resize(1);
  one.outlines.resize(1);
  one.ids.resize(1);
  EXPECT_GT(CheckDrawingRoadAtEveryAllocation(&AllShapeDraw, one), 0);
  EXPECT_GT(CheckDrawingRoadAtEveryAllocation(&AllShapeDraw_Quickly, one), 0);

  // Taller than the kernel measures at once (bands of 64K cells), with most of its edges in
  // the zigzag at the bottom, which only a later band reaches: its rows are drawn band by band,
  // and no allocation may fail once the first has been drawn.
  ShapeList tall = one;
  Polygon& outline = tall.outlines[0];
  outline = Polygon{{2.5, 3.25}, {61.5, 5.0}, {61.5, 1150.0}};
  for (int32_t tooth = 1; tooth <= 10; ++tooth) {
    outline.push_back(Point{61.5 - 5.9 * (tooth - 0.5), 1195.5});
    outline.push_back(Point{61.5 - 5.9 * tooth, 1150.0});
  }
  EXPECT_GT(CheckDrawingRoadAtEveryAllocation(&AllShapeDraw, tall, 64, 1200), 0);
  EXPECT_GT(CheckDrawingRoadAtEveryAllocation(&AllShapeDraw_Quickly, tall, 64, 1200), 0);
}

TEST(AllocationFailure, AllShapeDrawOnABusyScene) {
  const BusyScene scene = MakeBusyScene();
  const long points =
      CheckDrawingRoadAtEveryAllocation(&AllShapeDraw, scene.shapes, kBusyWidth, kBusyHeight, 30);
  EXPECT_GT(points, 0);
  std::printf("AllShapeDraw on a busy scene: %ld allocation points\n", points);
}

TEST(AllocationFailure, AllShapeDrawQuicklyOnABusyScene) {
  const BusyScene scene = MakeBusyScene();
  const long points = CheckDrawingRoadAtEveryAllocation(&AllShapeDraw_Quickly, scene.shapes,
                                                        kBusyWidth, kBusyHeight, 12);
  EXPECT_GT(points, 0);
  std::printf("AllShapeDraw_Quickly on a busy scene: %ld allocation points\n", points);
}

// The busy scene in painting order: ids rising along the list, each mask marking the higher
// ids. The roads then take each band's shapes from the front to the back, and the bands across
// the whole width close whole rows to the shapes behind them.
TEST(AllocationFailure, DrawingRoadsOnABusySceneInPaintingOrder) {
  BusyScene scene = MakeBusyScene();
  ShapeList& s = scene.shapes;
  for (size_t i = 0; i < s.ids.size(); ++i) {
    s.ids[i] = static_cast<int32_t>(i * kBusyIds / s.ids.size());
    for (size_t k = 0; k < s.fronts[i].size(); ++k) s.fronts[i][k] = k > size_t(s.ids[i]);
  }
  EXPECT_GT(CheckDrawingRoadAtEveryAllocation(&AllShapeDraw, s, kBusyWidth, kBusyHeight, 15), 0);
  EXPECT_GT(
      CheckDrawingRoadAtEveryAllocation(&AllShapeDraw_Quickly, s, kBusyWidth, kBusyHeight, 8), 0);
}

// ---- Outlines -----------------------------------------------------------------------------

// A closed outline of three cubic segments in document units, partly outside the document.
BezierPath CurvedPath() {
  return BezierPath{{10, 10},  {60, -20}, {90, 20}, {110, 50}, {90, 80},
                    {60, 110}, {40, 90},  {0, 80},  {-10, 40}, {10, 10}};
}

TEST(AllocationFailure, RegularPolygon) {
  const BezierPath path = CurvedPath();
  const Polygon initial{{1, 1}, {2, 2}};
  Polygon expected = initial;
  ASSERT_TRUE(RegularPolygon(&path, 0, 100, 0, 100, kWidth, kHeight, CopyingArg(expected)));
  ASSERT_GT(expected.size(), 8u);

  const long points = ForEachAllocationPoint([&](long k, bool& threw) {
    Polygon target = initial;
    const bool ok = Armed(k, threw, [&] {
      return RegularPolygon(&path, 0, 100, 0, 100, kWidth, kHeight, CopyingArg(target));
    });
    if (threw) {
      EXPECT_EQ(Commits<Polygon>(), 0) << "commit on the exception path, allocation " << k;
      EXPECT_TRUE(Same(target, initial)) << "target changed, allocation " << k;
    } else {
      EXPECT_TRUE(ok);
      EXPECT_EQ(Commits<Polygon>(), 1);
      EXPECT_TRUE(Same(target, expected));
    }
  });
  EXPECT_GT(points, 0);
  std::printf("RegularPolygon: %ld allocation points\n", points);
}

TEST(AllocationFailure, RegularPolygons) {
  const std::vector<BezierPath> paths{CurvedPath(), BezierPath{{1, 1}, {2, 2}},
                                      BezierPath{{20, 20},
                                                 {40, 20},
                                                 {40, 20},
                                                 {60, 20},
                                                 {60, 40},
                                                 {60, 40},
                                                 {60, 60},
                                                 {20, 60},
                                                 {20, 60},
                                                 {20, 20}}};
  const std::vector<Polygon> initial{Polygon{{5, 5}}, Polygon{}};
  std::vector<Polygon> expected = initial;
  ASSERT_TRUE(RegularPolygons(&paths, 0, 100, 0, 100, kWidth, kHeight, CopyingArg(expected)));
  ASSERT_EQ(expected.size(), 3u);

  const long points = ForEachAllocationPoint([&](long k, bool& threw) {
    std::vector<Polygon> target = initial;
    const bool ok = Armed(k, threw, [&] {
      return RegularPolygons(&paths, 0, 100, 0, 100, kWidth, kHeight, CopyingArg(target));
    });
    if (threw) {
      EXPECT_EQ(Commits<std::vector<Polygon>>(), 0)
          << "commit on the exception path, allocation " << k;
      EXPECT_TRUE(Same(target, initial)) << "target changed, allocation " << k;
    } else {
      EXPECT_TRUE(ok);
      EXPECT_EQ(Commits<std::vector<Polygon>>(), 1);
      EXPECT_TRUE(Same(target, expected));
    }
  });
  EXPECT_GT(points, 0);
  std::printf("RegularPolygons: %ld allocation points\n", points);
}

// ---- Ribbon -------------------------------------------------------------------------------

std::vector<RibbonShape> RibbonShapes(double top) {
  std::vector<RibbonShape> shapes(3);
  const double y = top;
  shapes[0].id = 0;
  shapes[0].front = FrontMask{false, false, true};
  shapes[0].outline = {{1, y + 1}, {4, y + 0.5}, {4, y + 0.5}, {7.5, y + 2}, {6, y + 5},
                       {6, y + 5}, {3, y + 6},   {2, y + 4},   {1, y + 3},   {1, y + 1}};
  shapes[1].id = 1;
  shapes[1].front = FrontMask{true, false, false};
  shapes[1].outline = {{2, y + 2}, {5, y + 2}, {5, y + 2}, {9, y + 2}, {9, y + 4},
                       {9, y + 4}, {9, y + 7}, {2, y + 7}, {2, y + 7}, {2, y + 2}};
  shapes[2].id = 2;
  shapes[2].front = FrontMask{false, false, false};
  shapes[2].outline = {{-3, y + 3}, {5, y - 2},  {14, y + 1}, {8, y + 9},
                       {5, y + 12}, {0, y + 10}, {-3, y + 3}};
  return shapes;
}

// The calls an undisturbed ExportRibbon makes on a w x h host.
std::vector<RibbonEvent> RibbonEvents(int32_t width, int32_t height,
                                      const std::vector<RibbonShape>& shapes,
                                      const LayerTable& layers) {
  TestRibbonHost host(width, height);
  RibbonHost record = host.Host();
  EXPECT_TRUE(ExportRibbon(&record, &shapes, &layers));
  return host.events();
}

// ExportRibbon with the k-th allocation failing, for every k: checks the buffer's return and,
// on a normal return, compares the delivered calls with `expected`.
long RibbonCallsAtEveryAllocation(int32_t width, int32_t height,
                                  const std::vector<RibbonShape>& shapes, const LayerTable& layers,
                                  const std::vector<RibbonEvent>& expected) {
  return ForEachAllocationPoint([&](long k, bool& threw) {
    TestRibbonHost host(width, height);
    RibbonHost record = host.Host();
    const bool ok = Armed(k, threw, [&] { return ExportRibbon(&record, &shapes, &layers); });
    EXPECT_FALSE(host.callAfterFree()) << "a host call after Free, allocation " << k;
    EXPECT_FALSE(host.maskOutsideBuffer()) << "a mask outside the buffer, allocation " << k;
    if (host.allocated()) {
      EXPECT_EQ(host.frees(), 1) << "allocation " << k;
      EXPECT_TRUE(host.freedTheBuffer()) << "allocation " << k;
    } else {
      EXPECT_EQ(host.frees(), 0) << "allocation " << k;
    }
    if (!threw) {
      EXPECT_TRUE(ok);
      EXPECT_TRUE(host.events() == expected) << "a different delivery";
    }
  });
}

// One ExportRibbon on a w x h host with shapes placed from row `top`, the k-th allocation
// failing; checks the buffer's return and, on a normal return, compares the delivered calls.
void RibbonAtEveryAllocation(int32_t width, int32_t height, double top, int bands,
                             const char* name) {
  const std::vector<RibbonShape> shapes = RibbonShapes(top);
  const LayerTable layers{4, 0, 9};
  const std::vector<RibbonEvent> expected = RibbonEvents(width, height, shapes, layers);
  // The representative run: every band gets both masks, and the shapes cover some of each.
  int masks = 0;
  std::vector<int32_t> coveredTops;
  for (const RibbonEvent& e : expected) {
    if (e.call != "PutMask") continue;
    ++masks;
    for (uint8_t byte : e.mask) {
      if (byte < 255) {
        if (coveredTops.empty() || coveredTops.back() != e.rect.top)
          coveredTops.push_back(e.rect.top);
        break;
      }
    }
  }
  ASSERT_EQ(masks, 2 * bands);
  ASSERT_EQ(coveredTops.size(), static_cast<size_t>(bands));

  const long points = RibbonCallsAtEveryAllocation(width, height, shapes, layers, expected);
  EXPECT_GT(points, 0);
  std::printf("%s: %ld allocation points\n", name, points);
}

TEST(AllocationFailure, ExportRibbon) {
  RibbonAtEveryAllocation(12, 10, 0.0, 1, "ExportRibbon");
}

// 500,001 x 2 pixels, the cheapest image with two bands: one row each, the shapes straddling
// the cut.
TEST(AllocationFailure, ExportRibbonAcrossBands) {
  RibbonAtEveryAllocation(500001, 2, -5.0, 2, "ExportRibbon across bands");
}

TEST(AllocationFailure, ExportRibbonOnABusyScene) {
  const BusyScene scene = MakeBusyScene();
  std::vector<RibbonShape> shapes;
  for (size_t i = 0; i < scene.corners.size(); ++i) {
    RibbonShape shape{};
    shape.id = static_cast<int16_t>(scene.shapes.ids[i]);
    shape.front = scene.shapes.fronts[i];
    shape.outline = testing::StraightPath(scene.corners[i]);
    shapes.push_back(shape);
  }
  const LayerTable layers{1, 2, 0, 4, 5, 0, 7, 8, 0, 0, 11, 0, 0, 14, 15, 16};
  const std::vector<RibbonEvent> expected = RibbonEvents(kBusyWidth, kBusyHeight, shapes, layers);
  // The masks change value many times along a row, as the runs do.
  size_t mostChanges = 0;
  for (const RibbonEvent& e : expected) {
    if (e.call != "PutMask") continue;
    for (size_t row = 0; row < e.mask.size(); row += kBusyWidth) {
      size_t changes = 0;
      for (size_t i = row + 1; i < row + kBusyWidth; ++i) changes += e.mask[i] != e.mask[i - 1];
      mostChanges = std::max(mostChanges, changes);
    }
  }
  EXPECT_GE(mostChanges, 20u);

  const long points =
      RibbonCallsAtEveryAllocation(kBusyWidth, kBusyHeight, shapes, layers, expected);
  EXPECT_GT(points, 0);
  std::printf("ExportRibbon on a busy scene: %ld allocation points\n", points);
}

}  // namespace
}  // namespace pintovel
