// The stacking rules of the weight lists, through the UpdatePixelData and CreatePixelData
// exports. Coverage values are produced by rectangles whose exact area is known: a rectangle
// on whole pixel rows of width w gives exactly w in its cell.
#include "coverage/pixel_data.h"

#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <map>
#include <random>

#include "coverage/stacking_fold.h"
#include "support/area_oracle.h"
#include "support/host_hooks.h"
#include "support/shapes.h"

namespace pintovel {
namespace {

using testing::EmptyPixelData;
using testing::HostArg;
using testing::MaskWith;
using testing::Rect;
using testing::WeightOf;
using testing::WindowOf;

constexpr int32_t kOwnId = 2;
constexpr int32_t kA = 0;  // in front of the new shape in these tests
constexpr int32_t kB = 1;  // behind it

// Adds one shape to a 1x1 pixel data holding `list` and returns the new list.
std::vector<PixelWeight> Fold(std::vector<PixelWeight> list, const Polygon& outline,
                              const FrontMask& front, int32_t id = kOwnId) {
  PixelData data = EmptyPixelData(1, 1);
  data.pixels[0] = std::move(list);
  const Bounds window = WindowOf(1, 1);
  EXPECT_TRUE(UpdatePixelData(&front, &outline, &window, id, HostArg(data)));
  EXPECT_EQ(testing::CountsFor<PixelData>().commits, 1);
  return data.pixels[0];
}

void ExpectList(const std::vector<PixelWeight>& list,
                const std::vector<std::pair<int32_t, double>>& expected) {
  ASSERT_EQ(list.size(), expected.size());
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].id, expected[i].first) << "entry " << i;
    EXPECT_NEAR(list[i].weight, expected[i].second, 1e-15) << "entry " << i;
  }
}

const FrontMask kAInFront = MaskWith(3, {kA});

TEST(PixelDataStacking, EmptyListTakesFullOrPartialCoverage) {
  ExpectList(Fold({}, Rect(0, 0, 1, 1), kAInFront), {{kOwnId, 1.0}});
  ExpectList(Fold({}, Rect(0, 0, 0.375, 1), kAInFront), {{kOwnId, 0.375}});
}

TEST(PixelDataStacking, FullCoverageDropsShapesBehindAndKeepsThoseInFront) {
  ExpectList(Fold({{kA, 0.3}, {kB, 0.5}}, Rect(0, 0, 1, 1), kAInFront), {{kA, 0.3}, {kOwnId, 0.7}});
  // Order of the kept entries is their old order, whatever it was.
  ExpectList(Fold({{kB, 0.5}, {kA, 0.3}}, Rect(0, 0, 1, 1), kAInFront), {{kA, 0.3}, {kOwnId, 0.7}});
}

TEST(PixelDataStacking, PartialCoverageScalesShapesBehind) {
  ExpectList(Fold({{kA, 0.3}, {kB, 0.5}}, Rect(0, 0, 0.5, 1), kAInFront),
             {{kA, 0.3}, {kB, 0.25}, {kOwnId, 0.35}});
}

TEST(PixelDataStacking, FrontSharesTakingTheWholePixelLeaveNothingToAppend) {
  const FrontMask bothInFront = MaskWith(3, {kA, kB});
  ExpectList(Fold({{kA, 0.4}, {kB, 0.6}}, Rect(0, 0, 1, 1), bothInFront), {{kA, 0.4}, {kB, 0.6}});
  // Partial: nothing appended, but shapes behind are still scaled.
  const FrontMask onlyAInFront = MaskWith(4, {kA});
  ExpectList(Fold({{kA, 1.0}, {3, 0.5}}, Rect(0, 0, 0.5, 1), onlyAInFront), {{kA, 1.0}, {3, 0.25}});
}

TEST(PixelDataStacking, OwnEntryIsFoldedNotDuplicated) {
  // Own id in front of itself: partial coverage adds (1 - sum) * cov to the old weight, where
  // sum includes the old own weight.
  const FrontMask selfInFront = MaskWith(3, {kOwnId});
  ExpectList(Fold({{kOwnId, 0.5}}, Rect(0, 0, 0.5, 1), selfInFront), {{kOwnId, 0.75}});
  // Own bit clear: the old own entry is scaled by 1 - cov first, then receives (1 - sum) * cov.
  ExpectList(Fold({{kOwnId, 0.5}}, Rect(0, 0, 0.5, 1), kAInFront), {{kOwnId, 0.75}});
  // Full coverage with own bit set: stays in place and becomes 1 - (other front shares).
  ExpectList(Fold({{kOwnId, 0.2}, {kA, 0.3}}, Rect(0, 0, 1, 1), MaskWith(3, {kA, kOwnId})),
             {{kOwnId, 0.7}, {kA, 0.3}});
  // Full coverage with own bit clear: dropped and appended anew after the kept entries.
  ExpectList(Fold({{kOwnId, 0.2}, {kA, 0.3}}, Rect(0, 0, 1, 1), kAInFront),
             {{kA, 0.3}, {kOwnId, 0.7}});
}

