// Exceptions thrown by the host's own code while an export runs.
//
// ExportRibbon: the n-th host call throws, for every n until the export runs through. The
// exception must leave the export unchanged, the library must make no further host call except
// giving the buffer back, Free must have been called exactly once with the buffer whenever
// Allocate had handed one out (only a throw from GetWidth, GetHeight or Allocate itself leaves
// no buffer), and nothing the library allocated may remain.
//
// Hand-back records: a commit hook that throws after it has released the working copy (a hook
// must release before anything in it can throw). The exception leaves the export, and nothing of
// the library's is left behind.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <string>
#include <vector>

#include "robustness/failing_allocator.h"
#include "robustness/ribbon_test_host.h"

namespace pintovel {
namespace {

using testing::ArmAllocations;
using testing::DisarmAllocations;
using testing::HostError;
using testing::HostScope;
using testing::LiveTrackedAllocations;
using testing::TestRibbonHost;

std::vector<RibbonShape> TwoShapes(double top) {
  std::vector<RibbonShape> shapes(2);
  shapes[0].id = 1;
  shapes[0].front = FrontMask{false, false, false};
  shapes[0].outline = {{1, top + 1}, {5, top + 1}, {5, top + 1}, {9, top + 1}, {9, top + 4},
                       {9, top + 4}, {9, top + 8}, {1, top + 8}, {1, top + 8}, {1, top + 1}};
  shapes[1].id = 2;
  shapes[1].front = FrontMask{false, true, false};
  shapes[1].outline = {{3, top - 2}, {12, top}, {8, top + 9}, {3, top - 2}};
  return shapes;
}

// Makes every host call throw in turn; returns how many calls the undisturbed export makes.
int ThrowAtEveryHostCall(int32_t width, int32_t height, double top) {
  const std::vector<RibbonShape> shapes = TwoShapes(top);
  const LayerTable layers{0, 3, 5};
  int calls = 0;
  {
    TestRibbonHost host(width, height);
    RibbonHost record = host.Host();
    EXPECT_TRUE(ExportRibbon(&record, &shapes, &layers));
    calls = static_cast<int>(host.events().size());
  }
  for (int n = 1; n <= calls; ++n) {
    TestRibbonHost host(width, height);
    host.ThrowAtCall(n);
    RibbonHost record = host.Host();
    ArmAllocations(-1);  // count and track only
    bool threw = false;
    try {
      ExportRibbon(&record, &shapes, &layers);
    } catch (const HostError&) {
      threw = true;
    }
    DisarmAllocations();
    EXPECT_TRUE(threw) << "call " << n << " threw, the exception did not leave the export";
    EXPECT_EQ(LiveTrackedAllocations(), 0u) << "blocks leaked when call " << n << " threw";
    EXPECT_FALSE(host.callAfterFree()) << "call " << n;
    const std::vector<testing::RibbonEvent>& events = host.events();
    if (events.size() < static_cast<size_t>(n)) {
      ADD_FAILURE() << "call " << n << " threw but only " << events.size() << " calls were made";
      continue;
    }
    const std::string thrower = events[static_cast<size_t>(n) - 1].call;
    if (host.allocated()) {
      EXPECT_EQ(host.frees(), 1) << "call " << n << " (" << thrower << ") threw";
      EXPECT_TRUE(host.freedTheBuffer()) << "call " << n;
      // After the throwing call only Free may come, and only if the throw was not Free's own.
      const size_t expectedCalls = static_cast<size_t>(n) + (thrower == "Free" ? 0 : 1);
      EXPECT_EQ(events.size(), expectedCalls) << "call " << n << " (" << thrower << ") threw";
      if (thrower != "Free") {
        EXPECT_EQ(events.back().call, "Free");
      }
    } else {
      EXPECT_TRUE(thrower == "GetWidth" || thrower == "GetHeight" || thrower == "Allocate")
          << thrower;
      EXPECT_EQ(host.frees(), 0) << "call " << n;
      EXPECT_EQ(events.size(), static_cast<size_t>(n)) << "a host call after the throwing one";
    }
  }
  return calls;
}

TEST(HostExceptions, ExportRibbonSurvivesAThrowFromEveryHostCall) {
  // GetWidth, GetHeight, Allocate, the first report (text, position), two masks and a report
  // for the one band, Free.
  EXPECT_EQ(ThrowAtEveryHostCall(10, 10, 0.0), 10);
}

TEST(HostExceptions, ExportRibbonSurvivesAThrowFromEveryHostCallAcrossBands) {
  // 500,001 x 2: two bands of one row, the shapes straddling the cut.
  EXPECT_EQ(ThrowAtEveryHostCall(500001, 2, -3.0), 14);
}

// ---- A commit hook that throws --------------------------------------------------------------

struct CommitError {};

// Copies and releases, then throws.
template <class T>
void PINTOVEL_HOOK_CALL ReleaseThenThrow(InOutArg<T>* arg) {
  {
    HostScope host;
    *arg->target = *arg->working;
  }
  arg->release(arg);
  throw CommitError{};
}

template <class T>
void PINTOVEL_HOOK_CALL NoRelease(InOutArg<T>*) {}

template <class T>
size_t LeftAfterThrowingCommit(T& target, void(PINTOVEL_HOOK_CALL* commit)(InOutArg<T>*),
                               bool (*call)(InOutArg<T>)) {
  ArmAllocations(-1);
  bool threw = false;
  try {
    call(InOutArg<T>{&target, nullptr, commit, &NoRelease<T>});
  } catch (const CommitError&) {
    threw = true;
  }
  DisarmAllocations();
  EXPECT_TRUE(threw);
  return LiveTrackedAllocations();
}

PixelData SmallData() {
  PixelData data;
  data.pixels.resize(4 * 3);
  data.width = 4;
  data.height = 3;
  data.pixels[5].push_back({0, 0.5});
  return data;
}

// Inputs built before any test arms the allocator, so that none of their storage is counted.
const FrontMask kSquareFront{false, false};
const Polygon kSquare{{0.5, 0.5}, {3.5, 0.5}, {3.5, 2.5}, {0.5, 2.5}};
const Bounds kSquareWindow{0, 4, 0, 3};
const BezierPath kSquarePath{{1, 1}, {3, 1}, {3, 1}, {3, 3}, {1, 3}, {1, 3}, {1, 1}};

bool UpdateSquare(InOutArg<PixelData> arg) {
  return UpdatePixelData(&kSquareFront, &kSquare, &kSquareWindow, 1, arg);
}

bool OneOutline(InOutArg<Polygon> arg) {
  return RegularPolygon(&kSquarePath, 0, 4, 0, 4, 4, 4, arg);
}

TEST(HostExceptions, CommitThatReleasesThenThrowsLeavesNothingBehind) {
  PixelData data = SmallData();
  EXPECT_EQ(LeftAfterThrowingCommit<PixelData>(data, &ReleaseThenThrow<PixelData>, &UpdateSquare),
            0u);
  Polygon polygon;
  EXPECT_EQ(LeftAfterThrowingCommit<Polygon>(polygon, &ReleaseThenThrow<Polygon>, &OneOutline), 0u);
}

}  // namespace
}  // namespace pintovel
