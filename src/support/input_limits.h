// The limits on what the library accepts, and the checks that the exports (and the ribbon
// export, on what its host reports) run on untrusted input before they change anything. Each
// check answers one question; the callers combine them and report a false result through
// RejectInput.
#ifndef PINTOVEL_SUPPORT_INPUT_LIMITS_H
#define PINTOVEL_SUPPORT_INPUT_LIMITS_H

#include <pintovel/pintovel.h>

#include <cstdint>

namespace pintovel {

// Largest coordinate magnitude accepted anywhere (pixel or document units). Differences and
// products of two coordinates stay far from overflow, so splitting and flattening arithmetic
// stays finite.
constexpr double kMaxCoordinate = 1e100;

// Largest image the drawing roads build their own per-pixel data for (2^27 pixels, for example
// 16384 x 8192): beyond it a call is refused instead of attempting an allocation of many
// gigabytes. Pixel data that a host allocates itself is not limited.
constexpr int64_t kMaxDrawPixels = int64_t{1} << 27;

// Widest image the ribbon export accepts: a band is at least one row, so this bounds the band
// buffers at about a million entries.
constexpr int32_t kMaxRibbonWidth = int32_t{1} << 20;

bool IsAcceptedCoordinate(double value);

// Every vertex finite and within kMaxCoordinate.
bool IsAcceptedPolygon(const Polygon& polygon);

// width * height as a pixel count when both are non-negative and the product fits in int32.
bool PixelCount(int32_t width, int32_t height, int64_t& count);

// The window's cells are representable (finite, floors and ceilings within int32) and number
// exactly `width` columns and at least `height` rows.
bool WindowFitsPixelData(const Bounds& window, int32_t width, int32_t height);

// Pixel data with a representable size and at least width * height lists.
bool HasAllLists(const PixelData& data);

}  // namespace pintovel

#endif  // PINTOVEL_SUPPORT_INPUT_LIMITS_H
