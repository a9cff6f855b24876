#include "scene.h"

#include <cmath>
#include <string_view>
#include <unordered_set>

#include "affine.h"
#include "basic_shapes.h"
#include "outline.h"
#include "path_data.h"
#include "style.h"
#include "svg_number.h"
#include "tool_error.h"
#include "viewport.h"

namespace pintovel_render {

namespace {

// Elements visited in one document at most; a guard against use references that expand
// without end (each level multiplying the last).
constexpr std::size_t kMaxVisitedElements = 5000000;

// Stop colours are followed through at most this many gradient references.
constexpr int kMaxGradientReferences = 8;

ToolError InvalidSvg(const xmlNode* element, const std::string& what) {
  return ToolError(ExitCode::kInvalidSvg, DescribeElement(element) + ": " + what);
}

// A short excerpt of `text` around `offset`, for messages about malformed data.
std::string Excerpt(std::string_view text, std::size_t offset) {
  const std::size_t begin = offset > 12 ? offset - 12 : 0;
  const std::size_t end = std::min(text.size(), offset + 12);
  std::string excerpt(text.substr(begin, end - begin));
  for (char& c : excerpt) {
    if (IsSvgSpace(c)) c = ' ';
  }
  return (begin > 0 ? "..." : "") + excerpt + (end < text.size() ? "..." : "");
}

bool IsPercentage(std::string_view text) {
  const std::string_view value = TrimSpaces(text);
  return !value.empty() && value.back() == '%' &&
         ParseWholeNumber(value.substr(0, value.size() - 1));
}

// Paint with its effective opacity, or nothing when the element is not filled.
struct ResolvedFill {
  Rgb colour;
  double alpha = 1.0;
};

// The library refuses outlines with a coordinate beyond this, in document or pixel units.
constexpr double kMaxLibraryCoordinate = 1e100;

bool WithinLibraryLimits(const BezierPath& outline) {
  for (const Point& p : outline) {
    if (!(std::fabs(p.x) <= kMaxLibraryCoordinate) || !(std::fabs(p.y) <= kMaxLibraryCoordinate)) {
      return false;
    }
  }
  return true;
}

class SceneBuilder {
 public:
  SceneBuilder(const SvgDocument& document, Notices& notices, InvalidContent invalid)
      : document_(document), notices_(notices), invalid_(invalid) {}

  Scene Build(std::optional<int> width, std::optional<int> height) {
    const xmlNode* root = document_.root();
    DocumentSize size;
    size.width = RootLength(root, "width");
    size.height = RootLength(root, "height");
    if (const auto box = Attribute(root, "viewBox")) {
      size.viewBox = ParseViewBox(*box);
      if (!size.viewBox) Invalid(root, "malformed viewBox '" + *box + "'", "it is ignored");
    }
    size.aspect = AspectOf(root);
    const CanvasPlan plan = PlanCanvas(size, width, height);
    viewport_ = plan.viewport;

    scene_.width = plan.width;
    scene_.height = plan.height;
    const ElementStyle rootStyle = ComputeStyle(Style{}, root, notices_);
    if (rootStyle.displayed) {
      ReportEffects(root, rootStyle);
      const Affine ctm = plan.userToPixel * TransformOf(root);
      ReportProblems();
      WalkChildren(root, rootStyle.style, ctm);
    }
    ReportProblems();
    return std::move(scene_);
  }

 private:
  // Invalid content in `element`: `what` is wrong, `consequence` says what is drawn instead.
  // Under InvalidContent::kFail this throws ToolError(kInvalidSvg); otherwise the problem
  // waits for ReportProblems, which gives each element one warning.
  void Invalid(const xmlNode* element, const std::string& what, const std::string& consequence) {
    if (invalid_ == InvalidContent::kFail) throw InvalidSvg(element, what);
    problems_.push_back({element, what + " (" + consequence + ")"});
  }

  // Warns about the problems found so far, one warning per element (an element that use
  // instantiates again is not reported again). Called before the walk descends into an
  // element's content, so that a container's warning precedes its children's.
  void ReportProblems() {
    for (std::size_t i = 0; i < problems_.size();) {
      const xmlNode* element = problems_[i].first;
      std::string text = DescribeElement(element) + ": " + problems_[i].second;
      for (++i; i < problems_.size() && problems_[i].first == element; ++i) {
        text += "; " + problems_[i].second;
      }
      if (reported_.insert(element).second) notices_.ReportEach("invalid-content", text);
    }
    problems_.clear();
  }

