#include "kernel_entry.h"

#include <algorithm>

namespace pintovel::bench {

namespace {

// Writes every span into the dense box, as FreeType's span callback writes its 8-bit buffer.
class DenseBoxSink final : public CoverageRowSink {
 public:
  DenseBoxSink(const CellRange& box, double* values) : box_(box), values_(values) {}
  void Row(int32_t y, const CoverageSpan* spans, size_t count) override {
    double* row = values_ + static_cast<size_t>(y - box_.originY) * static_cast<size_t>(box_.cols);
    for (size_t i = 0; i < count; ++i) {
      std::fill(row + (spans[i].x0 - box_.originX), row + (spans[i].x1 - box_.originX),
                spans[i].value);
    }
  }

 private:
  CellRange box_;
  double* values_;
};

}  // namespace

void ReserveKernelOutput(KernelWork& work, size_t cells) {
  work.values.assign(cells, 1.0);
  work.values.clear();
}

// The box is cleared first (cells outside every span are 0), then the row kernel's spans are
// written into it.
const double* MeasureKernelCoverage(const Polygon& polygon, const CellRange& box,
                                    KernelWork& work) {
  work.values.assign(static_cast<size_t>(box.cols) * static_cast<size_t>(box.rows), 0.0);
  DenseBoxSink sink(box, work.values.data());
  MeasureCoverageRows(polygon, box, box.originY, box.originY + box.rows, work.scratch, sink);
  return work.values.data();
}

void MeasureKernelSpans(const Polygon& polygon, const CellRange& box, CoverageScratch& scratch,
                        CoverageRowSink& sink) {
  MeasureCoverageRows(polygon, box, box.originY, box.originY + box.rows, scratch, sink);
}

}  // namespace pintovel::bench
