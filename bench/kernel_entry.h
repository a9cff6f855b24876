// The coverage kernel alone, behind the only two calls of it in the bench, so that a new kernel
// replaces them here.
//
// Contract of the dense entry: the signed coverage of every cell of `box` (clockwise on screen
// counts positive) as a dense row-major array of box.cols * box.rows doubles, row 0 first.
// The polygon lies inside the closed rectangle of `box`. The array lives in `work` and stays
// valid until the next call with the same work; `work` keeps its capacity between calls, so a
// steady run allocates nothing.
#ifndef PINTOVEL_BENCH_KERNEL_ENTRY_H
#define PINTOVEL_BENCH_KERNEL_ENTRY_H

#include <pintovel/pintovel.h>

#include <vector>

#include "coverage/coverage_grid.h"
#include "coverage/coverage_rows.h"

namespace pintovel::bench {

struct KernelWork {
  CoverageScratch scratch;     // the kernel's own working memory, reused from shape to shape
  std::vector<double> values;  // the dense box the spans are written into
};

// Gives `work` room for a box of `cells` cells and writes it, as a host allocates its output
// buffer once: what the entry then needs beyond that is the kernel's own working memory.
void ReserveKernelOutput(KernelWork& work, size_t cells);

const double* MeasureKernelCoverage(const Polygon& polygon, const CellRange& box, KernelWork& work);

// The same kernel call over the same rows of `box` with the caller's sink instead of the dense
// box: every span of the polygon goes to `sink`, nothing is cleared or written here.
void MeasureKernelSpans(const Polygon& polygon, const CellRange& box, CoverageScratch& scratch,
                        CoverageRowSink& sink);

}  // namespace pintovel::bench

#endif  // PINTOVEL_BENCH_KERNEL_ENTRY_H
