#include "coverage/weight_rows.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "coverage/run_rows.h"
#include "coverage/stacking_fold.h"

namespace pintovel {

namespace {

// The list being folded, at the end of the entry store: appending and shrinking keep it there.
class TailList {
 public:
  TailList(std::vector<PixelWeight>& entries, size_t first) : entries_(entries), first_(first) {}
  size_t size() const {
    return entries_.size() - first_;
  }
  PixelWeight& operator[](size_t j) {
    return entries_[first_ + j];
  }
  void push_back(const PixelWeight& entry) {
    entries_.push_back(entry);
  }
  void resize(size_t n) {
    entries_.resize(first_ + n);
  }

 private:
  std::vector<PixelWeight>& entries_;
  size_t first_;
};

// Below this many stored entries the store is never compacted.
constexpr size_t kMinCompactedEntries = size_t{1} << 16;

}  // namespace

void WeightRows::Reset(int32_t width, int32_t firstRow, int32_t rows) {
  width_ = width;
  firstRow_ = firstRow;
  rows_.resize(static_cast<size_t>(rows));
  for (std::vector<WeightRun>& runs : rows_) {
    runs.clear();
    runs.push_back(WeightRun{0, 0, 0});
  }
  entries_.clear();
  compactAt_ = kMinCompactedEntries;
}

bool WeightRows::SameList(const WeightRun& a, const WeightRun& b) const {
  if (a.count != b.count) return false;
  if (a.first == b.first || a.count == 0) return true;
  return std::memcmp(entries_.data() + a.first, entries_.data() + b.first,
                     a.count * sizeof(PixelWeight)) == 0;
}

bool WeightRows::ListsFitMask(const ShapeRows& shape, const FrontMask& front) const {
  for (const MeasuredRow& row : shape.rows) {
    const std::vector<WeightRun>& runs = RunsOf(row.y);
    const CoverageSpan* spans = shape.SpansOf(row);
    for (uint32_t i = 0; i < row.count; ++i) {
      if (!IsFoldedCoverage(spans[i].value)) continue;
      for (size_t k = RunIndexAt(runs, spans[i].x0); k < runs.size() && runs[k].x0 < spans[i].x1;
           ++k) {
        const PixelWeight* entries = EntriesOf(runs[k]);
        for (uint32_t j = 0; j < runs[k].count; ++j) {
          if (!IdFitsMask(front, entries[j].id)) return false;
        }
      }
    }
  }
  return true;
}

void WeightRows::Fold(const ShapeRows& shape, const FrontMask& front, int32_t id) {
  for (const MeasuredRow& row : shape.rows) {
    FoldRow(rows_[static_cast<size_t>(row.y - firstRow_)], shape.SpansOf(row), row.count, front,
            id);
  }
  CompactIfWasteful();
}

bool WeightRows::IdsBelow(size_t size) const {
  for (const std::vector<WeightRun>& runs : rows_) {
    for (const WeightRun& run : runs) {
      const PixelWeight* entries = EntriesOf(run);
      for (uint32_t j = 0; j < run.count; ++j) {
        if (entries[j].id < 0 || static_cast<size_t>(entries[j].id) >= size) return false;
      }
    }
  }
  return true;
}

// Adds the piece of a row from x0 on (up to the next piece) whose pixels held the list of
// `old` and, when `folded`, receive coverage `cov`. A piece whose list equals the previous
// piece's joins it.
void WeightRows::AppendPiece(int32_t x0, const WeightRun& old, bool folded, double cov,
                             const FrontMask& front, int32_t id) {
  WeightRun piece{x0, old.first, old.count};
  if (folded) {
    const size_t first = entries_.size();
    const size_t needed = first + old.count + 1;  // the fold appends at most one entry
    if (needed > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
    if (needed > entries_.capacity()) entries_.reserve(std::max(needed, 2 * entries_.capacity()));
    entries_.resize(first + old.count);
    std::memcpy(entries_.data() + first, entries_.data() + old.first,
                old.count * sizeof(PixelWeight));
    TailList list(entries_, first);
    FoldCoverage(list, front, id, cov);
    piece.first = static_cast<uint32_t>(first);
    piece.count = static_cast<uint32_t>(entries_.size() - first);
    if (!pieces_.empty() && SameList(pieces_.back(), piece)) {
      entries_.resize(first);
      return;
    }
  } else if (!pieces_.empty() && SameList(pieces_.back(), piece)) {
    return;
  }
  pieces_.push_back(piece);
}

void WeightRows::FoldRow(std::vector<WeightRun>& runs, const CoverageSpan* spans, size_t count,
                         const FrontMask& front, int32_t id) {
  RewriteRunsUnderSpans(
      runs, width_, spans, count, pieces_,
      [&](int32_t x0, const WeightRun& old, const CoverageSpan* span) {
        const bool folded = span != nullptr && IsFoldedCoverage(span->value);
        AppendPiece(x0, old, folded, folded ? span->value : 0.0, front, id);
      },
      [this](const WeightRun& a, const WeightRun& b) { return SameList(a, b); });
}

// Folds leave the lists they replaced behind in the store; once the store has grown to three
// times what was live at the last compaction, only the lists that runs refer to are kept.
void WeightRows::CompactIfWasteful() {
  if (entries_.size() < compactAt_) return;
  std::vector<PixelWeight> live;
  for (std::vector<WeightRun>& runs : rows_) {
    uint32_t oldFirst = 0, newFirst = 0, sharedCount = 0;
    for (WeightRun& run : runs) {
      if (run.count == 0) continue;
      // Pieces of one old run keep sharing its list.
      if (sharedCount == run.count && run.first == oldFirst) {
        run.first = newFirst;
        continue;
      }
      oldFirst = run.first;
      sharedCount = run.count;
      newFirst = static_cast<uint32_t>(live.size());
      live.insert(live.end(), entries_.begin() + run.first,
                  entries_.begin() + run.first + run.count);
      run.first = newFirst;
    }
  }
  entries_.swap(live);
  compactAt_ = std::max(kMinCompactedEntries, 3 * entries_.size());
}

}  // namespace pintovel
