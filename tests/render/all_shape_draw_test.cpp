// The one-call road against the incremental one it is built from.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include "support/host_hooks.h"
#include "support/shapes.h"

namespace pintovel {
namespace {

using testing::MaskWith;
using testing::Rect;

TEST(AllShapeDraw, NoShapesKeepColoursAndClearByteThree) {
  std::vector<uint8_t> image{1, 2, 3, 4, 5, 6, 7, 8};
  const std::vector<FrontMask> fronts;
  const std::vector<Polygon> outlines;
  const std::vector<int32_t> ids;
  const ColourTable colours;
  ASSERT_TRUE(AllShapeDraw(&fronts, &outlines, &ids, &colours, 2, 1, image.data()));
  EXPECT_EQ(image, (std::vector<uint8_t>{1, 2, 3, 0, 5, 6, 7, 0}));
}

TEST(AllShapeDraw, EqualsCreatePixelDataFollowedByOnDraw) {
  const std::vector<FrontMask> fronts{MaskWith(3, {2}), MaskWith(3, {}), MaskWith(3, {0})};
  const std::vector<Polygon> outlines{Rect(0.5, 0.5, 5.25, 4.75),
                                      Polygon{{1.2, 0.1}, {6.9, 2.6}, {0.3, 5.8}},
                                      Rect(2.5, 1.5, 7.5, 5.5)};
  const std::vector<int32_t> ids{0, 1, 2};
  const ColourTable colours{0x000000FFu, 0x0000FF00u, 0x00FF0000u};
  std::vector<uint8_t> oneCall(8 * 6 * 4, 90), incremental(8 * 6 * 4, 90);

  ASSERT_TRUE(AllShapeDraw(&fronts, &outlines, &ids, &colours, 8, 6, oneCall.data()));

  PixelData data = testing::EmptyPixelData(8, 6);
  const Bounds window = testing::WindowOf(8, 6);
  ASSERT_TRUE(CreatePixelData(&fronts, &outlines, &window, &ids, testing::HostArg(data)));
  ASSERT_TRUE(OnDraw(incremental.data(), 8, 6, &data.pixels, &colours));
  EXPECT_EQ(oneCall, incremental);
  EXPECT_NE(oneCall, std::vector<uint8_t>(8 * 6 * 4, 90));
}

TEST(AllShapeDraw, ZeroSizedImageWithShapesIsAccepted) {
  const std::vector<FrontMask> fronts{MaskWith(1, {})};
  const std::vector<Polygon> outlines{Rect(0, 0, 0, 0)};
  const std::vector<int32_t> ids{0};
  const ColourTable colours{0u};
  EXPECT_TRUE(AllShapeDraw(&fronts, &outlines, &ids, &colours, 0, 0, nullptr));
  EXPECT_TRUE(AllShapeDraw_Quickly(&fronts, &outlines, &ids, &colours, 0, 0, nullptr));
}

}  // namespace
}  // namespace pintovel
