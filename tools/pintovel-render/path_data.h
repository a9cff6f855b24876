// The SVG path data micro-syntax (the `d` attribute) read into cubic subpaths.
//
// Every command is understood, absolute and relative: M L H V C S Q T A Z. Arguments may be
// repeated without repeating the command (after M they are line-tos), separated by commas or
// whitespace or not at all where the grammar allows ("M1.5.5" is M 1.5 0.5, "1e-3" is a
// number, arc flags may touch: "a1 1 0 00 1 1").
#ifndef PINTOVEL_RENDER_PATH_DATA_H
#define PINTOVEL_RENDER_PATH_DATA_H

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cubic_path.h"

namespace pintovel_render {

// Malformed path data: `offset` is the byte offset in the attribute value of the first
// character that could not be read.
class PathDataError : public std::runtime_error {
 public:
  PathDataError(std::size_t offset, const std::string& what)
      : std::runtime_error(what), offset_(offset) {}
  std::size_t offset() const {
    return offset_;
  }

 private:
  std::size_t offset_;
};

// What reading stopped at the first error leaves: everything before the error, and the error.
template <typename Item>
struct ReadUpToError {
  std::vector<Item> items;
  std::optional<PathDataError> error;  // nothing when the whole text was read
};

// One subpath per moveto, in order, each as a cubic path starting at its moveto point.
// Subpaths are returned as written (closed only where the data says Z); subpaths without any
// segment are left out. Throws PathDataError.
std::vector<BezierPath> ParsePathData(std::string_view data);

// As ParsePathData, but malformed data does not throw: the result holds the subpaths of every
// command completed before the error (a command whose arguments are cut short adds nothing),
// as SVG's error handling draws such a path.
ReadUpToError<BezierPath> ParsePathDataUpToError(std::string_view data);

// A list of coordinate pairs, as in the `points` attribute of polygon and polyline.
// Throws PathDataError for a malformed list or an odd count of numbers.
std::vector<Point> ParsePointList(std::string_view text);

// As ParsePointList, but an error does not throw: the result holds the whole pairs before it.
ReadUpToError<Point> ParsePointListUpToError(std::string_view text);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_PATH_DATA_H
