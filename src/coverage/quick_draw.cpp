#include "coverage/quick_draw.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#if defined(__SSE2__)
#  include <emmintrin.h>
#endif

#include "coverage/shape_bands.h"
#include "coverage/shape_coverage.h"
#include "coverage/stacking_fold.h"
#include "support/failure.h"
#include "support/pixel_fill.h"

namespace pintovel {

namespace {

constexpr int32_t kNoOwner = -1;

// Pixels x0 .. x1 - 1 of a row, every one covered at least kOwnershipCoverage by the shape.
struct ClaimedRun {
  int32_t x0;
  int32_t x1;
};

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

// Writes the spans that reach ownership coverage to out[0 ..), those that touch joined into one
// run, and returns how many runs that gives; out has room for `count` runs. No branch on the
// spans' values: whether a span claims flips at every edge of the shape, where a branch would be
// mispredicted once or twice a row. A span that does not claim is written past the kept runs
// and overwritten by the next; the last claimed run's ends are held aside in registers, not
// read back from the store just written.
size_t GatherClaimedRuns(const CoverageSpan* spans, size_t count, ClaimedRun* out) {
  size_t kept = 0;
  int32_t lastStart = 0;
  // One past the last claimed run; no span starts at INT64_MIN, so the first claim never joins.
  int64_t lastEnd = std::numeric_limits<int64_t>::min();
  for (size_t i = 0; i < count; ++i) {
    const int32_t x0 = spans[i].x0;
    const int32_t x1 = spans[i].x1;
    const bool claims = spans[i].value >= kOwnershipCoverage;
    const bool joins = claims && x0 == lastEnd;
    const size_t slot = kept - (joins ? 1 : 0);
    const int32_t start = joins ? lastStart : x0;
    out[slot] = ClaimedRun{start, x1};
    kept = claims ? slot + 1 : kept;
    lastStart = claims ? start : lastStart;
    lastEnd = claims ? x1 : lastEnd;
  }
  return kept;
}

// Keeps, of every row the kernel reports, the pixels that reach ownership coverage, moved by
// the kernel input's whole-cell shift into image cells.
class ClaimCollector final : public CoverageRowSink {
 public:
  ClaimCollector(ClaimedRows& out, int32_t shiftX, int32_t shiftY)
      : out_(out), shiftX_(shiftX), shiftY_(shiftY) {}

  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    ClaimedRun* out = out_.RoomFor(count);
    const size_t kept = GatherClaimedRuns(spans, count, out);
    if (kept == 0) return;
    // Zero unless the window starts away from cell 0, which the image never does.
    if (shiftX_ != 0) {
      for (size_t i = 0; i < kept; ++i) {
        out[i].x0 += shiftX_;
        out[i].x1 += shiftX_;
      }
    }
    out_.rows.push_back(
        ClaimedRow{y + shiftY_, static_cast<uint32_t>(out_.runCount), static_cast<uint32_t>(kept)});
    out_.runCount += kept;
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
  MeasureCoverageRows(*input.polygon, input.cells, input.firstRow, input.endRow, scratch.kernel,
                      collect);
}

// Pixels x0 .. (next run's x0) - 1 of a row, all owned by `owner` (kNoOwner for none).
struct OwnerRun {
  int32_t x0;
  int32_t owner;
};

// No owner a shape can leave equals it (ids are never negative).
constexpr int32_t kNotAnOwner = std::numeric_limits<int32_t>::min();

// A shape claiming pixels: what it leaves as owner of a claimed pixel, itself unless the
// pixel's owner lies in its front mask. A shape's claims land on the same few owners again and
// again, so the answers are kept in a small table by owner (a front-mask lookup takes a dozen
// instructions, and its first one for an owner mostly misses the cache).
class ClaimingShape {
 public:
  ClaimingShape(const BoundedFront& front, int32_t id) : front_(front), id_(id) {
    for (Answer& answer : answers_) answer.owner = kNotAnOwner;
  }

