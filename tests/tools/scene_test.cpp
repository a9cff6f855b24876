#include "scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "outline.h"
#include "style.h"
#include "tool_error.h"

namespace pintovel_render {
namespace {

std::string Svg(const std::string& attributes, const std::string& body) {
  return "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' " +
         attributes + ">\n" + body + "\n</svg>\n";
}

struct Built {
  Scene scene;
  Notices notices{nullptr};
};

Built Build(const std::string& text, std::optional<int> width = {},
            std::optional<int> height = {}) {
  Built built;
  const SvgDocument document = SvgDocument::Parse(text, "test.svg");
  built.scene = BuildScene(document, width, height, built.notices);
  return built;
}

ToolError BuildError(const std::string& text) {
  try {
    Notices notices(nullptr);
    BuildScene(SvgDocument::Parse(text, "test.svg"), std::nullopt, std::nullopt, notices,
               InvalidContent::kFail);
  } catch (const ToolError& error) {
    return error;
  }
  ADD_FAILURE() << "no error for " << text;
  return ToolError(ExitCode::kOk, "");
}

void ExpectColour(const SceneShape& shape, int r, int g, int b) {
  EXPECT_EQ(shape.colour.red, r) << shape.source;
  EXPECT_EQ(shape.colour.green, g) << shape.source;
  EXPECT_EQ(shape.colour.blue, b) << shape.source;
}

TEST(Scene, OneShapePerFilledElementInDocumentOrder) {
  const Built built = Build(Svg("width='10' height='10'",
                                "<rect width='2' height='2' fill='red'/>"
                                "<g fill='#00f'><circle r='1'/><path d='M0 0h1v1z' "
                                "style='fill: lime'/><rect width='1' height='1' fill='none'/>"
                                "</g>"
                                "<g style='display:none'><rect width='1' height='1'/></g>"
                                "<g color='#123456'><rect width='3' height='1' "
                                "fill='currentColor'/></g>"
                                "<polygon points='0,0 1,0 1,1'/>"));
  const auto& shapes = built.scene.shapes;
  ASSERT_EQ(shapes.size(), 5u);
  ExpectColour(shapes[0], 255, 0, 0);
  ExpectColour(shapes[1], 0, 0, 255);  // inherited from the group
  ExpectColour(shapes[2], 0, 255, 0);  // style beats the inherited value
  ExpectColour(shapes[3], 0x12, 0x34, 0x56);
  ExpectColour(shapes[4], 0, 0, 0);  // the initial fill is black
  EXPECT_NE(shapes[2].source.find("<path> on line 2"), std::string::npos) << shapes[2].source;
}

TEST(Scene, OutlinesAreInPixelsAndPositive) {
  // viewBox 0 0 20 10 shown at 40 x 20: scale 2; then the group's transform.
  const Built built = Build(Svg("width='40' height='20' viewBox='0 0 20 10'",
                                "<g transform='translate(5 1)'>"
                                "<rect x='1' y='1' width='3' height='2' "
                                "transform='scale(-1 1)'/></g>"));
  ASSERT_EQ(built.scene.shapes.size(), 1u);
  EXPECT_EQ(built.scene.width, 40);
  EXPECT_EQ(built.scene.height, 20);
  const BezierPath& outline = built.scene.shapes[0].outline;
  // Mirrored, so the outline was reversed to count positive: 3 x 2 units = 6 x 4 pixels.
  EXPECT_NEAR(SignedArea(outline), 24.0, 1e-9);
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  for (const Point& p : outline) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  EXPECT_NEAR(minX, 2.0, 1e-9);  // (5 - 4) * 2
  EXPECT_NEAR(maxX, 8.0, 1e-9);  // (5 - 1) * 2
  EXPECT_NEAR(minY, 4.0, 1e-9);
  EXPECT_NEAR(maxY, 8.0, 1e-9);
}

TEST(Scene, UseInstancesAndPercentages) {
  const Built built = Build(Svg("width='100' height='50'",
                                "<defs><rect id='r' width='10%' height='20%'/></defs>"
                                "<use xlink:href='#r' x='30' y='5' fill='purple'/>"
                                "<use href='#r'/>"
                                "<g id='loop'><use href='#loop'/></g>"));
  ASSERT_EQ(built.scene.shapes.size(), 2u);
  ExpectColour(built.scene.shapes[0], 128, 0, 128);
  EXPECT_NEAR(SignedArea(built.scene.shapes[0].outline), 10.0 * 10.0, 1e-9);
  EXPECT_NEAR(built.scene.shapes[0].outline[0].x, 30.0, 1e-12);
  EXPECT_EQ(built.notices.Count("use-cycle"), 1u);
}

TEST(Scene, WhatCannotBeDrawnIsReportedOncePerKind) {
  std::ostringstream messages;
  Notices notices(&messages);
  const SvgDocument document = SvgDocument::Parse(
      Svg("width='10' height='10'",
          "<linearGradient id='g'><stop stop-color='#000'/><stop stop-color='#fff'/>"
          "</linearGradient>"
          "<rect width='1' height='1' stroke='red'/><rect width='1' height='1' stroke='blue'/>"
          "<rect width='1' height='1' fill='url(#g)'/>"
          "<rect width='1' height='1' opacity='0.5'/><rect width='1' height='1' opacity='0'/>"
          "<text>hi</text><image href='x.png'/><g clip-path='url(#c)'/>"
          "<path d='M0 0h4v4h-4z M1 1h2v2h-2z' fill-rule='evenodd'/>"),
      "test.svg");
  const Scene scene = BuildScene(document, std::nullopt, std::nullopt, notices);
  EXPECT_EQ(notices.Count("stroke"), 2u);
  for (const char* kind : {"gradient", "opacity", "text", "image", "clip-path", "evenodd"}) {
    EXPECT_EQ(notices.Count(kind), 1u) << kind;
  }
  const std::string text = messages.str();
  EXPECT_EQ(text.find("strokes"), text.rfind("strokes")) << "reported once:\n" << text;
  // Drawn: two stroked rects (their fills), the gradient rect in the mean stop colour, the
  // half-transparent rect opaque, the evenodd path; not the fully transparent one.
  ASSERT_EQ(scene.shapes.size(), 5u);
  ExpectColour(scene.shapes[2], 128, 128, 128);
  // evenodd: the inner square is a hole.
  EXPECT_NEAR(SignedArea(scene.shapes[4].outline), 16.0 - 4.0, 1e-9);
}

TEST(Scene, InvalidContentIsAnError) {
  const ToolError path =
      BuildError(Svg("width='10' height='10'", "<path id='bad' d='M0 0 L1 1 X'/>"));
  EXPECT_EQ(path.code(), ExitCode::kInvalidSvg);
  EXPECT_NE(std::string(path.what()).find("<path id=\"bad\"> on line 2"), std::string::npos)
      << path.what();
  EXPECT_NE(std::string(path.what()).find("offset 10"), std::string::npos) << path.what();

  EXPECT_EQ(BuildError(Svg("width='10' height='10'", "<rect width='-1' height='2'/>")).code(),
            ExitCode::kInvalidSvg);
  EXPECT_EQ(BuildError(Svg("width='10' height='10'", "<g transform='rotate(1 2)'/>")).code(),
            ExitCode::kInvalidSvg);
  EXPECT_EQ(BuildError(Svg("width='10' height='10'", "<circle r='big'/>")).code(),
            ExitCode::kInvalidSvg);
  EXPECT_EQ(BuildError(Svg("width='10' height='10'", "<polygon points='1 2 3'/>")).code(),
            ExitCode::kInvalidSvg);
  EXPECT_EQ(BuildError(Svg("width='0' height='10'", "")).code(), ExitCode::kImpossibleSize);
  EXPECT_EQ(BuildError(Svg("viewBox='0 0 -1 5'", "")).code(), ExitCode::kImpossibleSize);
}

// By default an invalid value spoils its element alone, with one warning per element.
TEST(Scene, InvalidValuesSpoilOnlyTheirElement) {
  std::ostringstream messages;
  Notices notices(&messages);
  const SvgDocument document = SvgDocument::Parse(
      Svg("width='10' height='10' viewBox='0 0 ten 10'",
          "<path d='M0 0 H4 V2 H0 Z M0 5 L 4 5 L 4 7 L0 7 Z C 1'/>\n"
          "<rect width='2' height='3' rx='-1' ry='-5'/>\n"
          "<rect width='-2' height='3'/><circle r='-1'/><ellipse rx='1' ry='-1'/>\n"
          "<rect id='two' width='1' height='x' transform='rotate(1 2)'/>\n"
          "<g transform='translate(1e300 0) scale(1e300)'><rect width='1' height='1'/></g>"
          "<use href='#two'/><use href='#two'/>"),
      "test.svg");
  const Scene scene = BuildScene(document, std::nullopt, std::nullopt, notices);
  ASSERT_EQ(scene.shapes.size(), 2u);
  EXPECT_NEAR(SignedArea(scene.shapes[0].outline), 4.0 * 2.0 + 4.0 * 2.0, 1e-9);
  EXPECT_NEAR(SignedArea(scene.shapes[1].outline), 2.0 * 3.0, 1e-9);  // square corners
  // The root, the path, the first rect, the negative rect, circle and ellipse, the rect with
  // two problems (also when used again), and the far rect: eight elements, eight lines.
  EXPECT_EQ(notices.Count("invalid-content"), 8u);
  const std::string text = messages.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8) << text;
  EXPECT_NE(text.find("<rect id=\"two\"> on line 5: malformed transform"), std::string::npos)
      << text;
  EXPECT_NE(text.find("(the transform is ignored); malformed length 'x'"), std::string::npos)
      << text;
  EXPECT_NE(text.find("<svg> on line 1: malformed viewBox"), std::string::npos) << text;
}

// CSS comments separate nothing and hide nothing but themselves; quotes and parentheses keep
// their semicolons; what is not a declaration is kept aside for a warning.
TEST(Declarations, StyleCommentsQuotesAndMalformedItems) {
  const SvgDocument document = SvgDocument::Parse(
      Svg("",
          "<rect style=\"/*a;b*/fill:/*x*/red/*y*/; stroke: url('p;/*q*/') ; color :blue\"/>"
          "<rect style='fill #f00; opacity: 0.5; : 1; stroke:; /* open'/>"),
      "test.svg");
  const xmlNode* first = document.root()->children;
  while (first->type != XML_ELEMENT_NODE) first = first->next;
  const Declarations a(first);
  EXPECT_EQ(a.Get("fill").value_or("?"), "red");
  EXPECT_EQ(a.Get("stroke").value_or("?"), "url('p;/*q*/')");
  EXPECT_EQ(a.Get("color").value_or("?"), "blue");
  EXPECT_TRUE(a.malformed().empty());
  const Declarations b(first->next);
  EXPECT_EQ(b.Get("opacity").value_or("?"), "0.5");
  EXPECT_FALSE(b.Get("fill").has_value());
  EXPECT_EQ(b.malformed(), (std::vector<std::string>{"fill #f00", ": 1", "stroke:"}));
}

TEST(SvgDocument, MalformedXmlNamesTheLine) {
  try {
    SvgDocument::Parse("<svg xmlns='http://www.w3.org/2000/svg'>\n<rect>\n</svg>\n", "x.svg");
    FAIL() << "no error";
  } catch (const ToolError& error) {
    EXPECT_EQ(error.code(), ExitCode::kMalformedXml);
    EXPECT_NE(std::string(error.what()).find("x.svg:3:"), std::string::npos) << error.what();
  }
  try {
    SvgDocument::Parse("<html/>", "x.svg");
    FAIL() << "no error";
  } catch (const ToolError& error) {
    EXPECT_EQ(error.code(), ExitCode::kMalformedXml);
    EXPECT_NE(std::string(error.what()).find("not an SVG document"), std::string::npos);
  }
}

}  // namespace
}  // namespace pintovel_render
