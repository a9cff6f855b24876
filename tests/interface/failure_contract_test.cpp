// Broken preconditions: every export returns false and changes nothing. The image stays byte
// for byte as it was; an InOutArg target receives an unchanged copy through one commit.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <limits>

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
using testing::WindowOf;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Pixel data holding one entry per list, to see that nothing changed.
PixelData MarkedPixelData(int32_t width, int32_t height) {
  PixelData data = EmptyPixelData(width, height);
  for (auto& list : data.pixels) list.push_back({0, 0.25});
  return data;
}

void ExpectUnchanged(const PixelData& data, const PixelData& before) {
  EXPECT_EQ(CountsFor<PixelData>().commits, 1);
  EXPECT_TRUE(CountsFor<PixelData>().sawWorking);
  ASSERT_EQ(data.pixels.size(), before.pixels.size());
  EXPECT_EQ(data.width, before.width);
  EXPECT_EQ(data.height, before.height);
  for (size_t p = 0; p < data.pixels.size(); ++p) {
    ASSERT_EQ(data.pixels[p].size(), before.pixels[p].size()) << "list " << p;
    for (size_t i = 0; i < data.pixels[p].size(); ++i) {
      EXPECT_EQ(data.pixels[p][i].id, before.pixels[p][i].id);
      EXPECT_EQ(WeightOf(data.pixels[p][i]), WeightOf(before.pixels[p][i]));
    }
  }
}

bool Update(PixelData& data, const Polygon& outline, const Bounds& window,
            const FrontMask& front = MaskWith(2, {}), int32_t id = 1) {
  return UpdatePixelData(&front, &outline, &window, id, HostArg(data));
}

TEST(FailureContract, UpdatePixelDataRejectsWindowsThatDoNotFitTheData) {
  const Polygon outline = Rect(0, 0, 2, 2);
  const std::vector<Bounds> windows{
      {0, 3, 0, 2},        // one column too many
      {0, 1, 0, 2},        // one column short
      {0, 2, 0, 1},        // fewer rows than the data
      {kNaN, 2, 0, 2},     // not a number
      {0, kInf, 0, 2},     // infinite
      {0, 2, -3e9, 2},     // beyond int32 cells
      {0.5, 2.5, 0, 2.5},  // three columns once floored and ceiled
  };
  for (const Bounds& window : windows) {
    PixelData data = MarkedPixelData(2, 2);
    const PixelData before = data;
    EXPECT_FALSE(Update(data, outline, window)) << window.minX << " " << window.maxX;
    ExpectUnchanged(data, before);
  }
  // More rows than the data is fine: the extra rows are not measured.
  PixelData data = MarkedPixelData(2, 2);
  EXPECT_TRUE(Update(data, outline, Bounds{0, 2, 0, 5}));
}

TEST(FailureContract, UpdatePixelDataRejectsMissingListsAndBadSizes) {
  const Polygon outline = Rect(0, 0, 1, 1);
  PixelData shortData = MarkedPixelData(2, 2);
  shortData.pixels.pop_back();
  const PixelData before = shortData;
  EXPECT_FALSE(Update(shortData, outline, WindowOf(2, 2)));
  ExpectUnchanged(shortData, before);

  PixelData negative = MarkedPixelData(1, 1);
  negative.width = -1;
  const PixelData negativeBefore = negative;
  EXPECT_FALSE(Update(negative, outline, Bounds{0, -1, 0, 1}));
  ExpectUnchanged(negative, negativeBefore);

  PixelData huge = MarkedPixelData(1, 1);
  huge.width = 65536;
  huge.height = 65536;  // 2^32 lists claimed: beyond int32
  const PixelData hugeBefore = huge;
  EXPECT_FALSE(Update(huge, outline, Bounds{0, 65536, 0, 65536}));
  ExpectUnchanged(huge, hugeBefore);
}

TEST(FailureContract, UpdatePixelDataRejectsNonFiniteAndAbsurdVertices) {
  for (const Polygon& outline :
       {Polygon{{0, 0}, {kNaN, 1}, {1, 1}}, Polygon{{0, 0}, {1, kInf}, {1, 1}},
        Polygon{{0, 0}, {1e200, 1}, {1, 1}}}) {
    PixelData data = MarkedPixelData(2, 2);
    const PixelData before = data;
    EXPECT_FALSE(Update(data, outline, WindowOf(2, 2)));
    ExpectUnchanged(data, before);
  }
}