  // Requires: owner is kNoOwner or fits the front mask.
  int32_t OwnerAfterClaim(int32_t owner) {
    // Owners outside the range of the mask's set bits (in painting order, every owner) are
    // answered without the table or the mask.
    if (owner == kNoOwner || owner < front_.lowest || owner > front_.highest) return id_;
    Answer& answer = answers_[static_cast<uint32_t>(owner) % kAnswers];
    if (answer.owner != owner) {
      answer.owner = owner;
      answer.left = IsInFront(front_, owner) ? owner : id_;
    }
    return answer.left;
  }

 private:
  static constexpr size_t kAnswers = 32;
  // The owner a claim leaves on pixels of `owner`; kNotAnOwner marks a slot not yet used.
  struct Answer {
    int32_t owner;
    int32_t left;
  };

  const BoundedFront& front_;
  int32_t id_;
  Answer answers_[kAnswers];
};

// What one shape does to the owners of the pixels it claims, four pixels at a time where SSE2
// is there. Owners outside [lowest, highest] of its front mask (kNoOwner always is) become the
// shape's id; only groups holding an owner inside that range go pixel by pixel through the
// mask. When the caller cannot rule out owners beyond the mask, every claimed owner is first
// tested against it, and the claim fails on one beyond.
class OwnerClaim {
 public:
  OwnerClaim(const FrontMask& mask, const BoundedFront& front, int32_t id, bool checkFit)
      : front_(front),
        id_(id),
        highestFitting_(checkFit ? HighestFitting(mask) : std::numeric_limits<int32_t>::max()) {}

  // Rewrites the owners of `count` claimed pixels; false (part of them rewritten) when one
  // does not fit the mask.
  bool Claim(int32_t* owners, size_t count) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i ids = _mm_set1_epi32(id_);
    // lowest is a set bit's index (at least 0) or INT32_MAX, so lowest - 1 neither wraps nor
    // admits kNoOwner.
    const __m128i belowLowest = _mm_set1_epi32(front_.lowest - 1);
    const __m128i highest = _mm_set1_epi32(front_.highest);
    const __m128i highestFitting = _mm_set1_epi32(highestFitting_);
    for (; i + 4 <= count; i += 4) {
      __m128i* at = reinterpret_cast<__m128i*>(owners + i);
      const __m128i four = _mm_loadu_si128(at);
      if (_mm_movemask_epi8(_mm_cmpgt_epi32(four, highestFitting)) != 0) return false;
      // An owner o lies in the range when o > lowest - 1 and not o > highest.
      const __m128i inRange =
          _mm_andnot_si128(_mm_cmpgt_epi32(four, highest), _mm_cmpgt_epi32(four, belowLowest));
      if (_mm_movemask_epi8(inRange) == 0) {
        _mm_storeu_si128(at, ids);
      } else {
        for (size_t j = i; j < i + 4; ++j) owners[j] = AfterClaim(owners[j]);
      }
    }
#endif
    for (; i < count; ++i) {
      if (owners[i] > highestFitting_) return false;
      owners[i] = AfterClaim(owners[i]);
    }
    return true;
  }

 private:
  // Owners above this do not fit the mask (kNoOwner, -1, always fits).
  static int32_t HighestFitting(const FrontMask& mask) {
    const size_t ids = size_t{std::numeric_limits<int32_t>::max()} + 1;
    return static_cast<int32_t>(std::min(mask.size(), ids) - 1);
  }
  int32_t AfterClaim(int32_t owner) {
    if (owner < front_.lowest || owner > front_.highest) return id_;
    if (!claimer_) claimer_.emplace(front_, id_);
    return claimer_->OwnerAfterClaim(owner);
  }

