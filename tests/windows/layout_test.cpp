// The byte layout of the records that cross the boundary of pintovel.dll, as a 32-bit Windows
// host built with MinGW-w64 GCC and libstdc++ sees them. A host written against these offsets
// (in any language) exchanges the records with the library as they are, so a change here is a
// change of the binary interface.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace pintovel {
namespace {

#if !defined(_WIN32) || !defined(__i386__) || !defined(__GLIBCXX__)
#  error "these layouts are those of 32-bit x86 Windows with libstdc++"
#endif

// offsetof is only meaningful on standard-layout types; check that first.
static_assert(std::is_standard_layout_v<PixelWeight>);
static_assert(std::is_standard_layout_v<InOutArg<PixelData>>);
static_assert(std::is_standard_layout_v<RibbonShape>);
static_assert(std::is_standard_layout_v<RibbonHost>);
static_assert(std::is_standard_layout_v<PixelData>);
static_assert(std::is_standard_layout_v<OwnerMap>);
static_assert(std::is_standard_layout_v<Bounds>);

// The target's own alignment of double is 8, so PixelWeight is 12 bytes only by its packing.
static_assert(alignof(double) == 8);
static_assert(sizeof(PixelWeight) == 12);
static_assert(alignof(PixelWeight) == 4);
static_assert(offsetof(PixelWeight, id) == 0);
static_assert(offsetof(PixelWeight, weight) == 4);

// Four pointer-sized fields, whatever T is.
template <class T>
constexpr bool InOutArgLayoutHolds() {
  using Arg = InOutArg<T>;
  return sizeof(Arg) == 16 && offsetof(Arg, target) == 0 && offsetof(Arg, working) == 4 &&
         offsetof(Arg, commit) == 8 && offsetof(Arg, release) == 12;
}
static_assert(InOutArgLayoutHolds<PixelData>());
static_assert(InOutArgLayoutHolds<OwnerMap>());
static_assert(InOutArgLayoutHolds<Polygon>());
static_assert(InOutArgLayoutHolds<std::vector<Polygon>>());

// libstdc++: std::vector<bool> is two {word pointer, bit offset} iterators and an end pointer;
// every other std::vector is three pointers.
static_assert(sizeof(FrontMask) == 20);
static_assert(sizeof(std::vector<Point>) == 12);
static_assert(sizeof(std::vector<int32_t>) == 12);

static_assert(offsetof(PixelData, pixels) == 0);
static_assert(offsetof(PixelData, width) == 12);
static_assert(offsetof(PixelData, height) == 16);
static_assert(sizeof(PixelData) == 20);
static_assert(offsetof(OwnerMap, owners) == 0);
static_assert(offsetof(OwnerMap, width) == 12);
static_assert(offsetof(OwnerMap, height) == 16);
static_assert(sizeof(OwnerMap) == 20);

// id, two unread bytes, front, outline, four unread bytes.
static_assert(offsetof(RibbonShape, id) == 0);
static_assert(sizeof(RibbonShape::id) == 2);
static_assert(offsetof(RibbonShape, front) == 4);
static_assert(offsetof(RibbonShape, outline) == 24);
static_assert(offsetof(RibbonShape, reserved) == 36);
static_assert(sizeof(RibbonShape) == 40);

static_assert(sizeof(RibbonHost) == 12);
static_assert(offsetof(RibbonHost, canvas) == 0);
static_assert(offsetof(RibbonHost, allocator) == 4);
static_assert(offsetof(RibbonHost, progress) == 8);

static_assert(sizeof(RibbonRect) == 16);
static_assert(sizeof(Bounds) == 32);
static_assert(offsetof(Bounds, maxX) == 8);
static_assert(offsetof(Bounds, minY) == 16);
static_assert(offsetof(Bounds, maxY) == 24);

// A weight list that a host wrote as raw 12-byte entries {int32 id, double weight at 4} is
// read by OnDraw as those entries: colour 0 (channel 0 = 255) with weight 0.5 and colour 1
// (channel 0 = 64) with weight 0.25 over an old 0 give 127.5 + 16 = 143.5, rounded up to 144.
TEST(WindowsLayout, WeightListWrittenAsRawBytesIsReadAtOffsetFour) {
  unsigned char raw[24] = {};
  const int32_t ids[2] = {0, 1};
  const double weights[2] = {0.5, 0.25};
  for (int i = 0; i < 2; ++i) {
    std::memcpy(raw + 12 * i, &ids[i], 4);
    std::memcpy(raw + 12 * i + 4, &weights[i], 8);
  }
  std::vector<std::vector<PixelWeight>> pixels(1, std::vector<PixelWeight>(2));
  std::memcpy(static_cast<void*>(pixels[0].data()), raw, sizeof raw);

  const ColourTable colours{0x000000FFu, 0x00000040u};
  uint8_t image[4] = {0, 0, 0, 0};
  ASSERT_TRUE(OnDraw(image, 1, 1, &pixels, &colours));
  EXPECT_EQ(image[0], 144);
  EXPECT_EQ(image[1], 0);
  EXPECT_EQ(image[3], 0);
}

// The other way round: entries that the library's record type writes sit 12 bytes apart with
// the weight's bytes at offset 4 of each.
TEST(WindowsLayout, WeightListEntriesAreTwelveBytesApart) {
  std::vector<PixelWeight> list;
  list.push_back(PixelWeight{7, 0.75});
  list.push_back(PixelWeight{9, -2.5});
  const auto* bytes = reinterpret_cast<const unsigned char*>(list.data());
  int32_t id = 0;
  double weight = 0;
  std::memcpy(&id, bytes + 12, 4);
  std::memcpy(&weight, bytes + 16, 8);
  EXPECT_EQ(id, 9);
  EXPECT_EQ(weight, -2.5);
  std::memcpy(&weight, bytes + 4, 8);
  EXPECT_EQ(weight, 0.75);
}

}  // namespace
}  // namespace pintovel
