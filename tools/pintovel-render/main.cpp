// pintovel-render: draws an SVG document into a PNG image, or into per-shape coverage masks,
// with the Pintovel library.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "library_draw.h"
#include "notices.h"
#include "options.h"
#include "pending_file.h"
#include "png_writer.h"
#include "ribbon_masks.h"
#include "scene.h"
#include "svg_document.h"
#include "tool_error.h"

#ifndef PINTOVEL_RENDER_VERSION
#  define PINTOVEL_RENDER_VERSION "unknown"
#endif

namespace pintovel_render {
namespace {

// The --ribbon directory, created if missing. One that this run created and left empty is
// removed again when the run fails.
class OutputDirectory {
 public:
  explicit OutputDirectory(std::string path) : path_(std::move(path)) {
    struct stat info {};
    if (stat(path_.c_str(), &info) == 0) {
      if (!S_ISDIR(info.st_mode)) {
        throw ToolError(ExitCode::kOutputFailure, "'" + path_ + "' exists and is not a directory");
      }
      return;
    }
    if (mkdir(path_.c_str(), 0777) != 0) {
      throw ToolError(ExitCode::kOutputFailure,
                      "cannot create the directory '" + path_ + "': " + std::strerror(errno));
    }
    created_ = true;
  }
  ~OutputDirectory() {
    if (created_) rmdir(path_.c_str());  // fails, harmlessly, unless empty
  }
  OutputDirectory(const OutputDirectory&) = delete;
  OutputDirectory& operator=(const OutputDirectory&) = delete;

  void Keep() {
    created_ = false;
  }
  const std::string& path() const {
    return path_;
  }

 private:
  std::string path_;
  bool created_ = false;
};

// The pending file of an output image, opened before any drawing: creating it proves that its
// directory exists and is writable.
PendingFile OpenOutputFile(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    throw ToolError(ExitCode::kOutputFailure, "cannot write '" + path + "': it is a directory");
  }
  return PendingFile(path);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (!directory.empty() && directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

std::string HexColour(Rgb colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
  return text;
}

// DIR/shapes.txt: one line per shape id with its colour and its element.
void WriteShapeList(PendingFile& file, const Scene& scene) {
  std::fprintf(file.stream(), "# id\tcolour\telement\n");
  for (std::size_t i = 0; i < scene.shapes.size(); ++i) {
    std::fprintf(file.stream(), "%zu\t%s\t%s\n", i, HexColour(scene.shapes[i].colour).c_str(),
                 scene.shapes[i].source.c_str());
  }
  file.Close();
}

// Content errors name the file as well as the element.
Scene BuildSceneNamingFile(const SvgDocument& document, const Options& options, Notices& notices) {
  try {
    return BuildScene(document, options.width, options.height, notices,
                      options.strict ? InvalidContent::kFail : InvalidContent::kDropAndWarn);
  } catch (const ToolError& error) {
    if (error.code() != ExitCode::kInvalidSvg && error.code() != ExitCode::kImpossibleSize) throw;
    throw ToolError(error.code(), options.input + ": " + error.what());
  }
}

int Run(const std::vector<std::string>& arguments) {
  const Options options = ParseOptions(arguments);
  if (options.help) {
    std::cout << HelpText();
    return 0;
  }
  if (options.version) {
    std::cout << "pintovel-render " << PINTOVEL_RENDER_VERSION << "\n";
    return 0;
  }

  const SvgDocument document = SvgDocument::Load(options.input);

  // Everything is written to temporary files first and moved into place at the end. The
  // outputs are opened before any drawing, so that an unwritable path fails at once rather
  // than after a long and large drawing.
  // (The directory outlives the pending files, which are removed first on failure.)
  std::optional<OutputDirectory> ribbonDirectory;
  std::vector<PendingFile> pending;
  if (options.output) pending.push_back(OpenOutputFile(*options.output));
  const std::size_t imageFile = 0;
  const std::size_t shapeListFile = pending.size();
  if (options.ribbonDirectory) {
    ribbonDirectory.emplace(*options.ribbonDirectory);
    pending.push_back(PendingFile(JoinPath(ribbonDirectory->path(), "shapes.txt")));
  }

  Notices notices(options.quiet ? nullptr : &std::cerr);
  const Scene scene = BuildSceneNamingFile(document, options, notices);
  if (options.ribbonDirectory) CheckRibbonShapeCount(scene.shapes.size());  // before any work
  if (options.output) {
    WritePng(pending[imageFile], DrawScene(scene, options.background, options.quick));
  }
  if (ribbonDirectory) {
    WriteShapeList(pending[shapeListFile], scene);
    std::vector<int> ids;
    if (options.ids) {
      ids = *options.ids;
    } else {
      ids.resize(scene.shapes.size());
      std::iota(ids.begin(), ids.end(), 0);
    }
    ProgressDisplay display(std::cerr, isatty(STDERR_FILENO) != 0);
    std::vector<PngImage> masks = ExportMasks(scene, ids, options.quiet ? nullptr : &display);
    for (std::size_t k = 0; k < ids.size(); ++k) {
      const std::string name = "mask-" + std::to_string(ids[k]) + ".png";
      pending.push_back(WritePendingPng(JoinPath(ribbonDirectory->path(), name), masks[k]));
      masks[k].pixels = {};
    }
  }
  for (PendingFile& file : pending) file.Commit();
  if (ribbonDirectory) ribbonDirectory->Keep();
  return 0;
}

}  // namespace
}  // namespace pintovel_render

int main(int argc, char** argv) {
  using pintovel_render::ToolError;
  std::ios::sync_with_stdio(true);
  try {
    return pintovel_render::Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const ToolError& error) {
    std::cerr << "pintovel-render: error: " << error.what() << "\n";
    return static_cast<int>(error.code());
  } catch (const std::bad_alloc&) {
    std::cerr << "pintovel-render: error: out of memory\n";
    return static_cast<int>(pintovel_render::ExitCode::kLibraryFailure);
  }
}
