#include "clip/regular_polygon.h"

#include <cmath>

#include "clip/polygon_split.h"
#include "curves/flatten.h"
#include "support/input_limits.h"

namespace pintovel {

namespace {

// Scratch lists shared by all outlines of one call.
struct ClipScratch {
  Polygon mapped;
  Polygon chain;
  Bounds chainBounds{};
};

// Maps a flattened outline to pixels and clips it to the image into `result` (whose earlier
// contents are dropped).
void MapAndClip(const Polygon& flattened, const DocumentMapping& mapping, int32_t width,
                int32_t height, ClipScratch& scratch, Polygon& result) {
  scratch.mapped.resize(flattened.size());
  for (size_t i = 0; i < flattened.size(); ++i) {
    scratch.mapped[i] =
        Point{flattened[i].x * mapping.sx + mapping.ox, flattened[i].y * mapping.sy + mapping.oy};
  }
  Bounds bounds = BoundingBox(scratch.mapped);
  ClipPolygonToImage(scratch.mapped, bounds, width, height, result, scratch.chain,
                     scratch.chainBounds);
}

}  // namespace

DocumentMapping MakeDocumentMapping(double minX, double maxX, double minY, double maxY,
                                    int32_t width, int32_t height) {
  DocumentMapping m{};
  m.sx = width / (maxX - minX);
  m.ox = -(minX * m.sx);
  m.sy = height / (maxY - minY);
  m.oy = -(minY * m.sy);
  return m;
}

bool IsUsableMapping(double minX, double maxX, double minY, double maxY,
                     const DocumentMapping& mapping) {
  // An extent that overflows (or is not a number) would give a zero or undefined scale,
  // collapsing the document to a point.
  return std::isfinite(maxX - minX) && std::isfinite(maxY - minY) && maxX != minX && maxY != minY &&
         std::isfinite(mapping.sx) && std::isfinite(mapping.ox) && std::isfinite(mapping.sy) &&
         std::isfinite(mapping.oy);
}

bool MapsToAcceptedCoordinates(const BezierPath& path, const DocumentMapping& mapping) {
  const size_t segments = path.size() < 4 ? 0 : (path.size() - 1) / 3;
  const size_t used = segments == 0 ? 0 : 3 * segments + 1;
  for (size_t i = 0; i < used; ++i) {
    if (!IsAcceptedCoordinate(path[i].x * mapping.sx + mapping.ox) ||
        !IsAcceptedCoordinate(path[i].y * mapping.sy + mapping.oy)) {
      return false;
    }
  }
  return true;
}

bool MakePixelPolygon(const BezierPath& path, const DocumentMapping& mapping, int32_t width,
                      int32_t height, Polygon& result) {
  Polygon flattened;
  FlattenPath(path, flattened);
  if (flattened.empty()) {
    result.clear();
    return false;
  }
  ClipScratch scratch;
  MapAndClip(flattened, mapping, width, height, scratch, result);
  return true;
}

void MakePixelPolygons(const std::vector<BezierPath>& paths, const DocumentMapping& mapping,
                       int32_t width, int32_t height, std::vector<Polygon>& result) {
  std::vector<Polygon> flattened;
  FlattenPaths(paths, flattened);
  result.resize(paths.size());
  ClipScratch scratch;
  for (size_t i = 0; i < paths.size(); ++i) {
    if (flattened[i].empty()) {
      result[i].clear();
    } else {
      MapAndClip(flattened[i], mapping, width, height, scratch, result[i]);
    }
  }
}

}  // namespace pintovel
