// The painter's-stack arithmetic on one pixel's weight list: how a shape covering part `cov`
// of the pixel changes the list, governed by its front mask. Every road that keeps weight lists
// (the host's PixelData and the library's own run-length rows) folds through these functions,
// so the same coverage gives the same weights, bit for bit, whatever holds the list.
//
// `List` is any sequence of PixelWeight with size(), operator[] (an element the fold may
// assign to), push_back(entry) and resize(n) for n <= size(). The fold appends at most one
// entry; a caller that must not allocate mid-fold makes room for it first.
#ifndef PINTOVEL_COVERAGE_STACKING_FOLD_H
#define PINTOVEL_COVERAGE_STACKING_FOLD_H

#include <pintovel/pintovel.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

namespace pintovel {

// Coverage below this leaves a pixel alone; above kFullCoverage a shape covers the whole pixel,
// and front shares summing to at least kFullCoverage leave the shape nothing. The kernel leaves
// rounding residues of about 1e-15 where the exact value is 0 or 1.
constexpr double kMinCoverage = 1e-9;
constexpr double kFullCoverage = 0.999999999;

// Whether coverage `cov` changes a list at all. Written so that NaN is folded (as a partial
// coverage), like any value that is not below the threshold.
inline bool IsFoldedCoverage(double cov) {
  return !(cov < kMinCoverage);
}

// Whether coverage `cov` covers the whole pixel (the fold's full branch).
inline bool IsWholeCoverage(double cov) {
  return cov > kFullCoverage;
}

inline bool IsInFront(const FrontMask& front, int32_t id) {
  return front[static_cast<size_t>(id)];
}

// A front mask with the range its set bits lie in, so that ids outside it are answered without
// reading the mask. When shapes come in painting order (every shape listed before another lies
// behind it) that is every id a fold meets; reading a host's vector<bool> bit by bit was a sixth
// of a many-shape draw (measured).
struct BoundedFront {
  const FrontMask* mask;
  int32_t lowest;   // the lowest id in front, or INT32_MAX when none is
  int32_t highest;  // the highest id in front, or -1 when none is
};

// The range of a mask's set bits, limited to int32 ids (no id beyond them can be asked for).
BoundedFront BoundFront(const FrontMask& mask);

inline bool IsInFront(const BoundedFront& front, int32_t id) {
  return id >= front.lowest && id <= front.highest && (*front.mask)[static_cast<size_t>(id)];
}

inline bool IdFitsMask(const FrontMask& front, int32_t id) {
  return id >= 0 && static_cast<size_t>(id) < front.size();
}

// Whether every shape with vertices has an id that fits the front mask of every shape with
// vertices. Then no list or owner the shapes produce can hold an id that a mask cannot answer
// for, and the per-shape checks can be skipped. Shape i has the mask maskOf(i), the id idOf(i),
// and hasVertices(i) says whether it can cover anything.
template <class MaskOf, class IdOf, class HasVertices>
bool IdsFitEveryMask(size_t count, MaskOf maskOf, IdOf idOf, HasVertices hasVertices) {
  size_t smallestMask = std::numeric_limits<size_t>::max();
  for (size_t i = 0; i < count; ++i) {
    if (hasVertices(i)) smallestMask = std::min(smallestMask, maskOf(i).size());
  }
  for (size_t i = 0; i < count; ++i) {
    const int32_t id = idOf(i);
    if (hasVertices(i) && (id < 0 || static_cast<size_t>(id) >= smallestMask)) return false;
  }
  return true;
}

// The same for the parallel shape lists of the drawing calls.
inline bool IdsFitEveryMask(const std::vector<FrontMask>& fronts,
                            const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids) {
  return IdsFitEveryMask(
      fronts.size(), [&](size_t i) -> const FrontMask& { return fronts[i]; },
      [&](size_t i) { return ids[i]; }, [&](size_t i) { return !outlines[i].empty(); });
}

// Whether the shapes with vertices come in painting order: no shape's front mask marks the id of
// a shape listed before it as in front (checked as every earlier id lying below the mask's
// lowest set bit). Then nothing a pixel holds when a shape reaches it is in front of the shape:
// a fold that covers the pixel whole leaves only the shape's own entry, and a claim always
// takes the pixel, whatever the shapes before did there.
inline bool InPaintingOrder(const std::vector<BoundedFront>& fronts,
                            const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids) {
  int32_t highest = std::numeric_limits<int32_t>::min();  // the highest id listed so far
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (outlines[i].empty()) continue;
    if (highest >= fronts[i].lowest) return false;
    highest = std::max(highest, ids[i]);
  }
  return true;
}

// The shape covers the whole pixel: entries behind it go, entries in front stay in order, and
// the shape takes what those in front leave (its own entry, if in front, stays in place and
// receives that share). Rebuilt in place; shrinking never allocates.
// Requires: every id in the list fits `front`.
template <class List, class Front>
void FoldFullCoverage(List& list, const Front& front, int32_t id) {
  double sum = 0.0;  // shares of the shapes in front, own entry excluded
  size_t own = std::numeric_limits<size_t>::max();
  size_t kept = 0;
  const size_t count = list.size();
  for (size_t j = 0; j < count; ++j) {
    const PixelWeight entry = list[j];
    if (!IsInFront(front, entry.id)) continue;
    list[kept] = entry;
    if (entry.id == id) {
      own = kept;
    } else {
      sum += entry.weight;
    }
    ++kept;
  }
  list.resize(kept);
  if (own != std::numeric_limits<size_t>::max()) {
    list[own].weight = 1.0 - sum;
  } else if (sum < kFullCoverage) {
    list.push_back(PixelWeight{id, 1.0 - sum});
  }
}

// The shape covers part `cov` of the pixel: entries behind it are scaled by 1 - cov, and the
// shape receives (1 - front shares) * cov, folded into its own entry if it has one.
// Requires: every id in the list fits `front`.
template <class List, class Front>
void FoldPartialCoverage(List& list, const Front& front, int32_t id, double cov) {
  double sum = 0.0;
  size_t own = std::numeric_limits<size_t>::max();
  const size_t count = list.size();
  for (size_t j = 0; j < count; ++j) {
    const PixelWeight entry = list[j];
    if (IsInFront(front, entry.id)) {
      sum += entry.weight;
    } else {
      list[j].weight = (1.0 - cov) * entry.weight;
    }
    if (entry.id == id) own = j;
  }
  if (own != std::numeric_limits<size_t>::max()) {
    list[own].weight = (1.0 - sum) * cov + list[own].weight;
  } else if (sum < kFullCoverage) {
    list.push_back(PixelWeight{id, (1.0 - sum) * cov});
  }
}

// One shape's coverage of one pixel, for a coverage that IsFoldedCoverage accepts. `Front` is
// a FrontMask or a BoundedFront.
template <class List, class Front>
void FoldCoverage(List& list, const Front& front, int32_t id, double cov) {
  if (IsWholeCoverage(cov)) {
    FoldFullCoverage(list, front, id);
  } else {
    FoldPartialCoverage(list, front, id, cov);
  }
}

}  // namespace pintovel

#endif  // PINTOVEL_COVERAGE_STACKING_FOLD_H
