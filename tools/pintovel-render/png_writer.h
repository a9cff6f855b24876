// PNG output (libpng), 8 bits per channel.
#ifndef PINTOVEL_RENDER_PNG_WRITER_H
#define PINTOVEL_RENDER_PNG_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include "pending_file.h"

namespace pintovel_render {

// Pixels row-major without gaps: 3 bytes (red, green, blue) or 1 byte (grey) each.
struct PngImage {
  int width = 0;
  int height = 0;
  int channels = 3;  // 3: RGB, 1: greyscale
  std::vector<uint8_t> pixels;
};

// Encodes `image` into a pending file for `path`, ready to be committed. Throws
// ToolError(kOutputFailure).
PendingFile WritePendingPng(const std::string& path, const PngImage& image);

// Encodes `image` into `file`, opened beforehand, and closes it. Throws
// ToolError(kOutputFailure).
void WritePng(PendingFile& file, const PngImage& image);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_PNG_WRITER_H
