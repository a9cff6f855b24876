#include "shape_tables.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pintovel_render {
namespace {

TEST(ShapeTables, LaterShapesLieInFront) {
  const auto fronts = DocumentOrderFronts(5);
  ASSERT_EQ(fronts.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    ASSERT_EQ(fronts[i].size(), 5u);
    for (std::size_t j = 0; j < 5; ++j) EXPECT_EQ(fronts[i][j], j > i) << i << " " << j;
  }
  EXPECT_TRUE(DocumentOrderFronts(0).empty());
}

TEST(ShapeTables, ColourBytesAreRedGreenBlueInMemory) {
  const uint32_t entry = ColourEntry(Rgb{0x12, 0x34, 0x56});
  unsigned char bytes[4];
  std::memcpy(bytes, &entry, 4);
  EXPECT_EQ(bytes[0], 0x12);
  EXPECT_EQ(bytes[1], 0x34);
  EXPECT_EQ(bytes[2], 0x56);
  EXPECT_EQ(bytes[3], 0);
}

}  // namespace
}  // namespace pintovel_render
