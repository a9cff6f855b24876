// OnDraw, AllShapeDraw and AllShapeDraw_Quickly on images allocated at exactly their size, so
// that AddressSanitizer stops any write past the last pixel.
//
// Scenes come in two kinds: loose ones (a few shapes of any size, hostile values among them)
// and busy ones (many small shapes inside a narrow image, shared ids, front masks that are no
// consistent order, negative windings, loops covering twice, strips whose coverage lies on
// 1e-9, 0.999999999 or 0.5), which give the drawing roads many runs per row.
//
// Checked on every input:
// - a false result leaves the image byte for byte as it was, and a call within every documented
//   precondition returns true;
// - OnDraw: every channel is the documented blend of the list, byte 3 is 0;
// - AllShapeDraw: the same bytes as the incremental road (CreatePixelData on fresh lists, then
//   OnDraw), and false only where that road fails too; with accepted vertices, the same result
//   and bytes as the straightforward road of tests/support/reference_roads.h measuring with the
//   library's dense kernel (outlines clipped to the image first, as the library clips them);
// - AllShapeDraw_Quickly: with accepted vertices, the same result and bytes as the
//   straightforward owner map; at plausible coordinates, on a sample of pixels, the owner the
//   exact-area oracle's coverages give (pixels within the clip's snapping distance of the 0.5
//   threshold are not called), and false where the oracle sees a claim on an owner outside the
//   claiming shape's mask.
// Images stay small (at most 2^14 pixels are drawn) so that a run covers many inputs a second.
#include <pintovel/pintovel.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "clip/polygon_split.h"
#include "coverage/coverage_rows.h"
#include "fuzz/fuzz_input.h"
#include "support/area_oracle.h"
#include "support/host_hooks.h"
#include "support/reference_roads.h"