  const BoundedFront& front_;
  int32_t id_;
  int32_t highestFitting_;
  std::optional<ClaimingShape> claimer_;  // made at the first owner inside the mask's range
};

// Pixels per segment of a band row: the unit in which the band's owners are cleared and read.
constexpr int32_t kSegmentPixels = 64;

// The owners of the band being claimed, one per pixel (kNoOwner for none), row-major from the
// band's top row. A shape rewrites them straight from the kernel's rows: the map is the road's
// own, so a shape that turns out to claim a pixel it may not take leaves nothing the caller
// sees. A row is held in segments of kSegmentPixels pixels, and only the segments some shape
// has claimed in (marked in `opened_`) hold owners; the others hold whatever was there and have
// no owner. So a few small shapes on a large image cost no pass over its pixels: a segment is
// cleared when first claimed in, and only opened segments are read. The highest id written in
// the band is kept, so that a shape whose mask's set bits all lie above it, and that fits every
// owner so far (in painting order, every shape), stores its id without reading the owners.
class BandOwners {
 public:
  BandOwners(int32_t width, int32_t bandRows)
      : width_(width),
        words_((static_cast<size_t>(width) + 64 * kSegmentPixels - 1) / (64 * kSegmentPixels)),
        owners_(new int32_t[static_cast<size_t>(width) * static_cast<size_t>(bandRows)]),
        opened_(words_ * static_cast<size_t>(bandRows), 0) {}

  int32_t width() const {
    return width_;
  }
  int32_t top() const {
    return top_;
  }
  int32_t* Row(int32_t y) {
    return owners_.get() + static_cast<size_t>(y - top_) * static_cast<size_t>(width_);
  }
  const int32_t* Row(int32_t y) const {
    return owners_.get() + static_cast<size_t>(y - top_) * static_cast<size_t>(width_);
  }
  // Bit s % 64 of word s / 64 is set when segment s of row y is opened.
  const uint64_t* OpenedOf(int32_t y) const {
    return opened_.data() + static_cast<size_t>(y - top_) * words_;
  }
  size_t words() const {
    return words_;
  }
  int32_t highestOwner() const {
    return highestOwner_;
  }
  void NoteOwner(int32_t id) {
    highestOwner_ = std::max(highestOwner_, id);
  }

  // Opens the segments of row y that hold pixels x0 .. x1 - 1, those not yet open with no
  // owner. Requires: 0 <= x0 < x1 <= width.
  void Open(int32_t y, int32_t x0, int32_t x1) {
    uint64_t* opened = opened_.data() + static_cast<size_t>(y - top_) * words_;
    int32_t* row = Row(y);
    for (int32_t segment = x0 / kSegmentPixels; segment <= (x1 - 1) / kSegmentPixels; ++segment) {
      uint64_t& word = opened[static_cast<size_t>(segment) / 64];
      const uint64_t bit = uint64_t{1} << (segment % 64);
      if ((word & bit) != 0) continue;
      word |= bit;
      const int32_t start = segment * kSegmentPixels;
      std::fill(row + start, row + std::min(start + kSegmentPixels, width_), kNoOwner);
    }
  }

  // Starts the band from `top` with no owner.
  void StartBand(int32_t top) {
    std::fill(opened_.begin(), opened_.end(), uint64_t{0});
    top_ = top;
    highestOwner_ = kNoOwner;
  }

 private:
  int32_t width_;
  size_t words_;  // words of segment bits per row
  int32_t top_ = 0;
  int32_t highestOwner_ = kNoOwner;
  std::unique_ptr<int32_t[]> owners_;  // not initialised: a segment is cleared when opened
  std::vector<uint64_t> opened_;
};

// Hands the claimed runs of every row the kernel reports to the band's owners.
class BandClaimSink final : public CoverageRowSink {
 public:
  BandClaimSink(BandOwners& band, OwnerClaim& claim, std::vector<ClaimedRun>& room, bool fill,
                int32_t id, int32_t shiftX, int32_t shiftY)
      : band_(band),
        claim_(claim),
        room_(room),
        fill_(fill),
        id_(id),
        shiftX_(shiftX),
        shiftY_(shiftY) {}

  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    if (rejected_) return;
    if (room_.size() < count) room_.resize(std::max(count, 2 * room_.size()));
    const size_t kept = GatherClaimedRuns(spans, count, room_.data());
    if (kept == 0) return;
    claimed_ = true;
    int32_t* row = band_.Row(y + shiftY_) + shiftX_;
    for (size_t i = 0; i < kept; ++i) {
      band_.Open(y + shiftY_, room_[i].x0 + shiftX_, room_[i].x1 + shiftX_);
      const size_t length = static_cast<size_t>(room_[i].x1 - room_[i].x0);
      int32_t* owners = row + room_[i].x0;
      if (fill_) {
        StorePixels(reinterpret_cast<uint8_t*>(owners), length, static_cast<uint32_t>(id_));
      } else if (!claim_.Claim(owners, length)) {
        rejected_ = true;
        return;
      }
    }
  }
  bool rejected() const {
    return rejected_;
  }
  bool claimed() const {
    return claimed_;
  }

