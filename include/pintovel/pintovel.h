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
// (documented per export below) returns false, and as a rule changes nothing: the image is
// untouched, a host-supplied `working` object keeps its contents, and the InOutArg target
// receives an unchanged copy of itself through one call of `commit`. Two exceptions to the rule:
//   - RegularPolygons and RegularPolygon commit an empty result (an empty list, an empty
//     polygon) instead; a host-supplied `working` object is emptied.
//   - ExportRibbon delivers masks band by band: a false result found in a later band comes after
//     PutMask has been called for the earlier ones.
// A record that cannot be handed back (see InOutArg) makes any export return false at once.
//
// Exceptions: allocation failure raises std::bad_alloc, and whatever a host callback throws
// passes through; either leaves the export, and none of the eight calls `commit` on that path.
// A working copy that the library made is freed; the target and the image are untouched. A
// host-supplied `working` object may hold part of the work: UpdatePixelData leaves it with the
// shape folded in wholly or not at all, CreatePixelData with whole shapes from the front of the
// list folded in, RegularPolygon(s) partly written. ExportRibbon calls Free before the
// exception leaves it; masks of the bands before stay delivered. A `commit` hook that throws
// is covered under InOutArg.
//
// Threads: the library keeps no state between calls and starts no threads; hooks and callbacks
// run synchronously on the calling thread and may call exports on other objects. Calls that
// share no object written by either of them may run at the same time on different threads
// (inputs that nobody writes may be shared). Calls that share a target, a `working` object,
// pixel data or an image must be serialised by the host, and the host must not change an
// object while a call reads or writes it.
//
// docs/robustness.md explains the checks, limits and failure paths at length.
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

// The hand-back record. An export that changes an object of the host takes one by value and
// hands the object back in three steps:
//   1. Working object. With `working` null, the library sets `working` to a copy of `*target`
//      that it allocates and sets `release` to its own hook that frees that copy (`release` may
//      hold anything on entry). With `working` set by the host, the library uses that object
//      as it is, creates and releases nothing, and leaves `release` alone.
//   2. Work. The export changes `*working` only; it reads `*target` but never writes it.
//   3. Hand-back. As its last act on every return path (false results included, exceptions
//      not), the export calls `commit` exactly once with the address of its own by-value copy
//      of the record. The host's `commit` copies `*working` into `*target` with the host's own
//      allocation and then calls `release` with the same record address.
// A record without a `commit`, or with neither `working` nor `target`, cannot be handed back:
// the export returns false at once and calls no hook. Hooks are declared with
// PINTOVEL_HOOK_CALL. A commit hook must call `release` before anything in it can throw: the
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
  Hook commit;   // called once in step 3
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
  // `mask` holds (bottom - top) rows of `right` bytes; byte 255 - round(255 * weight) per pixel,
  // weight being the share of the layer's id in the pixel's list, 0 without an entry (0 = fully
  // covered, 255 = not covered). Valid only during the call.
  virtual void PutMask(const uint8_t* mask, int32_t layer, const RibbonRect* rect) = 0;

 protected:
  ~RibbonCanvas() = default;
};

class RibbonAllocator {
 public:
  // Called once per export with the band size in bytes (rows per band * width; 0 for an image
  // without pixels); must return a buffer of that size. A null result, also for size 0, makes
  // ExportRibbon return false.
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
// Three thresholds change the result: a cell the outline covers less than 1e-9 of is left
// alone; one covered more than 0.999999999 counts as covered fully (the entries of shapes
// behind are removed, not scaled, and the shape's share is 1 - the front shares); and the
// shape gets no new entry in a pixel whose front shares add up to at least 0.999999999.
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

// The fast road: every pixel goes to at most one shape, the last in list order whose exact
// coverage of it is at least 0.5, unless that shape's front mask marks the current owner;
// owned pixels receive all four bytes of the owner's colour, the others stay as they were.
// False, image untouched: as AllShapeDraw, plus a negative id, or an id that owns a pixel
// outside the colour table or outside the front mask of a later shape tested against it.
PINTOVEL_API bool PINTOVEL_CALL AllShapeDraw_Quickly(const std::vector<FrontMask>* fronts,
                                                     const std::vector<Polygon>* outlines,
                                                     const std::vector<int32_t>* ids,
                                                     const ColourTable* colours, int32_t width,
                                                     int32_t height, uint8_t* image);

// Flattens the outlines (pixel coordinates, tolerance 0.1 pixel), folds the shapes in list order
// into weight lists band by band as CreatePixelData does (window = the band, same thresholds) and
// hands one inverted 8-bit mask per enabled id and band to host->canvas. Bands are whole rows: one
// band when the image has at most 1,000,000 pixels, else 1,000,000 / width rows (rounded down), and
// one row when the width exceeds 1,000,000 (a band of up to 2^20 pixels); the last band holds
// the rows that are left.
// Host calls, in this order, when the call gets that far (see the false results below):
//   1. canvas->GetWidth, canvas->GetHeight;
//   2. allocator->Allocate(band size);
//   3. progress->SetText("撇丝生成..."), progress->SetPosition(0, 100);
//   4. per band, from the top: canvas->PutMask once for every enabled id in ascending id order
//      (also an id that no shape carries: its mask is all 255), then
//      progress->SetText("撇丝生成...NN.N%") and progress->SetPosition(NN, 100), where NN.N is
//      the share of rows done with one decimal and NN its whole part;
//   5. allocator->Free(buffer), also when an exception leaves the call.
// False with no host call at all: a null argument or host object. False in step 1, with no
// further host call: a negative size, a width of 0 with a height above 0, a width above 2^20
// (1,048,576), width * height beyond int32, or an outline coordinate that is not finite or
// beyond 1e100.
// False in step 2, with nothing written or freed, when Allocate returns null.
// False in step 4, after Free and with the masks of earlier bands delivered, when a band's
// measurement meets an id outside a front mask that it is tested against.
PINTOVEL_API bool PINTOVEL_CALL ExportRibbon(RibbonHost* host,
                                             const std::vector<RibbonShape>* shapes,
                                             const LayerTable* layers);

}  // extern "C"

}  // namespace pintovel

#endif  // PINTOVEL_PINTOVEL_H
