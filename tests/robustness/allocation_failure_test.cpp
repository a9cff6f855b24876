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
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <cstring>
#include <new>
#include <vector>

#include "robustness/failing_allocator.h"
#include "robustness/ribbon_test_host.h"

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

std::vector<uint8_t> StartImage() {
  std::vector<uint8_t> image(kWidth * kHeight * 4);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
  return image;
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
long CheckDrawingRoadAtEveryAllocation(DrawingRoad draw) {
  const ShapeList s = Shapes();
  const std::vector<uint8_t> initial = StartImage();
  std::vector<uint8_t> expected = initial;
  EXPECT_TRUE(draw(&s.fronts, &s.outlines, &s.ids, &s.colours, kWidth, kHeight, expected.data()));
  EXPECT_NE(expected, initial);

  return ForEachAllocationPoint([&](long k, bool& threw) {
    std::vector<uint8_t> image = initial;
    const bool ok = Armed(k, threw, [&] {
      return draw(&s.fronts, &s.outlines, &s.ids, &s.colours, kWidth, kHeight, image.data());
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

// One ExportRibbon on a w x h host with shapes placed from row `top`, the k-th allocation
// failing; checks the buffer's return and, on a normal return, compares the delivered calls.
void RibbonAtEveryAllocation(int32_t width, int32_t height, double top, int bands,
                             const char* name) {
  const std::vector<RibbonShape> shapes = RibbonShapes(top);
  const LayerTable layers{4, 0, 9};
  std::vector<RibbonEvent> expected;
  {
    TestRibbonHost host(width, height);
    RibbonHost record = host.Host();
    ASSERT_TRUE(ExportRibbon(&record, &shapes, &layers));
    expected = host.events();
  }
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

  const long points = ForEachAllocationPoint([&](long k, bool& threw) {
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

}  // namespace
}  // namespace pintovel
