// pintovel-bench: every road on every scene, in one process and one run, through Google
// Benchmark. One iteration draws the whole scene once; the "units" counter says how many glyphs
// that was (1 for the other scenes), so per-glyph time is the iteration time divided by it.
//
// Own flags (before Google Benchmark's): --glyph-stride=N keeps every N-th glyph, and
// --no-warm-up skips the untimed first draw of each case (both for smoke runs), and
// --iterations=N times exactly N draws per repetition instead of as many as the minimum time
// asks for (for counting instructions under an emulator, tools/count-i686.sh, where the number
// of draws must not depend on how fast the emulator runs).
// Scenes are built and checked (scene_check.h) the first time a case needs them, outside the
// timed loop; a scene that fails its check stops the run.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <limits>
#include <memory>
#include <string>

#include "roads.h"
#include "scene_check.h"
#include "scenes.h"

namespace pintovel::bench {
namespace {

int glyphStride = 1;
bool warmUp = true;
int fixedIterations = 0;  // 0: Google Benchmark chooses from the minimum time

// The scene of the running case and the road prepared on it; a case of another scene or road
// replaces them, so at most one scene is held at a time.
struct Current {
  std::unique_ptr<Scene> scene;
  Road road = Road::kKernel;
  std::unique_ptr<PreparedRoad> prepared;
};

Current& CurrentCase() {
  static Current current;
  return current;
}

PreparedRoad* Prepare(const std::string& sceneName, Road road, const Scene** scene) {
  Current& current = CurrentCase();
  if (!current.scene || current.scene->name != sceneName) {
    current.prepared.reset();
    current.scene = BuildScene(sceneName, glyphStride);
    if (!current.scene || !CheckScene(*current.scene, std::cerr)) {
      std::cerr << "scene " << sceneName << " could not be built or failed its check\n";
      std::exit(2);
    }
  }
  if (!current.prepared || current.road != road) {
    current.prepared.reset();
    current.prepared = PrepareRoad(*current.scene, road);
    current.road = road;
    // One untimed draw first: the heap then holds what the road's calls need, as in a host
    // that has drawn before, so no repetition pays for growing it.
    if (warmUp && current.prepared && !current.prepared->RunOnce()) current.prepared.reset();
  }
  *scene = current.scene.get();
  return current.prepared.get();
}

void DrawScene(benchmark::State& state, const std::string& sceneName, Road road) {
  const Scene* scene = nullptr;
  PreparedRoad* prepared = Prepare(sceneName, road, &scene);
  if (prepared == nullptr) {
    state.SkipWithError("road not available for this scene");
    return;
  }
  for (auto _ : state) {
    if (!prepared->RunOnce()) {
      state.SkipWithError("the road returned a failure");
      break;
    }
  }
  uint64_t digest = prepared->Digest();
  benchmark::DoNotOptimize(digest);
  state.counters["units"] = static_cast<double>(scene->Units());
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// CPU microseconds to get one fresh 4 KiB page and write it (the best of a few 64 MiB rounds),
// measured before the heap settings of main apply. The library's drawing roads allocate their
// per-pixel data on every call; a host whose allocator hands large blocks back to the system
// pays this per page of them on every call, which the bench's warm heap leaves out.
double FreshPageMicroseconds() {
  constexpr size_t kBytes = size_t{64} << 20;
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    const double start = ProcessCpuSeconds();
    std::unique_ptr<char[]> block(new char[kBytes]);
    for (size_t i = 0; i < kBytes; i += 4096) block[i] = static_cast<char>(i >> 12);
    benchmark::DoNotOptimize(block.get());
    benchmark::ClobberMemory();
    block.reset();
    best = std::min(best, ProcessCpuSeconds() - start);
  }
  return best * 1e6 / double(kBytes / 4096);
}

void RegisterAll(double freshPageMicroseconds) {
  char cost[32];
  std::snprintf(cost, sizeof cost, "%.2f", freshPageMicroseconds);
  benchmark::AddCustomContext("fresh_page_us", cost);
  benchmark::AddCustomContext("peer_freetype", FreeTypeIsBuilt() ? "built" : "absent");
  benchmark::AddCustomContext("peer_cairo", CairoIsBuilt() ? "built" : "absent");
  benchmark::AddCustomContext("pointer_bits", std::to_string(8 * sizeof(void*)));
  for (const std::string& sceneName : SceneNames()) {
    const SceneKind kind = sceneName.rfind("glyphs", 0) == 0   ? SceneKind::kGlyphs
                           : sceneName.rfind("ribbon", 0) == 0 ? SceneKind::kRibbon
                                                               : SceneKind::kShapes;
    for (Road road : AllRoads()) {
      if (!RoadIsBuilt(road) || !RoadAppliesTo(road, kind)) continue;
      benchmark::internal::Benchmark* registered = benchmark::RegisterBenchmark(
          (sceneName + "/" + RoadName(road)).c_str(), DrawScene, sceneName, road);
      registered->Unit(benchmark::kMillisecond);
      if (fixedIterations > 0) registered->Iterations(fixedIterations);
    }
  }
}

}  // namespace
}  // namespace pintovel::bench

int main(int argc, char** argv) {
  // Memory once obtained stays with the process: no block is mapped on its own (such blocks go
  // back to the system when freed and come back as fresh zeroed pages) and the heap is never
  // trimmed. After the untimed first draw of a case its calls then reuse warm memory whatever
  // ran before, and the times do not carry this machine's fresh-page cost, which swings
  // tenfold with the host's state (printed as fresh_page_us).
  const double freshPage = pintovel::bench::FreshPageMicroseconds();
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--glyph-stride=", 15) == 0) {
      pintovel::bench::glyphStride = std::atoi(argv[i] + 15);
    } else if (std::strcmp(argv[i], "--no-warm-up") == 0) {
      pintovel::bench::warmUp = false;
    } else if (std::strncmp(argv[i], "--iterations=", 13) == 0) {
      pintovel::bench::fixedIterations = std::atoi(argv[i] + 13);
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  pintovel::bench::RegisterAll(freshPage);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
