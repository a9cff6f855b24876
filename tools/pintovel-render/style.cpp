#include "style.h"

#include <algorithm>
#include <cstddef>

#include "svg_document.h"
#include "svg_number.h"
#include "viewport.h"

namespace pintovel_render {

namespace {

std::string LowerTrimmed(std::string_view text) {
  std::string out(TrimSpaces(text));
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The text of a `style` attribute with its CSS comments taken out: each comment, up to its
// "*/" or the end of the text, stands as one space (comments separate tokens). Quoted strings
// are kept as written, comment-like text included.
std::string WithoutComments(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == '\\' && i + 1 < text.size()) {
        out += c;
        out += text[++i];
        continue;
      }
      if (c == quote) quote = 0;
      out += c;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      const std::size_t close = text.find("*/", i + 2);
      i = close == std::string_view::npos ? text.size() : close + 1;
      out += ' ';
    } else {
      if (c == '"' || c == '\'') quote = c;
      out += c;
    }
  }
  return out;
}

// The `;`-separated items of a declaration list; a `;` inside quotes or parentheses (as in
// url("a;b")) does not separate.
std::vector<std::string_view> DeclarationItems(std::string_view text) {
  std::vector<std::string_view> items;
  std::size_t start = 0;
  char quote = 0;
  int depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == '\\') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth > 0) --depth;
    } else if (c == ';' && depth == 0) {
      items.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) items.push_back(text.substr(start));
  return items;
}

bool IsPropertyName(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

// `style` declarations "name: value; name: value", with "!important" dropped. Items that are
// not a declaration (no colon, no property name, no value) are collected in `malformed`.
std::map<std::string, std::string> ParseStyleAttribute(std::string_view attribute,
                                                       std::vector<std::string>& malformed) {
  std::map<std::string, std::string> declarations;
  const std::string text = WithoutComments(attribute);
  for (const std::string_view item : DeclarationItems(text)) {
    if (TrimSpaces(item).empty()) continue;
    const std::size_t colon = item.find(':');
    const std::string name =
        colon == std::string_view::npos ? std::string() : LowerTrimmed(item.substr(0, colon));
    std::string_view value =
        colon == std::string_view::npos ? std::string_view() : TrimSpaces(item.substr(colon + 1));
    const std::size_t bang = value.find("!important");
    if (bang != std::string_view::npos) value = TrimSpaces(value.substr(0, bang));
    if (!IsPropertyName(name) || value.empty()) {
      malformed.emplace_back(TrimSpaces(item));
      continue;
    }
    declarations[name] = std::string(value);
  }
  return declarations;
}

// An opacity value: a number or a percentage, clamped to [0, 1].
std::optional<double> ParseOpacity(std::string_view text) {
  std::string_view value = TrimSpaces(text);
  bool percent = false;
  if (!value.empty() && value.back() == '%') {
    percent = true;
    value.remove_suffix(1);
  }
  const auto number = ParseWholeNumber(value);
  if (!number) return std::nullopt;
  return std::clamp(percent ? *number / 100.0 : *number, 0.0, 1.0);
}

void ReportBadValue(Notices& notices, const xmlNode* element, const std::string& property,
                    const std::string& value) {
  notices.Report("bad-value-" + property,
                 "unrecognised " + property + " value '" + value + "' on " +
                     DescribeElement(element) + " is ignored",
                 LineOf(element));
}

bool IsNone(const std::optional<std::string>& value) {
  return !value || LowerTrimmed(*value) == "none" || TrimSpaces(*value).empty();
}

}  // namespace

Declarations::Declarations(const xmlNode* element) : element_(element) {
  if (auto style = Attribute(element, "style")) style_ = ParseStyleAttribute(*style, malformed_);
}

std::optional<std::string> Declarations::Get(const std::string& property) const {
  const auto found = style_.find(property);
  if (found != style_.end()) return found->second;
  return Attribute(element_, property.c_str());
}

ElementStyle ComputeStyle(const Style& parent, const xmlNode* element, Notices& notices) {
  const Declarations declarations(element);
  for (const std::string& item : declarations.malformed()) {
    notices.Report("bad-style-declaration",
                   "the style declaration '" + item + "' on " + DescribeElement(element) +
                       " is not of the form 'property: value' and is ignored",
                   LineOf(element));
  }
  ElementStyle result;
  Style& style = result.style;
  style = parent;
  const auto inherits = [](const std::optional<std::string>& value) {
    return !value || LowerTrimmed(*value) == "inherit";
  };

  if (const auto color = declarations.Get("color"); !inherits(color)) {
    if (const auto parsed = ParseColour(*color)) {
      style.colour = *parsed;
    } else if (LowerTrimmed(*color) != "currentcolor") {
      ReportBadValue(notices, element, "color", *color);
    }
  }
  if (const auto fill = declarations.Get("fill"); !inherits(fill)) {
    if (const auto paint = ParsePaint(*fill)) {
      style.fill = *paint;
    } else {
      ReportBadValue(notices, element, "fill", *fill);
    }
  }
  if (const auto rule = declarations.Get("fill-rule"); !inherits(rule)) {
    const std::string value = LowerTrimmed(*rule);
    if (value == "evenodd") {
      style.fillRule = FillRule::kEvenOdd;
    } else if (value == "nonzero") {
      style.fillRule = FillRule::kNonZero;
    } else {
      ReportBadValue(notices, element, "fill-rule", *rule);
    }
  }
  if (const auto opacity = declarations.Get("fill-opacity"); !inherits(opacity)) {
    if (const auto value = ParseOpacity(*opacity)) {
      style.fillOpacity = *value;
    } else {
      ReportBadValue(notices, element, "fill-opacity", *opacity);
    }
  }
  if (const auto visibility = declarations.Get("visibility"); !inherits(visibility)) {
    const std::string value = LowerTrimmed(*visibility);
    if (value == "hidden" || value == "collapse") {
      style.visible = false;
    } else if (value == "visible") {
      style.visible = true;
    } else {
      ReportBadValue(notices, element, "visibility", *visibility);
    }
  }
  // Strokes are only detected, to be reported: a stroke paint other than none with a
  // width other than zero.
  if (const auto stroke = declarations.Get("stroke"); !inherits(stroke)) {
    style.strokePaint = !IsNone(stroke);
  }
  if (const auto width = declarations.Get("stroke-width"); !inherits(width)) {
    const auto value = ParseLength(*width, LengthAxis::kDiagonal, ViewportSize{1.0, 1.0});
    style.zeroStrokeWidth = value && *value == 0.0;
  }

  if (const auto display = declarations.Get("display")) {
    result.displayed = LowerTrimmed(*display) != "none";
  }
  if (const auto opacity = declarations.Get("opacity"); !inherits(opacity)) {
    if (const auto value = ParseOpacity(*opacity)) {
      result.opacity = *value;
    } else {
      ReportBadValue(notices, element, "opacity", *opacity);
    }
  }
  style.groupOpacity = parent.groupOpacity * result.opacity;
  result.clipped = !IsNone(declarations.Get("clip-path"));
  result.masked = !IsNone(declarations.Get("mask"));
  result.filtered = !IsNone(declarations.Get("filter"));
  return result;
}

}  // namespace pintovel_render
