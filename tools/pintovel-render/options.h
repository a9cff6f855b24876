// The command line of pintovel-render.
#ifndef PINTOVEL_RENDER_OPTIONS_H
#define PINTOVEL_RENDER_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

#include "colour.h"

namespace pintovel_render {

struct Options {
  std::string input;
  std::optional<std::string> output;  // -o: the PNG image
  std::optional<int> width;           // pixels; absent: from the document
  std::optional<int> height;
  Rgb background{255, 255, 255};
  bool quick = false;                          // one shape per pixel instead of exact blending
  std::optional<std::string> ribbonDirectory;  // --ribbon: one mask PNG per shape id
  std::optional<std::vector<int>> ids;         // --ids: the shape ids to export (all if absent)
  bool quiet = false;
  bool strict = false;  // invalid content fails the whole document instead of one element
  bool help = false;
  bool version = false;
};

// Reads the arguments after the program name. Throws ToolError(kUsage). With --help or
// --version nothing else is required.
Options ParseOptions(const std::vector<std::string>& arguments);

// A list of ids such as "0,3,5" or "2-6,9". Throws ToolError(kUsage).
std::vector<int> ParseIdList(const std::string& text);

// The text printed by --help.
std::string HelpText();

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_OPTIONS_H
