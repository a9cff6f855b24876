// The presentation properties that decide whether and in which colour an element is filled,
// read from presentation attributes and the `style` attribute (which wins), with SVG's
// inheritance through groups.
#ifndef PINTOVEL_RENDER_STYLE_H
#define PINTOVEL_RENDER_STYLE_H

#include <libxml/tree.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "colour.h"
#include "notices.h"
#include "outline.h"

namespace pintovel_render {

// The declarations of one element: its `style` attribute and its presentation attributes.
class Declarations {
 public:
  explicit Declarations(const xmlNode* element);

  // The value for `property`: from `style` if declared there, else the attribute of that
  // name; nothing when neither is present.
  std::optional<std::string> Get(const std::string& property) const;

  // The items of the `style` attribute that are not a declaration, as written (comments
  // taken out).
  const std::vector<std::string>& malformed() const {
    return malformed_;
  }

 private:
  const xmlNode* element_;
  std::map<std::string, std::string> style_;
  std::vector<std::string> malformed_;
};

// Computed values. Inherited: fill, fill-rule, fill-opacity, color, visibility, stroke,
// stroke-width. `opacity` is not inherited, but a group's opacity applies to everything in
// it, so the product along the ancestors is carried as `groupOpacity`.
struct Style {
  Paint fill;  // default black
  FillRule fillRule = FillRule::kNonZero;
  double fillOpacity = 1.0;
  Colour colour;  // the `color` property, for currentColor
  bool visible = true;
  bool strokePaint = false;      // a stroke paint other than none
  bool zeroStrokeWidth = false;  // stroke-width: 0
  double groupOpacity = 1.0;

  // Whether a stroke would be drawn (strokes are reported, not drawn).
  bool stroked() const {
    return strokePaint && !zeroStrokeWidth;
  }
};

// What an element itself asks for besides the inherited properties.
struct ElementStyle {
  Style style;            // for the element and its children
  bool displayed = true;  // display: none hides the element and its subtree
  double opacity = 1.0;   // the element's own opacity, already folded into groupOpacity
  bool clipped = false;   // clip-path other than none
  bool masked = false;    // mask other than none
  bool filtered = false;  // filter other than none
};

// The style of `element` given its parent's. Unrecognised values are reported through
// `notices` and ignored, as browsers do.
ElementStyle ComputeStyle(const Style& parent, const xmlNode* element, Notices& notices);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_STYLE_H
