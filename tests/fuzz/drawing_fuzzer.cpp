// OnDraw, AllShapeDraw and AllShapeDraw_Quickly on images allocated at exactly their size, so
// that AddressSanitizer stops any write past the last pixel.
//
// Checked on every input:
// - a false result leaves the image byte for byte as it was, and a call within every documented
//   precondition returns true;
// - OnDraw: every channel is the documented blend of the list, byte 3 is 0;
// - AllShapeDraw: the same bytes as the incremental road (CreatePixelData on fresh lists, then
//   OnDraw), and false only where that road fails too;
// - AllShapeDraw_Quickly: at plausible coordinates, the owner of every pixel is the one the
//   exact-area oracle's coverages give, and so is the result (true or false); elsewhere every
//   pixel is unchanged or holds all four bytes of one shape's colour.
#include <pintovel/pintovel.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_input.h"
#include "support/area_oracle.h"
#include "support/host_hooks.h"

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

// Images of valid sizes are allocated exactly. A stand-in (null, or a few bytes) is passed only
// with sizes the drawing exports must refuse: a negative size, or more pixels than they draw
// (OnDraw is then given too few lists).
Image MakeImage(FuzzInput& in, int32_t width, int32_t height) {
  Image image;
  const int64_t pixels = int64_t(width) * height;
  if (width >= 0 && height >= 0 && pixels <= (1 << 18)) {
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
  const int32_t width = in.Size(32, hostile / 2);
  const int32_t height = in.Size(32, hostile / 2);
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
  bool valid = true;      // masks and table answer for every id, vertices accepted, lists match
  bool plausible = true;  // every vertex a modest finite number
};

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
    s.valid = s.valid && s.fronts.back().size() >= static_cast<size_t>(ids) && s.ids.back() >= 0 &&
              s.ids.back() < ids;
    for (const Point& v : s.outlines.back()) {
      s.valid = s.valid && std::fabs(v.x) <= 1e100 && std::fabs(v.y) <= 1e100;
      s.plausible = s.plausible && std::fabs(v.x) < 1e4 && std::fabs(v.y) < 1e4;
    }
  }
  s.colours = MakeColours(in, static_cast<size_t>(ids), hostile);
  s.valid = s.valid && s.colours.size() >= static_cast<size_t>(ids);
  if (n > 0 && in.Chance(hostile / 2)) {
    if (in.Bool())
      s.outlines.pop_back();
    else
      s.ids.pop_back();
    s.valid = false;
    s.plausible = false;
  }
  return s;
}

void FuzzAllShapeDraw(FuzzInput& in, int hostile) {
  const int32_t width = in.Size(32, hostile / 3);
  const int32_t height = in.Size(32, hostile / 3);
  Shapes s = MakeShapes(in, width, height, hostile);
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
}

// The owner map the oracle's coverages give, or nothing when some pixel's coverage lies too
// close to the 0.5 threshold for the answer to be certain.
bool ExpectedOwners(const Shapes& s, int32_t width, int32_t height, std::vector<int32_t>& owners,
                    bool& expectOk) {
  owners.assign(static_cast<size_t>(width) * height, -1);
  expectOk = true;
  const size_t n = s.fronts.size();
  for (size_t i = 0; i < n; ++i) {
    std::vector<size_t> claimed;
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        const long double cov = testing::ExactCellArea(s.outlines[i], x, y);
        // Clipping to the image snaps vertices within 1e-9 of a border onto it, which moves a
        // cell's area by up to a few 1e-9: too close to call.
        if (std::fabs(static_cast<double>(cov) - 0.5) < 4e-9) return false;
        if (cov >= 0.5L) claimed.push_back(static_cast<size_t>(y) * width + x);
      }
    }
    for (size_t p : claimed) {
      const int32_t owner = owners[p];
      if (owner >= 0 && static_cast<size_t>(owner) >= s.fronts[i].size()) {
        expectOk = false;
        return true;
      }
    }
    for (size_t p : claimed) {
      const int32_t owner = owners[p];
      if (owner < 0 || !s.fronts[i][static_cast<size_t>(owner)]) owners[p] = s.ids[i];
    }
  }
  for (int32_t owner : owners) {
    if (owner >= 0 && static_cast<size_t>(owner) >= s.colours.size()) expectOk = false;
  }
  return true;
}

void FuzzQuickly(FuzzInput& in, int hostile) {
  const int32_t width = in.Size(32, hostile / 3);
  const int32_t height = in.Size(32, hostile / 3);
  Shapes s = MakeShapes(in, width, height, hostile);
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
  bool negativeId = false;
  for (size_t i = 0; i < s.fronts.size() && i < s.ids.size(); ++i) negativeId |= s.ids[i] < 0;

  std::vector<int32_t> owners;
  bool expectOk = false;
  if (s.plausible && !negativeId && s.outlines.size() >= s.fronts.size() &&
      s.ids.size() >= s.fronts.size() && ExpectedOwners(s, width, height, owners, expectOk)) {
    FUZZ_CHECK(ok == expectOk, "AllShapeDraw_Quickly returned %d, the oracle's owners say %d", ok,
               expectOk);
    Tally::Note(ok ? "Quickly true, oracle owners" : "Quickly false, oracle owners");
    if (!ok) return;
    for (size_t p = 0; p < owners.size(); ++p) {
      const uint8_t* got = image.bytes.get() + 4 * p;
      if (owners[p] < 0) {
        FUZZ_CHECK(std::memcmp(got, before.data() + 4 * p, 4) == 0,
                   "pixel %zu has no owner but changed", p);
      } else {
        FUZZ_CHECK(std::memcmp(got, &s.colours[static_cast<size_t>(owners[p])], 4) == 0,
                   "pixel %zu does not hold the colour of its owner %d", p, owners[p]);
      }
    }
    return;
  }
  Tally::Note(ok ? "Quickly true, colours only" : "Quickly false, unchecked");
  if (!ok) return;
  for (size_t p = 0; p < image.size / 4; ++p) {
    const uint8_t* got = image.bytes.get() + 4 * p;
    bool known = std::memcmp(got, before.data() + 4 * p, 4) == 0;
    for (size_t i = 0; !known && i < s.fronts.size(); ++i) {
      const int32_t id = s.ids[i];
      known = id >= 0 && static_cast<size_t>(id) < s.colours.size() &&
              std::memcmp(got, &s.colours[static_cast<size_t>(id)], 4) == 0;
    }
    FUZZ_CHECK(known, "pixel %zu holds neither its old bytes nor a shape's colour", p);
  }
}

}  // namespace
}  // namespace pintovel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  using namespace pintovel::fuzz;
  FuzzInput in(bytes, size);
  const int hostile = in.Chance(25) ? in.Int(1, 30) : 0;
  switch (in.Int(0, 2)) {
    case 0:
      FuzzOnDraw(in, hostile);
      break;
    case 1:
      FuzzAllShapeDraw(in, hostile);
      break;
    default:
      FuzzQuickly(in, hostile);
      break;
  }
  return 0;
}
