// pintovel-bench-memory SCENE ROAD [--glyph-stride=N]: the peak memory one road needs beyond
// its image and its inputs, in a process of its own.
//
// The scene and the road's images and surfaces are built and written first (so their pages
// are resident), freed heap memory goes back to the system, and the resident-set high-water
// mark is reset to the current resident set (/proc/self/clear_refs, value 5). The road then
// draws the scene once; the growth of the high-water mark over that baseline is what the road
// itself needed at its peak. Where the reset is refused, the baseline is the high-water mark
// as it stands, which can only understate the growth, and the output says so.
//
// Prints: SCENE ROAD peak_bytes=N image_pixels=P bytes_per_pixel=B baseline=reset|maxrss
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "roads.h"
#include "scenes.h"

namespace {

// A "Name:   N kB" line of /proc/self/status in bytes; -1 when absent.
long long StatusBytes(const char* name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t length = std::strlen(name);
  while (std::getline(status, line)) {
    if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':') {
      return std::atoll(line.c_str() + length + 1) * 1024;
    }
  }
  return -1;
}

bool ResetHighWaterMark() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: pintovel-bench-memory SCENE ROAD [--glyph-stride=N]\n";
    return 1;
  }
  const std::string sceneName = argv[1];
  int glyphStride = 1;
  if (argc > 3 && std::strncmp(argv[3], "--glyph-stride=", 15) == 0) {
    glyphStride = std::atoi(argv[3] + 15);
  }
  pintovel::bench::Road road;
  if (!pintovel::bench::ParseRoad(argv[2], road)) {
    std::cerr << "unknown road " << argv[2] << "\n";
    return 1;
  }
  std::unique_ptr<pintovel::bench::Scene> scene =
      pintovel::bench::BuildScene(sceneName, glyphStride);
  if (!scene) {
    std::cerr << "unknown scene " << sceneName << "\n";
    return 1;
  }
  std::unique_ptr<pintovel::bench::PreparedRoad> prepared =
      pintovel::bench::PrepareRoad(*scene, road);
  if (!prepared) {
    std::cout << sceneName << " " << argv[2] << " not-available\n";
    return 3;
  }

  malloc_trim(0);
  const bool reset = ResetHighWaterMark();
  const long long baseline = reset ? StatusBytes("VmRSS") : StatusBytes("VmHWM");
  if (!prepared->RunOnce()) {
    std::cerr << sceneName << " " << argv[2] << ": the road returned a failure\n";
    return 2;
  }
  const long long peak = StatusBytes("VmHWM");
  volatile uint64_t digest = prepared->Digest();
  (void)digest;
  const long long growth = peak > baseline ? peak - baseline : 0;
  const long long pixels = scene->ImagePixels();
  std::printf("%s %s peak_bytes=%lld image_pixels=%lld bytes_per_pixel=%.2f baseline=%s\n",
              sceneName.c_str(), argv[2], growth, pixels,
              pixels > 0 ? double(growth) / double(pixels) : 0.0, reset ? "reset" : "maxrss");
  return 0;
}
