#include "progress_display.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pintovel_render {
namespace {

TEST(ProgressDisplay, BarRedrawnInPlaceOnATerminal) {
  std::ostringstream out;
  ProgressDisplay display(out, true);
  display.Show("step", 0, 100);
  display.Show("step 50%", 50, 100);
  display.Finish();
  const std::string bar0(30, '.');
  const std::string bar50 = std::string(15, '#') + std::string(15, '.');
  EXPECT_EQ(out.str(), "\r\x1b[Kstep [" + bar0 + "]\r\x1b[Kstep 50% [" + bar50 + "]\n");
}

TEST(ProgressDisplay, PlainLinesOtherwise) {
  std::ostringstream out;
  ProgressDisplay display(out, false);
  display.Show("a", 0, 100);
  display.Show("b", 100, 100);
  display.Finish();
  EXPECT_EQ(out.str(), "a (0/100)\nb (100/100)\n");
}

TEST(ProgressLabel, WholePercentRoundedDown) {
  EXPECT_EQ(ProgressLabel("measuring masks", 33, 100), "measuring masks: 33%");
  EXPECT_EQ(ProgressLabel("x", 1, 3), "x: 33%");
  EXPECT_EQ(ProgressLabel("x", 999, 1000), "x: 99%");  // 100% only when complete
  EXPECT_EQ(ProgressLabel("x", 1000, 1000), "x: 100%");
  EXPECT_EQ(ProgressLabel("x", 150, 100), "x: 100%");
  EXPECT_EQ(ProgressLabel("x", -5, 100), "x: 0%");
  EXPECT_EQ(ProgressLabel("x", 5, 0), "x: 0%");
}

TEST(ProgressBar, ClampsOutOfRangePositions) {
  EXPECT_EQ(ProgressBar(150, 100, 4), "####");
  EXPECT_EQ(ProgressBar(-5, 100, 4), "....");
  EXPECT_EQ(ProgressBar(3, 0, 4), "....");
  EXPECT_EQ(ProgressBar(33, 100, 3), "...");  // 33% of 3 cells is not yet one
}

}  // namespace
}  // namespace pintovel_render