 private:
  BandOwners& band_;
  OwnerClaim& claim_;
  std::vector<ClaimedRun>& room_;
  bool fill_;
  int32_t id_;
  int32_t shiftX_;
  int32_t shiftY_;
  bool rejected_ = false;
  bool claimed_ = false;
};

// The owners of the whole image as runs, appended band by band from the band's owners. In the
// store a run ends where the next run of its row starts, the last at the width; a row without
// runs has no owner.
class OwnerRuns {
 public:
  OwnerRuns(int32_t width, int32_t height)
      : width_(width), rowStarts_(static_cast<size_t>(height) + 1, 0) {}

  // Appends rows band.top() .. bottom - 1 of the band's owners.
  void AppendBand(const BandOwners& band, int32_t bottom) {
    for (int32_t y = band.top(); y < bottom; ++y) {
      AppendRow(band.Row(y), band.OpenedOf(y), band.words());
      rowStarts_[static_cast<size_t>(y) + 1] = store_.size();
    }
  }

  // Whether every owner left in the image has a colour.
  bool OwnersBelow(size_t size) const {
    return std::all_of(store_.begin(), store_.end(), [size](const OwnerRun& run) {
      return run.owner == kNoOwner || static_cast<size_t>(run.owner) < size;
    });
  }

  // Requires: every band appended, OwnersBelow(colours.size()).
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
  // A run starts at pixel 0 and wherever the owner differs from the pixel before. Pixels
  // outside the opened segments have no owner, so only those segments are read; a row with
  // none opened has no runs.
  void AppendRow(const int32_t* owners, const uint64_t* opened, size_t words) {
    int32_t previous = kNotAnOwner;  // the owner of pixel x - 1; none before pixel 0
    int32_t x = 0;                   // the first pixel not yet read
    for (size_t w = 0; w < words; ++w) {
      for (uint64_t bits = opened[w]; bits != 0; bits &= bits - 1) {
        const int32_t start = static_cast<int32_t>(64 * w + LowestBit(bits)) * kSegmentPixels;
        const int32_t end = std::min(start + kSegmentPixels, width_);
        if (start > x && previous != kNoOwner) {
          store_.push_back(OwnerRun{x, kNoOwner});
          previous = kNoOwner;
        }
        if (owners[start] != previous) store_.push_back(OwnerRun{start, owners[start]});
        AppendChanges(owners, start + 1, end);
        previous = owners[end - 1];
        x = end;
      }
    }
    if (x > 0 && x < width_ && previous != kNoOwner) store_.push_back(OwnerRun{x, kNoOwner});
  }
  // Appends a run at every pixel x0 .. x1 - 1 whose owner differs from the pixel before.
  void AppendChanges(const int32_t* owners, int32_t x0, int32_t x1) {
    int32_t x = x0;
#if defined(__SSE2__)
    for (; x + 4 <= x1; x += 4) {
      const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(owners + x));
      const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(owners + x - 1));
      // One bit per pixel whose owner differs from the pixel before.
      unsigned changed =
          ~static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(here, before)))) &
          0xFu;
      for (; changed != 0; changed &= changed - 1) {
        const int32_t at = x + static_cast<int32_t>(LowestBit(changed));
        store_.push_back(OwnerRun{at, owners[at]});
      }
    }
