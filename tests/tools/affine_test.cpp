#include "affine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace pintovel_render {
namespace {

void ExpectMaps(const std::string& transform, Point from, Point to) {
  const Point got = ParseTransformList(transform).Apply(from);
  EXPECT_NEAR(got.x, to.x, 1e-12) << transform;
  EXPECT_NEAR(got.y, to.y, 1e-12) << transform;
}

std::size_t ErrorOffset(const std::string& text) {
  try {
    ParseTransformList(text);
  } catch (const TransformError& error) {
    return error.offset();
  }
  ADD_FAILURE() << "no error for \"" << text << "\"";
  return std::string::npos;
}

TEST(Transform, EachFunction) {
  ExpectMaps("translate(10 20)", {1, 1}, {11, 21});
  ExpectMaps("translate(5)", {1, 1}, {6, 1});
  ExpectMaps("scale(2 3)", {1, 1}, {2, 3});
  ExpectMaps("scale(2)", {1, 1}, {2, 2});
  // Positive angles turn clockwise on screen, where y points down.
  ExpectMaps("rotate(90)", {1, 0}, {0, 1});
  ExpectMaps("rotate(90 10 10)", {20, 10}, {10, 20});
  ExpectMaps("rotate(-45)", {1, 1}, {std::sqrt(2.0), 0});
  ExpectMaps("skewX(45)", {0, 1}, {1, 1});
  ExpectMaps("skewY(45)", {1, 0}, {1, 1});
  ExpectMaps("matrix(1 2 3 4 5 6)", {1, 1}, {9, 12});
  ExpectMaps("", {3, 4}, {3, 4});
}

TEST(Transform, ListsApplyTheRightmostFirst) {
  ExpectMaps("translate(10 0) scale(2)", {1, 1}, {12, 2});
  ExpectMaps("scale(2) translate(10 0)", {1, 1}, {22, 2});
  ExpectMaps("translate(1,2)scale(3)", {1, 1}, {4, 5});
  ExpectMaps(" translate( 1 , 2 ) , rotate(90) ", {1, 0}, {1, 3});
  ExpectMaps("scale(.5.5)translate(-2-4)", {4, 6}, {1, 1});
}

TEST(Transform, ProductMatchesApplyingInTurn) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(-3.0, 3.0);
  for (int trial = 0; trial < 100; ++trial) {
    const Affine m{value(random), value(random), value(random),
                   value(random), value(random), value(random)};
    const Affine n{value(random), value(random), value(random),
                   value(random), value(random), value(random)};
    const Point p{value(random), value(random)};
    const Point direct = (m * n).Apply(p);
    const Point inTurn = m.Apply(n.Apply(p));
    EXPECT_NEAR(direct.x, inTurn.x, 1e-12);
    EXPECT_NEAR(direct.y, inTurn.y, 1e-12);
  }
}

TEST(Transform, ErrorsNameTheOffset) {
  EXPECT_EQ(ErrorOffset("spin(3)"), 0u);
  EXPECT_EQ(ErrorOffset("translate(1 2"), 13u);        // missing ')'
  EXPECT_EQ(ErrorOffset("scale(1) rotate(1 2)"), 9u);  // rotate takes 1 or 3 numbers
  EXPECT_EQ(ErrorOffset("scale(1,)"), 8u);
  EXPECT_EQ(ErrorOffset("scale(x)"), 6u);
  EXPECT_EQ(ErrorOffset("translate(1 2),"), 15u);  // a comma must be followed by a function
  EXPECT_EQ(ErrorOffset("scale 2"), 6u);
  EXPECT_EQ(ErrorOffset("matrix(1 2 3 4 5)"), 0u);
}

}  // namespace
}  // namespace pintovel_render