  // The outermost width or height: nothing when absent or a percentage (then the viewBox
  // decides).
  std::optional<double> RootLength(const xmlNode* root, const char* name) {
    const auto text = Attribute(root, name);
    if (!text || TrimSpaces(*text).empty() || TrimSpaces(*text) == "auto" || IsPercentage(*text)) {
      return std::nullopt;
    }
    const auto value = ParseAbsoluteLength(*text);
    if (!value) {
      Invalid(root, "malformed length '" + *text + "' in attribute '" + name + "'",
              "taken as absent");
    }
    return value;
  }

  AspectRatio AspectOf(const xmlNode* element) {
    const auto text = Attribute(element, "preserveAspectRatio");
    if (!text) return AspectRatio{};
    const auto aspect = ParseAspectRatio(*text);
    if (aspect) return *aspect;
    notices_.Report("bad-value-preserveAspectRatio",
                    "unrecognised preserveAspectRatio '" + *text + "' on " +
                        DescribeElement(element) + " is taken as xMidYMid meet",
                    LineOf(element));
    return AspectRatio{};
  }

  // The element's transform; a malformed one is ignored, as browsers ignore an invalid
  // attribute value.
  Affine TransformOf(const xmlNode* element) {
    const auto text = Attribute(element, "transform");
    if (!text) return Affine{};
    try {
      return ParseTransformList(*text);
    } catch (const TransformError& error) {
      Invalid(element,
              std::string("malformed transform at offset ") + std::to_string(error.offset()) +
                  " (\"" + Excerpt(*text, error.offset()) + "\"): " + error.what(),
              "the transform is ignored");
      return Affine{};
    }
  }

  // A length attribute in user units; `fallback` when absent or malformed.
  double LengthOf(const xmlNode* element, const char* name, LengthAxis axis, double fallback) {
    return OptionalLengthOf(element, name, axis).value_or(fallback);
  }

  // A length attribute in user units: nothing when absent, `auto` or malformed (a malformed
  // value is an invalid attribute, which counts as not given).
  std::optional<double> OptionalLengthOf(const xmlNode* element, const char* name,
                                         LengthAxis axis) {
    const auto text = Attribute(element, name);
    if (!text || TrimSpaces(*text).empty() || TrimSpaces(*text) == "auto") return std::nullopt;
    const auto value = ParseLength(*text, axis, viewport_);
    if (!value) {
      Invalid(element, "malformed length '" + *text + "' in attribute '" + name + "'",
              "taken as absent");
    }
    return value;
  }

  // A size or radius: nothing when it is negative, which disables the element.
  std::optional<double> NonNegativeLength(const xmlNode* element, const char* name,
                                          LengthAxis axis) {
    const double value = LengthOf(element, name, axis, 0.0);
    if (value < 0.0) {
      Invalid(element, std::string("negative value for attribute '") + name + "'",
              "the element is not drawn");
      return std::nullopt;
    }
    return value;
  }

  void ReportEffects(const xmlNode* element, const ElementStyle& style) {
    const long line = LineOf(element);
    if (style.opacity < 1.0 && style.opacity > 0.0) {
      notices_.Report("opacity", "opacity is not supported: shapes are drawn opaque", line);
    }
    if (style.clipped) {
      notices_.Report("clip-path", "clip paths are not supported: shapes are drawn unclipped",
                      line);
    }
    if (style.masked) {
      notices_.Report("mask", "masks are not supported: shapes are drawn unmasked", line);
    }
    if (style.filtered) {
      notices_.Report("filter", "filters are not supported: shapes are drawn unfiltered", line);
    }
  }

  void WalkChildren(const xmlNode* parent, const Style& style, const Affine& ctm) {
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
      Walk(child, style, ctm);
    }
  }

