#include "coverage/weight_rows.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "coverage/run_rows.h"
#include "coverage/stacking_fold.h"

namespace pintovel {

namespace {

// Appends an entry by writing its two fields in place. Building the packed entry elsewhere and
// copying it makes the copy read 8 bytes across the two stores that just wrote it, which stalls
// store forwarding on every appended entry (measured).
inline void AppendEntry(WeightRow& row, int32_t id, double weight) {
  row.lowestId = std::min(row.lowestId, id);
  row.highestId = std::max(row.highestId, id);
  PixelWeight& entry = row.entries.emplace_back();
  entry.id = id;
  entry.weight = weight;
}

// Appends a piece by writing its fields in place, for the same reason as AppendEntry.
inline void AppendRun(std::vector<WeightRun>& pieces, int32_t x0, uint32_t first, uint32_t count) {
  WeightRun& piece = pieces.emplace_back();
  piece.x0 = x0;
  piece.first = first;
  piece.count = count;
}

// The list being folded, at the end of the entry store: appending and shrinking keep it there.
class TailList {
 public:
  TailList(WeightRow& row, size_t first) : row_(row), first_(first) {}
  size_t size() const {
    return row_.entries.size() - first_;
  }
  PixelWeight& operator[](size_t j) {
    return row_.entries[first_ + j];
  }
  void push_back(const PixelWeight& entry) {
    AppendEntry(row_, entry.id, entry.weight);
  }
  void resize(size_t n) {
    row_.entries.resize(first_ + n);
  }

 private:
  WeightRow& row_;
  size_t first_;
};

// The front of a shape whose mask holds none of the ids in a row (WeightRow::lowestId,
// highestId): no entry of the row lies in front of it, so the fold reads no id against a mask.
struct NoneInFront {};

inline bool IsInFront(const NoneInFront&, int32_t) {
  return false;
}

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

// One entry of a ShortList, read and written through its two fields.
struct ShortEntryRef {
  int32_t& id;
  double& weight;

  operator PixelWeight() const {  // NOLINT(google-explicit-constructor): the fold reads entries
    return PixelWeight{id, weight};
  }
  ShortEntryRef& operator=(const PixelWeight& entry) {
    id = entry.id;
    weight = entry.weight;
    return *this;
  }
};

// A short list being folded: room for kShortList entries and the one a fold may append. Ids and
// weights live in separate arrays so that every load matches the store that wrote it: a packed
// 12-byte entry copied whole is read back across two stores, which stalls store forwarding
// (measured as a fifth of the piece step's time).
class ShortList {
 public:
  size_t size() const {
    return count_;
  }
  ShortEntryRef operator[](size_t j) {
    return ShortEntryRef{ids_[j], weights_[j]};
  }
  void push_back(const PixelWeight& entry) {
    ids_[count_] = entry.id;
    weights_[count_] = entry.weight;
    ++count_;
  }
  void resize(size_t n) {
    count_ = n;
  }
  // Requires: count <= kShortList.
  void Assign(const PixelWeight* entries, uint32_t count) {
    count_ = count;
    // A fixed trip count, which the compiler unrolls (a loop to `count` measured no better; on
    // packed entries it had become a string move, whose start-up cost more than these copies).
    for (uint32_t j = 0; j < kShortList; ++j) {
      if (j < count) {
        ids_[j] = entries[j].id;
        weights_[j] = entries[j].weight;
      }
    }
  }
  bool EntryIs(size_t j, const PixelWeight& entry) const {
    return SameEntry(PixelWeight{ids_[j], weights_[j]}, entry);
  }
  void AppendTo(WeightRow& row) const {
    for (size_t j = 0; j < count_; ++j) AppendEntry(row, ids_[j], weights_[j]);
  }

