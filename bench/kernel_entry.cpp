#include "kernel_entry.h"

#include "coverage/coverage_kernel.h"

namespace pintovel::bench {

void ReserveKernelOutput(KernelWork& work, size_t cells) {
  for (std::vector<double>* values : {&work.grid.values, &work.values}) {
    values->assign(cells, 1.0);
    values->clear();
  }
}

// Today's kernel fills a dense grid of the window's cells itself, zeros included, which is
// already the array the contract asks for.
const double* MeasureKernelCoverage(const Polygon& polygon, const CellRange& box,
                                    KernelWork& work) {
  const Bounds window{double(box.originX), double(box.originX) + box.cols, double(box.originY),
                      double(box.originY) + box.rows};
  ComputeCoverage(window, polygon, work.grid);
  return work.grid.values.data();
}

}  // namespace pintovel::bench