  void Walk(const xmlNode* element, const Style& parentStyle, const Affine& parentCtm) {
    if (!document_.IsSvgElement(element)) return;  // text, comments, other vocabularies
    if (++visited_ > kMaxVisitedElements) {
      throw InvalidSvg(element, "the document expands to more than " +
                                    std::to_string(kMaxVisitedElements) +
                                    " elements (use references nested too deeply)");
    }
    const std::string_view name = LocalName(element);
    if (IsNeverDrawnDirectly(name)) {
      ReportUndrawnContent(element, name);
      return;
    }
    const ElementStyle style = ComputeStyle(parentStyle, element, notices_);
    if (!style.displayed) return;
    if (style.style.groupOpacity <= 0.0) return;  // nothing of it can show
    ReportEffects(element, style);
    const Affine ctm = parentCtm * TransformOf(element);
    if (!IsBasicShape(name)) ReportProblems();

    if (name == "g" || name == "a") {
      WalkChildren(element, style.style, ctm);
    } else if (name == "switch") {
      WalkSwitch(element, style.style, ctm);
    } else if (name == "svg") {
      WalkViewport(element, element, style.style, ctm, std::nullopt, std::nullopt);
    } else if (name == "use") {
      WalkUse(element, style.style, ctm);
    } else if (IsBasicShape(name)) {
      DrawShape(element, style.style, ctm);
    } else {
      ReportUnsupportedElement(element, name);
    }
  }

  static bool IsBasicShape(std::string_view name) {
    return name == "path" || name == "rect" || name == "circle" || name == "ellipse" ||
           name == "polygon" || name == "polyline" || name == "line";
  }

  // Elements that draw nothing where they stand: definitions, referenced resources,
  // descriptive content.
  static bool IsNeverDrawnDirectly(std::string_view name) {
    static constexpr std::string_view kNames[] = {
        "defs",
        "symbol",
        "linearGradient",
        "radialGradient",
        "pattern",
        "clipPath",
        "mask",
        "marker",
        "filter",
        "title",
        "desc",
        "metadata",
        "script",
        "style",
        "font",
        "font-face",
        "cursor",
        "view",
        "animate",
        "animateTransform",
        "animateMotion",
        "animateColor",
        "set",
    };
    for (std::string_view known : kNames) {
      if (known == name) return true;
    }
    return false;
  }

  void ReportUndrawnContent(const xmlNode* element, std::string_view name) {
    if (name == "style" && element->children != nullptr) {
      notices_.Report("style-sheet",
                      "CSS style sheets (<style>) are not applied; use presentation attributes "
                      "or style attributes",
                      LineOf(element));
    } else if (name.substr(0, 7) == "animate" || name == "set") {
      notices_.Report("animation", "animations are not run: the document is drawn as written",
                      LineOf(element));
    }
  }

  void ReportUnsupportedElement(const xmlNode* element, std::string_view name) {
    const long line = LineOf(element);
    if (name == "text") {
      notices_.Report("text", "text is not supported and is not drawn", line);
    } else if (name == "image") {
      notices_.Report("image", "images are not supported and are not drawn", line);
    } else if (name == "foreignObject") {
      notices_.Report("foreignObject", "foreignObject content is not drawn", line);
    } else {
      notices_.Report("element-" + std::string(name),
                      "unsupported element <" + std::string(name) + "> is not drawn", line);
    }
  }

  // switch draws its first direct child that asks for no extension.
  void WalkSwitch(const xmlNode* element, const Style& style, const Affine& ctm) {
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
      if (!document_.IsSvgElement(child)) continue;
      if (Attribute(child, "requiredExtensions")) continue;
      Walk(child, style, ctm);
      return;
    }
  }

  // A nested svg element, or the svg or symbol that a use element instantiates (whose
  // width and height the use element may set).
  void WalkViewport(const xmlNode* element, const xmlNode* sizeSource, const Style& style,
                    const Affine& ctm, std::optional<double> width, std::optional<double> height) {
    const double x = LengthOf(sizeSource, "x", LengthAxis::kX, 0.0);
    const double y = LengthOf(sizeSource, "y", LengthAxis::kY, 0.0);
    const double w =
        width ? *width : LengthOf(sizeSource, "width", LengthAxis::kX, viewport_.width);
    const double h =
        height ? *height : LengthOf(sizeSource, "height", LengthAxis::kY, viewport_.height);
    if (w <= 0.0 || h <= 0.0) return;  // a zero-sized viewport shows nothing
    notices_.Report("nested-viewport",
                    "nested viewports (<svg>, <symbol>) are not clipped to their bounds",
                    LineOf(element));
    Affine inner = ctm * Affine::Translate(x, y);
    const ViewportSize saved = viewport_;
    viewport_ = {w, h};
    const auto boxText = Attribute(element, "viewBox");
    const auto box = boxText ? ParseViewBox(*boxText) : std::nullopt;
    if (boxText && !box) Invalid(element, "malformed viewBox '" + *boxText + "'", "it is ignored");
    if (box) {
      if (box->width <= 0.0 || box->height <= 0.0) {
        viewport_ = saved;
        ReportProblems();
        return;  // rendering disabled
      }
      inner = inner * ViewBoxTransform(*box, w, h, AspectOf(element));
      viewport_ = {box->width, box->height};
    }
    ReportProblems();
    WalkChildren(element, style, inner);
    viewport_ = saved;
  }

