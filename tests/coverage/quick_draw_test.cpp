// The fast road: one owner per pixel, claimed at half coverage, respecting front masks.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <array>
#include <cstring>

#include "support/shapes.h"

namespace pintovel {
namespace {

using testing::MaskWith;
using testing::Rect;

uint32_t Colour(uint32_t value) {
  return value;
}

// Draws with AllShapeDraw_Quickly into a 2x1 image of 0x11111111 pixels; returns the pixels.
std::array<uint32_t, 2> Quick(const std::vector<FrontMask>& fronts,
                              const std::vector<Polygon>& outlines, const std::vector<int32_t>& ids,
                              const ColourTable& colours) {
  std::array<uint32_t, 2> image{0x11111111u, 0x11111111u};
  EXPECT_TRUE(AllShapeDraw_Quickly(&fronts, &outlines, &ids, &colours, 2, 1,
                                   reinterpret_cast<uint8_t*>(image.data())));
  return image;
}

const ColourTable kColours{Colour(0xAA000001u), Colour(0xBB000002u)};

TEST(OwnerMap, HalfCoverageClaimsAndAllFourBytesAreCopied) {
  const auto image = Quick({MaskWith(2, {})}, {Rect(0, 0, 1.5, 1)}, {0}, kColours);
  EXPECT_EQ(image[0], 0xAA000001u);
  EXPECT_EQ(image[1], 0xAA000001u);  // exactly 0.5 claims
  const auto below = Quick({MaskWith(2, {})}, {Rect(0, 0, 1.4999999, 1)}, {0}, kColours);
  EXPECT_EQ(below[1], 0x11111111u);  // just below half keeps all four old bytes
}

TEST(OwnerMap, FrontShapeWinsWhateverTheListOrder) {
  // 0 lies in front of 1: bit 0 set in 1's mask, bit 1 clear in 0's.
  const std::vector<FrontMask> masks{MaskWith(2, {}), MaskWith(2, {0})};
  const Polygon full = Rect(0, 0, 2, 1);
  EXPECT_EQ(Quick(masks, {full, full}, {0, 1}, kColours)[0], 0xAA000001u);
  const std::vector<FrontMask> swapped{masks[1], masks[0]};
  EXPECT_EQ(Quick(swapped, {full, full}, {1, 0}, kColours)[0], 0xAA000001u);
}

TEST(OwnerMap, UnmarkedShapesLeaveTheLaterOneOwner) {
  const Polygon full = Rect(0, 0, 2, 1);
  EXPECT_EQ(Quick({MaskWith(2, {}), MaskWith(2, {})}, {full, full}, {0, 1}, kColours)[1],
            0xBB000002u);
}

TEST(OwnerMap, NegativeWindingNeverClaims) {
  EXPECT_EQ(Quick({MaskWith(2, {})}, {testing::ReversedRect(0, 0, 2, 1)}, {0}, kColours)[0],
            0x11111111u);
}

TEST(OwnerMap, NoShapesLeaveTheImageUntouched) {
  EXPECT_EQ(Quick({}, {}, {}, kColours), (std::array<uint32_t, 2>{0x11111111u, 0x11111111u}));
}

}  // namespace
}  // namespace pintovel
