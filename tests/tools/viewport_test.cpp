#include "viewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "tool_error.h"

namespace pintovel_render {
namespace {

void ExpectMaps(const Affine& m, Point from, Point to) {
  const Point got = m.Apply(from);
  EXPECT_NEAR(got.x, to.x, 1e-9);
  EXPECT_NEAR(got.y, to.y, 1e-9);
}

ExitCode PlanError(const DocumentSize& size, std::optional<int> w, std::optional<int> h) {
  try {
    PlanCanvas(size, w, h);
  } catch (const ToolError& error) {
    return error.code();
  }
  return ExitCode::kOk;
}

TEST(Length, UnitsAndPercentages) {
  const ViewportSize viewport{200, 100};
  EXPECT_DOUBLE_EQ(*ParseLength("12", LengthAxis::kX, viewport), 12);
  EXPECT_DOUBLE_EQ(*ParseLength("12px", LengthAxis::kX, viewport), 12);
  EXPECT_DOUBLE_EQ(*ParseLength("1in", LengthAxis::kX, viewport), 96);
  EXPECT_DOUBLE_EQ(*ParseLength("72pt", LengthAxis::kX, viewport), 96);
  EXPECT_NEAR(*ParseLength("2.54cm", LengthAxis::kX, viewport), 96, 1e-12);
  EXPECT_NEAR(*ParseLength("25.4mm", LengthAxis::kX, viewport), 96, 1e-12);
  EXPECT_DOUBLE_EQ(*ParseLength("1pc", LengthAxis::kX, viewport), 16);
  EXPECT_DOUBLE_EQ(*ParseLength("10%", LengthAxis::kX, viewport), 20);
  EXPECT_DOUBLE_EQ(*ParseLength("10%", LengthAxis::kY, viewport), 10);
  EXPECT_NEAR(*ParseLength("100%", LengthAxis::kDiagonal, viewport), std::sqrt(25000.0), 1e-9);
  EXPECT_FALSE(ParseLength("12 px", LengthAxis::kX, viewport));
  EXPECT_FALSE(ParseLength("wide", LengthAxis::kX, viewport));
  EXPECT_FALSE(ParseAbsoluteLength("50%"));
}

TEST(ViewBox, AspectRatioModes) {
  const ViewBox box{10, 20, 100, 50};
  // Default xMidYMid meet into 400 x 400: scale 4, centred vertically.
  const Affine meet = ViewBoxTransform(box, 400, 400, AspectRatio{});
  ExpectMaps(meet, {10, 20}, {0, 100});
  ExpectMaps(meet, {110, 70}, {400, 300});
  const Affine slice = ViewBoxTransform(box, 400, 400, *ParseAspectRatio("xMinYMax slice"));
  ExpectMaps(slice, {10, 70}, {0, 400});  // scale 8, bottom aligned
  ExpectMaps(slice, {20, 70}, {80, 400});
  const Affine stretch = ViewBoxTransform(box, 400, 400, *ParseAspectRatio("none"));
  ExpectMaps(stretch, {110, 70}, {400, 400});
  EXPECT_FALSE(ParseAspectRatio("xMidYmid"));
  EXPECT_FALSE(ParseAspectRatio("xMidYMid cover"));
  EXPECT_TRUE(ParseViewBox("0,0 , 10 20").has_value());
  EXPECT_FALSE(ParseViewBox("0 0 10").has_value());
}

TEST(PlanCanvas, SizeFromTheDocument) {
  DocumentSize size;
  size.width = 120;
  size.height = 80.4;
  CanvasPlan plan = PlanCanvas(size, std::nullopt, std::nullopt);
  EXPECT_EQ(plan.width, 120);
  EXPECT_EQ(plan.height, 80);

  DocumentSize boxOnly;
  boxOnly.viewBox = ViewBox{0, 0, 30, 10};
  plan = PlanCanvas(boxOnly, std::nullopt, std::nullopt);
  EXPECT_EQ(plan.width, 30);
  EXPECT_EQ(plan.height, 10);

  DocumentSize widthAndBox = boxOnly;
  widthAndBox.width = 90;
  plan = PlanCanvas(widthAndBox, std::nullopt, std::nullopt);
  EXPECT_EQ(plan.height, 30);  // the viewBox's aspect ratio
  ExpectMaps(plan.userToPixel, {30, 10}, {90, 30});

  plan = PlanCanvas(DocumentSize{}, std::nullopt, std::nullopt);
  EXPECT_EQ(plan.width, 300);
  EXPECT_EQ(plan.height, 150);
}

TEST(PlanCanvas, RequestedSizeFitsTheDocument) {
  DocumentSize size;
  size.width = 200;
  size.height = 100;
  CanvasPlan plan = PlanCanvas(size, 50, std::nullopt);
  EXPECT_EQ(plan.height, 25);
  ExpectMaps(plan.userToPixel, {200, 100}, {50, 25});
  plan = PlanCanvas(size, std::nullopt, 300);
  EXPECT_EQ(plan.width, 600);
  // Both given with another aspect ratio: fitted and centred.
  plan = PlanCanvas(size, 100, 100);
  ExpectMaps(plan.userToPixel, {0, 0}, {0, 25});
  ExpectMaps(plan.userToPixel, {200, 100}, {100, 75});
}

// Neither width, height nor viewBox: shown at any size, a user unit is a pixel and the
// viewport (for percentages) is the image, as in a browser.
TEST(PlanCanvas, NoSizeAndNoViewBoxIsNotScaled) {
  for (const auto& [w, h] : {std::pair<int, int>{480, 360}, {100, 40}, {300, 150}}) {
    const CanvasPlan plan = PlanCanvas(DocumentSize{}, w, h);
    EXPECT_EQ(plan.width, w);
    EXPECT_EQ(plan.height, h);
    ExpectMaps(plan.userToPixel, {0, 0}, {0, 0});
    ExpectMaps(plan.userToPixel, {10, 20}, {10, 20});
    EXPECT_EQ(plan.viewport.width, w);
    EXPECT_EQ(plan.viewport.height, h);
  }
  // A size alone still synthesises the document's rectangle, which is fitted.
  DocumentSize sized;
  sized.width = 100;
  sized.height = 50;
  ExpectMaps(PlanCanvas(sized, 200, std::nullopt).userToPixel, {100, 50}, {200, 100});
}

TEST(PlanCanvas, ImpossibleSizes) {
  DocumentSize size;
  size.width = 0;
  EXPECT_EQ(PlanError(size, std::nullopt, std::nullopt), ExitCode::kImpossibleSize);
  size.width = -5;
  EXPECT_EQ(PlanError(size, std::nullopt, std::nullopt), ExitCode::kImpossibleSize);
  size.width = 1e9;
  EXPECT_EQ(PlanError(size, std::nullopt, std::nullopt), ExitCode::kImpossibleSize);
  DocumentSize flatBox;
  flatBox.viewBox = ViewBox{0, 0, 10, 0};
  EXPECT_EQ(PlanError(flatBox, std::nullopt, std::nullopt), ExitCode::kImpossibleSize);
  const DocumentSize plain;
  EXPECT_EQ(PlanError(plain, 0, std::nullopt), ExitCode::kImpossibleSize);
  EXPECT_EQ(PlanError(plain, -3, 10), ExitCode::kImpossibleSize);
  EXPECT_EQ(PlanError(plain, kMaxImageSide + 1, 1), ExitCode::kImpossibleSize);
  EXPECT_EQ(PlanError(plain, 10000, 10000), ExitCode::kImpossibleSize);  // too many pixels
  EXPECT_EQ(PlanError(plain, kMaxImageSide, 1), ExitCode::kOk);
}

}  // namespace
}  // namespace pintovel_render