  void WalkUse(const xmlNode* element, const Style& style, const Affine& ctm) {
    const auto href = HrefAttribute(element);
    const long line = LineOf(element);
    if (!href || href->empty()) return;
    if ((*href)[0] != '#') {
      notices_.Report("use-external",
                      "use references to other files are not supported ('" + *href + "')", line);
      return;
    }
    const xmlNode* target = document_.FindById(std::string_view(*href).substr(1));
    if (target == nullptr || !document_.IsSvgElement(target)) {
      notices_.Report("use-missing", "use refers to a missing element '" + *href + "'", line);
      return;
    }
    for (const xmlNode* active : useStack_) {
      if (active == target) {
        notices_.Report("use-cycle", "use refers to an element that contains it ('" + *href + "')",
                        line);
        return;
      }
    }
    const Affine placed = ctm * Affine::Translate(LengthOf(element, "x", LengthAxis::kX, 0.0),
                                                  LengthOf(element, "y", LengthAxis::kY, 0.0));
    ReportProblems();
    useStack_.push_back(target);
    const std::string_view name = LocalName(target);
    if (name == "symbol" || name == "svg") {
      // The instance's viewport: the use element's width and height, else the target's.
      const ElementStyle targetStyle = ComputeStyle(style, target, notices_);
      if (targetStyle.displayed) {
        ReportEffects(target, targetStyle);
        const auto w = OptionalLengthOf(element, "width", LengthAxis::kX);
        const auto h = OptionalLengthOf(element, "height", LengthAxis::kY);
        const Affine own = name == "svg" ? TransformOf(target) : Affine{};
        WalkViewport(
            target, target, targetStyle.style, placed * own,
            w ? w
              : std::optional<double>(LengthOf(target, "width", LengthAxis::kX, viewport_.width)),
            h ? h
              : std::optional<double>(
                    LengthOf(target, "height", LengthAxis::kY, viewport_.height)));
      }
    } else {
      Walk(target, style, placed);
    }
    useStack_.pop_back();
  }

  // The element's geometry as subpaths in its user space.
  // A negative rx or ry of a rect is an invalid value, which counts as auto.
  std::optional<double> CornerRadius(const xmlNode* element, const char* name, LengthAxis axis) {
    const auto radius = OptionalLengthOf(element, name, axis);
    if (radius && *radius < 0.0) {
      Invalid(element, std::string("negative corner radius '") + name + "'", "taken as auto");
      return std::nullopt;
    }
    return radius;
  }

