// ExportRibbon against a recording host: the order and arguments of every host call, the band
// layout, the mask bytes (checked against exact areas from the independent oracle), the
// rejected sizes and outlines, and the mask buffer's return when a host callback throws.
#include "ribbon/ribbon_export.h"

#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "curves/flatten.h"
#include "support/area_oracle.h"
#include "support/recording_host.h"
#include "support/shapes.h"

namespace {

using pintovel::testing::EllipsePath;
using pintovel::testing::RectPath;
using pintovel::testing::StraightPath;

using pintovel::BezierPath;
using pintovel::FrontMask;
using pintovel::LayerTable;
using pintovel::Point;
using pintovel::Polygon;
using pintovel::RibbonRect;
using pintovel::RibbonShape;
using pintovel::testing::HostCall;
using pintovel::testing::HostFailure;
using pintovel::testing::RecordingHost;
using Kind = pintovel::testing::HostCallKind;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const std::u16string kPrefix = u"撇丝生成...";

// ---- Shapes ----------------------------------------------------------------------------------

RibbonShape Shape(int16_t id, BezierPath outline, FrontMask front = FrontMask(8, false)) {
  RibbonShape shape;
  shape.id = id;
  shape.front = std::move(front);
  shape.outline = std::move(outline);
  shape.reserved = 0xDEADBEEF;
  return shape;
}

bool RunExport(RecordingHost& recorder, const std::vector<RibbonShape>& shapes,
               const LayerTable& layers) {
  pintovel::RibbonHost host = recorder.Host();
  return pintovel::ExportRibbon(&host, &shapes, &layers);
}

// Bytes begin .. end - 1 of `bytes` against want(index); reports the first that differs.
template <class Want>
::testing::AssertionResult BytesAre(const std::vector<uint8_t>& bytes, size_t begin, size_t end,
                                    Want want) {
  if (bytes.size() < end) return ::testing::AssertionFailure() << "only " << bytes.size();
  for (size_t b = begin; b < end; ++b) {
    const int expected = want(b);
    if (bytes[b] != expected) {
      return ::testing::AssertionFailure()
             << "byte " << b << " is " << int(bytes[b]) << ", expected " << expected;
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult AllBytesAre(const std::vector<uint8_t>& bytes, size_t begin, size_t end,
                                       int value) {
  // A quick comparison first: the byte-wise walk is only needed to report a difference.
  if (bytes.size() >= end && begin <= end) {
    const std::vector<uint8_t> same(end - begin, static_cast<uint8_t>(value));
    if (std::memcmp(bytes.data() + begin, same.data(), same.size()) == 0) {
      return ::testing::AssertionSuccess();
    }
  }
  return BytesAre(bytes, begin, end, [value](size_t) { return value; });
}

// The first expected.size() bytes of `bytes` equal `expected`.
::testing::AssertionResult FirstBytesEqual(const std::vector<uint8_t>& bytes,
                                           const std::vector<uint8_t>& expected) {
  if (bytes.size() >= expected.size() &&
      std::memcmp(bytes.data(), expected.data(), expected.size()) == 0) {
    return ::testing::AssertionSuccess();
  }
  return BytesAre(bytes, 0, expected.size(), [&expected](size_t b) { return expected[b]; });
}

// ---- Expected masks from exact areas ---------------------------------------------------------

// The full-image mask of one id, and where a byte may be one off because the exact value lies
// within 1e-9 of a rounding boundary.
struct ImageMask {
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> loose;
};

uint8_t ByteOfExactWeight(long double w, bool& loose) {
  const long double t = 255.0L * w + 0.5L;
  loose = std::fabs(t - std::round(t)) < 1e-9L;
  return static_cast<uint8_t>(255 - static_cast<int>(t));
}

// Masks per id for shapes that share no pixel (checked: each pixel's weight list then holds at
// most the one entry of the shape covering it). A pixel's weight is the shape's exact coverage:
// nothing below 1e-9, 1 above 0.999999999.
std::map<int32_t, ImageMask> ExpectedMasks(const std::vector<RibbonShape>& shapes, int32_t width,
                                           int32_t height) {
  std::map<int32_t, ImageMask> masks;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<int32_t> coveredBy(pixels, -1);
  for (size_t i = 0; i < shapes.size(); ++i) {
    ImageMask& mask = masks[shapes[i].id];
    if (mask.bytes.empty()) {
      mask.bytes.assign(pixels, 255);
      mask.loose.assign(pixels, 0);
    }
    Polygon polygon;
    pintovel::FlattenPath(shapes[i].outline, polygon);
    if (polygon.empty()) continue;
    double minX = polygon[0].x, maxX = minX, minY = polygon[0].y, maxY = minY;
    for (const Point& p : polygon) {
      minX = std::min(minX, p.x);
      maxX = std::max(maxX, p.x);
      minY = std::min(minY, p.y);
      maxY = std::max(maxY, p.y);
    }
    const int32_t x0 = std::max(0, static_cast<int32_t>(std::floor(std::max(minX, -1.0))));
    const int32_t x1 = std::min(width, static_cast<int32_t>(std::ceil(std::min(maxX, 1e9))));
    const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(std::max(minY, -1.0))));
    const int32_t y1 = std::min(height, static_cast<int32_t>(std::ceil(std::min(maxY, 1e9))));
    for (int32_t y = y0; y < y1; ++y) {
      for (int32_t x = x0; x < x1; ++x) {
        const long double cov = pintovel::testing::ExactCellArea(polygon, x, y);
        if (std::fabs(cov) < 1e-12L) continue;
        const size_t p = static_cast<size_t>(y) * width + x;
        EXPECT_EQ(coveredBy[p], -1) << "test shapes " << coveredBy[p] << " and " << i
                                    << " share pixel (" << x << ", " << y << ")";
        coveredBy[p] = static_cast<int32_t>(i);
        if (cov < 1e-9L) continue;
        bool loose = false;
        mask.bytes[p] = cov > 0.999999999L ? 0 : ByteOfExactWeight(cov, loose);
        mask.loose[p] = loose;
      }
    }
  }
  return masks;
}

// Puts the banded masks of one layer value back together into a full image. Checks that the
// bands tile the image from the top down, that each mask came in the allocated buffer, and that
// the buffer beyond the band's rows was not written (it still holds the host's sentinel).
::testing::AssertionResult AssembleLayer(const RecordingHost& recorder, int32_t layer,
                                         int32_t width, int32_t height,
                                         std::vector<uint8_t>& image) {
  image.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0x11);
  int32_t nextTop = 0;
  for (const HostCall* call : recorder.Of(Kind::kPutMask)) {
    if (call->layer != layer) continue;
    const RibbonRect& r = call->rect;
    if (r.left != 0 || r.right != width || r.top != nextTop || r.bottom <= r.top ||
        r.bottom > height) {
      return ::testing::AssertionFailure()
             << "band {" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom
             << "} does not follow row " << nextTop;
    }
    if (!call->maskIsBuffer) return ::testing::AssertionFailure() << "mask is not the buffer";
    const size_t written = static_cast<size_t>(r.bottom - r.top) * static_cast<size_t>(width);
    if (call->mask.size() < written) {
      return ::testing::AssertionFailure() << "buffer smaller than the band";
    }
    for (size_t b = written; b < call->mask.size(); ++b) {
      if (call->mask[b] != RecordingHost::kSentinel) {
        return ::testing::AssertionFailure() << "byte " << b << " beyond the band of rows " << r.top
                                             << ".." << r.bottom << " was written";
      }
    }
    std::copy(call->mask.begin(), call->mask.begin() + static_cast<std::ptrdiff_t>(written),
              image.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(r.top) * width));
    nextTop = r.bottom;
  }
  if (nextTop != height) {
    return ::testing::AssertionFailure()
           << "bands of layer " << layer << " end at row " << nextTop << ", not " << height;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult MatchesExpected(const std::vector<uint8_t>& actual,
                                           const ImageMask& expected, int32_t width) {
  if (actual.size() == expected.bytes.size() &&
      std::memcmp(actual.data(), expected.bytes.data(), actual.size()) == 0) {
    return ::testing::AssertionSuccess();
  }
  size_t mismatches = 0;
  ::testing::AssertionResult result = ::testing::AssertionFailure();
  for (size_t p = 0; p < actual.size(); ++p) {
    const int diff = int(actual[p]) - int(expected.bytes[p]);
    if (diff == 0 || (expected.loose[p] && std::abs(diff) == 1)) continue;
    if (++mismatches <= 8) {
      result << "pixel (" << p % width << ", " << p / width << "): " << int(actual[p])
             << ", expected " << int(expected.bytes[p]) << "\n";
    }
  }
  if (mismatches == 0) return ::testing::AssertionSuccess();
  return result << mismatches << " pixels differ";
}

// Compares every enabled id's mask from a finished export with the exact-area expectation.
void ExpectMasksMatchExactArea(const RecordingHost& recorder, int32_t width, int32_t height,
                               const std::vector<RibbonShape>& shapes, const LayerTable& layers) {
  const std::map<int32_t, ImageMask> expected = ExpectedMasks(shapes, width, height);
  for (size_t k = 0; k < layers.size(); ++k) {
    if (layers[k] <= 0) continue;
    SCOPED_TRACE(::testing::Message() << "id " << k);
    std::vector<uint8_t> image;
    ASSERT_TRUE(AssembleLayer(recorder, layers[k], width, height, image));
    const auto found = expected.find(static_cast<int32_t>(k));
    if (found == expected.end()) {
      EXPECT_TRUE(AllBytesAre(image, 0, image.size(), 255));
    } else {
      EXPECT_TRUE(MatchesExpected(image, found->second, width));
    }
  }
}

std::vector<Kind> BandedKinds(int bands, int masksPerBand) {
  std::vector<Kind> kinds{Kind::kGetWidth, Kind::kGetHeight, Kind::kAllocate, Kind::kSetText,
                          Kind::kSetPosition};
  for (int b = 0; b < bands; ++b) {
    for (int m = 0; m < masksPerBand; ++m) kinds.push_back(Kind::kPutMask);
    kinds.push_back(Kind::kSetText);
    kinds.push_back(Kind::kSetPosition);
  }
  kinds.push_back(Kind::kFree);
  return kinds;
}

bool SameRect(const RibbonRect& a, const RibbonRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Checks the progress reports: texts (after the prefix) and positions, out of 100.
void ExpectProgress(const RecordingHost& recorder, const std::vector<std::u16string>& texts,
                    const std::vector<int32_t>& positions) {
  const auto setTexts = recorder.Of(Kind::kSetText);
  const auto setPositions = recorder.Of(Kind::kSetPosition);
  ASSERT_EQ(setTexts.size(), texts.size());
  ASSERT_EQ(setPositions.size(), positions.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(setTexts[i]->text, kPrefix + texts[i]) << "report " << i;
    EXPECT_EQ(setPositions[i]->position, positions[i]) << "report " << i;
    EXPECT_EQ(setPositions[i]->range, 100) << "report " << i;
  }
}

void ExpectBands(const RecordingHost& recorder, const std::vector<RibbonRect>& bands,
                 const std::vector<int32_t>& layerOrder) {
  const auto masks = recorder.Of(Kind::kPutMask);
  ASSERT_EQ(masks.size(), bands.size() * layerOrder.size());
  for (size_t i = 0; i < masks.size(); ++i) {
    const RibbonRect& want = bands[i / layerOrder.size()];
    EXPECT_TRUE(SameRect(masks[i]->rect, want))
        << "mask " << i << " has {" << masks[i]->rect.left << ", " << masks[i]->rect.top << ", "
        << masks[i]->rect.right << ", " << masks[i]->rect.bottom << "}";
    EXPECT_EQ(masks[i]->layer, layerOrder[i % layerOrder.size()]) << "mask " << i;
    EXPECT_TRUE(masks[i]->maskIsBuffer) << "mask " << i;
  }
}

void ExpectAllocatedAndFreedOnce(const RecordingHost& recorder, int32_t size) {
  const auto allocations = recorder.Of(Kind::kAllocate);
  ASSERT_EQ(allocations.size(), 1u);
  EXPECT_EQ(allocations[0]->size, size);
  const auto frees = recorder.Of(Kind::kFree);
  ASSERT_EQ(frees.size(), 1u);
  EXPECT_TRUE(frees[0]->freedBuffer);
  EXPECT_EQ(recorder.calls().back().kind, Kind::kFree);
}

// ---- Call order and band layout --------------------------------------------------------------

TEST(RibbonExportBands, ThreeBandsOfAThousandRows) {
  RecordingHost recorder(1000, 3000);
  ASSERT_TRUE(RunExport(recorder, {}, LayerTable{0, 5, -1, 7}));
  EXPECT_EQ(recorder.Kinds(), BandedKinds(3, 2));
  ExpectAllocatedAndFreedOnce(recorder, 1000000);
  ExpectBands(recorder, {{0, 0, 1000, 1000}, {0, 1000, 1000, 2000}, {0, 2000, 1000, 3000}}, {5, 7});
  ExpectProgress(recorder, {u"", u"33.3%", u"66.7%", u"100.0%"}, {0, 33, 66, 100});
  // Without shapes every mask is blank.
  for (const HostCall* mask : recorder.Of(Kind::kPutMask)) {
    EXPECT_TRUE(AllBytesAre(mask->mask, 0, 1000000, 255));
  }
}

TEST(RibbonExportBands, ShorterLastBandWritesOnlyItsRows) {
  // Bands of 1000, 1000 and 500 rows; shapes near the bottom (one reaching below the image)
  // show that the last band is measured.
  const std::vector<RibbonShape> shapes{Shape(0, RectPath(10, 2490, 12, 2500)),
                                        Shape(0, RectPath(20.5, 2495, 22, 2600)),
                                        Shape(1, EllipsePath(600.2, 1999.6, 30.7, 20.9))};
  const LayerTable layers{3, 4};
  RecordingHost recorder(1000, 2500);
  ASSERT_TRUE(RunExport(recorder, shapes, layers));
  EXPECT_EQ(recorder.Kinds(), BandedKinds(3, 2));
  ExpectAllocatedAndFreedOnce(recorder, 1000000);
  ExpectBands(recorder, {{0, 0, 1000, 1000}, {0, 1000, 1000, 2000}, {0, 2000, 1000, 2500}}, {3, 4});
  ExpectProgress(recorder, {u"", u"40.0%", u"80.0%", u"100.0%"}, {0, 40, 80, 100});
  const auto masks = recorder.Of(Kind::kPutMask);
  ASSERT_EQ(masks.size(), 6u);
  for (const HostCall* last : {masks[4], masks[5]}) {
    ASSERT_EQ(last->mask.size(), 1000000u);
    EXPECT_TRUE(AllBytesAre(last->mask, 500000, 1000000, RecordingHost::kSentinel));
  }
  EXPECT_EQ(masks[4]->mask[490 * 1000 + 10], 0);
  EXPECT_EQ(masks[4]->mask[499 * 1000 + 11], 0);
  EXPECT_EQ(masks[4]->mask[499 * 1000 + 21], 0);
  EXPECT_EQ(masks[4]->mask[499 * 1000 + 20], 127);
  ExpectMasksMatchExactArea(recorder, 1000, 2500, shapes, layers);
}

TEST(RibbonExportBands, OneMillionPixelsIsASingleBand) {
  RecordingHost recorder(1000, 1000);
  const std::vector<RibbonShape> shapes{Shape(0, RectPath(999, 999, 1000, 1000))};
  ASSERT_TRUE(RunExport(recorder, shapes, LayerTable{2}));
  EXPECT_EQ(recorder.Kinds(), BandedKinds(1, 1));
  ExpectAllocatedAndFreedOnce(recorder, 1000000);
  ExpectBands(recorder, {{0, 0, 1000, 1000}}, {2});
  ExpectProgress(recorder, {u"", u"100.0%"}, {0, 100});
  EXPECT_EQ(recorder.Of(Kind::kPutMask)[0]->mask[999999], 0);
  EXPECT_EQ(recorder.Of(Kind::kPutMask)[0]->mask[999998], 255);
}

TEST(RibbonExportBands, NarrowTallImageUsesWholeRowsPerBand) {
  // 1,000,000 / 300 = 3333 rows per band: bands of 3333 and 667 rows.
  RecordingHost recorder(300, 4000);
  ASSERT_TRUE(RunExport(recorder, {}, LayerTable{1}));
  EXPECT_EQ(recorder.Kinds(), BandedKinds(2, 1));
  ExpectAllocatedAndFreedOnce(recorder, 999900);
  ExpectBands(recorder, {{0, 0, 300, 3333}, {0, 3333, 300, 4000}}, {1});
  ExpectProgress(recorder, {u"", u"83.3%", u"100.0%"}, {0, 83, 100});
}

TEST(RibbonExportBands, ImageWithoutRowsHasNoBand) {
  const std::vector<RibbonShape> shapes{Shape(0, RectPath(1, 1, 3, 3))};
  for (int32_t width : {100, 0}) {
    SCOPED_TRACE(width);
    RecordingHost recorder(width, 0);
    ASSERT_TRUE(RunExport(recorder, shapes, LayerTable{1}));
    EXPECT_EQ(recorder.Kinds(),
              (std::vector<Kind>{Kind::kGetWidth, Kind::kGetHeight, Kind::kAllocate, Kind::kSetText,
                                 Kind::kSetPosition, Kind::kFree}));
    ExpectAllocatedAndFreedOnce(recorder, 0);
    ExpectProgress(recorder, {u""}, {0});
  }
}

TEST(RibbonExportBands, RowWiderThanABandGivesOneRowPerBand) {
  const int32_t width = 1000001;
  const std::vector<RibbonShape> shapes{Shape(0, RectPath(5, 0, 6, 2))};
  RecordingHost recorder(width, 2);
  ASSERT_TRUE(RunExport(recorder, shapes, LayerTable{2}));
  EXPECT_EQ(recorder.Kinds(), BandedKinds(2, 1));
  ExpectAllocatedAndFreedOnce(recorder, width);
  ExpectBands(recorder, {{0, 0, width, 1}, {0, 1, width, 2}}, {2});
  ExpectProgress(recorder, {u"", u"50.0%", u"100.0%"}, {0, 50, 100});
  for (const HostCall* mask : recorder.Of(Kind::kPutMask)) {
    ASSERT_EQ(mask->mask.size(), static_cast<size_t>(width));
    EXPECT_TRUE(BytesAre(mask->mask, 0, width, [](size_t x) { return x == 5 ? 0 : 255; }));
  }
}

// ---- Which masks, and their bytes ------------------------------------------------------------

TEST(RibbonExportMasks, LayerTableSelectsIdsAndTheirValues) {
  // Ids 1 and 3 are enabled, with values 5 and 7; ids 0 and 2 are not. Each id covers its own
  // column over the whole height, so it shows in both bands.
  const std::vector<RibbonShape> shapes{
      Shape(0, RectPath(0, 0, 1, 2000)), Shape(1, RectPath(1, 0, 2, 2000)),
      Shape(2, RectPath(2, 0, 3, 2000)), Shape(3, RectPath(3, 0, 4, 2000))};
  RecordingHost recorder(1000, 2000);
  ASSERT_TRUE(RunExport(recorder, shapes, LayerTable{0, 5, -1, 7}));
  EXPECT_EQ(recorder.Kinds(), BandedKinds(2, 2));
  ExpectBands(recorder, {{0, 0, 1000, 1000}, {0, 1000, 1000, 2000}}, {5, 7});
  for (const HostCall* mask : recorder.Of(Kind::kPutMask)) {
    const int32_t column = mask->layer == 5 ? 1 : 3;
    std::vector<uint8_t> expected(1000000, 255);
    for (size_t b = static_cast<size_t>(column); b < expected.size(); b += 1000) expected[b] = 0;
    EXPECT_TRUE(FirstBytesEqual(mask->mask, expected)) << "layer " << mask->layer;
  }
}

TEST(RibbonExportMasks, ByteIsTheInvertedRoundedWeight) {
  EXPECT_EQ(pintovel::MaskByteOfWeight(1.0), 0);
  EXPECT_EQ(pintovel::MaskByteOfWeight(0.5), 127);  // 127.5 + 0.5 = 128
  EXPECT_EQ(pintovel::MaskByteOfWeight(0.002), 254);
  EXPECT_EQ(pintovel::MaskByteOfWeight(0.0), 255);
  EXPECT_EQ(pintovel::MaskByteOfWeight(0.25), 191);  // 63.75 + 0.5 = 64.25
  EXPECT_EQ(pintovel::MaskByteOfWeight(0.75), 64);   // 191.25 + 0.5 = 191.75
  EXPECT_EQ(pintovel::MaskByteOfWeight(1.0 / 255.0), 254);
  EXPECT_EQ(pintovel::MaskByteOfWeight(0.001), 255);  // 0.255 + 0.5 truncates to 0
  // Rounding residues just outside [0, 1] stay at the ends.
  EXPECT_EQ(pintovel::MaskByteOfWeight(1.0 + 1e-12), 0);
  EXPECT_EQ(pintovel::MaskByteOfWeight(-1e-12), 255);

  // The same bytes from drawn shapes of known exact coverage: a whole pixel (1), half a pixel
  // (0.5), a sliver of 0.002, and a pixel without an entry.
  const std::vector<RibbonShape> shapes{
      Shape(0, RectPath(0, 0, 1, 1)), Shape(0, RectPath(2, 0, 2.5, 1)),
      Shape(0, RectPath(4, 0, 4.002, 1)), Shape(0, RectPath(5, 1, 6, 1.5))};
  RecordingHost recorder(8, 2);
  ASSERT_TRUE(RunExport(recorder, shapes, LayerTable{3}));
  const auto masks = recorder.Of(Kind::kPutMask);
  ASSERT_EQ(masks.size(), 1u);
  const std::vector<uint8_t> expected{0,   255, 127, 255, 254, 255, 255, 255,
                                      255, 255, 255, 255, 255, 127, 255, 255};
  EXPECT_EQ(std::vector<uint8_t>(masks[0]->mask.begin(), masks[0]->mask.end()), expected);
}

TEST(RibbonExportMasks, ShapesThatAddNothing) {
  // Wholly outside on every side, without a whole segment, wound against the clock, or with
  // an id that no mask exports.
  std::vector<RibbonShape> shapes{Shape(0, RectPath(-10, 2, -1, 5)),
                                  Shape(0, RectPath(21, 2, 30, 5)),
                                  Shape(0, RectPath(2, -9, 5, -0.5)),
                                  Shape(0, RectPath(2, 10, 5, 12)),
                                  Shape(0, RectPath(-5, -5, 0, 0)),
                                  Shape(0, BezierPath{{1, 1}, {9, 1}, {9, 9}}),
                                  Shape(0, StraightPath({{2, 2}, {2, 8}, {8, 8}, {8, 2}})),
                                  Shape(-1, RectPath(10, 2, 14, 6)),
                                  Shape(4, RectPath(15, 2, 19, 6))};
  RecordingHost recorder(20, 10);
  ASSERT_TRUE(RunExport(recorder, shapes, LayerTable{1, 0, 0, 0}));
  const auto masks = recorder.Of(Kind::kPutMask);
  ASSERT_EQ(masks.size(), 1u);
  EXPECT_TRUE(AllBytesAre(masks[0]->mask, 0, 200, 255));
}

TEST(RibbonExportMasks, IdIsSignExtended) {
  // Id -2 must not reach the table entry 65534, which a zero-extended id would select.
  LayerTable layers(65535, 0);
  layers[65534] = 9;
  layers[0] = 1;
  const std::vector<RibbonShape> shapes{Shape(-2, RectPath(0, 0, 2, 2))};
  RecordingHost recorder(4, 4);
  ASSERT_TRUE(RunExport(recorder, shapes, layers));
  const auto masks = recorder.Of(Kind::kPutMask);
  ASSERT_EQ(masks.size(), 2u);
  EXPECT_EQ(masks[0]->layer, 1);
  EXPECT_EQ(masks[1]->layer, 9);
  for (const HostCall* mask : masks) {
    EXPECT_TRUE(AllBytesAre(mask->mask, 0, 16, 255));
  }
}

// ---- Shapes across band edges ----------------------------------------------------------------

TEST(RibbonExportBands, ShapesAcrossABandEdgeMatchTheirExactArea) {
  // 1200 x 1000: 833 rows per band, so the band edge is row 833.
  const std::vector<RibbonShape> shapes{
      Shape(0, EllipsePath(300.37, 833.0, 40.3, 25.6)),
      // A U whose two arms cross the edge: its lower part is one list joined along the edge.
      Shape(1, StraightPath({{500.3, 800.2},
                             {560.7, 800.2},
                             {560.7, 870.6},
                             {545.1, 870.6},
                             {545.1, 820.4},
                             {515.9, 820.4},
                             {515.9, 870.6},
                             {500.3, 870.6}})),
      // A thin slanted quadrilateral from row 600 to row 990.
      Shape(2, StraightPath({{700.2, 600.5}, {703.9, 600.5}, {760.6, 990.3}, {756.1, 990.3}})),
      // Ending exactly on the edge, and starting exactly on it.
      Shape(3, RectPath(600.25, 820.0, 640.75, 833.0)),
      Shape(3, RectPath(650.5, 833.0, 670.0, 850.25)),
      // In the first band only, where the second band's lists of the same index stay empty;
      // and a second one in the second band.
      Shape(4, RectPath(100.5, 10.25, 110.75, 20.5)),
      Shape(4, RectPath(100.5, 900.5, 104.0, 905.0)),
      // From above the image to below it, and partly left of it.
      Shape(5, RectPath(-3.0, -2.0, 2.5, 1003.0)),
      // Reaching over the right edge and the bottom.
      Shape(6, EllipsePath(1195.3, 990.1, 12.2, 15.7)),
  };
  const LayerTable layers{11, 12, 13, 14, 15, 16, 17};
  RecordingHost recorder(1200, 1000);
  ASSERT_TRUE(RunExport(recorder, shapes, layers));
  EXPECT_EQ(recorder.Kinds(), BandedKinds(2, 7));
  ExpectMasksMatchExactArea(recorder, 1200, 1000, shapes, layers);
}

TEST(RibbonExportBands, TallShapeCrossesEveryBand) {
  // 1000 x 2100: bands of 1000, 1000 and 100 rows.
  const std::vector<RibbonShape> shapes{
      Shape(0, StraightPath({{100.3, 5.5}, {108.9, 1000.2}, {95.1, 2095.7}})),
      Shape(1, EllipsePath(500.0, 2000.0, 30.0, 30.0)),
      Shape(1, EllipsePath(800.0, 1000.5, 12.0, 12.0)),
      Shape(2, RectPath(300.5, 999.5, 301.5, 2000.5)),
  };
  const LayerTable layers{21, 22, 23};
  RecordingHost recorder(1000, 2100);
  ASSERT_TRUE(RunExport(recorder, shapes, layers));
  EXPECT_EQ(recorder.Kinds(), BandedKinds(3, 3));
  ExpectMasksMatchExactArea(recorder, 1000, 2100, shapes, layers);
}

// ---- Rejected input --------------------------------------------------------------------------

TEST(RibbonExportFailure, UnusableSizesAreRejectedAfterAskingForThem) {
  const std::vector<RibbonShape> shapes{Shape(0, RectPath(1, 1, 3, 3))};
  const std::pair<int32_t, int32_t> sizes[] = {{-1, 10},
                                               {10, -1},
                                               {-5, -5},
                                               {0, 5},
                                               {70000, 70000},
                                               {46341, 46341},
                                               {std::numeric_limits<int32_t>::min(), 0},
                                               {1048577, 1}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(::testing::Message() << size.first << " x " << size.second);
    RecordingHost recorder(size.first, size.second);
    EXPECT_FALSE(RunExport(recorder, shapes, LayerTable{1}));
    EXPECT_EQ(recorder.Kinds(), (std::vector<Kind>{Kind::kGetWidth, Kind::kGetHeight}));
  }
}

TEST(RibbonExportFailure, UnusableOutlineIsRejectedAfterAskingForTheSize) {
  const BezierPath good = RectPath(1, 1, 3, 3);
  const Point bad[] = {{kNaN, 2}, {2, kNaN}, {kInf, 2}, {2, -kInf}, {1e200, 2}, {2, -1e101}};
  for (size_t index : {0, 5, 12}) {
    for (const Point& p : bad) {
      SCOPED_TRACE(::testing::Message() << "point " << index << " (" << p.x << ", " << p.y << ")");
      BezierPath broken = good;
      broken[index] = p;
      RecordingHost recorder(10, 10);
      EXPECT_FALSE(RunExport(recorder, {Shape(0, good), Shape(1, broken)}, LayerTable{1, 1}));
      EXPECT_EQ(recorder.Kinds(), (std::vector<Kind>{Kind::kGetWidth, Kind::kGetHeight}));
    }
  }
}

TEST(RibbonExportFailure, PointsAfterTheLastWholeSegmentAreNotRead) {
  BezierPath path = RectPath(1, 1, 3, 3);
  path.push_back(Point{kNaN, kNaN});
  path.push_back(Point{kInf, 0});
  RecordingHost recorder(4, 4);
  ASSERT_TRUE(RunExport(recorder, {Shape(0, path)}, LayerTable{1}));
  const auto masks = recorder.Of(Kind::kPutMask);
  ASSERT_EQ(masks.size(), 1u);
  EXPECT_EQ(masks[0]->mask[5], 0);
  EXPECT_EQ(masks[0]->mask[0], 255);
}

TEST(RibbonExportFailure, NoBufferStopsAtOnce) {
  RecordingHost recorder(1000, 3000);
  recorder.ReturnNoBuffer();
  EXPECT_FALSE(RunExport(recorder, {Shape(0, RectPath(1, 1, 3, 3))}, LayerTable{1}));
  EXPECT_EQ(recorder.Kinds(),
            (std::vector<Kind>{Kind::kGetWidth, Kind::kGetHeight, Kind::kAllocate}));
}

TEST(RibbonExportFailure, IdOutsideAFrontMaskStopsAfterTheEarlierBands) {
  // Shape 1's front mask has two bits, so it cannot be tested against id 3 where the two
  // overlap, which is in the second band only.
  const std::vector<RibbonShape> shapes{Shape(3, RectPath(10, 1500, 20, 1510)),
                                        Shape(0, RectPath(15, 1505, 25, 1515), FrontMask(2))};
  RecordingHost recorder(1000, 2000);
  EXPECT_FALSE(RunExport(recorder, shapes, LayerTable{1}));
  EXPECT_EQ(recorder.Kinds(), (std::vector<Kind>{Kind::kGetWidth, Kind::kGetHeight, Kind::kAllocate,
                                                 Kind::kSetText, Kind::kSetPosition, Kind::kPutMask,
                                                 Kind::kSetText, Kind::kSetPosition, Kind::kFree}));
  ExpectAllocatedAndFreedOnce(recorder, 1000000);
  ExpectProgress(recorder, {u"", u"50.0%"}, {0, 50});
}

// ---- A throwing host -------------------------------------------------------------------------

TEST(RibbonExportExceptions, BufferGoesBackWhenACallbackThrows) {
  struct Case {
    Kind kind;
    int occurrence;
    size_t callsBeforeFree;  // host calls up to and including the one that throws
  };
  // Two bands (1000 rows and 1), one mask each: GW GH A ST SP | PM ST SP | PM ST SP | F.
  const Case cases[] = {{Kind::kSetText, 1, 4},  {Kind::kSetPosition, 1, 5}, {Kind::kPutMask, 1, 6},
                        {Kind::kSetText, 2, 7},  {Kind::kSetPosition, 2, 8}, {Kind::kPutMask, 2, 9},
                        {Kind::kSetText, 3, 10}, {Kind::kSetPosition, 3, 11}};
  const std::vector<RibbonShape> shapes{Shape(0, RectPath(10, 990, 20, 1001))};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << int(c.kind) << " #" << c.occurrence);
    RecordingHost recorder(1000, 1001);
    recorder.ThrowAt(c.kind, c.occurrence);
    EXPECT_THROW(RunExport(recorder, shapes, LayerTable{1}), HostFailure);
    const auto& calls = recorder.calls();
    ASSERT_EQ(calls.size(), c.callsBeforeFree + 1);
    EXPECT_EQ(calls[c.callsBeforeFree - 1].kind, c.kind);
    ExpectAllocatedAndFreedOnce(recorder, 1000000);
  }
}

TEST(RibbonExportExceptions, NothingToGiveBackBeforeTheBufferExists) {
  for (Kind kind : {Kind::kGetWidth, Kind::kGetHeight, Kind::kAllocate}) {
    SCOPED_TRACE(int(kind));
    RecordingHost recorder(1000, 2000);
    recorder.ThrowAt(kind, 1);
    EXPECT_THROW(RunExport(recorder, {}, LayerTable{1}), HostFailure);
    EXPECT_EQ(recorder.calls().back().kind, kind);
    EXPECT_TRUE(recorder.Of(Kind::kFree).empty());
  }
}

}  // namespace
