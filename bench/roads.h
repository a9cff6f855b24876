// The roads a scene can be drawn by: the library's exports, its kernel alone, and the peers.
// A prepared road owns what a host keeps between draws (images, surfaces, converted outlines);
// RunOnce is exactly the work of one timed unit: the whole scene once (every glyph, or every
// shape of the list).
#ifndef PINTOVEL_BENCH_ROADS_H
#define PINTOVEL_BENCH_ROADS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scenes.h"

namespace pintovel::bench {

enum class Road {
  kAllShapeDraw,
  kQuickly,
  kKernel,
  kFreeType,
  kKernelSpans,
  kFreeTypeSpans,
  kCairoAa,
  kCairoNoAa,
  kExportRibbon,
};

const std::vector<Road>& AllRoads();
const char* RoadName(Road road);
bool ParseRoad(const std::string& name, Road& road);

// Whether this build has the road's engine (the peers are optional).
bool RoadIsBuilt(Road road);
// Whether the road draws scenes of this kind at all.
bool RoadAppliesTo(Road road, SceneKind kind);

class PreparedRoad {
 public:
  virtual ~PreparedRoad() = default;
  // Draws the whole scene once. False when the engine refused or failed; a benchmark of a
  // failing road measures nothing and must say so.
  virtual bool RunOnce() = 0;
  // Something read from the output after a run, so that no work can be optimised away.
  virtual uint64_t Digest() const = 0;

  // For the self-check only, never timed: draws unit `index` alone (one glyph, or one shape of
  // the list) onto cleared pixels; then CheckCoverage gives the coverage in [0, 1] it left at
  // pixel (x, y) of that unit's box. False when the road cannot be checked this way.
  virtual bool DrawUnitForCheck(size_t index) {
    (void)index;
    return false;
  }
  virtual double CheckCoverage(int32_t x, int32_t y) const {
    (void)x;
    (void)y;
    return 0.0;
  }
};

// Null when the road is not built or does not apply. The scene must outlive the result.
std::unique_ptr<PreparedRoad> PrepareRoad(const Scene& scene, Road road);

// The peers' factories (peer_freetype.cpp, peer_cairo.cpp, or their absent stand-ins).
bool FreeTypeIsBuilt();
bool CairoIsBuilt();
std::unique_ptr<PreparedRoad> PrepareFreeType(const Scene& scene);
std::unique_ptr<PreparedRoad> PrepareFreeTypeSpans(const Scene& scene);
std::unique_ptr<PreparedRoad> PrepareCairo(const Scene& scene, bool antialias);

// Fills a buffer with a non-zero pattern so that its pages are really resident.
void TouchBytes(void* bytes, size_t size);

}  // namespace pintovel::bench

#endif  // PINTOVEL_BENCH_ROADS_H
