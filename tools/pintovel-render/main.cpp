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

void MakeDirectory(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) {
      throw ToolError(ExitCode::kOutputFailure, "'" + path + "' exists and is not a directory");
    }
    return;
  }
  if (mkdir(path.c_str(), 0777) != 0) {
    throw ToolError(ExitCode::kOutputFailure,
                    "cannot create the directory '" + path + "': " + std::strerror(errno));
  }
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
PendingFile WriteShapeList(const std::string& path, const Scene& scene) {
  PendingFile file(path);
  std::fprintf(file.stream(), "# id\tcolour\telement\n");
  for (std::size_t i = 0; i < scene.shapes.size(); ++i) {
    std::fprintf(file.stream(), "%zu\t%s\t%s\n", i, HexColour(scene.shapes[i].colour).c_str(),
                 scene.shapes[i].source.c_str());
  }
  file.Close();
  return file;
}

// Content errors name the file as well as the element.
Scene BuildSceneNamingFile(const SvgDocument& document, const Options& options, Notices& notices) {
  try {
    return BuildScene(document, options.width, options.height, notices);
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
  Notices notices(options.quiet ? nullptr : &std::cerr);
  const Scene scene = BuildSceneNamingFile(document, options, notices);

  // Everything is written to temporary files first and moved into place at the end.
  std::vector<PendingFile> pending;
  if (options.ribbonDirectory) CheckRibbonShapeCount(scene.shapes.size());  // before any work
  if (options.output) {
    pending.push_back(
        WritePendingPng(*options.output, DrawScene(scene, options.background, options.quick)));
  }
  if (options.ribbonDirectory) {
    std::vector<int> ids;
    if (options.ids) {
      ids = *options.ids;
    } else {
      ids.resize(scene.shapes.size());
      std::iota(ids.begin(), ids.end(), 0);
    }
    ProgressDisplay display(std::cerr, isatty(STDERR_FILENO) != 0);
    std::vector<PngImage> masks = ExportMasks(scene, ids, options.quiet ? nullptr : &display);
    MakeDirectory(*options.ribbonDirectory);
    for (std::size_t k = 0; k < ids.size(); ++k) {
      const std::string name = "mask-" + std::to_string(ids[k]) + ".png";
      pending.push_back(WritePendingPng(JoinPath(*options.ribbonDirectory, name), masks[k]));
      masks[k].pixels = {};
    }
    pending.push_back(WriteShapeList(JoinPath(*options.ribbonDirectory, "shapes.txt"), scene));
  }
  for (PendingFile& file : pending) file.Commit();
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