namespace pintovel::fuzz {
namespace {

struct Image {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
  bool exact = false;     // width * height * 4 bytes; else a small stand-in or null
  bool tooLarge = false;  // a valid size beyond what a fuzz run should allocate: not called
};

// The most pixels the drawing roads build their own per-pixel data for.
constexpr int64_t kDrawPixelLimit = int64_t{1} << 27;
// Valid images up to this many pixels are drawn; larger valid ones are not called, as one of
// them would cost as much as thousands of small inputs.
constexpr int64_t kDrawnPixels = int64_t{1} << 14;

// Images of valid sizes are allocated exactly. A stand-in (null, or a few bytes) is passed only
// with sizes the drawing exports must refuse: a negative size, or more pixels than they draw
// (OnDraw is then given too few lists).
Image MakeImage(FuzzInput& in, int32_t width, int32_t height) {
  Image image;
  const int64_t pixels = int64_t(width) * height;
  if (width >= 0 && height >= 0 && pixels <= kDrawnPixels) {
    image.size = static_cast<size_t>(pixels) * 4;
    image.exact = true;
  } else if (width >= 0 && height >= 0 && pixels <= kDrawPixelLimit) {
    image.tooLarge = true;
    return image;
  } else if (in.Chance(20)) {
    return image;  // null
  } else {
    image.size = in.Count(16);
  }
  image.bytes.reset(new uint8_t[image.size]);
  for (size_t i = 0; i < image.size; ++i) image.bytes[i] = static_cast<uint8_t>(in.Int(0, 255));
  return image;
}

ColourTable MakeColours(FuzzInput& in, size_t ids, int hostile) {
  size_t size = ids;
  if (in.Chance(hostile)) size = in.Count(ids + 1);
  ColourTable colours(size);
  for (uint32_t& c : colours) c = in.Colour();
  return colours;
}

bool Same(const std::vector<uint8_t>& before, const Image& image) {
  return image.size == 0 || std::memcmp(before.data(), image.bytes.get(), image.size) == 0;
}

uint8_t Channel(uint32_t colour, int channel) {
  uint8_t bytes[4];
  std::memcpy(bytes, &colour, 4);
  return bytes[channel];
}

// The blend of one pixel as documented: sums in list order, then (t + 0.5) truncated and
// wrapped. Returns false when a channel's value leaves the int32 range (not checked then).
bool ExpectedPixel(const std::vector<PixelWeight>& list, const ColourTable& colours,
                   const uint8_t* old, uint8_t out[4]) {
  double s[3] = {0.0, 0.0, 0.0};
  double remain = 1.0;
  for (const PixelWeight& e : list) {
    const uint32_t colour = colours[static_cast<size_t>(e.id)];
    const double w = e.weight;
    for (int c = 0; c < 3; ++c) s[c] = s[c] + w * Channel(colour, c);
    remain = remain - w;
  }
  for (int c = 0; c < 3; ++c) {
    const double t = s[c] + remain * old[c] + 0.5;
    if (!(std::fabs(t) < 2147483647.0)) return false;
    out[c] = static_cast<uint8_t>(static_cast<uint32_t>(static_cast<int32_t>(t)) & 0xFFu);
  }
  out[3] = 0;
  return true;
}

void FuzzOnDraw(FuzzInput& in, int hostile) {
  const int32_t width = in.Size(16, hostile / 2);
  const int32_t height = in.Size(16, hostile / 2);
  const size_t ids = static_cast<size_t>(in.Int(1, 6));
  Image image = MakeImage(in, width, height);
  if (image.tooLarge) return;
  const bool small = image.exact;
  const size_t needed = small ? static_cast<size_t>(width) * height : 0;
  size_t lists = small ? needed : in.Count(8);
  if (small && in.Chance(hostile)) lists = in.Bool() ? needed + in.Count(2) : in.Count(needed);
  std::vector<std::vector<PixelWeight>> pixels(lists);
  bool idsInTable = true;
  const ColourTable colours = MakeColours(in, ids, hostile);
  for (size_t p = 0; p < lists; ++p) {
    const size_t n = in.Count(3);
    for (size_t k = 0; k < n; ++k) {
      const int32_t id = in.MakeId(static_cast<int32_t>(ids), hostile);
      pixels[p].push_back(PixelWeight{id, in.Weight(hostile)});
      if (p < needed)
        idsInTable = idsInTable && id >= 0 && static_cast<size_t>(id) < colours.size();
    }
  }
  const std::vector<uint8_t> before(image.bytes.get(), image.bytes.get() + image.size);

  const bool ok = OnDraw(image.bytes.get(), width, height, &pixels, &colours);

  const bool nothingToDo = width <= 0 || height <= 0;
  Tally::Note(ok ? "OnDraw true" : "OnDraw false");
  if (!ok || nothingToDo || !small) {
    FUZZ_CHECK(Same(before, image), "OnDraw (%d x %d, result %d) changed the image", width, height,
               ok);
    FUZZ_CHECK(ok || !(small && lists >= needed && idsInTable),
               "OnDraw refused a %d x %d image within its preconditions", width, height);
    FUZZ_CHECK(ok || !nothingToDo, "OnDraw returned false for a %d x %d image", width, height);
    FUZZ_CHECK(!ok || nothingToDo || small, "OnDraw accepted %zu lists for a %d x %d image", lists,
               width, height);
    return;
  }
  FUZZ_CHECK(lists >= needed && idsInTable, "OnDraw accepted missing lists or foreign ids");
  for (size_t p = 0; p < needed; ++p) {
    uint8_t expected[4];
    const uint8_t* got = image.bytes.get() + 4 * p;
    FUZZ_CHECK(got[3] == 0, "pixel %zu: byte 3 is %u", p, got[3]);
    if (!ExpectedPixel(pixels[p], colours, before.data() + 4 * p, expected)) continue;
    FUZZ_CHECK(std::memcmp(got, expected, 4) == 0, "pixel %zu: %u %u %u, expected %u %u %u", p,
               got[0], got[1], got[2], expected[0], expected[1], expected[2]);
  }
}

struct Shapes {
  std::vector<FrontMask> fronts;
  std::vector<Polygon> outlines;
  std::vector<int32_t> ids;
  ColourTable colours;
  bool accepted = true;   // lists long enough, every vertex finite and within 1e100
  bool valid = true;      // accepted, and masks and table answer for every id
  bool plausible = true;  // accepted, and every vertex a modest number
};

// Set while an input runs, for DescribeShapes.
const Shapes* current = nullptr;

void DescribeShapes() {
  if (current == nullptr) return;
  for (size_t i = 0; i < current->outlines.size(); ++i) {
    std::fprintf(stderr, "  shape %zu: id %d, front", i,
                 i < current->ids.size() ? current->ids[i] : -999);
    if (i < current->fronts.size()) {
      for (bool bit : current->fronts[i]) std::fprintf(stderr, "%d", bit ? 1 : 0);
    }
    std::fprintf(stderr, "\n");
    PrintPoints("outline", current->outlines[i]);
  }
  std::fprintf(stderr, "  %zu colours\n", current->colours.size());
}

void Classify(Shapes& s, int32_t ids) {
  s.accepted = s.outlines.size() >= s.fronts.size() && s.ids.size() >= s.fronts.size();
  s.valid = s.accepted && s.colours.size() >= static_cast<size_t>(ids);
  s.plausible = s.accepted;
  for (size_t i = 0; i < s.fronts.size() && s.accepted; ++i) {
    s.valid = s.valid && s.fronts[i].size() >= static_cast<size_t>(ids) && s.ids[i] >= 0 &&
              s.ids[i] < ids;
    for (const Point& v : s.outlines[i]) {
      s.accepted = s.accepted && std::fabs(v.x) <= 1e100 && std::fabs(v.y) <= 1e100;
      s.plausible = s.plausible && std::fabs(v.x) < 1e4 && std::fabs(v.y) < 1e4;
    }
  }
  s.valid = s.valid && s.accepted;
  s.plausible = s.plausible && s.accepted;
}

Shapes MakeShapes(FuzzInput& in, int32_t width, int32_t height, int hostile) {
  Shapes s;
  const int32_t ids = in.Int(1, 6);
  const size_t n = in.Count(6);
  const double w = width >= 0 && width <= 64 ? width : 8;
  const double h = height >= 0 && height <= 64 ? height : 8;
  for (size_t i = 0; i < n; ++i) {
    s.fronts.push_back(in.MakeFront(static_cast<size_t>(ids), hostile));
    s.outlines.push_back(in.MakePolygon(w, h, 10, hostile / 2));
    s.ids.push_back(in.MakeId(ids, hostile / 2));
  }
  s.colours = MakeColours(in, static_cast<size_t>(ids), hostile);
  if (n > 0 && in.Chance(hostile / 2)) {
    if (in.Bool())
      s.outlines.pop_back();
    else
      s.ids.pop_back();
  }
  Classify(s, ids);
  return s;
}

// A small shape near a point of the quarter-pixel grid in (or a pixel beyond) the image.
Polygon SmallShape(FuzzInput& in, int32_t width, int32_t height) {
  const double x = in.Int(-4, 4 * width + 4) / 4.0;
  const double y = in.Int(-4, 4 * height + 4) / 4.0;
  Polygon p;
  switch (in.Int(0, 5)) {
    case 0: {  // a rectangle of whole and quarter pixels
      const double right = x + in.Int(1, 16) / 4.0, bottom = y + in.Int(1, 16) / 4.0;
      p = {{x, y}, {right, y}, {right, bottom}, {x, bottom}};
      break;
    }
    case 1: {
      // A strip on a pixel line whose coverage lies on a threshold of the fold (1e-9,
      // 0.999999999) or of ownership (0.5), or a hair beside one, one row high and several
      // columns wide, or one column wide and several rows high.
      static const double kThin[] = {1e-9, 0.999999999, 0.5, 1e-9 / 2, 1.0 - 1e-9 / 2, 0.5 + 1e-12};
      const double thin = kThin[in.Count(5)];
      const double x0 = std::floor(x), y0 = std::floor(y);
      const double length = in.Int(1, 12);
      if (in.Bool()) {
        p = {{x0, y0}, {x0 + length, y0}, {x0 + length, y0 + thin}, {x0, y0 + thin}};
      } else {
        p = {{x0, y0}, {x0 + thin, y0}, {x0 + thin, y0 + length}, {x0, y0 + length}};
      }
      break;
    }
    case 2:
    case 3: {  // three to six points within two pixels, on the 1/256 grid
      const size_t n = 3 + in.Count(3);
      for (size_t k = 0; k < n; ++k) {
        p.push_back(Point{x + in.Int(-512, 512) / 256.0, y + in.Int(-512, 512) / 256.0});
      }
      break;
    }
    case 4: {  // a sliver across the image
      const double x1 = in.Int(-4, 4 * width + 4) / 4.0, y1 = in.Int(-4, 4 * height + 4) / 4.0;
      const double t = in.Int(1, 64) / 256.0;
      p = {{x, y}, {x1, y1}, {x1 + t, y1 + t}};
      break;
    }
    default: {  // a large shape under or over the small ones
      for (int k = 0; k < 4; ++k)
        p.push_back(Point{in.Coordinate(width, 0), in.Coordinate(height, 0)});
      break;
    }
  }
  if (in.Chance(30)) std::reverse(p.begin(), p.end());  // negative winding
  if (in.Chance(10)) {                                  // the same loop twice: coverage up to 2
    const Polygon once = p;
    p.insert(p.end(), once.begin(), once.end());
  }
  return p;
}

// Many small shapes on few ids, for many runs per row.
Shapes MakeBusyShapes(FuzzInput& in, int32_t width, int32_t height) {
  Shapes s;
  const int32_t ids = in.Int(1, 8);
  const size_t n = 6 + in.Count(26);
  // Masks from one stacking order (rank[a] > rank[b]: a in front of b), or bits at random.
  const bool ordered = in.Bool();
  std::vector<int32_t> rank(static_cast<size_t>(ids));
  for (int32_t k = 0; k < ids; ++k) rank[static_cast<size_t>(k)] = in.Int(0, ids);
  for (size_t i = 0; i < n; ++i) {
    const int32_t id = in.Int(0, ids - 1);
    // Now and then a mask too short for the ids, which the roads must reject where it matters.
    FrontMask front(static_cast<size_t>(in.Chance(1) ? in.Int(0, ids - 1) : ids));
    for (size_t k = 0; k < front.size(); ++k) {
      front[k] = ordered ? rank[k] > rank[static_cast<size_t>(id)] : in.Chance(40);
    }
    s.fronts.push_back(front);
    s.ids.push_back(id);
    s.outlines.push_back(SmallShape(in, width, height));
  }
  // Now and then painting order (ids rising along the list, each mask marking the higher ids),
  // which the roads take from the front of the stack to the back.
  if (ordered && in.Bool()) {
    std::sort(s.ids.begin(), s.ids.end());
    for (size_t i = 0; i < n; ++i) {
      for (size_t k = 0; k < s.fronts[i].size(); ++k) {
        s.fronts[i][k] = static_cast<int32_t>(k) > s.ids[i];
      }
    }
  }
  s.colours = MakeColours(in, static_cast<size_t>(ids), 2);
  Classify(s, ids);
  Tally::Note(s.valid ? "busy scene, valid" : "busy scene, a short mask or table");
  return s;
}

// The reference roads need outlines inside the image; the library clips those reaching beyond
// it the same way before measuring.
std::vector<Polygon> ClippedToImage(const Shapes& s, int32_t width, int32_t height) {
  std::vector<Polygon> inside(s.outlines.begin(),
                              s.outlines.begin() + static_cast<std::ptrdiff_t>(s.fronts.size()));
  Polygon scratch;
  for (Polygon& polygon : inside) {
    if (polygon.empty()) continue;
    Bounds box = BoundingBox(polygon);
    if (box.minX >= 0 && box.maxX <= width && box.minY >= 0 && box.maxY <= height) continue;
    Bounds scratchBounds{};
    ClipPolygonToImage(polygon, box, width, height, polygon, scratch, scratchBounds);
  }
  return inside;
}

void LibraryCoverage(const Bounds& window, const Polygon& polygon, CoverageGrid& grid) {
  MeasureCoverageGrid(window, polygon, grid);
}

void FuzzAllShapeDraw(FuzzInput& in, const Shapes& s, int32_t width, int32_t height) {
  Image image = MakeImage(in, width, height);
  if (image.tooLarge) return;
  const std::vector<uint8_t> before(image.bytes.get(), image.bytes.get() + image.size);

  const bool ok =
      AllShapeDraw(&s.fronts, &s.outlines, &s.ids, &s.colours, width, height, image.bytes.get());

  if (!image.exact) {
    FUZZ_CHECK(Same(before, image), "AllShapeDraw (%d x %d) wrote to a stand-in image", width,
               height);
    FUZZ_CHECK(!ok, "AllShapeDraw accepted a %d x %d image", width, height);
    return;
  }
  if (!ok) {
    FUZZ_CHECK(Same(before, image), "a false AllShapeDraw changed the image");
    FUZZ_CHECK(!s.valid, "AllShapeDraw refused shapes within every precondition");
  }
  FUZZ_CHECK(s.accepted || !ok, "AllShapeDraw accepted short lists or a rejected vertex");
  // The incremental road on the same input.
  PixelData data;
  data.pixels.resize(static_cast<size_t>(width) * height);
  data.width = width;
  data.height = height;
  const Bounds window{0.0, double(width), 0.0, double(height)};
  std::vector<uint8_t> road = before;
  const bool created =
      CreatePixelData(&s.fronts, &s.outlines, &window, &s.ids, testing::HostArg(data));
  const bool drawn = created && OnDraw(road.data(), width, height, &data.pixels, &s.colours);
  Tally::Note(ok ? "AllShapeDraw true, compared" : "AllShapeDraw false, compared");
  FUZZ_CHECK(ok == drawn, "AllShapeDraw returned %d, the incremental road %d (create %d)", ok,
             drawn, created);
  if (ok) {
    FUZZ_CHECK(Same(road, image), "AllShapeDraw and the incremental road drew different images");
  }
  if (!s.accepted) return;
  std::vector<uint8_t> reference = before;
  const bool referenceOk =
      testing::ReferenceAllShapeDraw(s.fronts, ClippedToImage(s, width, height), s.ids, s.colours,
                                     width, height, &LibraryCoverage, reference.data());
  Tally::Note("AllShapeDraw, straightforward road compared");
  FUZZ_CHECK(ok == referenceOk, "AllShapeDraw returned %d, the straightforward road %d", ok,
             referenceOk);
  if (ok) {
    for (size_t p = 0; p < image.size / 4; ++p) {
      FUZZ_CHECK(std::memcmp(image.bytes.get() + 4 * p, reference.data() + 4 * p, 4) == 0,
                 "pixel (%d, %d): AllShapeDraw and the straightforward road differ",
                 static_cast<int>(p % width), static_cast<int>(p / width));
    }
  }
}

// Pixels to compare with the oracle: all of a small image, else a spread of them.
std::vector<size_t> SamplePixels(FuzzInput& in, size_t count) {
  std::vector<size_t> sample;
  constexpr size_t kSampled = 24;
  if (count <= kSampled) {
    for (size_t p = 0; p < count; ++p) sample.push_back(p);
    return sample;
  }
  uint32_t state = static_cast<uint32_t>(in.Int(0, 1 << 30)) | 1u;
  for (size_t k = 0; k < kSampled; ++k) {
    state = state * 1664525u + 1013904223u;  // a linear congruential step
    sample.push_back((state >> 8) % count);
  }
  return sample;
}

void FuzzQuickly(FuzzInput& in, const Shapes& s, int32_t width, int32_t height) {
  Image image = MakeImage(in, width, height);
  if (image.tooLarge) return;
  const std::vector<uint8_t> before(image.bytes.get(), image.bytes.get() + image.size);

  const bool ok = AllShapeDraw_Quickly(&s.fronts, &s.outlines, &s.ids, &s.colours, width, height,
                                       image.bytes.get());

  if (!ok || !image.exact) {
    FUZZ_CHECK(Same(before, image), "AllShapeDraw_Quickly (%d x %d, result %d) changed the image",
               width, height, ok);
  }
  if (!image.exact) {
    FUZZ_CHECK(!ok, "AllShapeDraw_Quickly accepted a %d x %d image", width, height);
    return;
  }
  FUZZ_CHECK(ok || !s.valid, "AllShapeDraw_Quickly refused shapes within every precondition");
  FUZZ_CHECK(s.accepted || !ok, "AllShapeDraw_Quickly accepted short lists or a rejected vertex");
  if (!s.accepted) return;
  bool negativeId = false;
  for (size_t i = 0; i < s.fronts.size(); ++i) negativeId |= s.ids[i] < 0;
  if (negativeId) {
    FUZZ_CHECK(!ok, "AllShapeDraw_Quickly accepted a negative id");
    return;
  }

  std::vector<uint8_t> reference = before;
  const bool referenceOk =
      testing::ReferenceQuickDraw(s.fronts, ClippedToImage(s, width, height), s.ids, s.colours,
                                  width, height, &LibraryCoverage, reference.data());
  Tally::Note(ok ? "Quickly true, straightforward road compared"
                 : "Quickly false, straightforward road compared");
  FUZZ_CHECK(ok == referenceOk, "AllShapeDraw_Quickly returned %d, the straightforward road %d", ok,
             referenceOk);
  if (ok) {
    for (size_t p = 0; p < image.size / 4; ++p) {
      FUZZ_CHECK(std::memcmp(image.bytes.get() + 4 * p, reference.data() + 4 * p, 4) == 0,
                 "pixel (%d, %d): AllShapeDraw_Quickly and the straightforward road differ",
                 static_cast<int>(p % width), static_cast<int>(p / width));
    }
  }

  if (!s.plausible) return;
  std::vector<Bounds> boxes;
  for (size_t i = 0; i < s.fronts.size(); ++i) boxes.push_back(BoundingBox(s.outlines[i]));
  for (size_t p : SamplePixels(in, image.size / 4)) {
    const int32_t x = static_cast<int32_t>(p % width), y = static_cast<int32_t>(p / width);
    int32_t owner = -1;
    bool certain = true;
    bool misfit = false;
    for (size_t i = 0; i < s.fronts.size() && certain && !misfit; ++i) {
      if (s.outlines[i].empty() || boxes[i].maxX <= x || boxes[i].minX >= x + 1 ||
          boxes[i].maxY <= y || boxes[i].minY >= y + 1) {
        continue;
      }
      const double cov = static_cast<double>(testing::ExactCellArea(s.outlines[i], x, y));
      // Clipping to the image snaps vertices within 1e-9 of a border onto it, which moves a
      // cell's area by up to a few 1e-9: too close to call.
      if (std::fabs(cov - 0.5) < 4e-9) {
        certain = false;
      } else if (cov >= 0.5) {
        if (owner >= 0 && static_cast<size_t>(owner) >= s.fronts[i].size()) {
          misfit = true;
        } else if (owner < 0 || !s.fronts[i][static_cast<size_t>(owner)]) {
          owner = s.ids[i];
        }
      }
    }
    if (!certain) continue;
    Tally::Note("Quickly, oracle owner of a sampled pixel");
    FUZZ_CHECK(!(misfit && ok), "pixel (%d, %d): a claim on an owner outside the mask, accepted", x,
               y);
    if (!ok || misfit) continue;
    const uint8_t* got = image.bytes.get() + 4 * p;
    if (owner < 0) {
      FUZZ_CHECK(std::memcmp(got, before.data() + 4 * p, 4) == 0,
                 "pixel (%d, %d) has no owner but changed", x, y);
    } else {
      FUZZ_CHECK(static_cast<size_t>(owner) < s.colours.size(),
                 "pixel (%d, %d): owner %d outside the colour table, accepted", x, y, owner);
      FUZZ_CHECK(std::memcmp(got, &s.colours[static_cast<size_t>(owner)], 4) == 0,
                 "pixel (%d, %d) does not hold the colour of its owner %d", x, y, owner);
    }
  }
}

}  // namespace
}  // namespace pintovel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  using namespace pintovel::fuzz;
  FuzzInput in(bytes, size);
  const int hostile = in.Chance(25) ? in.Int(1, 30) : 0;
  const int road = in.Int(0, 2);
  if (road == 0) {
    FuzzOnDraw(in, hostile);
    return 0;
  }
  int32_t width = 0, height = 0;
  Shapes s;
  if (in.Chance(50)) {
    width = in.Int(1, 40);
    height = in.Int(1, 8);
    s = MakeBusyShapes(in, width, height);
  } else {
    width = in.Size(16, hostile / 3);
    height = in.Size(16, hostile / 3);
    s = MakeShapes(in, width, height, hostile);
  }
  current = &s;
  describeInput = &DescribeShapes;
  if (road == 1) {
    FuzzAllShapeDraw(in, s, width, height);
  } else {
    FuzzQuickly(in, s, width, height);
  }
  describeInput = nullptr;
  current = nullptr;
  return 0;
}