#endif
    for (; x < x1; ++x) {
      if (owners[x] != owners[x - 1]) store_.push_back(OwnerRun{x, owners[x]});
    }
  }
  // Index of the lowest set bit. Requires: bits != 0.
  static unsigned LowestBit(uint64_t bits) {
    return static_cast<unsigned>(__builtin_ctzll(bits));
  }

  int32_t width_;
  std::vector<OwnerRun> store_;
  std::vector<size_t> rowStarts_;  // row y's runs are store_[rowStarts_[y] .. rowStarts_[y + 1])
};

// Rows per band: about 256K pixels, at least one row. The band's owners stay in cache while its
// shapes pass over them, while every band a shape reaches costs the kernel its setup again (on
// 10,000 shapes of 8-256 px over 2048x2048, bands of 16K pixels took 1.4 times as long).
int32_t QuickBandRows(int32_t width, int32_t height) {
  return std::clamp((int32_t{1} << 18) / width, 1, height);
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

// A single shape takes every pixel it claims from nobody, so its claims are the owners.
bool DrawSoleShape(const Polygon& outline, int32_t id, const ColourTable& colours, int32_t width,
                   int32_t height, uint8_t* image) {
  ClaimScratch scratch;
  MeasureClaims(outline, width, height, 0, height, scratch);
  const ClaimedRows& claimed = scratch.claimed;
  if (claimed.rows.empty()) return true;
  if (static_cast<size_t>(id) >= colours.size()) return RejectInput();
  const uint32_t colour = colours[static_cast<size_t>(id)];
  for (const ClaimedRow& row : claimed.rows) {
    uint8_t* pixels = image + 4 * static_cast<size_t>(row.y) * static_cast<size_t>(width);
    const ClaimedRun* runs = claimed.RunsOf(row);
    for (uint32_t i = 0; i < row.count; ++i) {
      FillPixels(pixels + 4 * static_cast<size_t>(runs[i].x0),
                 static_cast<size_t>(runs[i].x1 - runs[i].x0), colour);
    }
  }
  return true;
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
  const int32_t bandRows = QuickBandRows(width, height);
  const ShapeBands bands(outlines, fronts.size(), height, bandRows);
  std::vector<BoundedFront> bounded(fronts.size());
  for (size_t i = 0; i < fronts.size(); ++i) bounded[i] = BoundFront(fronts[i]);
  BandOwners band(width, bandRows);
  OwnerRuns owners(width, height);
  ClaimScratch scratch;
  std::vector<ClaimedRun> room;
  const Bounds window{0.0, double(width), 0.0, double(height)};
  for (size_t b = 0; b < bands.bandCount(); ++b) {
    band.StartBand(bands.TopOf(b));
    for (const uint32_t* i = bands.ShapesBegin(b); i != bands.ShapesEnd(b); ++i) {
      const ShapeKernelInput input =
          PrepareShapeKernel(window, height, outlines[*i], bands.TopOf(b), bands.BottomOf(b),
                             scratch.clipped, scratch.clipScratch);
      if (input.firstRow >= input.endRow) continue;
      const int32_t id = ids[*i];
      // Every owner so far is at most highestOwner (or none): when that lies below the mask's
      // set bits and inside the mask, the shape takes every pixel it claims.
      const bool fill =
          band.highestOwner() < bounded[*i].lowest &&
          (!checkEachShape || static_cast<size_t>(band.highestOwner() + 1) <= fronts[*i].size());
      OwnerClaim claim(fronts[*i], bounded[*i], id, checkEachShape);
      BandClaimSink sink(band, claim, room, fill, id, input.shiftX, input.shiftY);
      MeasureCoverageRows(*input.polygon, input.cells, input.firstRow, input.endRow, scratch.kernel,
                          sink);
      if (sink.rejected()) return RejectInput();
      if (sink.claimed()) band.NoteOwner(id);
    }
    owners.AppendBand(band, bands.BottomOf(b));
  }
  if (!owners.OwnersBelow(colours.size())) return RejectInput();
  owners.Fill(image, colours);
  return true;
}

}  // namespace pintovel
