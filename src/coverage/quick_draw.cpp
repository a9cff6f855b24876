#include "coverage/quick_draw.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include "coverage/open_rows.h"
#include "coverage/run_rows.h"
#include "coverage/shape_bands.h"
#include "coverage/shape_coverage.h"
#include "coverage/stacking_fold.h"
#include "support/failure.h"
#include "support/pixel_fill.h"

namespace pintovel {

namespace {

constexpr int32_t kNoOwner = -1;

// Pixels x0 .. x1 - 1 of a row, every one covered at least kOwnershipCoverage by the shape.
using ClaimedRun = CellRun;

// Row y's claimed runs: runs[first .. first + count) of ClaimedRows::runs.
struct ClaimedRow {
  int32_t y;
  uint32_t first;
  uint32_t count;
};

// The pixels one shape claims in some rows, in increasing row order; a row's runs are sorted,
// disjoint and never touch (touching runs are one), so a row that a shape claims whole is one
// run however many spans of different coverage the kernel reported for it.
struct ClaimedRows {
  std::vector<ClaimedRow> rows;
  // runs[0 .. runCount) are the claimed runs; the entries after them are room for the runs of
  // the row being collected.
  std::vector<ClaimedRun> runs;
  size_t runCount = 0;

  void Clear() {
    rows.clear();
    runCount = 0;
  }
  // Makes room for `count` runs after the claimed ones.
  ClaimedRun* RoomFor(size_t count) {
    const size_t needed = runCount + count;
    if (runs.size() < needed) runs.resize(std::max(needed, 2 * runs.size()));
    return runs.data() + runCount;
  }
  const ClaimedRun* RunsOf(const ClaimedRow& row) const {
    return runs.data() + row.first;
  }
};

// Keeps the claimed runs of every row the kernel reports, moved by the kernel input's whole-cell
// shift into image cells.
class ClaimCollector final : public ReachingRowSink {
 public:
  ClaimCollector(ClaimedRows& out, int32_t shiftX, int32_t shiftY)
      : out_(out), shiftX_(shiftX), shiftY_(shiftY) {}

  void Row(int32_t y, const CellRun* runs, size_t count) override {
    ClaimedRun* out = out_.RoomFor(count);
    // The shift is zero unless the window starts away from cell 0, which the image never does.
    for (size_t i = 0; i < count; ++i)
      out[i] = ClaimedRun{runs[i].x0 + shiftX_, runs[i].x1 + shiftX_};
    out_.rows.push_back(ClaimedRow{y + shiftY_, static_cast<uint32_t>(out_.runCount),
                                   static_cast<uint32_t>(count)});
    out_.runCount += count;
  }

 private:
  ClaimedRows& out_;
  int32_t shiftX_;
  int32_t shiftY_;
};

// Everything measuring reuses from one shape to the next within a call.
struct ClaimScratch {
  CoverageScratch kernel;
  Polygon clipped;
  Polygon clipScratch;
  ClaimedRows claimed;
};

// The pixels that `outline` claims in image rows firstRow .. endRow - 1, into scratch.claimed.
void MeasureClaims(const Polygon& outline, int32_t width, int32_t height, int32_t firstRow,
                   int32_t endRow, ClaimScratch& scratch) {
  scratch.claimed.Clear();
  const Bounds image{0.0, double(width), 0.0, double(height)};
  const ShapeKernelInput input = PrepareShapeKernel(image, height, outline, firstRow, endRow,
                                                    scratch.clipped, scratch.clipScratch);
  if (input.firstRow >= input.endRow) return;
  // Room for a run or two a row, as glyphs and convex shapes have, so that most shapes claim
  // without growing the store.
  const size_t rows = static_cast<size_t>(input.endRow - input.firstRow);
  scratch.claimed.rows.reserve(rows);
  scratch.claimed.RoomFor(2 * rows);
  ClaimCollector collect(scratch.claimed, input.shiftX, input.shiftY);
  MeasureRowsReaching(*input.polygon, input.cells, input.firstRow, input.endRow, kOwnershipCoverage,
                      scratch.kernel, collect);
}

// Fills the pixels a sole shape claims with its colour as the kernel reports its rows, moved by
// the kernel input's whole-cell shift into image cells.
class ClaimFiller final : public ReachingRowSink {
 public:
  ClaimFiller(uint8_t* image, int32_t width, uint32_t colour, int32_t shiftX, int32_t shiftY)
      : image_(image), width_(width), colour_(colour), shiftX_(shiftX), shiftY_(shiftY) {}

