#include "viewport.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "svg_number.h"
#include "tool_error.h"

namespace pintovel_render {

namespace {

struct Unit {
  std::string_view name;
  double userUnits;  // user units (CSS pixels at 96 per inch) per unit
};

constexpr Unit kUnits[] = {
    {"", 1.0},           {"px", 1.0},  {"pt", 96.0 / 72.0}, {"pc", 16.0}, {"mm", 96.0 / 25.4},
    {"cm", 96.0 / 2.54}, {"in", 96.0}, {"em", 16.0},        {"ex", 8.0},
};

struct LengthText {
  double number = 0.0;
  std::string_view unit;
};

std::optional<LengthText> SplitLength(std::string_view text) {
  const std::string_view value = TrimSpaces(text);
  std::size_t pos = 0;
  LengthText length;
  if (ScanNumber(value, pos, length.number) != NumberScan::kOk) return std::nullopt;
  length.unit = value.substr(pos);
  return length;
}

std::optional<double> AbsoluteUnits(const LengthText& length) {
  for (const Unit& unit : kUnits) {
    if (unit.name == length.unit) return length.number * unit.userUnits;
  }
  return std::nullopt;
}

double Offset(AspectRatio::Align align, double room) {
  switch (align) {
    case AspectRatio::Align::kMin:
      return 0.0;
    case AspectRatio::Align::kMid:
      return 0.5 * room;
    case AspectRatio::Align::kMax:
      return room;
  }
  return 0.0;
}

std::optional<AspectRatio::Align> ParseAlign(std::string_view text) {
  if (text == "Min") return AspectRatio::Align::kMin;
  if (text == "Mid") return AspectRatio::Align::kMid;
  if (text == "Max") return AspectRatio::Align::kMax;
  return std::nullopt;
}

void RequireImageSide(int side, const char* which) {
  if (side <= 0) {
    throw ToolError(ExitCode::kImpossibleSize, std::string("impossible image size: the ") + which +
                                                   " is " + std::to_string(side) + " pixels");
  }
  if (side > kMaxImageSide) {
    throw ToolError(ExitCode::kImpossibleSize, std::string("impossible image size: the ") + which +
                                                   " of " + std::to_string(side) +
                                                   " pixels is above the limit of " +
                                                   std::to_string(kMaxImageSide));
  }
}

// A document dimension in whole pixels, or an error when it does not give an image.
int RoundDimension(double value, const char* which) {
  if (!std::isfinite(value) || value > kMaxImageSide) {
    throw ToolError(
        ExitCode::kImpossibleSize,
        std::string("impossible image size: the document's ") + which + " is too large");
  }
  return std::max(1, static_cast<int>(std::lround(value)));
}

}  // namespace

std::optional<double> ParseLength(std::string_view text, LengthAxis axis,
                                  const ViewportSize& viewport) {
  const auto length = SplitLength(text);
  if (!length) return std::nullopt;
  if (length->unit == "%") {
    double reference = 0.0;
    switch (axis) {
      case LengthAxis::kX:
        reference = viewport.width;
        break;
      case LengthAxis::kY:
        reference = viewport.height;
        break;
      case LengthAxis::kDiagonal:
        reference =
            std::sqrt(0.5 * (viewport.width * viewport.width + viewport.height * viewport.height));
        break;
    }
    return length->number / 100.0 * reference;
  }
  return AbsoluteUnits(*length);
}

std::optional<double> ParseAbsoluteLength(std::string_view text) {
  const auto length = SplitLength(text);
  if (!length) return std::nullopt;
  return AbsoluteUnits(*length);
}

std::optional<ViewBox> ParseViewBox(std::string_view text) {
  double v[4] = {0, 0, 0, 0};
  std::size_t pos = 0;
  SkipSpaces(text, pos);
  for (int i = 0; i < 4; ++i) {
    if (ScanNumber(text, pos, v[i]) != NumberScan::kOk) return std::nullopt;
    if (i < 3) SkipCommaSpaces(text, pos);
  }
  SkipSpaces(text, pos);
  if (pos != text.size()) return std::nullopt;
  return ViewBox{v[0], v[1], v[2], v[3]};
}

std::optional<AspectRatio> ParseAspectRatio(std::string_view text) {
  std::string_view rest = TrimSpaces(text);
  AspectRatio aspect;
  if (rest.empty()) return aspect;
  if (rest.substr(0, 5) == "defer") rest = TrimSpaces(rest.substr(5));
  const std::size_t space = rest.find_first_of(" \t\r\n");
  const std::string_view align = rest.substr(0, space);
  const std::string_view mode =
      space == std::string_view::npos ? std::string_view() : TrimSpaces(rest.substr(space));
  if (align == "none") {
    aspect.none = true;
  } else {
    // xMinYMin ... xMaxYMax
    if (align.size() != 8 || align[0] != 'x' || align[4] != 'Y') return std::nullopt;
    const auto x = ParseAlign(align.substr(1, 3));
    const auto y = ParseAlign(align.substr(5, 3));
    if (!x || !y) return std::nullopt;
    aspect.x = *x;
    aspect.y = *y;
  }
  if (mode == "slice") {
    aspect.slice = true;
  } else if (!mode.empty() && mode != "meet") {
    return std::nullopt;
  }
  return aspect;
}

Affine ViewBoxTransform(const ViewBox& box, double width, double height,
                        const AspectRatio& aspect) {
  double sx = width / box.width;
  double sy = height / box.height;
  double tx = 0.0;
  double ty = 0.0;
  if (!aspect.none) {
    const double s = aspect.slice ? std::max(sx, sy) : std::min(sx, sy);
    sx = s;
    sy = s;
    tx = Offset(aspect.x, width - box.width * s);
    ty = Offset(aspect.y, height - box.height * s);
  }
  // x' = sx (x - minX) + tx, y' = sy (y - minY) + ty
  return Affine{sx, 0.0, 0.0, sy, tx - box.minX * sx, ty - box.minY * sy};
}

CanvasPlan PlanCanvas(const DocumentSize& document, std::optional<int> requestedWidth,
                      std::optional<int> requestedHeight) {
  if (document.viewBox && !(document.viewBox->width > 0.0 && document.viewBox->height > 0.0)) {
    throw ToolError(ExitCode::kImpossibleSize,
                    "impossible size: the viewBox must have a positive width and height");
  }
  const std::optional<ViewBox>& box = document.viewBox;
  double width = 300.0;
  double height = 150.0;
  if (document.width) {
    width = *document.width;
  } else if (box) {
    width = document.height ? *document.height * box->width / box->height : box->width;
  }
  if (document.height) {
    height = *document.height;
  } else if (box) {
    height = document.width ? *document.width * box->height / box->width : box->height;
  }
  if (!(width > 0.0) || !(height > 0.0)) {
    throw ToolError(ExitCode::kImpossibleSize,
                    "impossible size: the document's width and height must be positive");
  }

  CanvasPlan plan;
  plan.viewport = box ? ViewportSize{box->width, box->height} : ViewportSize{width, height};
  if (requestedWidth) RequireImageSide(*requestedWidth, "width");
  if (requestedHeight) RequireImageSide(*requestedHeight, "height");
  if (requestedWidth && requestedHeight) {
    plan.width = *requestedWidth;
    plan.height = *requestedHeight;
  } else if (requestedWidth) {
    plan.width = *requestedWidth;
    plan.height = RoundDimension(*requestedWidth * height / width, "height");
  } else if (requestedHeight) {
    plan.height = *requestedHeight;
    plan.width = RoundDimension(*requestedHeight * width / height, "width");
  } else {
    plan.width = RoundDimension(width, "width");
    plan.height = RoundDimension(height, "height");
  }
  RequireImageSide(plan.width, "width");
  RequireImageSide(plan.height, "height");
  if (static_cast<long long>(plan.width) * plan.height > kMaxImagePixels) {
    throw ToolError(ExitCode::kImpossibleSize,
                    "impossible image size: " + std::to_string(plan.width) + " x " +
                        std::to_string(plan.height) + " pixels is above the limit of " +
                        std::to_string(kMaxImagePixels) + " pixels");
  }
  if (!box && !document.width && !document.height) {
    // Neither a size nor a viewBox: as a browser shows such a document, its viewport is the
    // whole image and a user unit is a pixel, at any image size.
    plan.viewport = ViewportSize{static_cast<double>(plan.width), static_cast<double>(plan.height)};
    plan.userToPixel = Affine{};
    return plan;
  }
  const ViewBox fitted = box ? *box : ViewBox{0.0, 0.0, width, height};
  plan.userToPixel = ViewBoxTransform(fitted, plan.width, plan.height, document.aspect);
  return plan;
}

}  // namespace pintovel_render
