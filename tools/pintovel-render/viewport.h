// Lengths, viewBox, preserveAspectRatio, and the plan that maps the document's user space
// onto the output image.
#ifndef PINTOVEL_RENDER_VIEWPORT_H
#define PINTOVEL_RENDER_VIEWPORT_H

#include <optional>
#include <string_view>

#include "affine.h"

namespace pintovel_render {

// Size of the viewport that percentages refer to, in user units.
struct ViewportSize {
  double width = 0.0;
  double height = 0.0;
};

// Which viewport dimension a percentage refers to: width, height, or the normalised diagonal
// sqrt((w^2 + h^2) / 2) used by radii.
enum class LengthAxis { kX, kY, kDiagonal };

// A length in user units: a number with an optional unit px, pt, pc, mm, cm, in, em, ex
// (em and ex taken for a 16 px font) or %. Nothing when the text is not a length.
std::optional<double> ParseLength(std::string_view text, LengthAxis axis,
                                  const ViewportSize& viewport);

// A length without percentages (the outermost width and height); nothing for a percentage.
std::optional<double> ParseAbsoluteLength(std::string_view text);

struct ViewBox {
  double minX = 0.0;
  double minY = 0.0;
  double width = 0.0;
  double height = 0.0;
};

// Four numbers, separated by whitespace and/or commas. Nothing when malformed.
std::optional<ViewBox> ParseViewBox(std::string_view text);

struct AspectRatio {
  enum class Align { kMin, kMid, kMax };
  bool none = false;  // `none`: stretch to fill, ignoring the aspect ratio
  Align x = Align::kMid;
  Align y = Align::kMid;
  bool slice = false;  // `slice` fills the viewport and crops; `meet` (default) fits inside
};

// The preserveAspectRatio attribute; nothing when malformed. An empty text is the default,
// xMidYMid meet.
std::optional<AspectRatio> ParseAspectRatio(std::string_view text);

// The transform that maps the viewBox onto the viewport [0, width] x [0, height].
Affine ViewBoxTransform(const ViewBox& box, double width, double height, const AspectRatio& aspect);

// The outermost svg element's sizing attributes, parsed.
struct DocumentSize {
  std::optional<double> width;  // absent: not given, or a percentage
  std::optional<double> height;
  std::optional<ViewBox> viewBox;
  AspectRatio aspect;
};

// The output image and the map from the document's user space to its pixels.
struct CanvasPlan {
  int width = 0;
  int height = 0;
  ViewportSize viewport;  // the document's viewport in user units, for percentages
  Affine userToPixel;
};

// Image limits: each side at most kMaxImageSide pixels and at most kMaxImagePixels pixels.
constexpr int kMaxImageSide = 32768;
constexpr long long kMaxImagePixels = 64LL * 1024 * 1024;

// Decides the image size and the user-to-pixel map.
//
// The document's own size is its width and height; a missing one follows from the viewBox's
// aspect ratio, or is the viewBox's, or else 300 x 150 (the size browsers give). The image
// is that size rounded to whole pixels unless the caller asks for a width and/or a height
// (one alone keeps the aspect ratio). The viewBox (or, without one, the viewport itself) is
// then fitted into the image by preserveAspectRatio, as when a browser shows the document at
// that size. A document with neither width, height nor viewBox is not fitted: its viewport is
// the image and one user unit is one pixel, whatever the image size. Throws
// ToolError(kImpossibleSize) for a zero, negative or oversized result.
CanvasPlan PlanCanvas(const DocumentSize& document, std::optional<int> requestedWidth,
                      std::optional<int> requestedHeight);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_VIEWPORT_H
