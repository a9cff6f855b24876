#include "support/reference_roads.h"

#include <cmath>
#include <cstring>

namespace pintovel::testing {

namespace {

using List = std::vector<PixelWeight>;

bool Fits(const FrontMask& front, int32_t id) {
  return id >= 0 && static_cast<size_t>(id) < front.size();
}

// Full coverage: keep the entries in front in order, the shape gets what they leave.
void CoverWhole(List& list, const FrontMask& front, int32_t id) {
  List kept;
  double inFront = 0.0;
  long own = -1;
  for (const PixelWeight& e : list) {
    if (!front[static_cast<size_t>(e.id)]) continue;
    kept.push_back(e);
    if (e.id == id) {
      own = static_cast<long>(kept.size()) - 1;
    } else {
      inFront += e.weight;
    }
  }
  list = kept;
  if (own >= 0) {
    list[static_cast<size_t>(own)].weight = 1.0 - inFront;
  } else if (inFront < 0.999999999) {
    list.push_back(PixelWeight{id, 1.0 - inFront});
  }
}

// Partial coverage: entries behind shrink by 1 - cov, the shape adds (1 - front) * cov.
void CoverPart(List& list, const FrontMask& front, int32_t id, double cov) {
  double inFront = 0.0;
  long own = -1;
  for (size_t j = 0; j < list.size(); ++j) {
    if (front[static_cast<size_t>(list[j].id)]) {
      inFront += list[j].weight;
    } else {
      list[j].weight = (1.0 - cov) * list[j].weight;
    }
    if (list[j].id == id) own = static_cast<long>(j);
  }
  if (own >= 0) {
    list[static_cast<size_t>(own)].weight =
        (1.0 - inFront) * cov + list[static_cast<size_t>(own)].weight;
  } else if (inFront < 0.999999999) {
    list.push_back(PixelWeight{id, (1.0 - inFront) * cov});
  }
}

uint8_t Wrapped(double t) {
  if (!(std::fabs(t) < 2147483648.0)) return 0;
  return static_cast<uint8_t>(static_cast<uint32_t>(static_cast<int32_t>(t)) & 0xFFu);
}

void Blend(uint8_t* pixel, const List& list, const ColourTable& colours) {
  double s[3] = {0.0, 0.0, 0.0};
  double remain = 1.0;
  for (const PixelWeight& e : list) {
    const uint32_t c = colours[static_cast<size_t>(e.id)];
    const double w = e.weight;
    for (int ch = 0; ch < 3; ++ch) s[ch] = s[ch] + w * static_cast<double>((c >> (8 * ch)) & 0xFFu);
    remain = remain - w;
  }
  for (int ch = 0; ch < 3; ++ch) pixel[ch] = Wrapped(s[ch] + remain * pixel[ch] + 0.5);
  pixel[3] = 0;
}

}  // namespace

bool ReferencePixelData(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                        const std::vector<int32_t>& ids, int32_t width, int32_t height,
                        DenseCoverage measure, std::vector<List>& lists) {
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  lists.assign(count, List{});
  if (count == 0) return true;
  const Bounds window{0.0, double(width), 0.0, double(height)};
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (outlines[i].empty()) continue;
    CoverageGrid grid;
    measure(window, outlines[i], grid);
    for (size_t p = 0; p < count; ++p) {
      if (grid.values[p] < 1e-9) continue;
      for (const PixelWeight& e : lists[p]) {
        if (!Fits(fronts[i], e.id)) return false;
      }
    }
    for (size_t p = 0; p < count; ++p) {
      const double cov = grid.values[p];
      if (cov < 1e-9) continue;
      if (cov > 0.999999999) {
        CoverWhole(lists[p], fronts[i], ids[i]);
      } else {
        CoverPart(lists[p], fronts[i], ids[i], cov);
      }
    }
  }
  return true;
}

bool ReferenceAllShapeDraw(const std::vector<FrontMask>& fronts,
                           const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                           const ColourTable& colours, int32_t width, int32_t height,
                           DenseCoverage measure, uint8_t* image) {
  std::vector<List> lists;
  if (!ReferencePixelData(fronts, outlines, ids, width, height, measure, lists)) return false;
  for (const List& list : lists) {
    for (const PixelWeight& e : list) {
      if (e.id < 0 || static_cast<size_t>(e.id) >= colours.size()) return false;
    }
  }
  for (size_t p = 0; p < lists.size(); ++p) Blend(image + 4 * p, lists[p], colours);
  return true;
}

bool ReferenceQuickDraw(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines,
                        const std::vector<int32_t>& ids, const ColourTable& colours, int32_t width,
                        int32_t height, DenseCoverage measure, uint8_t* image) {
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<int32_t> owners(count, -1);
  if (count == 0) return true;
  const Bounds window{0.0, double(width), 0.0, double(height)};
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (outlines[i].empty()) continue;
    CoverageGrid grid;
    measure(window, outlines[i], grid);
    for (size_t p = 0; p < count; ++p) {
      if (grid.values[p] >= 0.5 && owners[p] >= 0 && !Fits(fronts[i], owners[p])) return false;
    }
    for (size_t p = 0; p < count; ++p) {
      if (grid.values[p] < 0.5) continue;
      if (owners[p] < 0 || !fronts[i][static_cast<size_t>(owners[p])]) owners[p] = ids[i];
    }
  }
  for (int32_t owner : owners) {
    if (owner != -1 && (owner < 0 || static_cast<size_t>(owner) >= colours.size())) return false;
  }
  for (size_t p = 0; p < count; ++p) {
    if (owners[p] != -1) std::memcpy(image + 4 * p, &colours[static_cast<size_t>(owners[p])], 4);
  }
  return true;
}

}  // namespace pintovel::testing
