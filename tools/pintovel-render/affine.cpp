#include "affine.h"

#include <cmath>
#include <vector>

#include "svg_number.h"

namespace pintovel_render {

namespace {

constexpr double kPi = 3.14159265358979323846;

double Radians(double degrees) {
  return degrees * kPi / 180.0;
}

struct TransformFunction {
  std::string_view name;
  std::size_t minArguments;
  std::size_t maxArguments;
};

constexpr TransformFunction kFunctions[] = {
    {"matrix", 6, 6}, {"translate", 1, 2}, {"scale", 1, 2},
    {"rotate", 1, 3}, {"skewX", 1, 1},     {"skewY", 1, 1},
};

bool ArgumentCountAllowed(std::string_view name, std::size_t count) {
  if (name == "rotate") return count == 1 || count == 3;  // an angle, or angle and centre
  for (const TransformFunction& f : kFunctions) {
    if (f.name == name) return count >= f.minArguments && count <= f.maxArguments;
  }
  return false;
}

Affine MakeTransform(std::string_view name, const std::vector<double>& v) {
  if (name == "matrix") return {v[0], v[1], v[2], v[3], v[4], v[5]};
  if (name == "translate") return Affine::Translate(v[0], v.size() > 1 ? v[1] : 0.0);
  if (name == "scale") return Affine::Scale(v[0], v.size() > 1 ? v[1] : v[0]);
  if (name == "skewX") return Affine::SkewX(v[0]);
  if (name == "skewY") return Affine::SkewY(v[0]);
  // rotate(a cx cy) = translate(cx cy) rotate(a) translate(-cx -cy)
  if (v.size() == 3) {
    return Affine::Translate(v[1], v[2]) * Affine::Rotate(v[0]) * Affine::Translate(-v[1], -v[2]);
  }
  return Affine::Rotate(v[0]);
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

Affine Affine::Rotate(double degrees) {
  const double r = Radians(degrees);
  const double cs = std::cos(r);
  const double sn = std::sin(r);
  return {cs, sn, -sn, cs, 0, 0};
}

Affine Affine::SkewX(double degrees) {
  return {1, 0, std::tan(Radians(degrees)), 1, 0, 0};
}

Affine Affine::SkewY(double degrees) {
  return {1, std::tan(Radians(degrees)), 0, 1, 0, 0};
}

Affine operator*(const Affine& m, const Affine& n) {
  return {m.a * n.a + m.c * n.b, m.b * n.a + m.d * n.b,       m.a * n.c + m.c * n.d,
          m.b * n.c + m.d * n.d, m.a * n.e + m.c * n.f + m.e, m.b * n.e + m.d * n.f + m.f};
}

Affine ParseTransformList(std::string_view text) {
  Affine result;
  std::size_t pos = 0;
  SkipSpaces(text, pos);
  bool needFunction = false;  // after a comma between functions another one must follow
  while (pos < text.size() || needFunction) {
    const std::size_t nameStart = pos;
    while (pos < text.size() && IsNameChar(text[pos])) ++pos;
    const std::string_view name = text.substr(nameStart, pos - nameStart);
    bool known = false;
    for (const TransformFunction& f : kFunctions) known = known || f.name == name;
    if (!known) {
      throw TransformError(nameStart,
                           name.empty() ? std::string("expected a transform function")
                                        : "unknown transform function '" + std::string(name) + "'");
    }
    SkipSpaces(text, pos);
    if (pos >= text.size() || text[pos] != '(') {
      throw TransformError(pos, "expected '(' after '" + std::string(name) + "'");
    }
    ++pos;
    SkipSpaces(text, pos);
    std::vector<double> arguments;
    while (pos < text.size() && text[pos] != ')') {
      double value = 0.0;
      const NumberScan scan = ScanNumber(text, pos, value);
      if (scan == NumberScan::kOutOfRange) throw TransformError(pos, "number out of range");
      if (scan != NumberScan::kOk) throw TransformError(pos, "expected a number or ')'");
      arguments.push_back(value);
      const bool comma = SkipCommaSpaces(text, pos);
      if (comma && pos < text.size() && text[pos] == ')') {
        throw TransformError(pos, "expected a number after ','");
      }
    }
    if (pos >= text.size()) throw TransformError(pos, "missing ')'");
    if (!ArgumentCountAllowed(name, arguments.size())) {
      throw TransformError(nameStart, std::string(name) + "() does not take " +
                                          std::to_string(arguments.size()) + " argument(s)");
    }
    ++pos;
    result = result * MakeTransform(name, arguments);
    needFunction = SkipCommaSpaces(text, pos);
  }
  return result;
}

void TransformPath(BezierPath& path, const Affine& m) {
  for (Point& p : path) p = m.Apply(p);
}

}  // namespace pintovel_render