  void Row(int32_t y, const CellRun* runs, size_t count) override {
    uint8_t* pixels = image_ + 4 * static_cast<size_t>(y + shiftY_) * static_cast<size_t>(width_);
    for (size_t i = 0; i < count; ++i) {
      FillPixels(pixels + 4 * static_cast<size_t>(runs[i].x0 + shiftX_),
                 static_cast<size_t>(runs[i].x1 - runs[i].x0), colour_);
    }
  }

 private:
  uint8_t* image_;
  int32_t width_;
  uint32_t colour_;
  int32_t shiftX_;
  int32_t shiftY_;
};

// Pixels x0 .. (next run's x0) - 1 of a row, all owned by `owner` (kNoOwner for none).
struct OwnerRun {
  int32_t x0;
  int32_t owner;
};

// The owner of the run that closes every band row at x0 == width. No owner a shape can leave
// equals it (ids are never negative), so no run ever joins it.
constexpr int32_t kRowEnd = std::numeric_limits<int32_t>::min();

// A shape claiming pixels: what it leaves as owner of a claimed pixel, itself unless the
// pixel's owner lies in its front mask. A shape's claims in neighbouring rows land on the same
// few owners again and again, so the answers are kept in a small table by owner (a front-mask
// lookup takes a dozen instructions, and its first one for an owner mostly misses the cache).
class ClaimingShape {
 public:
  ClaimingShape(const BoundedFront& front, int32_t id) : front_(front), id_(id) {}

  // Requires: owner is kNoOwner or fits the front mask.
  int32_t OwnerAfterClaim(int32_t owner) {
    // Owners outside the range of the mask's set bits (in painting order, every owner) are
    // answered without the table or the mask.
    if (owner == kNoOwner || owner < front_.lowest || owner > front_.highest) return id_;
    // Cleared at the first owner met: many shapes meet none, only pixels nobody owns.
    if (!cleared_) {
      for (Answer& answer : answers_) answer.owner = kRowEnd;
      cleared_ = true;
    }
    Answer& answer = answers_[static_cast<uint32_t>(owner) % kAnswers];
    if (answer.owner != owner) {
      answer.owner = owner;
      answer.left = IsInFront(front_, owner) ? owner : id_;
    }
    return answer.left;
  }

 private:
  static constexpr size_t kAnswers = 32;
  // The owner a claim leaves on pixels of `owner`; kRowEnd marks a slot not yet used.
  struct Answer {
    int32_t owner;
    int32_t left;
  };

  const BoundedFront& front_;
  int32_t id_;
  bool cleared_ = false;
  Answer answers_[kAnswers];
};

// A band row holds its runs in increasing x0 from x0 == 0, neighbours with different owners,
// closed by the run {width, kRowEnd}; a row nobody owns is {0, kNoOwner} and the closing run.
bool RowHasNoOwner(const std::vector<OwnerRun>& runs) {
  return runs.size() == 2 && runs[0].owner == kNoOwner;
}

// Index of the run of a band row that holds pixel x. The runs under a shape's claim in one row
// are mostly those under its claim in the row above, so the answer is first looked for among
// the nine runs around `hint` (where the claim began in the row above) by counting those that
// start at or before x: independent loads and no branch on their values, where halving the
// row would chain its loads.
// Requires: 0 <= x < width.
size_t RunHolding(const std::vector<OwnerRun>& runs, int32_t x, size_t hint) {
  constexpr size_t kReach = 4;
  constexpr size_t kWindow = 2 * kReach + 1;
  if (runs.size() >= kWindow) {
    const size_t low = std::min(hint - std::min(hint, kReach), runs.size() - kWindow);
    const OwnerRun* window = runs.data() + low;
    if (window[0].x0 <= x && x < window[kWindow - 1].x0) {
      size_t before = 0;
      for (size_t j = 1; j + 1 < kWindow; ++j) before += window[j].x0 <= x ? 1 : 0;
      return low + before;
    }
  }
  return RunIndexAt(runs, x);
}

// The new runs of the stretch of a band row that a shape's claims rewrite, built left to
// right; a piece with the owner of the one before is absorbed by it.
class Pieces {
 public:
  // Makes room for `most` pieces.
  void Start(size_t most) {
    if (slots_.size() < most + 1) slots_.resize(most + 1);
    count_ = 0;
    lastOwner_ = kRowEnd;
  }
  // Writes every piece to the next slot and keeps it only when its owner differs from the
  // last, comparing with the owner held aside rather than with the slot just written.
  void Add(int32_t x0, int32_t owner) {
    slots_[count_] = OwnerRun{x0, owner};
    count_ += owner != lastOwner_ ? 1 : 0;
    lastOwner_ = owner;
  }
  const OwnerRun* begin() const {
    return slots_.data();
  }
  size_t size() const {
    return count_;
  }