TEST(FailureContract, UpdatePixelDataRejectsIdsTheMaskCannotAnswerFor) {
  for (int32_t foreign : {5, -1}) {
    PixelData data = MarkedPixelData(2, 2);
    data.pixels[3].push_back({foreign, 0.25});
    const PixelData before = data;
    EXPECT_FALSE(Update(data, Rect(0, 0, 2, 2), WindowOf(2, 2), MaskWith(2, {})));
    ExpectUnchanged(data, before);
  }
  // A foreign id in a list the shape does not cover is never tested: accepted.
  PixelData data = MarkedPixelData(2, 2);
  data.pixels[3].push_back({5, 0.25});
  EXPECT_TRUE(Update(data, Rect(0, 0, 1, 1), WindowOf(2, 2), MaskWith(2, {})));
}

TEST(FailureContract, CreatePixelDataRejectsShortListsAndFailingShapes) {
  const Bounds window = WindowOf(2, 2);
  const std::vector<FrontMask> fronts{MaskWith(2, {}), MaskWith(1, {})};
  const std::vector<Polygon> outlines{Rect(0, 0, 2, 2), Rect(0, 0, 2, 2)};
  const std::vector<int32_t> ids{1, 0};
  const std::vector<Polygon> oneOutline{Rect(0, 0, 2, 2)};
  const std::vector<int32_t> oneId{1};
  {
    PixelData data = MarkedPixelData(2, 2);
    const PixelData before = data;
    EXPECT_FALSE(CreatePixelData(&fronts, &oneOutline, &window, &ids, HostArg(data)));
    ExpectUnchanged(data, before);
    EXPECT_FALSE(CreatePixelData(&fronts, &outlines, &window, &oneId, HostArg(data)));
    ExpectUnchanged(data, before);
  }
  // The second shape's mask has one bit, but the first shape left id 1 in every list: the
  // second shape fails after the first was folded, and the whole call changes nothing.
  {
    PixelData data = MarkedPixelData(2, 2);
    const PixelData before = data;
    EXPECT_FALSE(CreatePixelData(&fronts, &outlines, &window, &ids, HostArg(data)));
    ExpectUnchanged(data, before);
  }
  // The same with the host's own working object, which must not be half changed either.
  {
    PixelData data = MarkedPixelData(2, 2);
    const PixelData before = data;
    EXPECT_FALSE(CreatePixelData(&fronts, &outlines, &window, &ids, testing::InPlaceHostArg(data)));
    ExpectUnchanged(data, before);
  }
}

TEST(FailureContract, OnDrawRejectsMissingListsAndForeignIds) {
  const ColourTable colours{0x00FFFFFFu};
  std::vector<uint8_t> image(2 * 2 * 4, 7);
  const std::vector<uint8_t> before = image;
  const std::vector<std::vector<PixelWeight>> tooFew(3);
  EXPECT_FALSE(OnDraw(image.data(), 2, 2, &tooFew, &colours));
  std::vector<std::vector<PixelWeight>> foreign(4);
  foreign[3].push_back({1, 0.5});
  EXPECT_FALSE(OnDraw(image.data(), 2, 2, &foreign, &colours));
  foreign[3][0].id = -1;
  EXPECT_FALSE(OnDraw(image.data(), 2, 2, &foreign, &colours));
  EXPECT_EQ(image, before);
}

TEST(FailureContract, DrawingRoadsRejectBadSizesAndLeaveTheImage) {
  const std::vector<FrontMask> fronts{MaskWith(1, {})};
  const std::vector<Polygon> outlines{Rect(0, 0, 1, 1)};
  const std::vector<int32_t> ids{0};
  const ColourTable colours{0x00FFFFFFu};
  std::vector<uint8_t> image(16, 7);
  const std::vector<uint8_t> before = image;
  for (auto draw : {&AllShapeDraw, &AllShapeDraw_Quickly}) {
    EXPECT_FALSE(draw(&fronts, &outlines, &ids, &colours, -1, 2, image.data()));
    EXPECT_FALSE(draw(&fronts, &outlines, &ids, &colours, 65536, 65536, image.data()));
    EXPECT_FALSE(draw(&fronts, &outlines, &ids, &colours, 2, 2, nullptr));
    const std::vector<int32_t> noIds;
    EXPECT_FALSE(draw(&fronts, &outlines, &noIds, &colours, 2, 2, image.data()));
    const std::vector<Polygon> nanOutline{Polygon{{0, 0}, {kNaN, 0}, {1, 1}}};
    EXPECT_FALSE(draw(&fronts, &nanOutline, &ids, &colours, 2, 2, image.data()));
  }
  EXPECT_EQ(image, before);
}

