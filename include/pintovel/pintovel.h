// Pintovel: exact-coverage drawing algorithms for hosts that work with vector artwork.
//
// This header is the whole contract between a host and the library. Every record here crosses
// the library boundary by address (or, for InOutArg, by value), so host and library must be
// built against the same C++ standard library: the containers are shared as they are.
//
// Coordinates: pixel space has x to the right and y downwards; pixel (x, y) is the cell
// [x, x + 1) x [y, y + 1). Images and per-pixel arrays are row-major with row 0 first.
// Coverage is signed: an outline that runs clockwise on screen (y down), for example
// (0,0) -> (1,0) -> (1,1) -> (0,1), counts positive; the other sense counts negative and
// draws nothing.
//
// Ownership: the host owns every container it passes, the image buffer and its callback
// objects. The library reads input containers, writes the image in place, and hands every
// other change back through an InOutArg record and the host's own `commit` hook.
//
// Results: every export returns true on success. A call whose input breaks a precondition
// (documented per export below) returns false and changes nothing: the image is untouched and
// the InOutArg target receives an unchanged copy of itself through `commit`. Allocation
// failure raises std::bad_alloc, which leaves the export.
#ifndef PINTOVEL_PINTOVEL_H
#define PINTOVEL_PINTOVEL_H

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(_WIN32)
#  if defined(PINTOVEL_BUILDING_LIBRARY)
#    define PINTOVEL_API __declspec(dllexport)
#  else
#    define PINTOVEL_API __declspec(dllimport)
#  endif
#else
#  define PINTOVEL_API __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
// Exports use cdecl (the caller removes the arguments). The InOutArg hooks are member-style
// callbacks of the record: the record's address travels in ECX, as with __thiscall.
#  define PINTOVEL_CALL __cdecl
#  if defined(__GNUC__)
#    define PINTOVEL_HOOK_CALL __attribute__((thiscall))
#  else
#    define PINTOVEL_HOOK_CALL __thiscall
#  endif
#else
#  define PINTOVEL_CALL
#  define PINTOVEL_HOOK_CALL
#endif

namespace pintovel {

// A position: document units in a BezierPath given to RegularPolygon(s), pixels elsewhere.
struct Point {
  double x;
  double y;
};

// A piecewise cubic outline P0, C1, C2, P1, C1, C2, P2, ...: n points hold (n - 1) / 3 whole
// segments; points after the last whole segment are ignored.
using BezierPath = std::vector<Point>;

// The vertices of one closed outline in pixel space; the edge from the last vertex back to the
// first is implied. Repeated vertices are allowed and add nothing.
using Polygon = std::vector<Point>;

// An axis-aligned rectangle. The field order (both x values first) matches the document
// rectangle parameters of RegularPolygon(s).
struct Bounds {
  double minX;
  double maxX;
  double minY;
  double maxY;
};

// One per shape, indexed by shape id: bit k set means the shape with id k lies in front of this
// shape, which then never paints over it.
using FrontMask = std::vector<bool>;

// 32-bit colours indexed by shape id; bytes 0..2 (memory order) line up with bytes 0..2 of an
// image pixel. Byte 3 is ignored by OnDraw and copied by AllShapeDraw_Quickly.
using ColourTable = std::vector<uint32_t>;

// One entry of a pixel's weight list: 12 bytes, `weight` directly after `id` at offset 4.
// The packed `weight` is not 8-byte aligned: read and write it through the element
// (`e.weight = w`), never through a double& or double* bound to the member.
#pragma pack(push, 4)
struct PixelWeight {
  int32_t id;     // the shape that owns this share
  double weight;  // share of the pixel that the shape's colour receives, normally in [0, 1]
};
#pragma pack(pop)
static_assert(sizeof(PixelWeight) == 12, "PixelWeight is 12 bytes");
static_assert(offsetof(PixelWeight, weight) == 4, "PixelWeight::weight is at offset 4");

// Per-pixel weight lists: `pixels[y * width + x]` is the list of column x, row y, counted from
// the first cell of the window that built the data. `pixels` is the first member, so the
// address of a PixelData is also the address of its lists (OnDraw takes that address).
// Kept by the library: each id occurs in a list at most once; a list's weights sum to at most 1
// up to rounding; entries stay in the order in which they were added.
struct PixelData {
  std::vector<std::vector<PixelWeight>> pixels;
  int32_t width;
  int32_t height;
};

// One owner id per pixel, row-major like PixelData; -1 means no owner.
struct OwnerMap {
  std::vector<int32_t> owners;
  int32_t width;
  int32_t height;
};

// The hand-back record. An export that changes an object of the host works on `working` and,
// as its last act on every return path, calls `commit` once with the address of its own
// by-value copy of this record.
//
// Host side of a call: set `target` to your object, `working` to null and `commit` to a hook
// of yours that copies `*working` into `*target` with your own allocation and then calls
// `release` with the same record address; `release` may hold anything, the library replaces
// it with its own hook that frees the working copy. Alternatively pass a `working` object of
// your own: the library then changes it in place, creates and releases nothing, and leaves
// `release` alone. Hooks are declared with PINTOVEL_HOOK_CALL. A record without a `commit`, or
// with neither `working` nor `target`, cannot be handed back: such a call returns false at once
// and calls no hook. A commit hook must call `release` before anything in it can throw: the
// library cannot tell whether a throwing hook released the copy, so it leaves it alone.
template <class T>
struct InOutArg {
#if defined(__GNUC__) && defined(_WIN32) && defined(__i386__)
  // GCC's -Wpedantic calls thiscall on a pointer to a non-member function unusual; it is
  // exactly what the hooks are.
#  pragma GCC diagnostic push
#  pragma GCC diagnostic ignored "-Wattributes"
#endif
  using Hook = void(PINTOVEL_HOOK_CALL*)(InOutArg*);
#if defined(__GNUC__) && defined(_WIN32) && defined(__i386__)
#  pragma GCC diagnostic pop
#endif
  T* target;     // the host's object; read (to copy it), never written by the library
  T* working;    // the object the callee works on; null on entry unless the host supplies one
  Hook commit;   // called exactly once when the callee is done
  Hook release;  // frees `working`; set by whoever created it
};

// ---- Ribbon export: host callback interfaces ----------------------------------------------
// The library calls exactly the operations below, as virtual member functions, synchronously
// from inside ExportRibbon on the calling thread. The interfaces have no virtual destructor so
// that their vtables hold exactly these slots, in this order.

// A band of whole image rows: left = 0, top = first row, right = image width, bottom = the row
// after the band's last row.
struct RibbonRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

class RibbonCanvas {
 public:
  virtual int32_t GetWidth() = 0;
  virtual int32_t GetHeight() = 0;
  // `mask` holds (bottom - top) rows of `right` bytes; byte 255 - round(255 * weight) per pixel
  // (0 = fully covered, 255 = not covered). Valid only during the call.
  virtual void PutMask(const uint8_t* mask, int32_t layer, const RibbonRect* rect) = 0;