 private:
  std::vector<OwnerRun> slots_;
  size_t count_ = 0;
  int32_t lastOwner_ = kRowEnd;  // no piece has this owner
};

// The owners of the whole image, row after row, as runs in one store: a run ends where the next
// run of its row starts, the last at the width; a row without runs has no owner.
class ImageOwners {
 public:
  ImageOwners(int32_t width, int32_t height)
      : width_(width), rowStarts_(static_cast<size_t>(height) + 1, 0) {}

  // Sets row y's runs (increasing x0, the first at 0; none for a row nobody owns).
  // Requires: rows set in increasing order, every row once.
  void SetRow(int32_t y, const OwnerRun* runs, size_t count) {
    if (count > 0) store_.insert(store_.end(), runs, runs + count);
    rowStarts_[static_cast<size_t>(y) + 1] = store_.size();
  }

  // Whether every owner left in the image has a colour.
  bool OwnersBelow(size_t size) const {
    return std::all_of(store_.begin(), store_.end(), [size](const OwnerRun& run) {
      return run.owner == kNoOwner || static_cast<size_t>(run.owner) < size;
    });
  }

  // Requires: every row set, OwnersBelow(colours.size()).
  void Fill(uint8_t* image, const ColourTable& colours) const {
    for (size_t y = 0; y + 1 < rowStarts_.size(); ++y) {
      uint8_t* row = image + 4 * y * static_cast<size_t>(width_);
      const size_t end = rowStarts_[y + 1];
      for (size_t k = rowStarts_[y]; k < end; ++k) {
        if (store_[k].owner == kNoOwner) continue;
        const int32_t runEnd = k + 1 < end ? store_[k + 1].x0 : width_;
        FillPixels(row + 4 * static_cast<size_t>(store_[k].x0),
                   static_cast<size_t>(runEnd - store_[k].x0),
                   colours[static_cast<size_t>(store_[k].owner)]);
      }
    }
  }

 private:
  int32_t width_;
  std::vector<OwnerRun> store_;
  std::vector<size_t> rowStarts_;  // row y's runs are store_[rowStarts_[y] .. rowStarts_[y + 1])
};

// The owners of the image, claimed band by band in list order: the rows of the band being
// claimed as one vector of runs per row (reused from band to band), set in the image's owners
// once the band is done.
class OwnerRows {
 public:
  OwnerRows(int32_t width, int32_t height, int32_t bandRows)
      : width_(width), band_(static_cast<size_t>(std::min(bandRows, height))) {}

  void StartBand(int32_t top) {
    top_ = top;
    highestOwner_ = kNoOwner;
    for (std::vector<OwnerRun>& row : band_) {
      row.resize(2);
      row[0] = OwnerRun{0, kNoOwner};
      row[1] = OwnerRun{width_, kRowEnd};
    }
  }

  // Whether every owner of a pixel the shape claims can be tested against its mask.
  bool OwnersFitMask(const ClaimedRows& shape, const FrontMask& front) const {
    for (const ClaimedRow& row : shape.rows) {
      const std::vector<OwnerRun>& runs = BandRow(row.y);
      const ClaimedRun* claims = shape.RunsOf(row);
      size_t k = 0;
      for (uint32_t i = 0; i < row.count; ++i) {
        while (runs[k + 1].x0 <= claims[i].x0) ++k;
        // Every run that reaches into the claim; the closing run starts at the width.
        for (; runs[k].x0 < claims[i].x1; ++k) {
          if (runs[k].owner != kNoOwner && !IdFitsMask(front, runs[k].owner)) return false;
        }
        --k;  // the last run may reach into the next claim too
      }
    }
    return true;
  }

