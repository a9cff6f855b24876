#include "colour.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "svg_number.h"

namespace pintovel_render {

namespace {

struct NamedColour {
  const char* name;
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

// Sorted by name for binary search.
constexpr NamedColour kKeywords[] = {
    {"aliceblue", 240, 248, 255},
    {"antiquewhite", 250, 235, 215},
    {"aqua", 0, 255, 255},
    {"aquamarine", 127, 255, 212},
    {"azure", 240, 255, 255},
    {"beige", 245, 245, 220},
    {"bisque", 255, 228, 196},
    {"black", 0, 0, 0},
    {"blanchedalmond", 255, 235, 205},
    {"blue", 0, 0, 255},
    {"blueviolet", 138, 43, 226},
    {"brown", 165, 42, 42},
    {"burlywood", 222, 184, 135},
    {"cadetblue", 95, 158, 160},
    {"chartreuse", 127, 255, 0},
    {"chocolate", 210, 105, 30},
    {"coral", 255, 127, 80},
    {"cornflowerblue", 100, 149, 237},
    {"cornsilk", 255, 248, 220},
    {"crimson", 220, 20, 60},
    {"cyan", 0, 255, 255},
    {"darkblue", 0, 0, 139},
    {"darkcyan", 0, 139, 139},
    {"darkgoldenrod", 184, 134, 11},
    {"darkgray", 169, 169, 169},
    {"darkgreen", 0, 100, 0},
    {"darkgrey", 169, 169, 169},
    {"darkkhaki", 189, 183, 107},
    {"darkmagenta", 139, 0, 139},
    {"darkolivegreen", 85, 107, 47},
    {"darkorange", 255, 140, 0},
    {"darkorchid", 153, 50, 204},
    {"darkred", 139, 0, 0},
    {"darksalmon", 233, 150, 122},
    {"darkseagreen", 143, 188, 143},
    {"darkslateblue", 72, 61, 139},
    {"darkslategray", 47, 79, 79},
    {"darkslategrey", 47, 79, 79},
    {"darkturquoise", 0, 206, 209},
    {"darkviolet", 148, 0, 211},
    {"deeppink", 255, 20, 147},
    {"deepskyblue", 0, 191, 255},
    {"dimgray", 105, 105, 105},
    {"dimgrey", 105, 105, 105},
    {"dodgerblue", 30, 144, 255},
    {"firebrick", 178, 34, 34},
    {"floralwhite", 255, 250, 240},
    {"forestgreen", 34, 139, 34},
    {"fuchsia", 255, 0, 255},
    {"gainsboro", 220, 220, 220},
    {"ghostwhite", 248, 248, 255},
    {"gold", 255, 215, 0},
    {"goldenrod", 218, 165, 32},
    {"gray", 128, 128, 128},
    {"green", 0, 128, 0},
    {"greenyellow", 173, 255, 47},
    {"grey", 128, 128, 128},
    {"honeydew", 240, 255, 240},
    {"hotpink", 255, 105, 180},
    {"indianred", 205, 92, 92},
    {"indigo", 75, 0, 130},
    {"ivory", 255, 255, 240},
    {"khaki", 240, 230, 140},
    {"lavender", 230, 230, 250},
    {"lavenderblush", 255, 240, 245},
    {"lawngreen", 124, 252, 0},
    {"lemonchiffon", 255, 250, 205},
    {"lightblue", 173, 216, 230},
    {"lightcoral", 240, 128, 128},
    {"lightcyan", 224, 255, 255},
    {"lightgoldenrodyellow", 250, 250, 210},
    {"lightgray", 211, 211, 211},
    {"lightgreen", 144, 238, 144},
    {"lightgrey", 211, 211, 211},
    {"lightpink", 255, 182, 193},
    {"lightsalmon", 255, 160, 122},
    {"lightseagreen", 32, 178, 170},
    {"lightskyblue", 135, 206, 250},
    {"lightslategray", 119, 136, 153},
    {"lightslategrey", 119, 136, 153},
    {"lightsteelblue", 176, 196, 222},
    {"lightyellow", 255, 255, 224},
    {"lime", 0, 255, 0},
    {"limegreen", 50, 205, 50},
    {"linen", 250, 240, 230},
    {"magenta", 255, 0, 255},
    {"maroon", 128, 0, 0},
    {"mediumaquamarine", 102, 205, 170},
    {"mediumblue", 0, 0, 205},
    {"mediumorchid", 186, 85, 211},
    {"mediumpurple", 147, 112, 219},
    {"mediumseagreen", 60, 179, 113},
    {"mediumslateblue", 123, 104, 238},
    {"mediumspringgreen", 0, 250, 154},
    {"mediumturquoise", 72, 209, 204},
    {"mediumvioletred", 199, 21, 133},
    {"midnightblue", 25, 25, 112},
    {"mintcream", 245, 255, 250},
    {"mistyrose", 255, 228, 225},
    {"moccasin", 255, 228, 181},
    {"navajowhite", 255, 222, 173},
    {"navy", 0, 0, 128},
    {"oldlace", 253, 245, 230},
    {"olive", 128, 128, 0},
    {"olivedrab", 107, 142, 35},
    {"orange", 255, 165, 0},
    {"orangered", 255, 69, 0},
    {"orchid", 218, 112, 214},
    {"palegoldenrod", 238, 232, 170},
    {"palegreen", 152, 251, 152},
    {"paleturquoise", 175, 238, 238},
    {"palevioletred", 219, 112, 147},
    {"papayawhip", 255, 239, 213},
    {"peachpuff", 255, 218, 185},
    {"peru", 205, 133, 63},
    {"pink", 255, 192, 203},
    {"plum", 221, 160, 221},
    {"powderblue", 176, 224, 230},
    {"purple", 128, 0, 128},
    {"rebeccapurple", 102, 51, 153},
    {"red", 255, 0, 0},
    {"rosybrown", 188, 143, 143},
    {"royalblue", 65, 105, 225},
    {"saddlebrown", 139, 69, 19},
    {"salmon", 250, 128, 114},
    {"sandybrown", 244, 164, 96},
    {"seagreen", 46, 139, 87},
    {"seashell", 255, 245, 238},
    {"sienna", 160, 82, 45},
    {"silver", 192, 192, 192},
    {"skyblue", 135, 206, 235},
    {"slateblue", 106, 90, 205},
    {"slategray", 112, 128, 144},
    {"slategrey", 112, 128, 144},
    {"snow", 255, 250, 250},
    {"springgreen", 0, 255, 127},
    {"steelblue", 70, 130, 180},
    {"tan", 210, 180, 140},
    {"teal", 0, 128, 128},
    {"thistle", 216, 191, 216},
    {"tomato", 255, 99, 71},
    {"turquoise", 64, 224, 208},
    {"violet", 238, 130, 238},
    {"wheat", 245, 222, 179},
    {"white", 255, 255, 255},
    {"whitesmoke", 245, 245, 245},
    {"yellow", 255, 255, 0},
    {"yellowgreen", 154, 205, 50},
};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint8_t ClampToByte(double v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

std::optional<Colour> ParseHex(std::string_view digits) {
  std::vector<int> v;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v.push_back(d);
  }
  Colour colour;
  if (v.size() == 3 || v.size() == 4) {
    // #rgb: every digit doubled, #f80 = #ff8800.
    colour.rgb = {static_cast<uint8_t>(v[0] * 17), static_cast<uint8_t>(v[1] * 17),
                  static_cast<uint8_t>(v[2] * 17)};
    if (v.size() == 4) colour.alpha = v[3] * 17 / 255.0;
  } else if (v.size() == 6 || v.size() == 8) {
    colour.rgb = {static_cast<uint8_t>(v[0] * 16 + v[1]), static_cast<uint8_t>(v[2] * 16 + v[3]),
                  static_cast<uint8_t>(v[4] * 16 + v[5])};
    if (v.size() == 8) colour.alpha = (v[6] * 16 + v[7]) / 255.0;
  } else {
    return std::nullopt;
  }
  return colour;
}

// One component of rgb(): a number (0..255) or a percentage (of 255); `isAlpha` reads 0..1
// or a percentage of 1 instead.
std::optional<double> ParseComponent(std::string_view text, std::size_t& pos, bool isAlpha) {
  double value = 0.0;
  if (ScanNumber(text, pos, value) != NumberScan::kOk) return std::nullopt;
  if (pos < text.size() && text[pos] == '%') {
    ++pos;
    return value / 100.0 * (isAlpha ? 1.0 : 255.0);
  }
  return value;
}

std::optional<Colour> ParseFunctional(std::string_view inside) {
  std::size_t pos = 0;
  double channel[3] = {0, 0, 0};
  SkipSpaces(inside, pos);
  bool commas = false;
  for (int i = 0; i < 3; ++i) {
    const auto value = ParseComponent(inside, pos, false);
    if (!value) return std::nullopt;
    channel[i] = *value;
    if (i < 2) {
      const bool comma = SkipCommaSpaces(inside, pos);
      if (i == 0) commas = comma;
      if (comma != commas) return std::nullopt;
    }
  }
  Colour colour;
  colour.rgb = {ClampToByte(channel[0]), ClampToByte(channel[1]), ClampToByte(channel[2])};
  SkipSpaces(inside, pos);
  if (pos < inside.size()) {
    // The alpha: ", a" in the comma form, "/ a" in the space form.
    const char separator = commas ? ',' : '/';
    if (inside[pos] != separator) return std::nullopt;
    ++pos;
    SkipSpaces(inside, pos);
    const auto alpha = ParseComponent(inside, pos, true);
    if (!alpha) return std::nullopt;
    colour.alpha = std::clamp(*alpha, 0.0, 1.0);
    SkipSpaces(inside, pos);
    if (pos != inside.size()) return std::nullopt;
  }
  return colour;
}

}  // namespace

std::optional<Rgb> LookUpColourKeyword(std::string_view name) {
  const auto* end = std::end(kKeywords);
  const auto* found = std::lower_bound(
      std::begin(kKeywords), end, name,
      [](const NamedColour& entry, std::string_view key) { return entry.name < key; });
  if (found == end || found->name != name) return std::nullopt;
  return Rgb{found->red, found->green, found->blue};
}

std::size_t ColourKeywordCount() {
  return std::size(kKeywords);
}

std::optional<Colour> ParseColour(std::string_view text) {
  const std::string_view value = TrimSpaces(text);
  if (value.empty()) return std::nullopt;
  if (value[0] == '#') return ParseHex(value.substr(1));
  const std::string lower = Lower(value);
  if (lower == "transparent") return Colour{Rgb{}, 0.0};
  for (const char* function : {"rgba(", "rgb("}) {
    const std::string_view prefix(function);
    if (lower.compare(0, prefix.size(), prefix) == 0 && lower.back() == ')') {
      // rgb() and rgba() are the same function; both take an optional alpha.
      return ParseFunctional(value.substr(prefix.size(), value.size() - prefix.size() - 1));
    }
  }
  const auto rgb = LookUpColourKeyword(lower);
  if (!rgb) return std::nullopt;
  return Colour{*rgb, 1.0};
}

std::optional<Paint> ParsePaint(std::string_view text) {
  const std::string_view value = TrimSpaces(text);
  const std::string lower = Lower(value);
  Paint paint;
  if (lower == "none") {
    paint.kind = Paint::Kind::kNone;
    return paint;
  }
  if (lower == "currentcolor") {
    paint.kind = Paint::Kind::kCurrentColour;
    return paint;
  }
  if (lower.compare(0, 4, "url(") == 0) {
    const std::size_t close = value.find(')');
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view reference = TrimSpaces(value.substr(4, close - 4));
    if (reference.size() >= 2 && (reference.front() == '"' || reference.front() == '\'') &&
        reference.back() == reference.front()) {
      reference = reference.substr(1, reference.size() - 2);
    }
    if (reference.empty() || reference.front() != '#') return std::nullopt;
    paint.kind = Paint::Kind::kServer;
    paint.reference = std::string(reference.substr(1));
    const std::string_view rest = TrimSpaces(value.substr(close + 1));
    if (!rest.empty()) {
      const auto fallback = ParsePaint(rest);
      if (!fallback || fallback->kind == Paint::Kind::kServer) return std::nullopt;
      paint.fallback = fallback->kind;
      paint.colour = fallback->colour;
    }
    return paint;
  }
  const auto colour = ParseColour(value);
  if (!colour) return std::nullopt;
  paint.kind = Paint::Kind::kColour;
  paint.colour = *colour;
  return paint;
}

}  // namespace pintovel_render
