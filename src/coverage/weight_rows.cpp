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

// Below this many stored entries a row is never compacted.
constexpr size_t kMinCompactedEntries = 64;

// Whether two entries are the same bits (a weight of -0 differs from +0 here, which only
// keeps two runs apart that could have been one).
bool SameEntry(const PixelWeight& a, const PixelWeight& b) {
  const double wa = a.weight, wb = b.weight;
  uint64_t bitsA, bitsB;
  std::memcpy(&bitsA, &wa, sizeof bitsA);
  std::memcpy(&bitsB, &wb, sizeof bitsB);
  return a.id == b.id && bitsA == bitsB;
}

bool SameList(const WeightRow& row, const WeightRun& a, const WeightRun& b) {
  if (a.count != b.count) return false;
  if (a.first == b.first) return true;
  const PixelWeight* ea = row.EntriesOf(a);
  const PixelWeight* eb = row.EntriesOf(b);
  for (uint32_t j = 0; j < a.count; ++j) {
    if (!SameEntry(ea[j], eb[j])) return false;
  }
  return true;
}

// Lists of up to this many entries are folded on the stack.
constexpr uint32_t kShortList = 8;

// A short list being folded: room for kShortList entries and the one a fold may append.
class ShortList {
 public:
  size_t size() const {
    return count_;
  }
  PixelWeight& operator[](size_t j) {
    return items_[j];
  }
  void push_back(const PixelWeight& entry) {
    items_[count_++] = entry;
  }
  void resize(size_t n) {
    count_ = n;
  }
  // Requires: count <= kShortList.
  void Assign(const PixelWeight* entries, uint32_t count) {
    count_ = count;
    // A fixed trip count: compilers turn the obvious copying loop into a string move, whose
    // start-up costs more than copying lists this short (measured).
    for (uint32_t j = 0; j < kShortList; ++j) {
      if (j < count) items_[j] = entries[j];
    }
  }

 private:
  PixelWeight items_[kShortList + 1];
  size_t count_ = 0;
};

bool SameEntries(const WeightRow& row, const WeightRun& run, ShortList& list) {
  if (run.count != list.size()) return false;
  const PixelWeight* entries = row.EntriesOf(run);
  for (uint32_t j = 0; j < run.count; ++j) {
    if (!SameEntry(entries[j], list[j])) return false;
  }
  return true;
}

constexpr size_t kMostEntries = std::numeric_limits<uint32_t>::max();

void GrowEntries(std::vector<PixelWeight>& entries, size_t needed) {
  if (needed > kMostEntries) throw std::bad_alloc();
  entries.reserve(std::min(std::max(needed, 2 * entries.capacity()), kMostEntries));
}

// Room for `needed` entries, growing geometrically. Lists are addressed by 32-bit positions:
// the store grows only here and never beyond kMostEntries, so needed <= capacity is in range.
inline void ReserveEntries(std::vector<PixelWeight>& entries, size_t needed) {
  if (needed > entries.capacity()) GrowEntries(entries, needed);
}

// Folds a long list as a copy at the end of the row's store; `piece` then refers to it.
void FoldInStore(WeightRow& row, WeightRun& piece, const FrontMask& front, int32_t id, double cov) {
  std::vector<PixelWeight>& entries = row.entries;
  const size_t first = entries.size();
  ReserveEntries(entries, first + piece.count + 1);  // the fold appends at most one entry
  // No reallocation from here on, so copying from the store into itself is safe.
  for (uint32_t j = 0; j < piece.count; ++j) entries.push_back(entries[piece.first + j]);
  TailList list(entries, first);
  FoldCoverage(list, front, id, cov);
  piece.first = static_cast<uint32_t>(first);
  piece.count = static_cast<uint32_t>(entries.size() - first);
}

bool NothingInFront(const WeightRow& row, const WeightRun& run, const FrontMask& front) {
  const PixelWeight* entries = row.EntriesOf(run);
  for (uint32_t j = 0; j < run.count; ++j) {
    if (IsInFront(front, entries[j].id)) return false;
  }
  return true;
}

// Whether the run's list is the shape's sole entry with weight exactly 1.
bool IsWholeShare(const WeightRow& row, const WeightRun& run, int32_t id) {
  return run.count == 1 && SameEntry(row.EntriesOf(run)[0], PixelWeight{id, 1.0});
}

// A piece that the shape covers whole and where no entry lies in front of it: the fold leaves
// the shape's sole entry of weight 1 (FoldFullCoverage), whatever the piece held, so the list
// is known without folding and the pieces of a shape's interior join into one.
void AppendWholeShare(WeightRow& row, std::vector<WeightRun>& pieces, int32_t x0,
                      const WeightRun& old, int32_t id) {
  if (!pieces.empty() && IsWholeShare(row, pieces.back(), id)) return;
  WeightRun piece{x0, old.first, old.count};
  if (!IsWholeShare(row, old, id)) {
    const size_t first = row.entries.size();
    ReserveEntries(row.entries, first + 1);
    row.entries.push_back(PixelWeight{id, 1.0});
    piece.first = static_cast<uint32_t>(first);
    piece.count = 1;
  }
  pieces.push_back(piece);
}

