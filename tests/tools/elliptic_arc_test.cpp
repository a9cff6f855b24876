#include "elliptic_arc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace pintovel_render {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The point's position in the ellipse's own frame, scaled to the unit circle: its length is
// 1 exactly on the ellipse.
Point ToUnitFrame(const CentreArc& arc, Point p) {
  const double c = std::cos(arc.rotation);
  const double s = std::sin(arc.rotation);
  const Point d = p - arc.centre;
  return {(c * d.x + s * d.y) / arc.rx, (-s * d.x + c * d.y) / arc.ry};
}

double Length(Point p) {
  return std::hypot(p.x, p.y);
}

// Every cubic spans at most a quarter turn and stays within 3e-4 (relative) of the true
// ellipse, and the angle advances monotonically in the sweep's direction.
void ExpectFaithful(const CentreArc& arc) {
  const Point start = PointOnArc(arc, arc.startAngle);
  BezierPath path{start};
  AppendArc(path, arc);
  const std::size_t pieces = SegmentCount(path);
  ASSERT_GE(pieces, 1u);
  EXPECT_LE(std::fabs(arc.sweepAngle) / static_cast<double>(pieces), 0.5 * kPi + 1e-12);
  const double direction = arc.sweepAngle >= 0 ? 1.0 : -1.0;
  double previous = arc.startAngle;
  for (std::size_t s = 0; s < pieces; ++s) {
    for (int i = 1; i <= 32; ++i) {
      const Point unit = ToUnitFrame(arc, EvaluateSegment(path, s, i / 32.0));
      EXPECT_NEAR(Length(unit), 1.0, 3e-4) << "piece " << s << " t " << i / 32.0;
      // Unwrap the angle next to the previous one.
      double angle = std::atan2(unit.y, unit.x);
      while (angle - previous > kPi) angle -= 2 * kPi;
      while (angle - previous < -kPi) angle += 2 * kPi;
      EXPECT_GT((angle - previous) * direction, 0.0);
      previous = angle;
    }
  }
  EXPECT_NEAR(previous, arc.startAngle + arc.sweepAngle, 1e-9);
  const Point end = PointOnArc(arc, arc.startAngle + arc.sweepAngle);
  EXPECT_NEAR(path.back().x, end.x, 1e-9);
  EXPECT_NEAR(path.back().y, end.y, 1e-9);
}

TEST(EllipticArc, CubicsStayOnTheEllipse) {
  ExpectFaithful({{0, 0}, 1, 1, 0, 0, 0.5 * kPi});
  ExpectFaithful({{5, -3}, 40, 10, 0.3, 1.0, 2 * kPi});
  ExpectFaithful({{0, 0}, 3, 7, -1.2, 2.0, -1.5 * kPi});
  ExpectFaithful({{100, 100}, 0.5, 0.25, 2.5, -0.4, 0.01});
  ExpectFaithful({{0, 0}, 10, 10, 0, 0, kPi});
}

TEST(EllipticArc, EndpointFormMatchesItsEndPoints) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> coordinate(-50, 50);
  std::uniform_real_distribution<double> radius(0.5, 60);
  std::uniform_real_distribution<double> degrees(-360, 360);
  for (int trial = 0; trial < 200; ++trial) {
    const Point from{coordinate(random), coordinate(random)};
    const Point to{coordinate(random), coordinate(random)};
    const bool large = trial % 2 == 0;
    const bool sweep = trial % 4 < 2;
    const auto arc = CentreArcFromEndpoints(from, to, radius(random), radius(random),
                                            degrees(random), large, sweep);
    ASSERT_TRUE(arc);
    const Point a = PointOnArc(*arc, arc->startAngle);
    const Point b = PointOnArc(*arc, arc->startAngle + arc->sweepAngle);
    EXPECT_NEAR(a.x, from.x, 1e-8);
    EXPECT_NEAR(a.y, from.y, 1e-8);
    EXPECT_NEAR(b.x, to.x, 1e-8);
    EXPECT_NEAR(b.y, to.y, 1e-8);
    // The flags choose the sweep's sign and whether it is more than a half turn (radii that
    // had to grow give exactly a half turn).
    EXPECT_EQ(arc->sweepAngle > 0, sweep);
    if (large) {
      EXPECT_GE(std::fabs(arc->sweepAngle), kPi - 1e-9);
    } else {
      EXPECT_LE(std::fabs(arc->sweepAngle), kPi + 1e-9);
    }
    ExpectFaithful(*arc);
  }
}

TEST(EllipticArc, HalfCircleCentreAndDegenerateCases) {
  const auto arc = CentreArcFromEndpoints({0, 0}, {20, 0}, 10, 10, 0, false, true);
  ASSERT_TRUE(arc);
  EXPECT_NEAR(arc->centre.x, 10, 1e-12);
  EXPECT_NEAR(arc->centre.y, 0, 1e-12);
  EXPECT_NEAR(arc->sweepAngle, kPi, 1e-12);
  // Negative radii count as their absolute values.
  const auto negative = CentreArcFromEndpoints({0, 0}, {20, 0}, -10, -10, 0, false, true);
  ASSERT_TRUE(negative);
  EXPECT_NEAR(negative->rx, 10, 1e-12);
  EXPECT_FALSE(CentreArcFromEndpoints({1, 1}, {1, 1}, 5, 5, 0, true, true));
  EXPECT_FALSE(CentreArcFromEndpoints({0, 0}, {1, 1}, 0, 5, 0, true, true));
}

}  // namespace
}  // namespace pintovel_render
