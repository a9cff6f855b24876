// The hand-back protocol as a host meets it: working copies made and released by the library,
// supplied working objects used in place, commit called exactly once.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <cstring>

#include "interface/working_copy.h"
#include "support/host_hooks.h"
#include "support/shapes.h"

namespace pintovel {
namespace {

using testing::CountsFor;
using testing::EmptyPixelData;
using testing::HostArg;
using testing::MaskWith;
using testing::Rect;
using testing::WeightOf;

TEST(InOutArg, LibraryCopyIsCommittedThenReleasedByTheLibrary) {
  PixelData target = EmptyPixelData(1, 1);
  const FrontMask front = MaskWith(1, {});
  const Polygon outline = Rect(0, 0, 1, 1);
  const Bounds window = testing::WindowOf(1, 1);
  InOutArg<PixelData> arg = HostArg(target);
  ASSERT_TRUE(UpdatePixelData(&front, &outline, &window, 0, arg));
  EXPECT_EQ(CountsFor<PixelData>().commits, 1);
  EXPECT_TRUE(CountsFor<PixelData>().sawWorking);
  // The host's release was replaced by the library's, which freed the copy (checked for leaks
  // by the sanitizer build).
  EXPECT_EQ(CountsFor<PixelData>().releases, 0);
  ASSERT_EQ(target.pixels[0].size(), 1u);
  EXPECT_EQ(WeightOf(target.pixels[0][0]), 1.0);
}

TEST(InOutArg, SuppliedWorkingIsUsedInPlace) {
  PixelData target = EmptyPixelData(1, 1);
  PixelData own = EmptyPixelData(1, 1);
  const FrontMask front = MaskWith(1, {});
  const Polygon outline = Rect(0, 0, 1, 1);
  const Bounds window = testing::WindowOf(1, 1);
  CountsFor<PixelData>() = {};
  const InOutArg<PixelData> arg{&target, &own, &testing::HostKeep<PixelData>,
                                &testing::HostRelease<PixelData>};
  ASSERT_TRUE(UpdatePixelData(&front, &outline, &window, 0, arg));
  EXPECT_EQ(CountsFor<PixelData>().commits, 1);
  EXPECT_EQ(CountsFor<PixelData>().releases, 0);  // release left alone, never called
  EXPECT_TRUE(target.pixels[0].empty());          // the target was not read into the result
  EXPECT_EQ(own.pixels[0].size(), 1u);
}

TEST(InOutArg, CommitWithoutWorkingDoesNothing) {
  PixelData target = EmptyPixelData(2, 1);
  CountsFor<PixelData>() = {};
  InOutArg<PixelData> arg{&target, nullptr, &CommitWorkingCopy<PixelData>,
                          &testing::HostRelease<PixelData>};
  CommitWorkingCopy(&arg);
  EXPECT_EQ(CountsFor<PixelData>().releases, 0);
  EXPECT_EQ(target.pixels.size(), 2u);
}

TEST(InOutArg, LibraryHooksCopyEveryField) {
  PixelData target = EmptyPixelData(3, 2);
  target.pixels[4].push_back({7, 0.25});
  InOutArg<PixelData> arg{&target, nullptr, &CommitWorkingCopy<PixelData>,
                          &ReleaseWorkingCopy<PixelData>};
  PixelData& working = AcquireWorkingCopy(arg);
  ASSERT_NE(&working, &target);
  EXPECT_EQ(working.width, 3);
  EXPECT_EQ(working.height, 2);
  ASSERT_EQ(working.pixels[4].size(), 1u);
  working.pixels[4][0].weight = 0.5;
  working.width = 6;
  working.height = 1;
  arg.commit(&arg);
  EXPECT_EQ(target.width, 6);
  EXPECT_EQ(target.height, 1);
  EXPECT_EQ(WeightOf(target.pixels[4][0]), 0.5);
}

TEST(InOutArg, CreateWithNoShapesHandsBackAnUnchangedCopy) {
  PixelData target = EmptyPixelData(2, 2);
  target.pixels[3].push_back({1, 0.5});
  const std::vector<FrontMask> fronts;
  const std::vector<Polygon> outlines;
  const std::vector<int32_t> ids;
  const Bounds window = testing::WindowOf(2, 2);
  ASSERT_TRUE(CreatePixelData(&fronts, &outlines, &window, &ids, HostArg(target)));
  EXPECT_EQ(CountsFor<PixelData>().commits, 1);
  EXPECT_TRUE(CountsFor<PixelData>().sawWorking);
  ASSERT_EQ(target.pixels[3].size(), 1u);
  EXPECT_EQ(target.pixels[3][0].id, 1);
}

TEST(InOutArg, RecordsThatCannotBeHandedBackAreRefusedWithoutAnyCall) {
  PixelData target = EmptyPixelData(1, 1);
  const FrontMask front = MaskWith(1, {});
  const Polygon outline = Rect(0, 0, 1, 1);
  const Bounds window = testing::WindowOf(1, 1);
  CountsFor<PixelData>() = {};
  EXPECT_FALSE(UpdatePixelData(&front, &outline, &window, 0,
                               InOutArg<PixelData>{&target, nullptr, nullptr, nullptr}));
  EXPECT_FALSE(UpdatePixelData(
      &front, &outline, &window, 0,
      InOutArg<PixelData>{nullptr, nullptr, &testing::HostCommitRecord<PixelData>, nullptr}));
  EXPECT_EQ(CountsFor<PixelData>().commits, 0);
  EXPECT_TRUE(target.pixels[0].empty());
}

TEST(PixelWeightLayout, WeightSitsAtOffsetFourOfTwelveBytes) {
  std::vector<PixelWeight> list{{3, 0.5}, {4, 0.25}};
  const auto* bytes = reinterpret_cast<const unsigned char*>(list.data());
  double second = 0.0;
  std::memcpy(&second, bytes + 12 + 4, sizeof second);
  EXPECT_EQ(second, 0.25);
  int32_t secondId = 0;
  std::memcpy(&secondId, bytes + 12, sizeof secondId);
  EXPECT_EQ(secondId, 4);
}

}  // namespace
}  // namespace pintovel