TEST(PixelDataStacking, ThresholdsDecideTheBranch) {
  // Exactly 0.999999999 is partial: the shape behind keeps a sliver instead of being dropped.
  const std::vector<PixelWeight> behind{{kB, 1.0}};
  const auto atFull = Fold(behind, Rect(0, 0, 0.999999999, 1), kAInFront);
  ASSERT_EQ(atFull.size(), 2u);
  EXPECT_EQ(atFull[0].id, kB);
  EXPECT_NEAR(atFull[0].weight, 1e-9, 1e-15);
  // Above it, the full branch removes the shape behind.
  const auto aboveFull = Fold(behind, Rect(0, 0, 0.9999999995, 1), kAInFront);
  ExpectList(aboveFull, {{kOwnId, 1.0}});
  // Exactly 1e-9 is processed; below it the list is untouched.
  const auto atMin = Fold(behind, Rect(0, 0, 1e-9, 1), kAInFront);
  ASSERT_EQ(atMin.size(), 2u);
  EXPECT_EQ(atMin[1].id, kOwnId);
  ExpectList(Fold(behind, Rect(0, 0, 5e-10, 1), kAInFront), {{kB, 1.0}});
}

TEST(PixelDataStacking, CounterClockwiseOutlineChangesNoList) {
  ExpectList(Fold({{kB, 0.5}}, testing::ReversedRect(0, 0, 1, 1), kAInFront), {{kB, 0.5}});
}

TEST(PixelDataStacking, CoverageAboveOneTakesTheFullBranch) {
  Polygon twice = Rect(0, 0, 1, 1);
  const Polygon again = Rect(0, 0, 1, 1);
  twice.insert(twice.end(), again.begin(), again.end());
  ExpectList(Fold({{kB, 0.5}}, twice, kAInFront), {{kOwnId, 1.0}});
}

TEST(PixelDataStacking, EmptyOutlineHandsBackAnUnchangedCopy) {
  const std::vector<PixelWeight> list{{kB, 0.5}};
  ExpectList(Fold(list, Polygon{}, kAInFront), {{kB, 0.5}});
  EXPECT_TRUE(testing::CountsFor<PixelData>().sawWorking);
}

TEST(PixelDataStacking, TwoShapesOfOneIdNeverGiveTwoEntries) {
  PixelData data = EmptyPixelData(2, 1);
  const std::vector<FrontMask> fronts(2, MaskWith(3, {}));
  const std::vector<Polygon> outlines{Rect(0, 0, 1.5, 1), Rect(0.5, 0, 2, 1)};
  const std::vector<int32_t> ids{kOwnId, kOwnId};
  const Bounds window = WindowOf(2, 1);
  ASSERT_TRUE(CreatePixelData(&fronts, &outlines, &window, &ids, HostArg(data)));
  // Pixel 0: 1.0 then partial 0.5 over itself (own bit clear): 0.5 * 1 + 0.5 = 1.
  ExpectList(data.pixels[0], {{kOwnId, 1.0}});
  // Pixel 1: 0.5 then full coverage replaces the weight.
  ExpectList(data.pixels[1], {{kOwnId, 1.0}});
}

// The bounded mask must answer exactly as the mask for every id, whatever the size (word
// boundaries included) and wherever its bits lie, including none and a single one.
TEST(PixelDataStacking, BoundedFrontAnswersLikeItsMask) {
  std::mt19937 random(17);
  for (int trial = 0; trial < 2000; ++trial) {
    const size_t size = random() % 300;
    FrontMask mask(size, false);
    const int kind = trial % 4;  // none, one bit, sparse, dense
    if (kind == 1 && size > 0) mask[random() % size] = true;
    for (size_t j = 0; j < size; ++j) {
      if ((kind == 2 && random() % 50 == 0) || (kind == 3 && random() % 2 == 0)) mask[j] = true;
    }
    const BoundedFront bounded = BoundFront(mask);
    for (int32_t id = -2; id < static_cast<int32_t>(size); ++id) {
      const bool expected = id >= 0 && mask[static_cast<size_t>(id)];
      ASSERT_EQ(IsInFront(bounded, id), expected) << "trial " << trial << " id " << id;
    }
    // Ids beyond the mask are never read: the range ends at its highest set bit.
    EXPECT_LT(bounded.highest, static_cast<int32_t>(size)) << "trial " << trial;
  }
}