TEST(FailureContract, DrawingRoadsRejectIdsOutsideTablesAndMasks) {
  const ColourTable colours{0x00FFFFFFu};
  const Polygon full = Rect(0, 0, 2, 2);
  std::vector<uint8_t> image(16, 7);
  const std::vector<uint8_t> before = image;
  for (auto draw : {&AllShapeDraw, &AllShapeDraw_Quickly}) {
    // Id 1 has no colour.
    const std::vector<FrontMask> fronts{MaskWith(2, {})};
    const std::vector<Polygon> outlines{full};
    const std::vector<int32_t> noColour{1};
    EXPECT_FALSE(draw(&fronts, &outlines, &noColour, &colours, 2, 2, image.data()));
    // The first shape's id 3 lies in every pixel when the second shape, whose mask has two
    // bits, is measured: that mask cannot answer for it.
    const ColourTable four{1u, 2u, 3u, 4u};
    const std::vector<FrontMask> masks{MaskWith(4, {}), MaskWith(2, {})};
    const std::vector<Polygon> both{full, full};
    const std::vector<int32_t> ids{3, 0};
    EXPECT_FALSE(draw(&masks, &both, &ids, &four, 2, 2, image.data()));
  }
  const std::vector<FrontMask> fronts{MaskWith(1, {})};
  const std::vector<Polygon> outlines{full};
  const std::vector<int32_t> negative{-1};
  EXPECT_FALSE(AllShapeDraw_Quickly(&fronts, &outlines, &negative, &colours, 2, 2, image.data()));
  EXPECT_EQ(image, before);
}

}  // namespace
}  // namespace pintovel

namespace pintovel {
namespace {

TEST(FailureContract, DrawingRoadsRefuseImagesTooLargeToBuildDataFor) {
  const std::vector<FrontMask> fronts;
  const std::vector<Polygon> outlines;
  const std::vector<int32_t> ids;
  const ColourTable colours;
  uint8_t image[4] = {1, 2, 3, 4};
  // A billion pixels would need tens of gigabytes of lists; the image pointer is never written.
  EXPECT_FALSE(AllShapeDraw(&fronts, &outlines, &ids, &colours, 1000000000, 1, image));
  EXPECT_FALSE(AllShapeDraw_Quickly(&fronts, &outlines, &ids, &colours, 1, 1000000000, image));
  EXPECT_EQ(image[3], 4);
}

// A host whose canvas reports an impossible width, counting every further call.
class WideCanvasHost final : public RibbonCanvas, public RibbonAllocator, public RibbonProgress {
 public:
  int32_t GetWidth() override {
    return 1000000000;
  }
  int32_t GetHeight() override {
    return 2;
  }
  void PutMask(const uint8_t*, int32_t, const RibbonRect*) override {
    ++furtherCalls;
  }
  uint8_t* Allocate(int32_t) override {
    ++furtherCalls;
    return nullptr;
  }
  void Free(uint8_t*) override {
    ++furtherCalls;
  }
  void SetPosition(int32_t, int32_t) override {
    ++furtherCalls;
  }
  void SetText(const char16_t*) override {
    ++furtherCalls;
  }
  int furtherCalls = 0;
};

TEST(FailureContract, RibbonRefusesAWidthBeyondItsBandLimit) {
  WideCanvasHost host;
  RibbonHost record{&host, &host, &host};
  const std::vector<RibbonShape> shapes;
  const LayerTable layers{1};
  EXPECT_FALSE(ExportRibbon(&record, &shapes, &layers));
  EXPECT_EQ(host.furtherCalls, 0);
}

}  // namespace
}  // namespace pintovel
