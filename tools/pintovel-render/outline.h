// One closed outline per filled element.
//
// The library measures a shape's coverage as the integral of the outline's winding number
// (clockwise on screen counts +1; negative winding draws nothing). An element with several
// subpaths (separate pieces, holes) is therefore joined into one outline: each subpath is
// closed, the subpaths are visited one after another along straight bridges between their
// start points, and the bridges are walked back at the end, so every bridge is traversed
// once each way and encloses no area.
//
// Orientation decides what gets drawn, so the subpaths are oriented first:
//  - nonzero: the subpaths are grouped into islands (an outermost subpath with all the
//    subpaths inside it); an island whose total signed area is negative is reversed as a
//    whole. Relative orientations inside an island are kept: an opposite-wound hole stays a
//    hole, a same-wound inner loop stays filled, as nonzero filling does.
//  - evenodd: a subpath nested inside an even number of others runs clockwise, one inside
//    an odd number runs the other way. For subpaths that nest without crossing, that is
//    exactly the even-odd result.
#ifndef PINTOVEL_RENDER_OUTLINE_H
#define PINTOVEL_RENDER_OUTLINE_H

#include <vector>

#include "cubic_path.h"

namespace pintovel_render {

enum class FillRule { kNonZero, kEvenOdd };

// Winding number of `point` with respect to the closed path (its chord closing it),
// measured on a fine polyline of the path.
int WindingNumber(const BezierPath& closedPath, Point point);

// True when most of `inner`'s sample points lie inside `outer` (nonzero winding).
bool LiesInside(const BezierPath& inner, const BezierPath& outer);

// The subpaths closed and oriented for `rule`, in their order; those without segments are
// dropped.
std::vector<BezierPath> OrientSubpaths(std::vector<BezierPath> subpaths, FillRule rule);

// Closed subpaths joined into one closed outline by zero-area bridges, in their order.
BezierPath JoinSubpaths(const std::vector<BezierPath>& closedSubpaths);

// OrientSubpaths followed by JoinSubpaths: the outline the library draws for an element.
BezierPath BuildOutline(std::vector<BezierPath> subpaths, FillRule rule);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_OUTLINE_H
