#include "outline.h"

#include <algorithm>
#include <cstddef>

namespace pintovel_render {

namespace {

// Samples per cubic for the containment tests; fine enough to tell nested subpaths apart,
// which is all they decide.
constexpr int kSamplesPerSegment = 16;
// Sample points of a subpath tested against another: the middle of its first segments.
constexpr std::size_t kContainmentSamples = 9;

struct Box {
  double minX, maxX, minY, maxY;
};

// The control polygon's box, which contains the curve.
Box ControlBox(const BezierPath& path) {
  Box box{path[0].x, path[0].x, path[0].y, path[0].y};
  for (const Point& p : path) {
    box.minX = std::min(box.minX, p.x);
    box.maxX = std::max(box.maxX, p.x);
    box.minY = std::min(box.minY, p.y);
    box.maxY = std::max(box.maxY, p.y);
  }
  return box;
}

bool Overlap(const Box& a, const Box& b) {
  return a.minX <= b.maxX && b.minX <= a.maxX && a.minY <= b.maxY && b.minY <= a.maxY;
}

std::vector<Point> SamplePolyline(const BezierPath& path) {
  std::vector<Point> line;
  const std::size_t segments = SegmentCount(path);
  line.reserve(segments * kSamplesPerSegment + 1);
  line.push_back(path[0]);
  for (std::size_t s = 0; s < segments; ++s) {
    for (int i = 1; i <= kSamplesPerSegment; ++i) {
      line.push_back(EvaluateSegment(path, s, static_cast<double>(i) / kSamplesPerSegment));
    }
  }
  return line;
}

// Winding number of a closed polyline around `p`: upward crossings to the right of p count
// +1, downward ones -1 (half-open rule on y, so vertices are counted once).
int PolylineWinding(const std::vector<Point>& line, Point p) {
  int winding = 0;
  const std::size_t n = line.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Point a = line[i];
    const Point b = line[(i + 1) % n];
    if (a.y <= p.y) {
      if (b.y > p.y && Cross(b - a, p - a) > 0.0) ++winding;
    } else if (b.y <= p.y && Cross(b - a, p - a) < 0.0) {
      --winding;
    }
  }
  return winding;
}

std::vector<Point> ContainmentSamples(const BezierPath& path) {
  std::vector<Point> samples;
  const std::size_t segments = SegmentCount(path);
  const std::size_t count = std::min(segments, kContainmentSamples);
  for (std::size_t s = 0; s < count; ++s) samples.push_back(EvaluateSegment(path, s, 0.5));
  return samples;
}

bool MostlyInside(const std::vector<Point>& samples, const std::vector<Point>& outerLine) {
  std::size_t inside = 0;
  for (const Point& p : samples) {
    if (PolylineWinding(outerLine, p) != 0) ++inside;
  }
  return 2 * inside > samples.size();
}

}  // namespace

int WindingNumber(const BezierPath& closedPath, Point point) {
  if (SegmentCount(closedPath) == 0) return 0;
  return PolylineWinding(SamplePolyline(closedPath), point);
}

bool LiesInside(const BezierPath& inner, const BezierPath& outer) {
  if (SegmentCount(inner) == 0 || SegmentCount(outer) == 0) return false;
  return MostlyInside(ContainmentSamples(inner), SamplePolyline(outer));
}

std::vector<BezierPath> OrientSubpaths(std::vector<BezierPath> subpaths, FillRule rule) {
  std::vector<BezierPath> paths;
  for (BezierPath& path : subpaths) {
    if (SegmentCount(path) == 0) continue;
    ClosePath(path);
    paths.push_back(std::move(path));
  }
  const std::size_t n = paths.size();
  if (n == 0) return paths;

  std::vector<Box> boxes;
  std::vector<std::vector<Point>> lines;
  std::vector<std::vector<Point>> samples;
  for (const BezierPath& path : paths) {
    boxes.push_back(ControlBox(path));
    lines.push_back(SamplePolyline(path));
    samples.push_back(ContainmentSamples(path));
  }
  // inside[i][j]: subpath i lies inside subpath j.
  std::vector<std::vector<bool>> inside(n, std::vector<bool>(n, false));
  std::vector<int> depth(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i == j || !Overlap(boxes[i], boxes[j])) continue;
      if (MostlyInside(samples[i], lines[j])) {
        inside[i][j] = true;
        ++depth[i];
      }
    }
  }

  std::vector<bool> reverse(n, false);
  if (rule == FillRule::kEvenOdd) {
    for (std::size_t i = 0; i < n; ++i) {
      const bool wantPositive = depth[i] % 2 == 0;
      reverse[i] = (SignedArea(paths[i]) > 0.0) != wantPositive;
    }
  } else {
    // island[i]: the outermost subpath that holds subpath i (itself for an outermost one).
    std::vector<std::size_t> island(n);
    for (std::size_t i = 0; i < n; ++i) {
      island[i] = i;
      for (std::size_t j = 0; j < n; ++j) {
        if (inside[i][j] && depth[j] < depth[island[i]]) island[i] = j;
      }
    }
    std::vector<double> islandArea(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) islandArea[island[i]] += SignedArea(paths[i]);
    for (std::size_t i = 0; i < n; ++i) reverse[i] = islandArea[island[i]] < 0.0;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (reverse[i]) paths[i] = ReversePath(paths[i]);
  }
  return paths;
}

BezierPath JoinSubpaths(const std::vector<BezierPath>& closedSubpaths) {
  BezierPath outline;
  for (const BezierPath& path : closedSubpaths) {
    if (SegmentCount(path) == 0) continue;
    if (outline.empty()) {
      outline.push_back(path[0]);
    } else {
      AppendLine(outline, path[0]);  // the bridge out, from the previous start point
    }
    outline.insert(outline.end(), path.begin() + 1,
                   path.begin() + static_cast<std::ptrdiff_t>(3 * SegmentCount(path) + 1));
    // The bridges must leave from the exact start point.
    if (outline.back() != path[0]) AppendLine(outline, path[0]);
  }
  // The bridges back, from the last start point to the first, in reverse order.
  for (std::size_t k = closedSubpaths.size(); k-- > 1;) {
    if (SegmentCount(closedSubpaths[k]) == 0) continue;
    for (std::size_t j = k; j-- > 0;) {
      if (SegmentCount(closedSubpaths[j]) == 0) continue;
      AppendLine(outline, closedSubpaths[j][0]);
      break;
    }
  }
  return outline;
}

BezierPath BuildOutline(std::vector<BezierPath> subpaths, FillRule rule) {
  return JoinSubpaths(OrientSubpaths(std::move(subpaths), rule));
}

}  // namespace pintovel_render