  // Requires: OwnersFitMask(shape, front).
  void Claim(const ClaimedRows& shape, const BoundedFront& front, int32_t id) {
    if (shape.rows.empty()) return;
    // Every owner in the band is at most highestOwner_: when the mask's set bits all lie above
    // it (in painting order, always), the shape takes every pixel it claims.
    const bool takesAll = highestOwner_ < front.lowest;
    highestOwner_ = std::max(highestOwner_, id);
    // Made at the first row where the shape meets owners, which most small shapes never do.
    std::optional<ClaimingShape> claimer;
    size_t hint = 0;
    for (const ClaimedRow& row : shape.rows) {
      std::vector<OwnerRun>& runs = BandRow(row.y);
      const ClaimedRun* claims = shape.RunsOf(row);
      if (RowHasNoOwner(runs)) {
        ClaimFreshRow(runs, claims, row.count, id);
      } else if (takesAll && row.count == 1) {
        hint = TakeRun(runs, claims[0].x0, claims[0].x1, id, hint);
      } else {
        if (!claimer) claimer.emplace(front, id);
        hint = ClaimRow(runs, claims, row.count, *claimer, hint);
      }
    }
  }

  // Sets the band's rows top_ .. bottom - 1, without their closing runs, in the image's owners;
  // a row that nobody owns has no runs there.
  void FinishBand(int32_t bottom, ImageOwners& owners) const {
    for (int32_t y = top_; y < bottom; ++y) {
      const std::vector<OwnerRun>& runs = BandRow(y);
      owners.SetRow(y, runs.data(), RowHasNoOwner(runs) ? 0 : runs.size() - 1);
    }
  }

 private:
  std::vector<OwnerRun>& BandRow(int32_t y) {
    return band_[static_cast<size_t>(y - top_)];
  }
  const std::vector<OwnerRun>& BandRow(int32_t y) const {
    return band_[static_cast<size_t>(y - top_)];
  }

  // A row without owners takes the claims as they are (claims never touch, so a gap with no
  // owner lies between any two).
  void ClaimFreshRow(std::vector<OwnerRun>& runs, const ClaimedRun* claims, size_t count,
                     int32_t id) const {
    runs.resize(2 * count + 2);  // the most it can take: a gap before each claim and one after
    size_t n = 0;
    if (claims[0].x0 > 0) runs[n++] = OwnerRun{0, kNoOwner};
    for (size_t i = 0; i < count; ++i) {
      runs[n++] = OwnerRun{claims[i].x0, id};
      if (claims[i].x1 < width_) runs[n++] = OwnerRun{claims[i].x1, kNoOwner};
    }
    runs[n++] = OwnerRun{width_, kRowEnd};
    runs.resize(n);
  }

  // Gives pixels x0 .. x1 - 1 of a band row to `id`, whatever their owners: the runs from the
  // one holding x0 (found from `hint`) to the one holding x1 - 1 become at most three, the part
  // of the first before x0, the claim, and the part of the last from x1, each left out where it
  // would join the run before it. Returns the run holding x0, the hint for the next row.
  // Requires: 0 <= x0 < x1 <= width.
  size_t TakeRun(std::vector<OwnerRun>& runs, int32_t x0, int32_t x1, int32_t id, size_t hint) {
    const size_t first = RunHolding(runs, x0, hint);
    size_t last = first;  // the run holding pixel x1 - 1; the closing run starts at the width
    while (runs[last + 1].x0 < x1) ++last;
    OwnerRun pieces[3];
    size_t count = 0;
    // The owner of pixel x0 - 1 once the claim is made (kRowEnd when x0 == 0).
    int32_t before = first > 0 ? runs[first - 1].owner : kRowEnd;
    if (runs[first].x0 < x0) {
      pieces[count++] = runs[first];
      before = runs[first].owner;
    }
    if (before != id) pieces[count++] = OwnerRun{x0, id};
    size_t end = last + 1;
    if (runs[last + 1].x0 > x1) {
      if (runs[last].owner != id) pieces[count++] = OwnerRun{x1, runs[last].owner};
    } else if (runs[last + 1].owner == id) {
      ++end;  // the run from x1 joins the claim
    }
    ReplaceRuns(runs, first, end, pieces, count);
    return first;
  }