  // The element's geometry as subpaths in its user space; nothing where invalid values
  // disable it.
  std::vector<BezierPath> Geometry(const xmlNode* element, std::string_view name) {
    if (name == "path") {
      const auto data = Attribute(element, "d");
      if (!data) return {};
      ReadUpToError<BezierPath> read = ParsePathDataUpToError(*data);
      if (read.error) {
        const PathDataError& error = *read.error;
        Invalid(element,
                "malformed path data at offset " + std::to_string(error.offset()) + " (\"" +
                    Excerpt(*data, error.offset()) + "\"): " + error.what(),
                read.items.empty() ? "nothing is drawn"
                                   : "drawn up to the last complete command before it");
      }
      return std::move(read.items);
    }
    if (name == "rect") {
      const double x = LengthOf(element, "x", LengthAxis::kX, 0.0);
      const double y = LengthOf(element, "y", LengthAxis::kY, 0.0);
      const auto width = NonNegativeLength(element, "width", LengthAxis::kX);
      const auto height = NonNegativeLength(element, "height", LengthAxis::kY);
      auto rx = CornerRadius(element, "rx", LengthAxis::kX);
      auto ry = CornerRadius(element, "ry", LengthAxis::kY);
      if (!width || !height || *width == 0.0 || *height == 0.0) return {};
      const double w = *width;
      const double h = *height;
      // A radius given alone serves for both; each is at most half the side.
      if (!rx) rx = ry;
      if (!ry) ry = rx;
      const double cornerX = std::min(rx.value_or(0.0), 0.5 * w);
      const double cornerY = std::min(ry.value_or(0.0), 0.5 * h);
      return {RectangleOutline(x, y, w, h, cornerX, cornerY)};
    }
    if (name == "circle") {
      const auto r = NonNegativeLength(element, "r", LengthAxis::kDiagonal);
      if (!r || *r == 0.0) return {};
      return {EllipseOutline(LengthOf(element, "cx", LengthAxis::kX, 0.0),
                             LengthOf(element, "cy", LengthAxis::kY, 0.0), *r, *r)};
    }
    if (name == "ellipse") {
      auto rx = OptionalLengthOf(element, "rx", LengthAxis::kX);
      auto ry = OptionalLengthOf(element, "ry", LengthAxis::kY);
      if ((rx && *rx < 0.0) || (ry && *ry < 0.0)) {
        Invalid(element, "negative radius", "the element is not drawn");
        return {};
      }
      if (!rx) rx = ry;
      if (!ry) ry = rx;
      if (!rx || *rx == 0.0 || *ry == 0.0) return {};
      return {EllipseOutline(LengthOf(element, "cx", LengthAxis::kX, 0.0),
                             LengthOf(element, "cy", LengthAxis::kY, 0.0), *rx, *ry)};
    }
    if (name == "polygon" || name == "polyline") {
      const auto text = Attribute(element, "points");
      if (!text) return {};
      ReadUpToError<Point> read = ParsePointListUpToError(*text);
      if (read.error) {
        const PathDataError& error = *read.error;
        Invalid(element,
                "malformed points at offset " + std::to_string(error.offset()) + " (\"" +
                    Excerpt(*text, error.offset()) + "\"): " + error.what(),
                "drawn through the last whole point before it");
      }
      BezierPath outline = PolygonOutline(read.items);
      if (outline.empty()) return {};
      return {outline};
    }
    return {};  // line: no area
  }

  // The mean colour of a gradient's stops, following href to the gradient that has them.
  std::optional<Rgb> MeanStopColour(const xmlNode* gradient) {
    for (int hop = 0; gradient != nullptr && hop <= kMaxGradientReferences; ++hop) {
      double sum[3] = {0, 0, 0};
      int stops = 0;
      for (const xmlNode* child = gradient->children; child != nullptr; child = child->next) {
        if (!document_.IsSvgElement(child) || LocalName(child) != "stop") continue;
        Colour colour;  // stop-color defaults to black
        if (const auto text = Declarations(child).Get("stop-color")) {
          if (const auto parsed = ParseColour(*text)) colour = *parsed;
        }
        sum[0] += colour.rgb.red;
        sum[1] += colour.rgb.green;
        sum[2] += colour.rgb.blue;
        ++stops;
      }
      if (stops > 0) {
        return Rgb{static_cast<uint8_t>(std::lround(sum[0] / stops)),
                   static_cast<uint8_t>(std::lround(sum[1] / stops)),
                   static_cast<uint8_t>(std::lround(sum[2] / stops))};
      }
      const auto href = HrefAttribute(gradient);
      if (!href || href->empty() || (*href)[0] != '#') return std::nullopt;
      gradient = document_.FindById(std::string_view(*href).substr(1));
    }
    return std::nullopt;
  }

