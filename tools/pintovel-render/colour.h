// Colour values of SVG paint properties: #rgb, #rrggbb (and the #rgba, #rrggbbaa forms),
// rgb() and rgba() with numbers or percentages (comma or space separated, "/ alpha"),
// the colour keywords (case-insensitive) and `transparent`.
#ifndef PINTOVEL_RENDER_COLOUR_H
#define PINTOVEL_RENDER_COLOUR_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pintovel_render {

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};

inline bool operator==(Rgb p, Rgb q) {
  return p.red == q.red && p.green == q.green && p.blue == q.blue;
}

struct Colour {
  Rgb rgb;
  double alpha = 1.0;  // 0 transparent .. 1 opaque
};

// A colour value, or nothing when the text is not one.
std::optional<Colour> ParseColour(std::string_view text);

// The colour keyword `name` (lower case), or nothing.
std::optional<Rgb> LookUpColourKeyword(std::string_view name);

// How many colour keywords are known.
std::size_t ColourKeywordCount();

// The value of a `fill` property.
struct Paint {
  enum class Kind {
    kNone,           // `none`
    kColour,         // a colour value
    kCurrentColour,  // `currentColor`: the element's `color` property
    kServer,         // url(#id): a gradient or pattern, with an optional fallback
  };
  Kind kind = Kind::kColour;
  Colour colour;          // for kColour, and the fallback colour of kServer
  std::string reference;  // kServer: the referenced id, without '#'
  // kServer: what follows the url(), as kNone, kColour or kCurrentColour; kServer when absent.
  Kind fallback = Kind::kServer;
};

// `fill` property text as a Paint, or nothing when it is not a valid paint.
std::optional<Paint> ParsePaint(std::string_view text);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_COLOUR_H