  // Rewrites a band row under a shape's claims of it in one pass from the run holding the
  // first claimed pixel (found from `hint`) to the one holding the last: the owners under a
  // claim become what the shape leaves, those in the gaps between claims stay. Returns the
  // run where the claims began, the hint for the next row.
  size_t ClaimRow(std::vector<OwnerRun>& runs, const ClaimedRun* claims, size_t count,
                  ClaimingShape& claimer, size_t hint) {
    const size_t first = RunHolding(runs, claims[0].x0, hint);
    // Every run of the stretch gives at most one piece per claim or gap it meets.
    pieces_.Start(runs.size() + 2 * count);
    if (runs[first].x0 < claims[0].x0) pieces_.Add(runs[first].x0, runs[first].owner);
    size_t k = first;  // the run holding the pixel where the next claim or gap starts
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) k = PieceRuns(runs, k, claims[i - 1].x1, claims[i].x0, KeptOwner);
      k = PieceRuns(runs, k, claims[i].x0, claims[i].x1,
                    [&claimer](int32_t owner) { return claimer.OwnerAfterClaim(owner); });
    }
    const int32_t end = claims[count - 1].x1;
    // Run k holds pixel `end` (or is the closing run when end == width); when it began before
    // `end` its remainder stays with its owner.
    size_t last = k;
    if (runs[k].x0 < end) {
      pieces_.Add(end, runs[k].owner);
    } else {
      --last;
    }
    JoinAndReplace(runs, first, last + 1);
    return first;
  }

  // Adds the pieces of pixels x .. xEnd - 1, run k holding pixel x, with the owners that
  // ownerOf gives for the runs' owners. Returns the run holding pixel xEnd.
  template <class OwnerOf>
  size_t PieceRuns(const std::vector<OwnerRun>& runs, size_t k, int32_t x, int32_t xEnd,
                   OwnerOf ownerOf) {
    pieces_.Add(x, ownerOf(runs[k].owner));
    while (runs[k + 1].x0 < xEnd) {
      ++k;
      pieces_.Add(runs[k].x0, ownerOf(runs[k].owner));
    }
    return runs[k + 1].x0 == xEnd ? k + 1 : k;
  }
  static int32_t KeptOwner(int32_t owner) {
    return owner;
  }

  // Puts the pieces in place of runs[begin .. end), joining them with the runs beside the
  // stretch where the owners agree.
  void JoinAndReplace(std::vector<OwnerRun>& runs, size_t begin, size_t end) {
    const OwnerRun* from = pieces_.begin();
    size_t count = pieces_.size();
    // Only a piece that starts the stretch's first run can have the owner of the run before.
    if (begin > 0 && runs[begin - 1].owner == from->owner) {
      ++from;
      --count;
    }
    const int32_t lastOwner = count > 0 ? from[count - 1].owner : runs[begin - 1].owner;
    if (runs[end].owner == lastOwner) ++end;
    ReplaceRuns(runs, begin, end, from, count);
  }

  int32_t width_;
  int32_t top_ = 0;
  // The highest id that has claimed in the band: every owner in its rows is at most this.
  int32_t highestOwner_ = kNoOwner;
  std::vector<std::vector<OwnerRun>> band_;
  Pieces pieces_;  // the stretch of a row being rewritten
};

// Pixels x0 .. x1 - 1 of a row, given to `owner` for good.
struct OwnedStretch {
  int32_t x0;
  int32_t x1;
  int32_t owner;
};

// The owners of the image in a painting-order call, claimed band by band from the front of the
// stack to the back: every claim takes the pixel, so a pixel belongs to the first shape that
// claims it in this order, and a shape only takes the pixels still open (OpenRows). A shape
// whose box holds no open pixel is not measured.
class FrontOwners {
 public:
  FrontOwners(int32_t width, int32_t height, int32_t bandRows)
      : width_(width), band_(static_cast<size_t>(std::min(bandRows, height))) {}

  void StartBand(int32_t top, int32_t bottom) {
    top_ = top;
    open_.Reset(top, bottom - top, width_);
    for (std::vector<OwnedStretch>& row : band_) row.clear();
  }

