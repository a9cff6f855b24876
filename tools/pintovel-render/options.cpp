#include "options.h"

#include <algorithm>
#include <charconv>
#include <climits>

#include "tool_error.h"

namespace pintovel_render {

namespace {

ToolError UsageError(const std::string& message) {
  return ToolError(ExitCode::kUsage, message + " (see --help)");
}

// A whole number; sizes beyond the int range become INT_MAX or INT_MIN so that the size
// check reports them as too large rather than as unreadable.
std::optional<int> ParseInteger(const std::string& text) {
  long long value = 0;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (begin != end && *begin == '+') ++begin;
  const auto result = std::from_chars(begin, end, value);
  if (result.ptr != end || begin == end) return std::nullopt;
  if (result.ec == std::errc::result_out_of_range) {
    return (begin < end && *begin == '-') ? INT_MIN : INT_MAX;
  }
  if (result.ec != std::errc()) return std::nullopt;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int ParseSize(const std::string& option, const std::string& value) {
  const auto size = ParseInteger(value);
  if (!size) throw UsageError(option + " needs a whole number of pixels, not '" + value + "'");
  return *size;
}

}  // namespace

std::vector<int> ParseIdList(const std::string& text) {
  std::vector<int> ids;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    const std::size_t dash = item.find('-', 1);
    const auto first = ParseInteger(dash == std::string::npos ? item : item.substr(0, dash));
    const auto last = dash == std::string::npos ? first : ParseInteger(item.substr(dash + 1));
    if (!first || !last || *first < 0 || *last < *first) {
      throw UsageError("--ids needs shape ids such as 0,3,5 or 2-6, not '" + text + "'");
    }
    for (int id = *first; id <= *last && id - *first < 1000000; ++id) ids.push_back(id);
    start = end + 1;
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

Options ParseOptions(const std::vector<std::string>& arguments) {
  Options options;
  bool haveInput = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    std::optional<std::string> attached;  // the value of --name=value
    if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
      const std::size_t equals = argument.find('=');
      if (equals != std::string::npos) {
        attached = argument.substr(equals + 1);
        argument.resize(equals);
      }
    }
    const auto value = [&]() -> std::string {
      if (attached) return *attached;
      if (i + 1 >= arguments.size()) throw UsageError(argument + " needs a value");
      return arguments[++i];
    };
    const auto noValue = [&]() {
      if (attached) throw UsageError(argument + " takes no value");
    };

    if (argument == "-h" || argument == "--help") {
      noValue();
      options.help = true;
    } else if (argument == "--version") {
      noValue();
      options.version = true;
    } else if (argument == "-o" || argument == "--output") {
      options.output = value();
    } else if (argument == "-W" || argument == "--width") {
      options.width = ParseSize(argument, value());
    } else if (argument == "-H" || argument == "--height") {
      options.height = ParseSize(argument, value());
    } else if (argument == "-b" || argument == "--background") {
      const std::string text = value();
      const auto colour = ParseColour(text);
      if (!colour) throw UsageError("--background needs a colour such as white or #336699");
      if (colour->alpha < 1.0) throw UsageError("--background must be an opaque colour");
      options.background = colour->rgb;
    } else if (argument == "-q" || argument == "--quick") {
      noValue();
      options.quick = true;
    } else if (argument == "--ribbon") {
      options.ribbonDirectory = value();
    } else if (argument == "--ids") {
      options.ids = ParseIdList(value());
    } else if (argument == "--quiet") {
      noValue();
      options.quiet = true;
    } else if (argument == "--strict") {
      noValue();
      options.strict = true;
    } else if (argument == "--") {
      for (++i; i < arguments.size(); ++i) {
        if (haveInput) throw UsageError("more than one input file");
        options.input = arguments[i];
        haveInput = true;
      }
    } else if (argument.size() > 1 && argument[0] == '-') {
      throw UsageError("unknown option '" + argument + "'");
    } else {
      if (haveInput) throw UsageError("more than one input file ('" + argument + "')");
      options.input = argument;
      haveInput = true;
    }
  }
  if (options.help || options.version) return options;
  if (!haveInput) throw UsageError("no input file");
  if (!options.output && !options.ribbonDirectory) {
    throw UsageError("nothing to write: give -o OUT.png and/or --ribbon DIR");
  }
  if (options.ids && !options.ribbonDirectory) throw UsageError("--ids needs --ribbon");
  if (options.quick && !options.output) throw UsageError("--quick needs -o");
  return options;
}

std::string HelpText() {
  return R"(Usage: pintovel-render IN.svg -o OUT.png [options]
       pintovel-render IN.svg --ribbon DIR [--ids LIST] [options]

Draws an SVG document with the Pintovel exact-coverage library: every filled
shape covers each pixel by its exact area, no sampling.

Output:
  -o, --output FILE      write the image as an 8-bit RGB PNG
      --ribbon DIR       write one 8-bit greyscale coverage mask per shape,
                         DIR/mask-<id>.png (black = covered, white = not),
                         and DIR/shapes.txt naming the element of each id
      --ids LIST         with --ribbon: only these shape ids, e.g. 0,3,5 or 2-6
Drawing:
  -W, --width N          image width in pixels (default: the document's)
  -H, --height N         image height in pixels; with only one of the two the
                         other follows the document's aspect ratio
  -b, --background COL   background colour, e.g. white, #336699, rgb(0,0,0)
                         (default white)
  -q, --quick            fast fill: each pixel takes the colour of the
                         topmost shape covering at least half of it
Other:
      --strict           stop at the first invalid value (exit 5) instead of
                         leaving out what it spoils and drawing the rest
      --quiet            no warnings or progress on standard error
  -h, --help             show this text
      --version          show the version

Shape ids are the filled elements in document order, from 0. SVG features that
cannot be drawn (strokes, opacity, gradients, text, images, clip paths, ...)
are reported once each on standard error. Invalid values are handled as in
browsers: path data is drawn up to its error, a negative width, height or
radius leaves that element out, and so on, with one warning per element.

Exit status:
  0  success
  1  the drawing library failed, or memory ran out
  2  bad command line
  3  the input file is missing or cannot be read
  4  the input is not well-formed XML, or not an SVG document
  5  with --strict: invalid SVG content (malformed path data, transform,
     length or points, a negative size, coordinates out of range)
  6  impossible image size (zero, negative, or above 32768 pixels a side or
     67108864 pixels in all)
  7  an output file cannot be written
  8  too many shapes (above 50000, or above 32767 with --ribbon)
)";
}

}  // namespace pintovel_render
