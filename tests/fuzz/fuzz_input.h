// Decoding fuzzer bytes into the records a host passes, and the check that stops a run.
//
// Most values are plausible: coordinates on a 1/256 pixel grid, many of them exactly on a pixel
// line or within a hair of one, sizes up to 64. A share are hostile: NaN, infinities, 1e300,
// values just past the accepted coordinate range, denormals, raw bit patterns, negative or
// overflowing sizes and containers shorter or longer than the other arguments say.
#ifndef PINTOVEL_TESTS_FUZZ_FUZZ_INPUT_H
#define PINTOVEL_TESTS_FUZZ_FUZZ_INPUT_H

#include <fuzzer/FuzzedDataProvider.h>
#include <pintovel/pintovel.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

// A broken property: report it, print the decoded input (when the target has said how), and
// abort, which libFuzzer records as a crash with its input.
#define FUZZ_CHECK(condition, ...)                                                         \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                                   \
      std::fprintf(stderr, "\n");                                                          \
      if (::pintovel::fuzz::describeInput != nullptr) ::pintovel::fuzz::describeInput();   \
      std::abort();                                                                        \
    }                                                                                      \
  } while (false)

namespace pintovel::fuzz {

// Set by a target to print the input it decoded, with exact (hexadecimal) doubles.
inline void (*describeInput)() = nullptr;

// How often each kind of check ran: printed at exit when PINTOVEL_FUZZ_STATS is set, to see that
// the corpus reaches the strong checks and not only the refusals.
class Tally {
 public:
  static void Note(const char* what) {
    static Tally tally;
    if (tally.enabled_) ++tally.counts_[what];
  }

 private:
  Tally() : enabled_(std::getenv("PINTOVEL_FUZZ_STATS") != nullptr) {}
  ~Tally() {
    for (const auto& [what, count] : counts_)
      std::fprintf(stderr, "tally: %-40s %ld\n", what.c_str(), count);
  }
  bool enabled_;
  std::map<std::string, long> counts_;
};

inline void PrintPoints(const char* name, const std::vector<Point>& points) {
  std::fprintf(stderr, "  %s (%zu points):", name, points.size());
  for (const Point& p : points) std::fprintf(stderr, " {%a, %a}", p.x, p.y);
  std::fprintf(stderr, "\n");
}

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : fdp_(data, size) {}

  bool Bool() {
    return fdp_.ConsumeBool();
  }
  // True in about `percent` of the draws.
  bool Chance(int percent) {
    return fdp_.ConsumeIntegralInRange<int>(0, 99) < percent;
  }
  int Int(int lo, int hi) {
    return fdp_.ConsumeIntegralInRange<int>(lo, hi);
  }
  size_t Count(size_t max) {
    return fdp_.ConsumeIntegralInRange<size_t>(0, max);
  }
  bool Exhausted() {
    return fdp_.remaining_bytes() == 0;
  }

  double RawDouble() {
    uint64_t bits = fdp_.ConsumeIntegral<uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  double Hostile() {
    static const double kValues[] = {
        kNaN,
        -kNaN,
        kInf,
        -kInf,
        1e300,
        -1e300,
        1e100,  // the largest accepted magnitude
        -1e100,
        1.0000000000000002e100,  // just beyond it
        std::numeric_limits<double>::denorm_min(),
        -std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::min(),
        std::numeric_limits<double>::max(),
        std::numeric_limits<double>::lowest(),
        -0.0,
        2147483648.0,
        -2147483649.0,
        4503599627370496.5,  // 2^52 + 0.5 rounds
        1e-9,
        0.999999999,
    };
    if (Chance(25)) return RawDouble();
    return kValues[Count(sizeof kValues / sizeof kValues[0] - 1)];
  }

  // A pixel coordinate for an image `extent` pixels across: mostly on the 1/256 grid within and
  // a little beyond [0, extent], often exactly on a pixel line, sometimes a hair off one.
  double Coordinate(double extent, int hostilePercent = 3) {
    const int kind = Int(0, 99);
    if (kind < hostilePercent) return Hostile();
    const int whole = static_cast<int>(std::ceil(extent)) + 4;
    if (kind < 35) return Int(-2, whole);  // on a pixel line
    if (kind < 42) {
      // Within the snapping tolerance of a line, or just outside it.
      static const double kOffsets[] = {1e-10,  -1e-10,  9e-10, -9e-10,
                                        1.1e-9, -1.1e-9, 1e-13, -1e-13};
      return Int(-2, whole) + kOffsets[Count(7)];
    }
    if (kind < 46) return Int(-4 * whole, 5 * whole) / 4.0;  // far outside sometimes
    return Int(-2 * 256, whole * 256) / 256.0;
  }

  // A weight as a host could have stored it: mostly k/64 in [0, 1], sometimes anything.
  double Weight(int hostilePercent) {
    if (Chance(hostilePercent)) return Chance(50) ? Hostile() : Int(-64, 128) / 64.0;
    return Int(0, 64) / 64.0;
  }

  // An image or data size: mostly 0 .. max, sometimes hostile.
  int32_t Size(int32_t max, int hostilePercent) {
    if (Chance(hostilePercent)) {
      static const int32_t kSizes[] = {-1,
                                       -2,
                                       -64,
                                       std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max(),
                                       65536,
                                       46341,
                                       1 << 30,
                                       16384,
                                       8192,
                                       8193,
                                       1 << 20,
                                       (1 << 20) + 1};
      return kSizes[Count(sizeof kSizes / sizeof kSizes[0] - 1)];
    }
    return Int(0, max);
  }

  // A polygon of up to `maxVertices` vertices in an image `width` x `height`. Some are
  // rectangles and triangles (clean edges on pixel lines), the rest free-form.
  Polygon MakePolygon(double width, double height, size_t maxVertices, int hostilePercent) {
    Polygon polygon;
    const int shape = Int(0, 9);
    if (shape < 3) {
      double x0 = Coordinate(width, hostilePercent), y0 = Coordinate(height, hostilePercent);
      double x1 = Coordinate(width, hostilePercent), y1 = Coordinate(height, hostilePercent);
      polygon = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
      if (shape == 0) polygon.push_back(polygon.front());  // a closing repeat, as flattening gives
      return polygon;
    }
    const size_t n = Count(maxVertices);
    polygon.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      if (!polygon.empty() && Chance(8)) {
        polygon.push_back(polygon.back());  // a repeated vertex
        continue;
      }
      polygon.push_back(
          Point{Coordinate(width, hostilePercent), Coordinate(height, hostilePercent)});
    }
    return polygon;
  }

