#include "coverage/quick_draw.h"

#include <cstring>

#include "coverage/run_rows.h"
#include "coverage/shape_bands.h"
#include "coverage/shape_coverage.h"
#include "coverage/stacking_fold.h"
#include "support/failure.h"
#include "support/pixel_fill.h"

namespace pintovel {

namespace {

constexpr int32_t kNoOwner = -1;

// Pixels x0 .. (next run's x0) - 1 of a row, all owned by `owner` (kNoOwner, or any negative
// value, for none). A row without runs has no owner yet.
struct OwnerRun {
  int32_t x0;
  int32_t owner;
};

bool IsClaimed(const CoverageSpan& span) {
  return span.value >= kOwnershipCoverage;
}

class OwnerRows {
 public:
  OwnerRows(int32_t width, int32_t height) : width_(width), rows_(static_cast<size_t>(height)) {}

  // Whether every owner of a pixel the shape claims can be tested against its mask.
  bool OwnersFitMask(const ShapeRows& shape, const FrontMask& front) const {
    for (const MeasuredRow& row : shape.rows) {
      const std::vector<OwnerRun>& runs = rows_[static_cast<size_t>(row.y)];
      if (runs.empty()) continue;  // no owners yet
      const CoverageSpan* spans = shape.SpansOf(row);
      for (uint32_t i = 0; i < row.count; ++i) {
        if (!IsClaimed(spans[i])) continue;
        for (size_t k = RunIndexAt(runs, spans[i].x0); k < runs.size() && runs[k].x0 < spans[i].x1;
             ++k) {
          const int32_t owner = runs[k].owner;
          if (owner >= 0 && static_cast<size_t>(owner) >= front.size()) return false;
        }
      }
    }
    return true;
  }

  // Requires: OwnersFitMask(shape, front).
  void Claim(const ShapeRows& shape, const FrontMask& front, int32_t id) {
    for (const MeasuredRow& row : shape.rows) {
      std::vector<OwnerRun>& runs = rows_[static_cast<size_t>(row.y)];
      if (runs.empty()) runs.push_back(OwnerRun{0, kNoOwner});
      RewriteRunsUnderSpans(
          runs, width_, shape.SpansOf(row), row.count, pieces_,
          [&](int32_t x0, const OwnerRun& old, const CoverageSpan* span) {
            int32_t owner = old.owner;
            // Any negative owner counts as none; an owner in front keeps its pixels.
            if (span != nullptr && IsClaimed(*span) &&
                (owner < 0 || !front[static_cast<size_t>(owner)])) {
              owner = id;
            }
            if (pieces_.empty() || pieces_.back().owner != owner) {
              pieces_.push_back(OwnerRun{x0, owner});
            }
          },
          [](const OwnerRun& a, const OwnerRun& b) { return a.owner == b.owner; });
    }
  }

  bool OwnersBelow(size_t size) const {
    for (const std::vector<OwnerRun>& runs : rows_) {
      for (const OwnerRun& run : runs) {
        if (run.owner != kNoOwner && (run.owner < 0 || static_cast<size_t>(run.owner) >= size)) {
          return false;
        }
      }
    }
    return true;
  }

  // Requires: OwnersBelow(colours.size()).
  void Fill(uint8_t* image, const ColourTable& colours) const {
    for (size_t y = 0; y < rows_.size(); ++y) {
      const std::vector<OwnerRun>& runs = rows_[y];
      uint8_t* row = image + 4 * y * static_cast<size_t>(width_);
      for (size_t k = 0; k < runs.size(); ++k) {
        if (runs[k].owner == kNoOwner) continue;
        FillPixels(row + 4 * static_cast<size_t>(runs[k].x0),
                   static_cast<size_t>(RunEndOf(runs, k, width_) - runs[k].x0),
                   colours[static_cast<size_t>(runs[k].owner)]);
      }
    }
  }

 private:
  int32_t width_;
  std::vector<std::vector<OwnerRun>> rows_;
  std::vector<OwnerRun> pieces_;
};

}  // namespace

bool RunAllShapeDrawQuickly(const std::vector<FrontMask>& fronts,
                            const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                            const ColourTable& colours, int32_t width, int32_t height,
                            uint8_t* image) {
  if (width <= 0 || height <= 0) return true;
  OwnerRows owners(width, height);
  const bool checkEachShape = !IdsFitEveryMask(fronts, outlines, ids);
  const bool claimed = MeasureShapesByBand(
      outlines, fronts.size(), width, height, [&](size_t i, const ShapeRows& measured) {
        if (checkEachShape && !owners.OwnersFitMask(measured, fronts[i])) return false;
        owners.Claim(measured, fronts[i], ids[i]);
        return true;
      });
  if (!claimed) return RejectInput();
  if (!owners.OwnersBelow(colours.size())) return RejectInput();
  owners.Fill(image, colours);
  return true;
}

}  // namespace pintovel
