// The check that a scene and every road measure what their names say, run before any timing:
// the kernel's total coverage against the polygon's own shoelace area (positive: the outline
// runs clockwise on screen), and, pixel by pixel on sampled units, every other road's output
// against the kernel (FreeType and Cairo being independent rasterizers, a misplaced box, a
// flipped axis or a wrong conversion shows at once).
#ifndef PINTOVEL_BENCH_SCENE_CHECK_H
#define PINTOVEL_BENCH_SCENE_CHECK_H

#include <ostream>

#include "scenes.h"

namespace pintovel::bench {

// True when every check passed; failures are described on `log`.
bool CheckScene(const Scene& scene, std::ostream& log);

}  // namespace pintovel::bench

#endif  // PINTOVEL_BENCH_SCENE_CHECK_H
