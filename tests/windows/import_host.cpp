// A host that links pintovel.dll through its import library (libpintovel.dll.a), the usual way
// for a Windows program built with the same MinGW-w64 toolchain: the header's declarations are
// dllimport, the loader binds them when the program starts.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>
#include <windows.h>

#include <cstdint>
#include <vector>

namespace {

TEST(ImportLibrary, ExportsAreBoundToPintovelDll) {
  const HMODULE module = GetModuleHandleW(L"pintovel.dll");
  ASSERT_NE(module, nullptr);
  // The import binds the same addresses that the export table names.
  EXPECT_EQ(reinterpret_cast<void (*)()>(&pintovel::OnDraw),
            reinterpret_cast<void (*)()>(GetProcAddress(module, "OnDraw")));
  EXPECT_EQ(reinterpret_cast<void (*)()>(&pintovel::ExportRibbon),
            reinterpret_cast<void (*)()>(GetProcAddress(module, "ExportRibbon")));
}

TEST(ImportLibrary, OnDrawThroughTheImportWritesTheColour) {
  // One entry of weight 1: bytes 0 to 2 become the colour's, byte 3 becomes 0.
  std::vector<std::vector<pintovel::PixelWeight>> pixels(1);
  pixels[0].push_back(pintovel::PixelWeight{0, 1.0});
  const pintovel::ColourTable colours{0x7F563412u};
  uint8_t image[4] = {1, 2, 3, 4};
  ASSERT_TRUE(pintovel::OnDraw(image, 1, 1, &pixels, &colours));
  EXPECT_EQ(image[0], 0x12);
  EXPECT_EQ(image[1], 0x34);
  EXPECT_EQ(image[2], 0x56);
  EXPECT_EQ(image[3], 0x00);
}

}  // namespace
