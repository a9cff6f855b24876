// Splitting a pixel-space polygon at a horizontal or vertical grid line (the Sutherland-Hodgman
// clip against both half-planes in one pass), and the chain of four splits that confines a
// polygon to a rectangle of whole pixels.
//
// A Bounds record goes with every polygon that is split and contains all its vertices; it need
// not be tight. The record is what lets a split skip the per-vertex pass when the line misses
// the polygon.
#ifndef PINTOVEL_CLIP_POLYGON_SPLIT_H
#define PINTOVEL_CLIP_POLYGON_SPLIT_H

#include <pintovel/pintovel.h>

namespace pintovel {

// A vertex whose tested coordinate differs from the line by less than this lies on the line.
constexpr double kOnLineTolerance = 1e-9;

// Cuts `polygon` (contained in `bounds`) at y = level. On return `polygon` holds the part with
// y <= level and `high` the part with y >= level; `bounds` and `highBounds` describe them.
// When the line lies at or below bounds.maxY nothing changes and highBounds is not written.
void SplitPolygonAtY(Bounds& bounds, Polygon& polygon, Polygon& high, Bounds& highBounds,
                     int32_t level);

// The same for the vertical line x = level.
void SplitPolygonAtX(Bounds& bounds, Polygon& polygon, Polygon& high, Bounds& highBounds,
                     int32_t level);

// The chain y = top (keep high), x = left (keep high), y = bottom (keep low), x = right (keep
// low). `polygon` is consumed as scratch; `result` (which may be `polygon` itself) receives the
// clipped polygon and `bounds` its record. `scratch` and `scratchBounds` are working space.
void ClipPolygonToCells(Polygon& polygon, Bounds& bounds, int32_t left, int32_t top, int32_t right,
                        int32_t bottom, Polygon& result, Polygon& scratch, Bounds& scratchBounds);

// ClipPolygonToCells with the image rectangle [0, width] x [0, height].
void ClipPolygonToImage(Polygon& polygon, Bounds& bounds, int32_t width, int32_t height,
                        Polygon& result, Polygon& scratch, Bounds& scratchBounds);

// The least and greatest x and y of the vertices (all zero for an empty polygon).
Bounds BoundingBox(const Polygon& polygon);

}  // namespace pintovel

#endif  // PINTOVEL_CLIP_POLYGON_SPLIT_H
