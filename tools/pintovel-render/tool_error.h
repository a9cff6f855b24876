// The failures the tool reports, each with its process exit code.
#ifndef PINTOVEL_RENDER_TOOL_ERROR_H
#define PINTOVEL_RENDER_TOOL_ERROR_H

#include <stdexcept>
#include <string>

namespace pintovel_render {

// Exit codes, as listed by --help.
enum class ExitCode : int {
  kOk = 0,
  kLibraryFailure = 1,   // the drawing library failed, or memory ran out
  kUsage = 2,            // bad command line
  kUnreadableInput = 3,  // the SVG file is missing or cannot be read
  kMalformedXml = 4,     // not well-formed XML, or not an SVG document
  kInvalidSvg = 5,       // malformed path data, transform, number or geometry attribute
  kImpossibleSize = 6,   // the image size is zero, negative, not finite or too large
  kOutputFailure = 7,    // an output file cannot be written
  kTooManyShapes = 8,    // ribbon masks asked for more shapes than 16-bit ids can name
};

class ToolError : public std::runtime_error {
 public:
  ToolError(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
  ExitCode code() const {
    return code_;
  }

 private:
  ExitCode code_;
};

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_TOOL_ERROR_H
