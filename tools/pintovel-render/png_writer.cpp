#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "tool_error.h"

namespace pintovel_render {

namespace {

// libpng reports errors by longjmp; this collects its message for the exception thrown
// after the jump.
struct PngErrorState {
  char message[256] = "";
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Returns an empty string on success, else the reason. Plain C-style code between setjmp and
// the end: no objects with destructors live across the jump.
std::string EncodePng(FILE* file, const PngImage& image) {
  PngErrorState state;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  if (png == nullptr) return "out of memory";
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return "out of memory";
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return state.message[0] != '\0' ? state.message : "PNG encoding failed";
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8,
               image.channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const std::size_t stride = static_cast<std::size_t>(image.width) * image.channels;
  for (int y = 0; y < image.height; ++y) {
    png_write_row(png, image.pixels.data() + stride * static_cast<std::size_t>(y));
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return {};
}

}  // namespace

void WritePng(PendingFile& file, const PngImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * image.height *
                                 static_cast<std::size_t>(image.channels)) {
    throw std::logic_error("WritePng: the pixel buffer does not match the size");
  }
  const std::string failure = EncodePng(file.stream(), image);
  if (!failure.empty()) {
    throw ToolError(ExitCode::kOutputFailure, "cannot write '" + file.path() + "': " + failure);
  }
  file.Close();
}

PendingFile WritePendingPng(const std::string& path, const PngImage& image) {
  PendingFile file(path);
  WritePng(file, image);
  return file;
}

}  // namespace pintovel_render