 private:
  int32_t ids_[kShortList + 1];
  double weights_[kShortList + 1];
  size_t count_ = 0;
};

bool SameEntries(const WeightRow& row, const WeightRun& run, const ShortList& list) {
  if (run.count != list.size()) return false;
  const PixelWeight* entries = row.EntriesOf(run);
  for (uint32_t j = 0; j < run.count; ++j) {
    if (!list.EntryIs(j, entries[j])) return false;
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

// Folds a long list as a copy at the end of the row's store; returns the piece from x0 holding
// the result.
template <class Front>
WeightRun FoldInStore(WeightRow& row, int32_t x0, const WeightRun& old, const Front& front,
                      int32_t id, double cov) {
  std::vector<PixelWeight>& entries = row.entries;
  const size_t first = entries.size();
  ReserveEntries(entries, first + old.count + 1);  // the fold appends at most one entry
  // No reallocation from here on, so copying from the store into itself is safe.
  for (uint32_t j = 0; j < old.count; ++j) entries.push_back(entries[old.first + j]);
  TailList list(row, first);
  FoldCoverage(list, front, id, cov);
  return WeightRun{x0, static_cast<uint32_t>(first), static_cast<uint32_t>(entries.size() - first)};
}

template <class Front>
bool NothingInFront(const WeightRow& row, const WeightRun& run, const Front& front) {
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
inline void AppendWholeShare(WeightRow& row, std::vector<WeightRun>& pieces, int32_t x0,
                             const WeightRun& old, int32_t id) {
  if (!pieces.empty() && IsWholeShare(row, pieces.back(), id)) return;
  if (IsWholeShare(row, old, id)) {
    AppendRun(pieces, x0, old.first, old.count);
    return;
  }
  const size_t first = row.entries.size();
  ReserveEntries(row.entries, first + 1);
  AppendEntry(row, id, 1.0);
  AppendRun(pieces, x0, static_cast<uint32_t>(first), 1);
}

// AppendPiece for a piece that is not a whole share: one the shape does not cover (kept), or
// whose list is folded.
template <class Front>
void AppendFoldedOrKeptPiece(WeightRow& row, std::vector<WeightRun>& pieces, int32_t x0,
                             const WeightRun& old, bool folded, double cov, const Front& front,
                             int32_t id) {
  if (!folded || old.count > kShortList) {
    const WeightRun piece =
        folded ? FoldInStore(row, x0, old, front, id, cov) : WeightRun{x0, old.first, old.count};
    if (pieces.empty() || !SameList(row, pieces.back(), piece)) {
      AppendRun(pieces, piece.x0, piece.first, piece.count);
    }
    return;
  }
  // Short lists are folded on the stack: the result is stored only when it is new to the row's
  // stretch (not the previous piece's list, not the list it came from).
  ShortList list;
  list.Assign(row.EntriesOf(old), old.count);
  FoldCoverage(list, front, id, cov);
  if (!pieces.empty() && SameEntries(row, pieces.back(), list)) return;
  if (SameEntries(row, old, list)) {
    AppendRun(pieces, x0, old.first, old.count);
    return;
  }
  std::vector<PixelWeight>& entries = row.entries;
  const size_t first = entries.size();
  ReserveEntries(entries, first + list.size());
  list.AppendTo(row);
  AppendRun(pieces, x0, static_cast<uint32_t>(first), static_cast<uint32_t>(list.size()));
}

// Adds the piece of a row from x0 on (up to the next piece) whose pixels held the list of
// `old` and, when `folded`, receive coverage `cov`. A piece whose list equals the previous
// piece's joins it. The whole shares of a shape's interior are most pieces and the cheapest, so
// they are told apart here, inline.
template <class Front>
inline void AppendPiece(WeightRow& row, std::vector<WeightRun>& pieces, int32_t x0,
                        const WeightRun& old, bool folded, double cov, const Front& front,
                        int32_t id) {
  if (folded && cov > kFullCoverage && NothingInFront(row, old, front)) {
    AppendWholeShare(row, pieces, x0, old, id);
  } else {
    AppendFoldedOrKeptPiece(row, pieces, x0, old, folded, cov, front, id);
  }
}

// Folds leave the lists they replaced behind in the row; once its store has grown to three
// times what was live at its last compaction, only the lists that runs refer to are kept.
void CompactIfWasteful(WeightRow& row, std::vector<PixelWeight>& live) {
  if (row.entries.size() < row.compactAt) return;
  live.clear();
  live.reserve(row.entries.size());  // the live lists are at most what is stored
  row.lowestId = std::numeric_limits<int32_t>::max();
  row.highestId = std::numeric_limits<int32_t>::min();
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
    for (uint32_t j = run.first; j < run.first + run.count; ++j) {
      const int32_t id = row.entries[j].id;
      row.lowestId = std::min(row.lowestId, id);
      row.highestId = std::max(row.highestId, id);
      PixelWeight& entry = live.emplace_back();
      entry.id = id;
      entry.weight = row.entries[j].weight;
    }
    run.first = newFirst;
  }
  // The old store becomes the scratch for the next compaction.
  row.entries.swap(live);
  row.compactAt = std::max(kMinCompactedEntries, 3 * row.entries.size());
}

// Whether no id the row holds can be in front of the shape.
bool RowIsBehind(const WeightRow& row, const BoundedFront& front) {
  return row.highestId < front.lowest || row.lowestId > front.highest;
}

template <class Front>
void FoldRowAgainst(WeightRow& row, int32_t width, const CoverageSpan* spans, size_t count,
                    const Front& front, int32_t id, std::vector<WeightRun>& pieces) {
  if (row.runs.empty()) row.runs.push_back(WeightRun{0, 0, 0});
  RewriteRunsUnderSpans(
      row.runs, width, spans, count, pieces,
      [&](int32_t x0, const WeightRun& old, const CoverageSpan* span) {
        const bool folded = span != nullptr && IsFoldedCoverage(span->value);
        AppendPiece(row, pieces, x0, old, folded, folded ? span->value : 0.0, front, id);
      },
      [&row](const WeightRun& a, const WeightRun& b) { return SameList(row, a, b); });
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
    row.lowestId = std::numeric_limits<int32_t>::max();
    row.highestId = std::numeric_limits<int32_t>::min();
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

void WeightRows::Fold(const ShapeRows& shape, const BoundedFront& front, int32_t id) {
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
                         const BoundedFront& front, int32_t id) {
  if (RowIsBehind(row, front)) {
    FoldRowAgainst(row, width_, spans, count, NoneInFront{}, id, pieces_);
  } else {
    FoldRowAgainst(row, width_, spans, count, front, id, pieces_);
  }
  CompactIfWasteful(row, compacted_);
}

}  // namespace pintovel