  // A cubic Bezier path: 3k + 1 points mostly, with a share of partial tails and of closed paths.
  BezierPath MakePath(double width, double height, size_t maxSegments, int hostilePercent) {
    const size_t segments = Count(maxSegments);
    size_t points = segments == 0 ? Count(3) : 3 * segments + 1;
    if (Chance(10)) points += Count(2);  // points after the last whole segment are not read
    BezierPath path;
    path.reserve(points);
    for (size_t i = 0; i < points; ++i) {
      path.push_back(Point{Coordinate(width, hostilePercent), Coordinate(height, hostilePercent)});
    }
    if (segments > 0 && Chance(50)) path[3 * segments] = path[0];  // closed
    return path;
  }

  // A front mask over `ids` ids, bits at random; sometimes shorter or longer than that.
  FrontMask MakeFront(size_t ids, int mismatchPercent) {
    size_t size = ids;
    if (Chance(mismatchPercent)) size = Count(ids + 2);
    FrontMask mask(size, false);
    for (size_t k = 0; k < size; ++k) mask[k] = Chance(40);
    return mask;
  }

  // A shape id below `ids`, or sometimes one outside every table.
  int32_t MakeId(int32_t ids, int hostilePercent) {
    if (Chance(hostilePercent)) {
      static const int32_t kIds[] = {
          -1, -2,  std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
          64, 1000};
      return Chance(50) ? ids : kIds[Count(sizeof kIds / sizeof kIds[0] - 1)];
    }
    return ids <= 0 ? 0 : Int(0, ids - 1);
  }

  uint32_t Colour() {
    return fdp_.ConsumeIntegral<uint32_t>();
  }

 private:
  FuzzedDataProvider fdp_;
};

inline bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool SameList(const std::vector<PixelWeight>& a, const std::vector<PixelWeight>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].id != b[i].id || !SameBits(a[i].weight, b[i].weight)) return false;
  }
  return true;
}

inline bool SameLists(const std::vector<std::vector<PixelWeight>>& a,
                      const std::vector<std::vector<PixelWeight>>& b) {
  if (a.size() != b.size()) return false;
  for (size_t p = 0; p < a.size(); ++p) {
    if (!SameList(a[p], b[p])) return false;
  }
  return true;
}

inline bool SameListsAt(const PixelData& a, const PixelData& b, size_t p) {
  return SameList(a.pixels[p], b.pixels[p]);
}

inline bool SamePixelData(const PixelData& a, const PixelData& b) {
  return a.width == b.width && a.height == b.height && SameLists(a.pixels, b.pixels);
}

inline bool SamePolygon(const Polygon& a, const Polygon& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!SameBits(a[i].x, b[i].x) || !SameBits(a[i].y, b[i].y)) return false;
  }
  return true;
}

}  // namespace pintovel::fuzz

#endif  // PINTOVEL_TESTS_FUZZ_FUZZ_INPUT_H
