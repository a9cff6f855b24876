// OnDraw's blend: weighted colour sums plus the remaining share of the old colour, rounded half
// up, wrapped to eight bits, with byte 3 cleared. Expected bytes are worked out by hand.
#include "render/compositing.h"

#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <array>
#include <cstring>

namespace pintovel {
namespace {

using Pixel = std::array<uint8_t, 4>;

// Colour with bytes 0, 1, 2, 3 in memory order.
uint32_t ColourOf(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  const uint8_t bytes[4] = {b0, b1, b2, b3};
  uint32_t colour = 0;
  std::memcpy(&colour, bytes, sizeof colour);
  return colour;
}

Pixel DrawOne(Pixel old, std::vector<PixelWeight> list, const ColourTable& colours) {
  std::vector<std::vector<PixelWeight>> pixels{std::move(list)};
  EXPECT_TRUE(OnDraw(old.data(), 1, 1, &pixels, &colours));
  return old;
}

TEST(Compositing, EmptyListKeepsColourAndClearsByteThree) {
  EXPECT_EQ(DrawOne({10, 20, 30, 40}, {}, {}), (Pixel{10, 20, 30, 0}));
}

TEST(Compositing, FullWeightGivesTheColourExactly) {
  const ColourTable colours{ColourOf(1, 2, 3, 4), ColourOf(200, 100, 50, 255)};
  EXPECT_EQ(DrawOne({9, 9, 9, 9}, {{1, 1.0}}, colours), (Pixel{200, 100, 50, 0}));
}

TEST(Compositing, HalfWeightRoundsHalfUp) {
  const ColourTable colours{ColourOf(255, 255, 255, 0)};
  // 127.5 + 0.5 * 0 = 127.5 -> 128; 127.5 + 0.5 * 1 = 128.0 -> 128.
  EXPECT_EQ(DrawOne({0, 1, 2, 7}, {{0, 0.5}}, colours), (Pixel{128, 128, 129, 0}));
}

TEST(Compositing, SeveralEntriesBlendWithTheRemainingShare) {
  const ColourTable colours{ColourOf(100, 0, 0, 0), ColourOf(0, 200, 0, 0)};
  // t0 = 0.25 * 100 + 0.25 * 40 = 35; t1 = 0.5 * 200 + 0.25 * 40 = 110; t2 = 0.25 * 40 = 10.
  EXPECT_EQ(DrawOne({40, 40, 40, 40}, {{0, 0.25}, {1, 0.5}}, colours), (Pixel{35, 110, 10, 0}));
}

TEST(Compositing, WeightsAboveOneWrapInsteadOfClamping) {
  const ColourTable colours{ColourOf(255, 0, 128, 0)};
  // remain = -1: t0 = 2 * 255 - 0 = 510 -> 510 & 255 = 254; t1 = -1 * 2 = -2, and -1.5
  // truncates to -1 -> 255 (wraps); t2 = 2 * 128 - 0 = 256 -> 0.
  EXPECT_EQ(DrawOne({0, 2, 0, 0}, {{0, 2.0}}, colours), (Pixel{254, 255, 0, 0}));
}

TEST(Compositing, NonPositiveSizeDrawsNothing) {
  Pixel old{1, 2, 3, 4};
  const std::vector<std::vector<PixelWeight>> pixels{{{0, 1.0}}};
  const ColourTable colours{ColourOf(9, 9, 9, 9)};
  EXPECT_TRUE(OnDraw(old.data(), 0, 1, &pixels, &colours));
  EXPECT_TRUE(OnDraw(old.data(), 1, -3, &pixels, &colours));
  EXPECT_EQ(old, (Pixel{1, 2, 3, 4}));
}

TEST(Compositing, EveryPixelOfTheAreaGetsByteThreeCleared) {
  std::vector<uint8_t> image(3 * 2 * 4, 0xAB);
  const std::vector<std::vector<PixelWeight>> pixels(6);
  const ColourTable colours;
  ASSERT_TRUE(OnDraw(image.data(), 3, 2, &pixels, &colours));
  for (size_t p = 0; p < 6; ++p) {
    EXPECT_EQ(image[4 * p + 0], 0xAB);
    EXPECT_EQ(image[4 * p + 3], 0);
  }
}

TEST(Compositing, WrapToByteIsDefinedForEveryValue) {
  EXPECT_EQ(WrapToByte(255.9), 255);
  EXPECT_EQ(WrapToByte(256.0), 0);
  EXPECT_EQ(WrapToByte(-0.7), 0);  // truncation toward zero
  EXPECT_EQ(WrapToByte(-1.0), 255);
  EXPECT_EQ(WrapToByte(1e300), 0);
  EXPECT_EQ(WrapToByte(-1e300), 0);
  EXPECT_EQ(WrapToByte(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace pintovel
