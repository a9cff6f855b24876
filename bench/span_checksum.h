// The fold the span roads (kernel-spans, FreeType-spans) apply to every span they receive in
// place of writing it into a buffer: the same few operations on either side, so that the pair
// times the rasterizers producing their spans and not two different outputs. Every span moves
// the checksum (its coverage times its length, and where it lies), and the checksum ends in the
// road's Digest, so no span can be optimised away.
#ifndef PINTOVEL_BENCH_SPAN_CHECKSUM_H
#define PINTOVEL_BENCH_SPAN_CHECKSUM_H

#include <cstdint>
#include <cstring>

namespace pintovel::bench {

struct SpanChecksum {
  // Sum of value * length over the spans, in the engine's own unit of coverage (the kernel's
  // 1.0 is FreeType's 255); for one draw of a scene it is the covered area in that unit.
  double coverage = 0.0;
  // Sum of row + first column over the spans, modulo 2^64 (FreeType's glyph rows are y up and
  // may be negative).
  uint64_t places = 0;

  void Add(int32_t row, int32_t x, int32_t length, double value) {
    coverage += value * length;
    places += static_cast<uint64_t>(row) + static_cast<uint64_t>(x);
  }

  uint64_t Digest() const {
    uint64_t bits = 0;
    std::memcpy(&bits, &coverage, sizeof bits);
    return bits * 31 + places;
  }
};

}  // namespace pintovel::bench

#endif  // PINTOVEL_BENCH_SPAN_CHECKSUM_H