// Adds the piece of a row from x0 on (up to the next piece) whose pixels held the list of
// `old` and, when `folded`, receive coverage `cov`. A piece whose list equals the previous
// piece's joins it.
void AppendPiece(WeightRow& row, std::vector<WeightRun>& pieces, int32_t x0, const WeightRun& old,
                 bool folded, double cov, const FrontMask& front, int32_t id) {
  if (folded && cov > kFullCoverage && NothingInFront(row, old, front)) {
    AppendWholeShare(row, pieces, x0, old, id);
    return;
  }
  WeightRun piece{x0, old.first, old.count};
  if (!folded || old.count > kShortList) {
    if (folded) FoldInStore(row, piece, front, id, cov);
    if (pieces.empty() || !SameList(row, pieces.back(), piece)) pieces.push_back(piece);
    return;
  }
  // Short lists are folded on the stack: the result is stored only when it is new to the row's
  // stretch (not the previous piece's list, not the list it came from).
  ShortList list;
  list.Assign(row.EntriesOf(old), old.count);
  FoldCoverage(list, front, id, cov);
  if (!pieces.empty() && SameEntries(row, pieces.back(), list)) return;
  if (!SameEntries(row, old, list)) {
    std::vector<PixelWeight>& entries = row.entries;
    const size_t first = entries.size();
    ReserveEntries(entries, first + list.size());
    for (size_t j = 0; j < list.size(); ++j) entries.push_back(list[j]);
    piece.first = static_cast<uint32_t>(first);
    piece.count = static_cast<uint32_t>(list.size());
  }
  pieces.push_back(piece);
}

// Folds leave the lists they replaced behind in the row; once its store has grown to three
// times what was live at its last compaction, only the lists that runs refer to are kept.
void CompactIfWasteful(WeightRow& row, std::vector<PixelWeight>& live) {
  if (row.entries.size() < row.compactAt) return;
  live.clear();
  uint32_t oldFirst = 0, newFirst = 0, sharedCount = 0;
  for (WeightRun& run : row.runs) {
    if (run.count == 0) continue;
    // Pieces of one old run keep sharing its list.
    if (sharedCount == run.count && run.first == oldFirst) {
      run.first = newFirst;
      continue;
    }
    oldFirst = run.first;
    sharedCount = run.count;
    newFirst = static_cast<uint32_t>(live.size());
    live.insert(live.end(), row.entries.begin() + run.first,
                row.entries.begin() + run.first + run.count);
    run.first = newFirst;
  }
  row.entries.assign(live.begin(), live.end());
  row.compactAt = std::max(kMinCompactedEntries, 3 * row.entries.size());
}

}  // namespace

void WeightRows::Reset(int32_t width, int32_t firstRow, int32_t rows) {
  width_ = width;
  firstRow_ = firstRow;
  rows_.resize(static_cast<size_t>(rows));
  for (WeightRow& row : rows_) {
    row.runs.clear();  // no runs yet: one empty list over the whole row
    row.entries.clear();
    row.compactAt = kMinCompactedEntries;
  }
}

bool WeightRows::ListsFitMask(const ShapeRows& shape, const FrontMask& front) const {
  for (const MeasuredRow& measured : shape.rows) {
    const WeightRow& row = Row(measured.y);
    if (row.runs.empty()) continue;  // only empty lists
    const CoverageSpan* spans = shape.SpansOf(measured);
    for (uint32_t i = 0; i < measured.count; ++i) {
      if (!IsFoldedCoverage(spans[i].value)) continue;
      for (size_t k = RunIndexAt(row.runs, spans[i].x0);
           k < row.runs.size() && row.runs[k].x0 < spans[i].x1; ++k) {
        const PixelWeight* entries = row.EntriesOf(row.runs[k]);
        for (uint32_t j = 0; j < row.runs[k].count; ++j) {
          if (!IdFitsMask(front, entries[j].id)) return false;
        }
      }
    }
  }
  return true;
}

void WeightRows::Fold(const ShapeRows& shape, const FrontMask& front, int32_t id) {
  for (const MeasuredRow& measured : shape.rows) {
    FoldRow(rows_[static_cast<size_t>(measured.y - firstRow_)], shape.SpansOf(measured),
            measured.count, front, id);
  }
}

bool WeightRows::IdsBelow(size_t size) const {
  for (const WeightRow& row : rows_) {
    for (const WeightRun& run : row.runs) {
      const PixelWeight* entries = row.EntriesOf(run);
      for (uint32_t j = 0; j < run.count; ++j) {
        if (entries[j].id < 0 || static_cast<size_t>(entries[j].id) >= size) return false;
      }
    }
  }
  return true;
}

void WeightRows::FoldRow(WeightRow& row, const CoverageSpan* spans, size_t count,
                         const FrontMask& front, int32_t id) {
  if (row.runs.empty()) row.runs.push_back(WeightRun{0, 0, 0});
  RewriteRunsUnderSpans(
      row.runs, width_, spans, count, pieces_,
      [&](int32_t x0, const WeightRun& old, const CoverageSpan* span) {
        const bool folded = span != nullptr && IsFoldedCoverage(span->value);
        AppendPiece(row, pieces_, x0, old, folded, folded ? span->value : 0.0, front, id);
      },
      [&row](const WeightRun& a, const WeightRun& b) { return SameList(row, a, b); });
  CompactIfWasteful(row, compacted_);
}

}  // namespace pintovel
