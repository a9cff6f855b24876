// 2-D affine transforms and the SVG `transform` attribute.
//
// An Affine {a, b, c, d, e, f} maps (x, y) to (a x + c y + e, b x + d y + f), the matrix
//   | a c e |
//   | b d f |
// of SVG's matrix(a b c d e f). Cubic Bezier curves are affine invariant, so a path is
// transformed exactly by transforming its points.
#ifndef PINTOVEL_RENDER_AFFINE_H
#define PINTOVEL_RENDER_AFFINE_H

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cubic_path.h"

namespace pintovel_render {

struct Affine {
  double a = 1.0;
  double b = 0.0;
  double c = 0.0;
  double d = 1.0;
  double e = 0.0;
  double f = 0.0;

  static Affine Translate(double tx, double ty) {
    return {1, 0, 0, 1, tx, ty};
  }
  static Affine Scale(double sx, double sy) {
    return {sx, 0, 0, sy, 0, 0};
  }
  // Rotation by `degrees`, clockwise on screen (y down) for positive angles.
  static Affine Rotate(double degrees);
  static Affine SkewX(double degrees);
  static Affine SkewY(double degrees);

  Point Apply(Point p) const {
    return {a * p.x + c * p.y + e, b * p.x + d * p.y + f};
  }
};

// outer * inner: the transform that applies `inner` first, then `outer`.
Affine operator*(const Affine& outer, const Affine& inner);

// A malformed transform list; `offset` is the byte offset of the first unreadable character.
class TransformError : public std::runtime_error {
 public:
  TransformError(std::size_t offset, const std::string& what)
      : std::runtime_error(what), offset_(offset) {}
  std::size_t offset() const {
    return offset_;
  }

 private:
  std::size_t offset_;
};

// Parses a transform list such as "translate(10 20) rotate(45, 5 5) scale(2)": the product of
// the listed transforms from left to right (the rightmost acts on the points first).
// Understands matrix(6), translate(1|2), scale(1|2), rotate(1|3), skewX(1) and skewY(1).
// Throws TransformError.
Affine ParseTransformList(std::string_view text);

// Every point of the path mapped by `m`.
void TransformPath(BezierPath& path, const Affine& m);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_AFFINE_H
