#include "colour.h"

#include <gtest/gtest.h>

namespace pintovel_render {
namespace {

Rgb RgbOf(const std::string& text) {
  const auto colour = ParseColour(text);
  EXPECT_TRUE(colour.has_value()) << text;
  return colour ? colour->rgb : Rgb{};
}

void ExpectRgb(const std::string& text, int r, int g, int b) {
  const Rgb got = RgbOf(text);
  EXPECT_EQ(got.red, r) << text;
  EXPECT_EQ(got.green, g) << text;
  EXPECT_EQ(got.blue, b) << text;
}

TEST(Colour, HexForms) {
  ExpectRgb("#f80", 255, 136, 0);
  ExpectRgb("#FF8800", 255, 136, 0);
  ExpectRgb(" #1a2B3c ", 26, 43, 60);
  EXPECT_NEAR(ParseColour("#f808")->alpha, 136 / 255.0, 1e-12);
  EXPECT_NEAR(ParseColour("#ff880080")->alpha, 128 / 255.0, 1e-12);
  for (const char* bad : {"#", "#12", "#12345", "#1234567", "#ggg", "f80"}) {
    EXPECT_FALSE(ParseColour(bad).has_value()) << bad;
  }
}

TEST(Colour, FunctionalForms) {
  ExpectRgb("rgb(255, 0, 128)", 255, 0, 128);
  ExpectRgb("RGB( 1 ,2,3 )", 1, 2, 3);
  ExpectRgb("rgb(100%, 50%, 0%)", 255, 128, 0);  // 127.5 rounds up
  ExpectRgb("rgb(300, -5, 0)", 255, 0, 0);       // clamped
  ExpectRgb("rgb(10 20 30)", 10, 20, 30);
  EXPECT_NEAR(ParseColour("rgb(10 20 30 / 25%)")->alpha, 0.25, 1e-12);
  EXPECT_NEAR(ParseColour("rgba(10, 20, 30, 0.5)")->alpha, 0.5, 1e-12);
  EXPECT_DOUBLE_EQ(ParseColour("rgb(1,2,3)")->alpha, 1.0);
  for (const char* bad : {"rgb(1,2)", "rgb(1 2,3)", "rgb(1,2,3", "rgb(a,b,c)", "rgb(1,2,3,)"}) {
    EXPECT_FALSE(ParseColour(bad).has_value()) << bad;
  }
}

TEST(Colour, Keywords) {
  // The SVG keywords (147) and rebeccapurple.
  EXPECT_EQ(ColourKeywordCount(), 148u);
  ExpectRgb("aliceblue", 240, 248, 255);  // first and last of the table
  ExpectRgb("yellowgreen", 154, 205, 50);
  ExpectRgb("RED", 255, 0, 0);
  ExpectRgb("DarkSlateGray", 47, 79, 79);
  ExpectRgb("green", 0, 128, 0);
  ExpectRgb("lightgoldenrodyellow", 250, 250, 210);
  EXPECT_TRUE(RgbOf("grey") == RgbOf("gray"));
  EXPECT_FALSE(ParseColour("notacolour").has_value());
  EXPECT_FALSE(ParseColour("").has_value());
  EXPECT_DOUBLE_EQ(ParseColour("transparent")->alpha, 0.0);
}

TEST(Paint, Kinds) {
  EXPECT_EQ(ParsePaint("none")->kind, Paint::Kind::kNone);
  EXPECT_EQ(ParsePaint(" currentColor ")->kind, Paint::Kind::kCurrentColour);
  const auto blue = ParsePaint("blue");
  ASSERT_TRUE(blue);
  EXPECT_EQ(blue->kind, Paint::Kind::kColour);
  EXPECT_EQ(blue->colour.rgb.blue, 255);

  const auto server = ParsePaint("url(#sky)");
  ASSERT_TRUE(server);
  EXPECT_EQ(server->kind, Paint::Kind::kServer);
  EXPECT_EQ(server->reference, "sky");
  EXPECT_EQ(server->fallback, Paint::Kind::kServer);  // none given

  const auto withFallback = ParsePaint("url('#sky') #00ff00");
  ASSERT_TRUE(withFallback);
  EXPECT_EQ(withFallback->reference, "sky");
  EXPECT_EQ(withFallback->fallback, Paint::Kind::kColour);
  EXPECT_EQ(withFallback->colour.rgb.green, 255);
  EXPECT_EQ(ParsePaint("url(#a) none")->fallback, Paint::Kind::kNone);

  for (const char* bad : {"url(sky)", "url(#a", "url(#a) url(#b)", "bluish"}) {
    EXPECT_FALSE(ParsePaint(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace pintovel_render
