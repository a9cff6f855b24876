// Writing runs of 32-bit pixels, for the roads that know a whole run's result at once.
#ifndef PINTOVEL_SUPPORT_PIXEL_FILL_H
#define PINTOVEL_SUPPORT_PIXEL_FILL_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#  include <emmintrin.h>
#endif

namespace pintovel {

// Sets `count` pixels from `pixels` on to `value` (its bytes in memory order), four pixels a
// store.
inline void StorePixels(uint8_t* pixels, size_t count, uint32_t value) {
  size_t i = 0;
#if defined(__SSE2__)
  // On x86 (little-endian) the four lanes hold `value`'s bytes in memory order.
  const __m128i four = _mm_set1_epi32(static_cast<int32_t>(value));
  for (; i + 4 <= count; i += 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 4 * i), four);
  }
#endif
  for (; i < count; ++i) std::memcpy(pixels + 4 * i, &value, sizeof value);
}

// Below this many pixels FillPixels stores; from it on, it copies.
constexpr size_t kPixelsFilledByCopy = 256;

// The same, with long runs written by doubling copies of what is already written, which go at
// the speed of memcpy. Which of the two is faster depends on what the caller does around the
// run (measured on a 4096x4096 image): a road that only fills its runs gains from the copies,
// one that reads and rewrites every pixel around them (AllShapeDraw) is faster with stores.
inline void FillPixels(uint8_t* pixels, size_t count, uint32_t value) {
  if (count < kPixelsFilledByCopy) {
    StorePixels(pixels, count, value);
    return;
  }
  std::memcpy(pixels, &value, sizeof value);
  for (size_t done = 1; done < count;) {
    const size_t n = std::min(done, count - done);
    std::memcpy(pixels + 4 * done, pixels, 4 * n);
    done += n;
  }
}

// Sets byte 3 of `count` pixels to 0 and leaves bytes 0 to 2 as they are.
inline void ClearFourthBytes(uint8_t* pixels, size_t count) {
  size_t i = 0;
#if defined(__SSE2__)
  // Four pixels at a time; a bitwise mask gives the same bytes as the loop below.
  const __m128i keep = _mm_set1_epi32(0x00FFFFFF);
  for (; i + 4 <= count; i += 4) {
    __m128i* at = reinterpret_cast<__m128i*>(pixels + 4 * i);
    _mm_storeu_si128(at, _mm_and_si128(_mm_loadu_si128(at), keep));
  }
#endif
  // Byte 3 of a pixel is the high byte of its little-endian 32-bit value.
  for (; i < count; ++i) {
    uint32_t value;
    std::memcpy(&value, pixels + 4 * i, sizeof value);
    value &= 0x00FFFFFFu;
    std::memcpy(pixels + 4 * i, &value, sizeof value);
  }
}

}  // namespace pintovel

#endif  // PINTOVEL_SUPPORT_PIXEL_FILL_H
