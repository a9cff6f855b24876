// Bezier outlines in document coordinates to clipped pixel-space polygons.
#ifndef PINTOVEL_CLIP_REGULAR_POLYGON_H
#define PINTOVEL_CLIP_REGULAR_POLYGON_H

#include <pintovel/pintovel.h>

namespace pintovel {

// Document point (x, y) maps to pixel (x * sx + ox, y * sy + oy), with
// sx = width / (maxX - minX), ox = -(minX * sx), and likewise for y: the document rectangle
// lands on [0, width] x [0, height]; a reversed range mirrors its axis.
struct DocumentMapping {
  double sx;
  double ox;
  double sy;
  double oy;
};

DocumentMapping MakeDocumentMapping(double minX, double maxX, double minY, double maxY,
                                    int32_t width, int32_t height);

// A mapping with finite factors from a rectangle of non-zero, finite extent on both axes.
bool IsUsableMapping(double minX, double maxX, double minY, double maxY,
                     const DocumentMapping& mapping);

// Every point of the path's whole segments maps to accepted pixel coordinates. Flattened
// vertices lie in the convex hull of those points, so they map to accepted coordinates too.
bool MapsToAcceptedCoordinates(const BezierPath& path, const DocumentMapping& mapping);

// What the RegularPolygon(s) exports compute, on trusted arguments (finite, accepted paths and
// a usable mapping): flatten in document units, map, bound, clip to the image. `result` is
// replaced. MakePixelPolygon returns false, leaving an empty polygon, when the path has no
// whole segment; MakePixelPolygons gives one polygon per path, empty for such paths.
bool MakePixelPolygon(const BezierPath& path, const DocumentMapping& mapping, int32_t width,
                      int32_t height, Polygon& result);
void MakePixelPolygons(const std::vector<BezierPath>& paths, const DocumentMapping& mapping,
                       int32_t width, int32_t height, std::vector<Polygon>& result);

}  // namespace pintovel

#endif  // PINTOVEL_CLIP_REGULAR_POLYGON_H