  std::optional<ResolvedFill> ResolveFill(const xmlNode* element, const Style& style) {
    const Paint& paint = style.fill;
    const long line = LineOf(element);
    std::optional<Colour> colour;
    switch (paint.kind) {
      case Paint::Kind::kNone:
        break;
      case Paint::Kind::kColour:
        colour = paint.colour;
        break;
      case Paint::Kind::kCurrentColour:
        colour = style.colour;
        break;
      case Paint::Kind::kServer: {
        const xmlNode* server = document_.FindById(paint.reference);
        const std::string_view kind = server != nullptr ? LocalName(server) : "";
        const auto fallback = [&]() -> std::optional<Colour> {
          if (paint.fallback == Paint::Kind::kColour) return paint.colour;
          if (paint.fallback == Paint::Kind::kCurrentColour) return style.colour;
          return std::nullopt;
        };
        if (kind == "linearGradient" || kind == "radialGradient") {
          notices_.Report("gradient",
                          "gradients are not supported: a gradient fill is drawn in the mean "
                          "colour of its stops",
                          line);
          if (const auto mean = MeanStopColour(server)) colour = Colour{*mean, 1.0};
        } else if (kind == "pattern") {
          notices_.Report("pattern",
                          "patterns are not supported: a pattern fill is drawn in its fallback "
                          "colour, or not at all",
                          line);
          colour = fallback();
        } else {
          notices_.Report("paint-missing",
                          "fill refers to a missing paint server '#" + paint.reference + "'", line);
          colour = fallback();
        }
        break;
      }
    }
    if (!colour) return std::nullopt;
    return ResolvedFill{colour->rgb, colour->alpha * style.fillOpacity * style.groupOpacity};
  }

  void DrawShape(const xmlNode* element, const Style& style, const Affine& ctm) {
    AddShape(element, style, ctm);
    ReportProblems();
  }

  void AddShape(const xmlNode* element, const Style& style, const Affine& ctm) {
    const long line = LineOf(element);
    const std::string_view name = LocalName(element);
    if (style.stroked()) {
      notices_.Report("stroke", "strokes are not supported and are not drawn", line);
    }
    const Declarations declarations(element);
    for (const char* marker : {"marker-start", "marker-mid", "marker-end", "marker"}) {
      const auto value = declarations.Get(marker);
      if (value && TrimSpaces(*value) != "none" && !TrimSpaces(*value).empty()) {
        notices_.Report("marker", "markers are not supported and are not drawn", line);
      }
    }
    // The geometry is read (and checked) even when the shape ends up not filled.
    std::vector<BezierPath> subpaths = Geometry(element, name);
    if (!style.visible) return;
    const auto fill = ResolveFill(element, style);
    if (!fill || fill->alpha <= 0.0) return;
    // Group and element opacity were reported with the element's effects.
    if (fill->alpha < style.groupOpacity) {
      notices_.Report("opacity", "opacity is not supported: shapes are drawn opaque", line);
    }
    if (subpaths.empty()) return;
    if (style.fillRule == FillRule::kEvenOdd) {
      notices_.Report("evenodd",
                      "fill-rule evenodd is drawn by nesting depth of the subpaths; crossing or "
                      "self-intersecting outlines may fill differently",
                      line);
    }
    for (BezierPath& path : subpaths) TransformPath(path, ctm);
    BezierPath outline = BuildOutline(std::move(subpaths), style.fillRule);
    if (SegmentCount(outline) == 0) return;
    if (!WithinLibraryLimits(outline)) {
      Invalid(element, "coordinates out of range after transformation (beyond 1e100 pixels)",
              "the element is not drawn");
      return;
    }
    if (scene_.shapes.size() >= kMaxShapes) {
      throw ToolError(ExitCode::kTooManyShapes, "the drawing has more than " +
                                                    std::to_string(kMaxShapes) +
                                                    " filled shapes, the most this tool draws");
    }
    scene_.shapes.push_back(SceneShape{std::move(outline), fill->colour, DescribeElement(element)});
  }

  const SvgDocument& document_;
  Notices& notices_;
  InvalidContent invalid_;
  std::vector<std::pair<const xmlNode*, std::string>> problems_;  // not yet reported
  std::unordered_set<const xmlNode*> reported_;  // elements whose problems were reported
  Scene scene_;
  ViewportSize viewport_;
  std::vector<const xmlNode*> useStack_;
  std::size_t visited_ = 0;
};

}  // namespace

Scene BuildScene(const SvgDocument& document, std::optional<int> width, std::optional<int> height,
                 Notices& notices, InvalidContent invalid) {
  return SceneBuilder(document, notices, invalid).Build(width, height);
}

}  // namespace pintovel_render
