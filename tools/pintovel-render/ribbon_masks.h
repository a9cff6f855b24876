// Coverage masks through the library's ribbon export: the tool is the host, with its own
// canvas (which assembles the bands into whole masks), allocator and progress objects.
#ifndef PINTOVEL_RENDER_RIBBON_MASKS_H
#define PINTOVEL_RENDER_RIBBON_MASKS_H

#include <cstddef>
#include <vector>

#include "png_writer.h"
#include "progress_display.h"
#include "scene.h"

namespace pintovel_render {

// Ribbon shape ids are 16-bit: shapes 0 .. 32766.
constexpr std::size_t kMaxRibbonShapes = 32767;

// Whole masks held at once; more ids are exported in several passes.
constexpr std::size_t kMaskMemoryBudget = 512u * 1024u * 1024u;

// Throws ToolError(kTooManyShapes) when `count` shapes cannot be named by ribbon ids.
void CheckRibbonShapeCount(std::size_t count);

// The greyscale mask of each id in `ids` (ascending, each below the shape count), in that
// order: byte 255 - round(255 x weight), 0 where the shape covers a pixel fully, 255 where
// it does not show. `progress` may be null. Throws ToolError: kTooManyShapes above
// kMaxRibbonShapes shapes, kLibraryFailure when the export reports false or breaks its
// protocol with the host objects.
std::vector<PngImage> ExportMasks(const Scene& scene, const std::vector<int>& ids,
                                  ProgressDisplay* progress);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_RIBBON_MASKS_H
