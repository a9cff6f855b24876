#include "coverage/stacking_fold.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace pintovel {

namespace {

// Ids are int32: no bit beyond the first 2^31 can be asked for.
constexpr size_t kIdCount = size_t{std::numeric_limits<int32_t>::max()} + 1;

#if defined(__GLIBCXX__)
// libstdc++ (the library every supported build uses, and whose std::vector layout the exported
// interface shares with the host) keeps a vector<bool>'s bit j as bit j % W of word j / W,
// starting at the word its begin() iterator points to. Scanning whole words makes bounding
// every mask of a call cost next to nothing; bit by bit, painting-order masks made it O(n^2).
using MaskWord = std::_Bit_type;
constexpr size_t kWordBits = std::_S_word_bit;

int32_t LowestSetBit(MaskWord word) {
  return __builtin_ctzl(word);
}
int32_t HighestSetBit(MaskWord word) {
  return static_cast<int32_t>(kWordBits) - 1 - __builtin_clzl(word);
}

// The words holding bits 0 .. size - 1, the last with the bits from size on cleared.
MaskWord WordAt(const MaskWord* words, size_t w, size_t size) {
  const size_t end = size - w * kWordBits;  // bits of this word that are in the mask
  return end >= kWordBits ? words[w] : words[w] & ((MaskWord{1} << end) - 1);
}

void FindSetRange(const FrontMask& mask, size_t size, BoundedFront& bounded) {
  const MaskWord* words = mask.begin()._M_p;
  const size_t wordCount = (size + kWordBits - 1) / kWordBits;
  for (size_t w = 0; w < wordCount; ++w) {
    const MaskWord word = WordAt(words, w, size);
    if (word != 0) {
      bounded.lowest = static_cast<int32_t>(w * kWordBits) + LowestSetBit(word);
      break;
    }
  }
  for (size_t w = wordCount; w > 0; --w) {
    const MaskWord word = WordAt(words, w - 1, size);
    if (word != 0) {
      bounded.highest = static_cast<int32_t>((w - 1) * kWordBits) + HighestSetBit(word);
      break;
    }
  }
}
#else
void FindSetRange(const FrontMask& mask, size_t size, BoundedFront& bounded) {
  for (size_t j = 0; j < size; ++j) {
    if (mask[j]) {
      bounded.lowest = static_cast<int32_t>(j);
      break;
    }
  }
  for (size_t j = size; j > 0; --j) {
    if (mask[j - 1]) {
      bounded.highest = static_cast<int32_t>(j - 1);
      break;
    }
  }
}
#endif

}  // namespace

BoundedFront BoundFront(const FrontMask& mask) {
  BoundedFront bounded{&mask, std::numeric_limits<int32_t>::max(), -1};
  FindSetRange(mask, std::min(mask.size(), kIdCount), bounded);
  return bounded;
}

}  // namespace pintovel
