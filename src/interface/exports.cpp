// The eight exports. Each checks its whole input here, once, before anything changes, and then
// calls the subsystem entry that does the work on trusted data. A rejected call returns false
// through RejectInput and changes nothing: the image stays untouched and an InOutArg target
// receives an unchanged copy of itself (or, for the outline exports, an empty result) through
// its commit.
#include <pintovel/pintovel.h>

#include <algorithm>

#include "clip/regular_polygon.h"
#include "coverage/pixel_data.h"
#include "coverage/quick_draw.h"
#include "curves/flatten.h"
#include "interface/working_copy.h"
#include "render/all_shape_draw.h"
#include "render/compositing.h"
#include "ribbon/ribbon_export.h"
#include "support/failure.h"
#include "support/input_limits.h"

namespace pintovel {

namespace {

// A record the protocol can run on: a commit hook, and an object to work on or to copy. Calls
// with any other record return false at once and call nothing.
template <class T>
bool IsUsableArg(const InOutArg<T>& arg) {
  return arg.commit != nullptr && (arg.working != nullptr || arg.target != nullptr);
}

// A rejected call that still hands the object back: unchanged, or emptied.
template <class T>
bool CommitUnchanged(InOutArg<T>& arg) {
  RunHandBack(arg, [](T&, bool) { return false; });
  return RejectInput();
}

template <class T>
bool CommitEmpty(InOutArg<T>& arg) {
  RunHandBack(arg, [](T& working, bool) {
    working.clear();
    return false;
  });
  return RejectInput();
}

// CreatePixelData's shapes, all or none: a shape that meets an id outside its mask leaves the
// working object as it was on entry. The library's own copy is restored from the untouched
// target; a working object the host supplied is changed in place only when no shape can fail,
// and otherwise through a trial copy.
bool AddAllShapesOrNone(PixelData& working, bool libraryCopy, const PixelData* target,
                        const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                        const Bounds& window, const std::vector<int32_t>& ids) {
  if (libraryCopy) {
    const bool ok = AddShapesToPixelData(working, fronts, outlines, window, ids);
    if (!ok) working = *target;
    return ok;
  }
  if (ShapesCannotMeetForeignIds(working, fronts, outlines, ids)) {
    return AddShapesToPixelData(working, fronts, outlines, window, ids);
  }
  PixelData trial = working;
  const bool ok = AddShapesToPixelData(trial, fronts, outlines, window, ids);
  if (ok) working = std::move(trial);
  return ok;
}

bool AllPolygonsAccepted(const std::vector<Polygon>& outlines, size_t count) {
  return std::all_of(outlines.begin(), outlines.begin() + static_cast<std::ptrdiff_t>(count),
                     IsAcceptedPolygon);
}

// The shape lists of a drawing call: outlines and ids at least as long as fronts, every
// vertex an accepted coordinate.
bool ShapeListsAreUsable(const std::vector<FrontMask>* fronts, const std::vector<Polygon>* outlines,
                         const std::vector<int32_t>* ids) {
  return fronts != nullptr && outlines != nullptr && ids != nullptr &&
         outlines->size() >= fronts->size() && ids->size() >= fronts->size() &&
         AllPolygonsAccepted(*outlines, fronts->size());
}

bool PixelDataCallIsUsable(const PixelData& data, const Bounds* window) {
  return window != nullptr && HasAllLists(data) &&
         WindowFitsPixelData(*window, data.width, data.height);
}

bool DrawingCallIsUsable(const std::vector<FrontMask>* fronts, const std::vector<Polygon>* outlines,
                         const std::vector<int32_t>* ids, const ColourTable* colours, int32_t width,
                         int32_t height, const uint8_t* image) {
  int64_t count = 0;
  return ShapeListsAreUsable(fronts, outlines, ids) && colours != nullptr &&
         PixelCount(width, height, count) && count <= kMaxDrawPixels &&
         (image != nullptr || count == 0);
}

// The working object of a pixel-data call: the supplied one, or the target it will copy.
const PixelData* PixelDataOf(const InOutArg<PixelData>& arg) {
  return arg.working != nullptr ? arg.working : arg.target;
}

}  // namespace

extern "C" {

PINTOVEL_API bool PINTOVEL_CALL RegularPolygons(const std::vector<BezierPath>* paths, double minX,
                                                double maxX, double minY, double maxY,
                                                int32_t width, int32_t height,
                                                InOutArg<std::vector<Polygon>> out) {
  const DocumentMapping mapping = MakeDocumentMapping(minX, maxX, minY, maxY, width, height);
  const bool usable = paths != nullptr && IsUsableMapping(minX, maxX, minY, maxY, mapping) &&
                      std::all_of(paths->begin(), paths->end(), [&](const BezierPath& path) {
                        return IsFlattenablePath(path) && MapsToAcceptedCoordinates(path, mapping);
                      });
  if (!IsUsableArg(out)) return RejectInput();
  if (!usable) return CommitEmpty(out);
  return RunHandBack(out, [&](std::vector<Polygon>& working, bool) {
    MakePixelPolygons(*paths, mapping, width, height, working);
    return true;
  });
}

PINTOVEL_API bool PINTOVEL_CALL RegularPolygon(const BezierPath* path, double minX, double maxX,
                                               double minY, double maxY, int32_t width,
                                               int32_t height, InOutArg<Polygon> out) {
  const DocumentMapping mapping = MakeDocumentMapping(minX, maxX, minY, maxY, width, height);
  const bool usable = path != nullptr && IsUsableMapping(minX, maxX, minY, maxY, mapping) &&
                      IsFlattenablePath(*path) && MapsToAcceptedCoordinates(*path, mapping);
  if (!IsUsableArg(out)) return RejectInput();
  if (!usable) return CommitEmpty(out);
  return RunHandBack(out, [&](Polygon& working, bool) {
    return MakePixelPolygon(*path, mapping, width, height, working);
  });
}

PINTOVEL_API bool PINTOVEL_CALL UpdatePixelData(const FrontMask* front, const Polygon* outline,
                                                const Bounds* window, int32_t id,
                                                InOutArg<PixelData> data) {
  if (!IsUsableArg(data)) return RejectInput();
  const bool usable = front != nullptr && outline != nullptr &&
                      PixelDataCallIsUsable(*PixelDataOf(data), window) &&
                      IsAcceptedPolygon(*outline);
  if (!usable) return CommitUnchanged(data);
  return RunHandBack(data, [&](PixelData& working, bool) {
    MeasureScratch scratch;
    return AddShapeToPixelData(working, *front, *outline, *window, id, scratch);
  });
}

PINTOVEL_API bool PINTOVEL_CALL CreatePixelData(const std::vector<FrontMask>* fronts,
                                                const std::vector<Polygon>* outlines,
                                                const Bounds* window,
                                                const std::vector<int32_t>* ids,
                                                InOutArg<PixelData> data) {
  if (!IsUsableArg(data)) return RejectInput();
  const bool usable = ShapeListsAreUsable(fronts, outlines, ids) &&
                      PixelDataCallIsUsable(*PixelDataOf(data), window);
  if (!usable) return CommitUnchanged(data);
  const PixelData* target = data.target;
  return RunHandBack(data, [&](PixelData& working, bool libraryCopy) {
    return AddAllShapesOrNone(working, libraryCopy, target, *fronts, *outlines, *window, *ids);
  });
}

PINTOVEL_API bool PINTOVEL_CALL OnDraw(uint8_t* image, int32_t width, int32_t height,
                                       const std::vector<std::vector<PixelWeight>>* pixels,
                                       const ColourTable* colours) {
  if (width <= 0 || height <= 0) return true;  // no pixel is visited
  int64_t count = 0;
  const bool usable = image != nullptr && pixels != nullptr && colours != nullptr &&
                      PixelCount(width, height, count) &&
                      pixels->size() >= static_cast<uint64_t>(count);
  if (!usable) return RejectInput();
  return RunOnDraw(image, width, height, *pixels, *colours);
}

PINTOVEL_API bool PINTOVEL_CALL AllShapeDraw(const std::vector<FrontMask>* fronts,
                                             const std::vector<Polygon>* outlines,
                                             const std::vector<int32_t>* ids,
                                             const ColourTable* colours, int32_t width,
                                             int32_t height, uint8_t* image) {
  if (!DrawingCallIsUsable(fronts, outlines, ids, colours, width, height, image)) {
    return RejectInput();
  }
  return RunAllShapeDraw(*fronts, *outlines, *ids, *colours, width, height, image);
}

PINTOVEL_API bool PINTOVEL_CALL AllShapeDraw_Quickly(const std::vector<FrontMask>* fronts,
                                                     const std::vector<Polygon>* outlines,
                                                     const std::vector<int32_t>* ids,
                                                     const ColourTable* colours, int32_t width,
                                                     int32_t height, uint8_t* image) {
  if (!DrawingCallIsUsable(fronts, outlines, ids, colours, width, height, image) ||
      std::any_of(ids->begin(), ids->begin() + static_cast<std::ptrdiff_t>(fronts->size()),
                  [](int32_t id) { return id < 0; })) {
    return RejectInput();
  }
  return RunAllShapeDrawQuickly(*fronts, *outlines, *ids, *colours, width, height, image);
}

PINTOVEL_API bool PINTOVEL_CALL ExportRibbon(RibbonHost* host,
                                             const std::vector<RibbonShape>* shapes,
                                             const LayerTable* layers) {
  if (host == nullptr || host->canvas == nullptr || host->allocator == nullptr ||
      host->progress == nullptr || shapes == nullptr || layers == nullptr) {
    return RejectInput();
  }
  return RunExportRibbon(*host, *shapes, *layers);
}

}  // extern "C"

}  // namespace pintovel