 protected:
  ~RibbonCanvas() = default;
};

class RibbonAllocator {
 public:
  // Called once per export with the band size in bytes; must return a buffer of that size.
  virtual uint8_t* Allocate(int32_t size) = 0;
  // Called once with the buffer that Allocate returned, before the export returns.
  virtual void Free(uint8_t* buffer) = 0;

 protected:
  ~RibbonAllocator() = default;
};

class RibbonProgress {
 public:
  // `range` is always 100.
  virtual void SetPosition(int32_t position, int32_t range) = 0;
  // A null-terminated UTF-16 text, valid only during the call.
  virtual void SetText(const char16_t* text) = 0;

 protected:
  ~RibbonProgress() = default;
};

struct RibbonHost {
  RibbonCanvas* canvas;
  RibbonAllocator* allocator;
  RibbonProgress* progress;
};

// One shape of ExportRibbon: a 16-bit id (sign-extended wherever it is used), two unread
// bytes, its front mask, its closed outline in the image's pixel coordinates (no document
// mapping), and four unread bytes.
struct RibbonShape {
  int16_t id;
  FrontMask front;
  BezierPath outline;
  uint32_t reserved;  // not read
};

// Indexed by shape id: an entry above zero exports that id's mask and is handed back to PutMask
// as its layer value; zero or less, ids beyond the end, and negative ids export nothing.
using LayerTable = std::vector<int32_t>;

// ---- The eight exports --------------------------------------------------------------------
extern "C" {

// Flattens each Bezier outline (document coordinates, tolerance 0.1 document units), maps it
// to pixels (document minX..maxX onto 0..width, minY..maxY onto 0..height; a reversed range
// mirrors the axis) and clips it to [0, width] x [0, height]. `out` receives exactly one
// polygon per path, empty where a path has no whole segment or lies outside the image.
// False (with an empty result committed): maxX == minX or maxY == minY, a document extent or
// scale that is not finite, or a point of a whole segment that is not finite or lies beyond
// 1e100 in document or in pixel units. Every whole segment flattens to at most 1001 points.
PINTOVEL_API bool PINTOVEL_CALL RegularPolygons(const std::vector<BezierPath>* paths, double minX,
                                                double maxX, double minY, double maxY,
                                                int32_t width, int32_t height,
                                                InOutArg<std::vector<Polygon>> out);

// The same for one outline. Also false (with an empty polygon committed) when the path has no
// whole cubic segment; true, possibly with an empty polygon, when it lies outside the image.
PINTOVEL_API bool PINTOVEL_CALL RegularPolygon(const BezierPath* path, double minX, double maxX,
                                               double minY, double maxY, int32_t width,
                                               int32_t height, InOutArg<Polygon> out);

// Adds one shape to the pixel data: measures the exact signed area of `outline` in every cell
// of `window` (the part of the outline outside the window is clipped away) and folds it into
// each pixel's list as a painter's stack (shapes marked in `front` keep their shares, the shape
// takes what they leave of its coverage, shapes behind lose what it covers). List p belongs to
// cell p of the window, row-major.
// False, changing nothing: `window` not finite, beyond the int32 range, or without exactly
// data.width columns and at least data.height rows; a negative size or width * height beyond
// int32; fewer than width * height lists; a vertex that is not finite or lies beyond 1e100; a
// list the shape covers holding an id outside `front` (a negative one included).
PINTOVEL_API bool PINTOVEL_CALL UpdatePixelData(const FrontMask* front, const Polygon* outline,
                                                const Bounds* window, int32_t id,
                                                InOutArg<PixelData> data);

// UpdatePixelData for shapes 0 .. fronts.size() - 1 in order (shape i is fronts[i],
// outlines[i], ids[i]). The pixel data is not cleared or sized: its lists must be there.
// False, changing nothing: `outlines` or `ids` shorter than `fronts`, or any shape breaking a
// precondition of UpdatePixelData.
PINTOVEL_API bool PINTOVEL_CALL CreatePixelData(const std::vector<FrontMask>* fronts,
                                                const std::vector<Polygon>* outlines,
                                                const Bounds* window,
                                                const std::vector<int32_t>* ids,
                                                InOutArg<PixelData> data);

// Blends the weight lists into the 32-bit image (width * height pixels of 4 bytes, rows without
// gaps): each channel becomes sum(weight * colour) + (1 - sum(weight)) * old, rounded half up
// and wrapped to 8 bits; byte 3 becomes 0. `pixels` is the address of a PixelData's lists.
// Nothing happens for a non-positive width or height.
// False, image untouched: fewer than width * height lists, width * height beyond int32, or an id
// in the lists outside the colour table.
PINTOVEL_API bool PINTOVEL_CALL OnDraw(uint8_t* image, int32_t width, int32_t height,
                                       const std::vector<std::vector<PixelWeight>>* pixels,
                                       const ColourTable* colours);

// CreatePixelData on fresh pixel data of the whole image (window {0, width, 0, height}), then
// OnDraw. False, image untouched: a negative size, more than 2^27 pixels (134,217,728), or any
// precondition of CreatePixelData or OnDraw broken.
PINTOVEL_API bool PINTOVEL_CALL AllShapeDraw(const std::vector<FrontMask>* fronts,
                                             const std::vector<Polygon>* outlines,
                                             const std::vector<int32_t>* ids,
                                             const ColourTable* colours, int32_t width,
                                             int32_t height, uint8_t* image);

// The fast road: every pixel goes to at most one shape, the last in list order covering at
// least half of it unless its front mask marks the current owner; owned pixels receive all
// four bytes of the owner's colour, the others stay as they were.
// False, image untouched: as AllShapeDraw, plus a negative id, or an id that owns a pixel
// outside the colour table or outside the front mask of a later shape tested against it.
PINTOVEL_API bool PINTOVEL_CALL AllShapeDraw_Quickly(const std::vector<FrontMask>* fronts,
                                                     const std::vector<Polygon>* outlines,
                                                     const std::vector<int32_t>* ids,
                                                     const ColourTable* colours, int32_t width,
                                                     int32_t height, uint8_t* image);

// Measures the shapes band by band (bands of whole rows, at most 1,000,000 pixels each) and
// hands one inverted 8-bit mask per enabled id and band to host->canvas, with progress texts
// "撇丝生成..." and "撇丝生成...NN.N%" and positions out of 100 to host->progress. The mask
// buffer comes from host->allocator once and goes back to it before the call returns (also
// when an exception leaves the call).
// False right after GetWidth/GetHeight, with no further host call: a negative size, a width of
// 0 with a height above 0, a width above 2^20 (1,048,576), width * height beyond int32, or an
// outline coordinate that is not finite or beyond 1e100.
// False at once, with nothing written or freed, when Allocate returns null. False after Free,
// with the masks of earlier bands delivered, when a band's measurement meets an id outside a
// front mask that it is tested against.
PINTOVEL_API bool PINTOVEL_CALL ExportRibbon(RibbonHost* host,
                                             const std::vector<RibbonShape>* shapes,
                                             const LayerTable* layers);

}  // extern "C"

}  // namespace pintovel

#endif  // PINTOVEL_PINTOVEL_H
