#include "options.h"

#include <gtest/gtest.h>

#include "tool_error.h"

namespace pintovel_render {
namespace {

ExitCode ErrorOf(const std::vector<std::string>& arguments) {
  try {
    ParseOptions(arguments);
  } catch (const ToolError& error) {
    return error.code();
  }
  return ExitCode::kOk;
}

TEST(Options, ReadsEveryOption) {
  const Options options =
      ParseOptions({"in.svg", "-o", "out.png", "--width=64", "-H", "32", "--background", "#102030",
                    "--quick", "--ribbon", "dir", "--ids", "4,1-2", "--quiet", "--strict"});
  EXPECT_EQ(options.input, "in.svg");
  EXPECT_EQ(*options.output, "out.png");
  EXPECT_EQ(*options.width, 64);
  EXPECT_EQ(*options.height, 32);
  EXPECT_EQ(options.background.green, 0x20);
  EXPECT_TRUE(options.quick);
  EXPECT_EQ(*options.ribbonDirectory, "dir");
  EXPECT_EQ(*options.ids, (std::vector<int>{1, 2, 4}));
  EXPECT_TRUE(options.quiet);
  EXPECT_TRUE(options.strict);
  EXPECT_FALSE(ParseOptions({"in.svg", "-o", "out.png"}).strict);
  EXPECT_TRUE(ParseOptions({"--help"}).help);
  EXPECT_TRUE(ParseOptions({"--version"}).version);
}

TEST(Options, UsageErrors) {
  EXPECT_EQ(ErrorOf({}), ExitCode::kUsage);
  EXPECT_EQ(ErrorOf({"in.svg"}), ExitCode::kUsage);  // nothing to write
  EXPECT_EQ(ErrorOf({"in.svg", "-o"}), ExitCode::kUsage);
  EXPECT_EQ(ErrorOf({"in.svg", "-o", "x.png", "--frobnicate"}), ExitCode::kUsage);
  EXPECT_EQ(ErrorOf({"a.svg", "b.svg", "-o", "x.png"}), ExitCode::kUsage);
  EXPECT_EQ(ErrorOf({"in.svg", "-o", "x.png", "--width", "ten"}), ExitCode::kUsage);
  EXPECT_EQ(ErrorOf({"in.svg", "-o", "x.png", "--background", "#12"}), ExitCode::kUsage);
  EXPECT_EQ(ErrorOf({"in.svg", "-o", "x.png", "--ids", "1"}), ExitCode::kUsage);
  EXPECT_EQ(ErrorOf({"in.svg", "--ribbon", "d", "--ids", "3-1"}), ExitCode::kUsage);
  EXPECT_EQ(ErrorOf({"in.svg", "--ribbon", "d", "--ids", "1,,2"}), ExitCode::kUsage);
  EXPECT_EQ(ErrorOf({"in.svg", "--quick=yes", "-o", "x.png"}), ExitCode::kUsage);
  // A size is read here and judged later: zero or huge is an impossible size, not a typo.
  EXPECT_EQ(*ParseOptions({"in.svg", "-o", "x", "--width", "0"}).width, 0);
  EXPECT_EQ(*ParseOptions({"in.svg", "-o", "x", "--width", "99999999999"}).width, INT32_MAX);
}

}  // namespace
}  // namespace pintovel_render