  // The rows of the band, within the box's rows, that hold open pixels in the box's columns:
  // the only rows the shape can still take pixels in.
  RowSpan RowsToMeasure(const PixelBox& box, int32_t bottom) const {
    return open_.OpenRowsIn(std::max(box.y0, top_), std::min(box.y1, bottom), box.x0, box.x1);
  }

  void Claim(const ClaimedRows& shape, int32_t id) {
    for (const ClaimedRow& row : shape.rows) {
      std::vector<OwnedStretch>& owned = band_[static_cast<size_t>(row.y - top_)];
      const ClaimedRun* claims = shape.RunsOf(row);
      size_t cursor = 0;
      for (uint32_t i = 0; i < row.count; ++i) {
        open_.Take(row.y, claims[i].x0, claims[i].x1, cursor, [&](int32_t x0, int32_t x1) {
          owned.push_back(OwnedStretch{x0, x1, id});
        });
      }
    }
  }

  // Sets the band's rows top_ .. bottom - 1 in the image's owners: each row's owned stretches in
  // x order, the gaps between them without an owner, neighbours of one owner joined.
  void FinishBand(int32_t bottom, ImageOwners& owners) {
    for (int32_t y = top_; y < bottom; ++y) {
      std::vector<OwnedStretch>& owned = band_[static_cast<size_t>(y - top_)];
      std::sort(owned.begin(), owned.end(),
                [](const OwnedStretch& a, const OwnedStretch& b) { return a.x0 < b.x0; });
      runs_.clear();
      int32_t end = 0;  // where the last stretch placed ends
      for (const OwnedStretch& stretch : owned) {
        if (stretch.x0 > end) {
          runs_.push_back(OwnerRun{end, kNoOwner});
        } else if (!runs_.empty() && runs_.back().owner == stretch.owner) {
          end = stretch.x1;
          continue;
        }
        runs_.push_back(OwnerRun{stretch.x0, stretch.owner});
        end = stretch.x1;
      }
      if (!runs_.empty() && end < width_) runs_.push_back(OwnerRun{end, kNoOwner});
      owners.SetRow(y, runs_.data(), runs_.size());
    }
  }

 private:
  int32_t width_;
  int32_t top_ = 0;
  OpenRows open_;
  std::vector<std::vector<OwnedStretch>> band_;  // per band row, what the shapes took
  std::vector<OwnerRun> runs_;                   // the row being set
};

// Rows per band: about 256K pixels, at least 8 rows. The band's rows of runs are small beside its
// pixels and stay in cache even so, while every band a shape reaches costs the kernel its setup
// again (on 10,000 shapes of 8-256 px over 2048x2048, bands of 16K pixels took 1.4 times as long).
int32_t QuickBandRows(int32_t width, int32_t height) {
  return std::clamp((int32_t{1} << 18) / width, 8, std::max(height, 8));
}

// The index of the only shape with vertices, or fronts.size() when there are none or several.
size_t SoleShape(const std::vector<FrontMask>& fronts, const std::vector<Polygon>& outlines) {
  size_t sole = fronts.size();
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (outlines[i].empty()) continue;
    if (sole != fronts.size()) return fronts.size();
    sole = i;
  }
  return sole;
}

// A single shape takes every pixel it claims from nobody, so its claims are the owners. When its
// id indexes the colour table the pixels are filled as the kernel reports them (the kernel
// allocates nothing once it reports rows, so a failure leaves the image untouched); otherwise
// the call fails exactly when the shape claims a pixel.
bool DrawSoleShape(const Polygon& outline, int32_t id, const ColourTable& colours, int32_t width,
                   int32_t height, uint8_t* image) {
  ClaimScratch scratch;
  if (static_cast<size_t>(id) >= colours.size()) {
    MeasureClaims(outline, width, height, 0, height, scratch);
    if (!scratch.claimed.rows.empty()) return RejectInput();
    return true;
  }
  const Bounds window{0.0, double(width), 0.0, double(height)};
  const ShapeKernelInput input =
      PrepareShapeKernel(window, height, outline, 0, height, scratch.clipped, scratch.clipScratch);
  if (input.firstRow >= input.endRow) return true;
  ClaimFiller fill(image, width, colours[static_cast<size_t>(id)], input.shiftX, input.shiftY);
  MeasureRowsReaching(*input.polygon, input.cells, input.firstRow, input.endRow, kOwnershipCoverage,
                      scratch.kernel, fill);
  return true;
}

