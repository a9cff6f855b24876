// A minimal host: a Bezier square in document units through RegularPolygons, drawn with
// AllShapeDraw into a 4x4 image. The square covers pixels (1..2, 1..2) exactly.
#include <pintovel/pintovel.h>

#include <cstdio>
#include <vector>

using namespace pintovel;

static void PINTOVEL_HOOK_CALL CommitPolygons(InOutArg<std::vector<Polygon>>* arg) {
  *arg->target = *arg->working;
  arg->release(arg);
}

int main() {
  // A straight-sided square from (25, 25) to (75, 75); control points lie on its edges.
  const BezierPath square{{25, 25}, {50, 25}, {50, 25}, {75, 25}, {75, 50}, {75, 50}, {75, 75},
                          {50, 75}, {50, 75}, {25, 75}, {25, 50}, {25, 50}, {25, 25}};
  const std::vector<BezierPath> paths{square};
  std::vector<Polygon> polygons;
  InOutArg<std::vector<Polygon>> out{&polygons, nullptr, &CommitPolygons, nullptr};
  if (!RegularPolygons(&paths, 0, 100, 0, 100, 4, 4, out)) return 1;

  const std::vector<FrontMask> fronts{FrontMask(1, false)};
  const std::vector<int32_t> ids{0};
  const ColourTable colours{0x00336699u};
  std::vector<uint8_t> image(4 * 4 * 4, 255);
  if (!AllShapeDraw(&fronts, &polygons, &ids, &colours, 4, 4, image.data())) return 2;

  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const uint8_t* p = &image[4 * (y * 4 + x)];
      const bool inside = x >= 1 && x <= 2 && y >= 1 && y <= 2;
      const uint8_t expected[3] = {inside ? uint8_t(0x99) : uint8_t(255),
                                   inside ? uint8_t(0x66) : uint8_t(255),
                                   inside ? uint8_t(0x33) : uint8_t(255)};
      if (p[0] != expected[0] || p[1] != expected[1] || p[2] != expected[2] || p[3] != 0) {
        std::printf("pixel %d,%d is %d %d %d %d\n", x, y, p[0], p[1], p[2], p[3]);
        return 3;
      }
    }
  }
  std::printf("consumer drew the square\n");
  return 0;
}
