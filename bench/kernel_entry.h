// The coverage kernel alone, behind one entry point so that a new kernel replaces one function.
//
// Contract of the entry: the signed coverage of every cell of `box` (clockwise on screen
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

}  // namespace pintovel::bench

#endif  // PINTOVEL_BENCH_KERNEL_ENTRY_H