// Every shape claims in list order, band by band; false as soon as one claims a pixel whose
// owner does not fit its mask (tested only with `checkEachShape`).
bool ClaimInListOrder(const std::vector<FrontMask>& fronts,
                      const std::vector<BoundedFront>& bounded,
                      const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                      bool checkEachShape, int32_t width, int32_t height, ImageOwners& owners) {
  const int32_t bandRows = QuickBandRows(width, height);
  const ShapeBands bands(outlines, fronts.size(), height, bandRows);
  OwnerRows band(width, height, bandRows);
  ClaimScratch scratch;
  for (size_t b = 0; b < bands.bandCount(); ++b) {
    band.StartBand(bands.TopOf(b));
    for (const uint32_t* i = bands.ShapesBegin(b); i != bands.ShapesEnd(b); ++i) {
      MeasureClaims(outlines[*i], width, height, bands.TopOf(b), bands.BottomOf(b), scratch);
      if (checkEachShape && !band.OwnersFitMask(scratch.claimed, fronts[*i])) return false;
      band.Claim(scratch.claimed, bounded[*i], ids[*i]);
    }
    band.FinishBand(bands.BottomOf(b), owners);
  }
  return true;
}

// Every shape of a painting-order call whose ids fit every mask claims, band by band, from the
// last in the list to the first (FrontOwners): the owners are those of claiming in list order,
// where each claim takes the pixel.
void ClaimFrontToBack(const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                      int32_t width, int32_t height, ImageOwners& owners) {
  const int32_t bandRows = QuickBandRows(width, height);
  std::vector<PixelBox> boxes(outlines.size());
  std::vector<RowSpan> reached(outlines.size());
  for (size_t i = 0; i < outlines.size(); ++i) {
    boxes[i] = BoxOfOutline(outlines[i], width, height);
    reached[i] = RowSpan{boxes[i].y0, boxes[i].y1};
  }
  const ShapeBands bands(reached, RowSpan{0, height}, bandRows);
  FrontOwners band(width, height, bandRows);
  ClaimScratch scratch;
  for (size_t b = 0; b < bands.bandCount(); ++b) {
    const int32_t bottom = bands.BottomOf(b);
    band.StartBand(bands.TopOf(b), bottom);
    for (const uint32_t* i = bands.ShapesEnd(b); i != bands.ShapesBegin(b);) {
      const uint32_t shape = *--i;
      const RowSpan rows = band.RowsToMeasure(boxes[shape], bottom);
      if (rows.firstRow >= rows.endRow) continue;
      MeasureClaims(outlines[shape], width, height, rows.firstRow, rows.endRow, scratch);
      band.Claim(scratch.claimed, ids[shape]);
    }
    band.FinishBand(bottom, owners);
  }
}

}  // namespace

bool RunAllShapeDrawQuickly(const std::vector<FrontMask>& fronts,
                            const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                            const ColourTable& colours, int32_t width, int32_t height,
                            uint8_t* image) {
  if (width <= 0 || height <= 0) return true;
  const size_t sole = SoleShape(fronts, outlines);
  if (sole < fronts.size()) {
    return DrawSoleShape(outlines[sole], ids[sole], colours, width, height, image);
  }
  const bool checkEachShape = !IdsFitEveryMask(fronts, outlines, ids);
  std::vector<BoundedFront> bounded(fronts.size());
  for (size_t i = 0; i < fronts.size(); ++i) bounded[i] = BoundFront(fronts[i]);
  ImageOwners owners(width, height);
  if (!checkEachShape && InPaintingOrder(bounded, outlines, ids)) {
    ClaimFrontToBack(outlines, ids, width, height, owners);
  } else if (!ClaimInListOrder(fronts, bounded, outlines, ids, checkEachShape, width, height,
                               owners)) {
    return RejectInput();
  }
  if (!owners.OwnersBelow(colours.size())) return RejectInput();
  owners.Fill(image, colours);
  return true;
}

}  // namespace pintovel