TEST(PixelDataWindow, ListsFollowTheWindowsCellsNotTheImage) {
  // A 4x3 window starting at cell (10, 5): list p is cell (10 + p % 4, 5 + p / 4).
  PixelData data = EmptyPixelData(4, 3);
  const Bounds window{10.0, 14.0, 5.0, 8.0};
  const FrontMask front = MaskWith(1, {});
  const Polygon outline = Rect(11, 6, 12, 7);
  ASSERT_TRUE(UpdatePixelData(&front, &outline, &window, 0, HostArg(data)));
  for (size_t p = 0; p < data.pixels.size(); ++p) {
    EXPECT_EQ(data.pixels[p].size(), p == 5 ? 1u : 0u) << "list " << p;
  }
}

TEST(PixelDataWindow, OutlineBeyondTheWindowIsMeasuredByItsPartInside) {
  PixelData data = EmptyPixelData(2, 2);
  const FrontMask front = MaskWith(1, {});
  const Polygon outline = Rect(-3.5, 1.25, 1.5, 9);
  const Bounds window = WindowOf(2, 2);
  ASSERT_TRUE(UpdatePixelData(&front, &outline, &window, 0, HostArg(data)));
  EXPECT_TRUE(data.pixels[0].empty());
  EXPECT_TRUE(data.pixels[1].empty());
  ExpectList(data.pixels[2], {{0, 0.75}});
  ExpectList(data.pixels[3], {{0, 0.375}});
}

// One shape on empty lists gives each pixel {id, cov} with cov the exact area of the outline in
// that cell, however far the outline reaches beyond the window (it is clipped first, which
// must neither lose nor add area, nor drop the shape when a crossing rounds past the border).
TEST(PixelDataWindow, OutlinesReachingBeyondTheWindowGiveTheExactAreaInside) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(-40.0, 60.0);
  const Bounds window{3.0, 23.0, 2.0, 17.0};  // 20 x 15 cells from cell (3, 2)
  const FrontMask front = MaskWith(1, {});
  for (int trial = 0; trial < 200; ++trial) {
    Polygon outline;
    const int n = 3 + trial % 9;
    for (int v = 0; v < n; ++v) outline.push_back({coord(rng), coord(rng)});
    PixelData data = EmptyPixelData(20, 15);
    ASSERT_TRUE(UpdatePixelData(&front, &outline, &window, 0, HostArg(data)));
    for (int32_t y = 0; y < 15; ++y) {
      for (int32_t x = 0; x < 20; ++x) {
        const double exact = double(testing::ExactCellArea(outline, x + 3, y + 2));
        const auto& list = data.pixels[static_cast<size_t>(y) * 20 + x];
        if (exact < 1e-9 - 1e-12) {
          EXPECT_TRUE(list.empty()) << trial << ": " << x << "," << y;
        } else if (exact > 1e-9 + 1e-12) {
          ASSERT_EQ(list.size(), 1u) << trial << ": " << x << "," << y;
          const double expected = exact > 0.999999999 ? 1.0 : exact;
          EXPECT_NEAR(list[0].weight, expected, 1e-9) << trial << ": " << x << "," << y;
        }
      }
    }
  }
}

