#include "render/compositing.h"

#include "support/failure.h"
#include "support/pixel_fill.h"

namespace pintovel {

namespace {

// A list whose weights leave exactly nothing of the old colour (remain is +0 or -0) gives
// every pixel the same bytes: remain * old is a zero and s + 0 is s.
void FillRun(uint8_t* pixels, size_t count, const ListBlend& b) {
  uint8_t first[4] = {0, 0, 0, 0};
  BlendPixel(first, b);
  uint32_t value;
  std::memcpy(&value, first, sizeof value);
  StorePixels(pixels, count, value);
}

}  // namespace

bool ListsUseColourTable(const std::vector<std::vector<PixelWeight>>& pixels, size_t count,
                         const ColourTable& colours) {
  for (size_t p = 0; p < count; ++p) {
    for (const PixelWeight& entry : pixels[p]) {
      if (entry.id < 0 || static_cast<size_t>(entry.id) >= colours.size()) return false;
    }
  }
  return true;
}

void BlendLists(uint8_t* image, const std::vector<std::vector<PixelWeight>>& pixels, size_t count,
                const ColourTable& colours) {
  for (size_t p = 0; p < count; ++p) {
    const std::vector<PixelWeight>& list = pixels[p];
    BlendPixel(image + 4 * p, ListBlendOf(list.data(), list.size(), colours));
  }
}

bool RunOnDraw(uint8_t* image, int32_t width, int32_t height,
               const std::vector<std::vector<PixelWeight>>& pixels, const ColourTable& colours) {
  if (width <= 0 || height <= 0) return true;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (!ListsUseColourTable(pixels, count, colours)) return RejectInput();
  BlendLists(image, pixels, count, colours);
  return true;
}

void BlendRunOfList(uint8_t* pixels, size_t count, const PixelWeight* entries, size_t length,
                    const ColourTable& colours) {
  if (length == 0) {
    // An empty list keeps bytes 0 to 2: t = 0 + 1 * old + 0.5 truncates to old.
    ClearFourthBytes(pixels, count);
    return;
  }
  const ListBlend b = ListBlendOf(entries, length, colours);
  if (b.remain == 0.0) {
    FillRun(pixels, count, b);
  } else {
    for (size_t i = 0; i < count; ++i) BlendPixel(pixels + 4 * i, b);
  }
}

void BlendWeightRows(uint8_t* image, const WeightRows& rows, const ColourTable& colours) {
  const size_t width = static_cast<size_t>(rows.width());
  for (int32_t y = rows.firstRow(); y < rows.firstRow() + rows.rowCount(); ++y) {
    uint8_t* row = image + 4 * static_cast<size_t>(y) * width;
    const WeightRow& weightRow = rows.Row(y);
    const std::vector<WeightRun>& runs = weightRow.runs;
    if (runs.empty()) ClearFourthBytes(row, width);
    for (size_t k = 0; k < runs.size(); ++k) {
      BlendRunOfList(row + 4 * static_cast<size_t>(runs[k].x0),
                     static_cast<size_t>(rows.RunEnd(runs, k) - runs[k].x0),
                     weightRow.EntriesOf(runs[k]), runs[k].count, colours);
    }
  }
}

}  // namespace pintovel