// Random scenes keep the list invariants: at most one entry per id, weights in [0, 1] up to
// rounding, and a list's weights summing to at most 1.
TEST(PixelDataInvariants, RandomScenesKeepEveryList) {
  std::mt19937 rng(20261208);
  std::uniform_real_distribution<double> coord(-2.0, 18.0);
  std::uniform_int_distribution<int> idOf(0, 5);
  std::bernoulli_distribution bit(0.5);
  for (int scene = 0; scene < 60; ++scene) {
    PixelData data = EmptyPixelData(16, 16);
    std::vector<FrontMask> fronts;
    std::vector<Polygon> outlines;
    std::vector<int32_t> ids;
    for (int s = 0; s < 8; ++s) {
      FrontMask mask(6);
      for (size_t k = 0; k < mask.size(); ++k) mask[k] = bit(rng);
      fronts.push_back(mask);
      Polygon outline;
      const int n = 3 + s % 5;
      for (int v = 0; v < n; ++v) outline.push_back({coord(rng), coord(rng)});
      outlines.push_back(outline);
      ids.push_back(idOf(rng));
    }
    const Bounds window = WindowOf(16, 16);
    ASSERT_TRUE(CreatePixelData(&fronts, &outlines, &window, &ids, HostArg(data)));
    for (const auto& list : data.pixels) {
      std::map<int32_t, int> seen;
      double sum = 0.0;
      for (const PixelWeight& e : list) {
        EXPECT_EQ(++seen[e.id], 1) << "id " << e.id << " twice in scene " << scene;
        EXPECT_GE(WeightOf(e), -1e-12);
        EXPECT_LE(WeightOf(e), 1.0 + 1e-12);
        sum += e.weight;
      }
      EXPECT_LE(sum, 1.0 + 1e-9) << "scene " << scene;
    }
  }
}

// A small shape costs its bounding box, not the image: the same shapes on a 256x256 and on a
// 4096x4096 image give the same lists and pixels. The large data is passed as the working
// object, so no copy of it is made.
TEST(PixelDataCost, SmallShapesGiveTheSameListsOnSmallAndHugeImages) {
  const std::vector<FrontMask> fronts{MaskWith(3, {}), MaskWith(3, {0}), MaskWith(3, {})};
  const std::vector<Polygon> outlines{
      Rect(10.25, 20.5, 30.75, 41), Polygon{{15.5, 15.5}, {60.2, 33.3}, {22.7, 70.1}},
      Polygon{{100, 100}, {120.5, 100}, {100, 120.5}, {120.5, 120.5}}};  // a bow tie
  const std::vector<int32_t> ids{0, 1, 2};

  PixelData small = EmptyPixelData(256, 256);
  const Bounds smallWindow = WindowOf(256, 256);
  const InOutArg<PixelData> smallArg = testing::InPlaceHostArg(small);
  ASSERT_TRUE(CreatePixelData(&fronts, &outlines, &smallWindow, &ids, smallArg));

  PixelData huge = EmptyPixelData(4096, 4096);
  const Bounds hugeWindow = WindowOf(4096, 4096);
  const InOutArg<PixelData> hugeArg = testing::InPlaceHostArg(huge);
  ASSERT_TRUE(CreatePixelData(&fronts, &outlines, &hugeWindow, &ids, hugeArg));

  size_t touched = 0;
  for (int32_t y = 0; y < 4096; ++y) {
    for (int32_t x = 0; x < 4096; ++x) {
      const auto& hugeList = huge.pixels[static_cast<size_t>(y) * 4096 + x];
      if (x >= 256 || y >= 256) {
        ASSERT_TRUE(hugeList.empty()) << x << "," << y;
        continue;
      }
      const auto& smallList = small.pixels[static_cast<size_t>(y) * 256 + x];
      ASSERT_EQ(hugeList.size(), smallList.size()) << x << "," << y;
      for (size_t i = 0; i < hugeList.size(); ++i) {
        EXPECT_EQ(hugeList[i].id, smallList[i].id);
        EXPECT_EQ(WeightOf(hugeList[i]), WeightOf(smallList[i]));
      }
      touched += hugeList.empty() ? 0 : 1;
    }
  }
  EXPECT_GT(touched, 1000u);

  // The drawing road gives the same pixels too.
  const ColourTable colours{0x000000FFu, 0x0000FF00u, 0x00FF0000u};
  std::vector<uint8_t> smallImage(256 * 256 * 4, 200), hugeImage(size_t(4096) * 4096 * 4, 200);
  ASSERT_TRUE(AllShapeDraw(&fronts, &outlines, &ids, &colours, 256, 256, smallImage.data()));
  ASSERT_TRUE(AllShapeDraw(&fronts, &outlines, &ids, &colours, 4096, 4096, hugeImage.data()));
  for (size_t y = 0; y < 256; ++y) {
    for (size_t b = 0; b < 256 * 4; ++b) {
      ASSERT_EQ(smallImage[y * 256 * 4 + b], hugeImage[y * 4096 * 4 + b]) << y << "," << b;
    }
  }
}

}  // namespace
}  // namespace pintovel
