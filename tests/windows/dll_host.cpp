// A host program for pintovel.dll that uses nothing of the library but the DLL file and the
// records of the public header. It loads the DLL at run time (LoadLibrary and GetProcAddress,
// no import library), calls every export through function-pointer types of its own, gives the
// library InOutArg hooks and callback objects of its own, and checks the results against
// values worked out by hand. So it shows from the outside what a Windows host relies on: the
// plain export names, cdecl exports, thiscall hooks, vtable slots in declaration order, the
// record layouts, one shared C++ runtime, and exceptions that cross the boundary both ways.
#include <gtest/gtest.h>
#include <pintovel/pintovel.h>

// windows.h first: tlhelp32.h relies on its types.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

namespace {

namespace pv = pintovel;

#if !defined(__i386__) || !defined(__GNUC__)
#  error "this host is written for 32-bit x86 Windows and GCC"
#endif

// GCC's -Wpedantic reports "thiscall attribute is used for non-class method" for every
// function declared thiscall outside a class; the attribute takes effect all the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"

// The conventions, spelled out here rather than taken from the header's macros.
#define HOST_THISCALL __attribute__((thiscall))

// ---- The records as this host lays them out ---------------------------------------------
static_assert(sizeof(pv::PixelWeight) == 12 && offsetof(pv::PixelWeight, weight) == 4);
static_assert(sizeof(pv::InOutArg<pv::PixelData>) == 16);
static_assert(sizeof(pv::FrontMask) == 20);
static_assert(offsetof(pv::RibbonShape, id) == 0 && offsetof(pv::RibbonShape, front) == 4 &&
              offsetof(pv::RibbonShape, outline) == 24 && sizeof(pv::RibbonShape) == 40);
static_assert(sizeof(pv::RibbonHost) == 12);

// ---- The exports as this host calls them --------------------------------------------------
using RegularPolygonsFn = bool(__cdecl*)(const std::vector<pv::BezierPath>*, double, double, double,
                                         double, int32_t, int32_t,
                                         pv::InOutArg<std::vector<pv::Polygon>>);
using RegularPolygonFn = bool(__cdecl*)(const pv::BezierPath*, double, double, double, double,
                                        int32_t, int32_t, pv::InOutArg<pv::Polygon>);
using UpdatePixelDataFn = bool(__cdecl*)(const pv::FrontMask*, const pv::Polygon*,
                                         const pv::Bounds*, int32_t, pv::InOutArg<pv::PixelData>);
using CreatePixelDataFn = bool(__cdecl*)(const std::vector<pv::FrontMask>*,
                                         const std::vector<pv::Polygon>*, const pv::Bounds*,
                                         const std::vector<int32_t>*, pv::InOutArg<pv::PixelData>);
using OnDrawFn = bool(__cdecl*)(uint8_t*, int32_t, int32_t,
                                const std::vector<std::vector<pv::PixelWeight>>*,
                                const pv::ColourTable*);
using AllShapeDrawFn = bool(__cdecl*)(const std::vector<pv::FrontMask>*,
                                      const std::vector<pv::Polygon>*, const std::vector<int32_t>*,
                                      const pv::ColourTable*, int32_t, int32_t, uint8_t*);
using ExportRibbonFn = bool(__cdecl*)(pv::RibbonHost*, const std::vector<pv::RibbonShape>*,
                                      const pv::LayerTable*);

// These types agree with the header's declarations, calling convention included (GCC keeps
// it in the function type).
static_assert(std::is_same_v<decltype(&pv::RegularPolygons), RegularPolygonsFn>);
static_assert(std::is_same_v<decltype(&pv::RegularPolygon), RegularPolygonFn>);
static_assert(std::is_same_v<decltype(&pv::UpdatePixelData), UpdatePixelDataFn>);
static_assert(std::is_same_v<decltype(&pv::CreatePixelData), CreatePixelDataFn>);
static_assert(std::is_same_v<decltype(&pv::OnDraw), OnDrawFn>);
static_assert(std::is_same_v<decltype(&pv::AllShapeDraw), AllShapeDrawFn>);
static_assert(std::is_same_v<decltype(&pv::AllShapeDraw_Quickly), AllShapeDrawFn>);
static_assert(std::is_same_v<decltype(&pv::ExportRibbon), ExportRibbonFn>);
// The hooks take the record's address in ECX.
static_assert(std::is_same_v<pv::InOutArg<pv::PixelData>::Hook,
                             void(HOST_THISCALL*)(pv::InOutArg<pv::PixelData>*)>);

struct Exports {
  HMODULE module = nullptr;
  RegularPolygonsFn RegularPolygons = nullptr;
  RegularPolygonFn RegularPolygon = nullptr;
  UpdatePixelDataFn UpdatePixelData = nullptr;
  CreatePixelDataFn CreatePixelData = nullptr;
  OnDrawFn OnDraw = nullptr;
  AllShapeDrawFn AllShapeDraw = nullptr;
  AllShapeDrawFn AllShapeDraw_Quickly = nullptr;
  ExportRibbonFn ExportRibbon = nullptr;

  bool Complete() const {
    return module && RegularPolygons && RegularPolygon && UpdatePixelData && CreatePixelData &&
           OnDraw && AllShapeDraw && AllShapeDraw_Quickly && ExportRibbon;
  }
};

template <class Fn>
Fn Resolve(HMODULE module, const char* name) {
  // Through void (*)(), which converts to and from every function-pointer type.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// pintovel.dll is looked up as any host's DLL: the program's own folder first.
const Exports& Dll() {
  static const Exports exports = [] {
    Exports e;
    e.module = LoadLibraryW(L"pintovel.dll");
    if (e.module == nullptr) return e;
    e.RegularPolygons = Resolve<RegularPolygonsFn>(e.module, "RegularPolygons");
    e.RegularPolygon = Resolve<RegularPolygonFn>(e.module, "RegularPolygon");
    e.UpdatePixelData = Resolve<UpdatePixelDataFn>(e.module, "UpdatePixelData");
    e.CreatePixelData = Resolve<CreatePixelDataFn>(e.module, "CreatePixelData");
    e.OnDraw = Resolve<OnDrawFn>(e.module, "OnDraw");
    e.AllShapeDraw = Resolve<AllShapeDrawFn>(e.module, "AllShapeDraw");
    e.AllShapeDraw_Quickly = Resolve<AllShapeDrawFn>(e.module, "AllShapeDraw_Quickly");
    e.ExportRibbon = Resolve<ExportRibbonFn>(e.module, "ExportRibbon");
    return e;
  }();
  return exports;
}

class HostTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dll().Complete()) << "pintovel.dll or one of its exports was not found";
  }
  const Exports& dll = Dll();
};

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, length);
}

std::string Narrow(const std::wstring& text) {  // for messages only
  return std::string(text.begin(), text.end());
}

// ---- The host's InOutArg hooks ------------------------------------------------------------
// What the hooks saw during one call.
struct HookLog {
  int commits = 0;
  int hostReleases = 0;
  const void* record = nullptr;
  const void* target = nullptr;
  const void* working = nullptr;
  bool releaseReplaced = false;
};
HookLog g_hooks;

template <class T>
void HOST_THISCALL HostRelease(pv::InOutArg<T>*) {
  ++g_hooks.hostReleases;
}

// The commit of a host that lets the library make the working copy: copy the result into the
// host's object with the host's own allocation, then let the library free its copy.
template <class T>
void HOST_THISCALL HostCommit(pv::InOutArg<T>* arg) {
  ++g_hooks.commits;
  g_hooks.record = arg;
  g_hooks.target = arg->target;
  g_hooks.working = arg->working;
  g_hooks.releaseReplaced = arg->release != &HostRelease<T>;
  if (arg->working == nullptr) return;
  *arg->target = *arg->working;
  arg->release(arg);
}

// The commit of a host that supplied its own working object: there is nothing to copy or free.
template <class T>
void HOST_THISCALL HostCommitInPlace(pv::InOutArg<T>* arg) {
  ++g_hooks.commits;
  g_hooks.record = arg;
  g_hooks.target = arg->target;
  g_hooks.working = arg->working;
  g_hooks.releaseReplaced = arg->release != &HostRelease<T>;
}

template <class T>
pv::InOutArg<T> HostArg(T& target) {
  g_hooks = HookLog{};
  return pv::InOutArg<T>{&target, nullptr, &HostCommit<T>, &HostRelease<T>};
}

// ---- Shapes -------------------------------------------------------------------------------
// The unit square with its corner at (x, y) as a cubic path with straight sides (control
// points on the edges), clockwise on screen: (x, y) -> (x + 1, y) -> (x + 1, y + 1) -> (x, y + 1).
pv::BezierPath SquarePath(double x, double y, double side) {
  const double a = side / 4, b = 3 * side / 4, s = side;
  return {{x, y},         {x + a, y},     {x + b, y},     {x + s, y},     {x + s, y + a},
          {x + s, y + b}, {x + s, y + s}, {x + b, y + s}, {x + a, y + s}, {x, y + s},
          {x, y + b},     {x, y + a},     {x, y}};
}

pv::Polygon SquarePolygon(double x, double y) {
  return {{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}};
}

std::vector<pv::Point> Points(std::initializer_list<pv::Point> points) {
  return points;
}

bool SamePoints(const std::vector<pv::Point>& a, const std::vector<pv::Point>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
  }
  return true;
}

std::string Show(const std::vector<pv::Point>& points) {
  std::string text;
  for (const pv::Point& p : points) {
    text += "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ") ";
  }
  return text;
}

uint32_t Pixel(const std::vector<uint8_t>& image, size_t index) {
  uint32_t value = 0;
  std::memcpy(&value, image.data() + 4 * index, 4);
  return value;
}

std::vector<uint8_t> Image(std::initializer_list<uint32_t> pixels) {
  std::vector<uint8_t> image(4 * pixels.size());
  size_t i = 0;
  for (uint32_t p : pixels) std::memcpy(image.data() + 4 * i++, &p, 4);
  return image;
}

// ---- The DLL itself -----------------------------------------------------------------------
TEST(DllFiles, PintovelAndTheSharedRuntimeLoadFromBesideTheHost) {
  ASSERT_NE(Dll().module, nullptr);
  const std::wstring folder = FolderOf(ModulePath(nullptr));
  EXPECT_EQ(Narrow(FolderOf(ModulePath(Dll().module))), Narrow(folder));
  for (const wchar_t* name : {L"libstdc++-6.dll", L"libgcc_s_dw2-1.dll", L"libwinpthread-1.dll"}) {
    const HMODULE module = GetModuleHandleW(name);
    ASSERT_NE(module, nullptr) << Narrow(name) << " is not loaded";
    EXPECT_EQ(Narrow(FolderOf(ModulePath(module))), Narrow(folder)) << Narrow(name);
  }

  // Host and library run on one copy of the C++ standard library.
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int standardLibraries = 0;
  for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szModule, L"libstdc++-6.dll") == 0) ++standardLibraries;
  }
  CloseHandle(snapshot);
  EXPECT_EQ(standardLibraries, 1);
}

TEST(DllFiles, EveryExportResolvesByItsPlainNameOnly) {
  ASSERT_NE(Dll().module, nullptr);
  for (const char* name :
       {"RegularPolygons", "RegularPolygon", "UpdatePixelData", "CreatePixelData", "OnDraw",
        "AllShapeDraw", "AllShapeDraw_Quickly", "ExportRibbon"}) {
    EXPECT_NE(GetProcAddress(Dll().module, name), nullptr) << name;
    EXPECT_EQ(GetProcAddress(Dll().module, ("_" + std::string(name)).c_str()), nullptr) << name;
  }
  EXPECT_EQ(GetProcAddress(Dll().module, "OnDraw@20"), nullptr);
  EXPECT_EQ(GetProcAddress(Dll().module, "DllMain"), nullptr);
}

// Calls `fn` with the argument bytes `args` on the stack, as a caller of either convention
// pushes them, and returns EAX and the number of bytes the callee removed: 0 for cdecl (the
// caller removes the arguments), all of them for stdcall.
struct RawCallResult {
  uint32_t eax;
  uint32_t removedByCallee;
};

RawCallResult RawCall(void (*fn)(), const void* args, uint32_t size) {
  uint32_t eax = 0;
  uint32_t removed = 0;
  const void* source = args;
  uint32_t count = size;
  __asm__ volatile(
      "movl %%esp, %%ebx\n\t"
      "subl %%ecx, %%esp\n\t"
      "andl $-16, %%esp\n\t"
      "movl %%esp, %%edi\n\t"
      "rep movsb\n\t"
      "movl %%esp, %%edi\n\t"
      "call *%%eax\n\t"
      "movl %%esp, %%edx\n\t"
      "subl %%edi, %%edx\n\t"
      "movl %%ebx, %%esp\n\t"
      : "=a"(eax), "=d"(removed), "+S"(source), "+c"(count)
      : "0"(fn)
      : "ebx", "edi", "memory", "cc");
  return RawCallResult{eax, removed};
}

template <class T>
void Put(std::vector<unsigned char>& bytes, const T& value) {
  const auto* raw = reinterpret_cast<const unsigned char*>(&value);
  bytes.insert(bytes.end(), raw, raw + sizeof value);
}

TEST_F(HostTest, ExportsLeaveTheirArgumentsForTheCallerToRemove) {
  // OnDraw: five 4-byte arguments; a size of 0 x 0 draws nothing and returns true.
  std::vector<std::vector<pv::PixelWeight>> pixels;
  pv::ColourTable colours;
  uint8_t image[4] = {};
  std::vector<unsigned char> args;
  Put(args, &image[0]);
  Put(args, int32_t{0});
  Put(args, int32_t{0});
  Put(args, &pixels);
  Put(args, &colours);
  ASSERT_EQ(args.size(), 20u);
  RawCallResult result = RawCall(reinterpret_cast<void (*)()>(dll.OnDraw), args.data(), 20);
  EXPECT_EQ(result.eax & 0xFF, 1u);
  EXPECT_EQ(result.removedByCallee, 0u);

  // RegularPolygon: a pointer, four doubles and two int32 at 4-byte steps, then the 16-byte
  // InOutArg by value: 60 bytes. The document square (1,1)-(3,3) of the rectangle 0..4 on an
  // 8 x 8 image maps to (2,2)-(6,6).
  const pv::BezierPath path = SquarePath(1, 1, 2);
  pv::Polygon out;
  const pv::InOutArg<pv::Polygon> arg = HostArg(out);
  args.clear();
  Put(args, &path);
  for (double bound : {0.0, 4.0, 0.0, 4.0}) Put(args, bound);
  Put(args, int32_t{8});
  Put(args, int32_t{8});
  Put(args, arg);
  ASSERT_EQ(args.size(), 60u);
  result = RawCall(reinterpret_cast<void (*)()>(dll.RegularPolygon), args.data(), 60);
  EXPECT_EQ(result.eax & 0xFF, 1u);
  EXPECT_EQ(result.removedByCallee, 0u);
  EXPECT_EQ(g_hooks.commits, 1);
  EXPECT_TRUE(
      SamePoints(out, Points({{2, 2}, {6, 2}, {6, 2}, {6, 6}, {6, 6}, {2, 6}, {2, 6}, {2, 2}})))
      << Show(out);
}

// ---- Outlines to polygons -----------------------------------------------------------------
TEST_F(HostTest, RegularPolygonMapsAndCutsASquareAtTheImageBorder) {
  // The square (0,0)-(4,4) of the document rectangle -2..2 maps to (2,2)-(6,6) on a 4 x 4
  // image (scale 1, offset 2); the quarter inside the image is left, starting at (2,2) and
  // closed by a repeat of it.
  const pv::BezierPath path = SquarePath(0, 0, 4);
  pv::Polygon out{{99, 99}};
  ASSERT_TRUE(dll.RegularPolygon(&path, -2, 2, -2, 2, 4, 4, HostArg(out)));
  EXPECT_TRUE(SamePoints(out, Points({{2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}}))) << Show(out);

  // The hand-back ran through this host's commit, once, on the library's own copy of the
  // record, with the library's working copy and its own release hook.
  EXPECT_EQ(g_hooks.commits, 1);
  EXPECT_EQ(g_hooks.target, &out);
  EXPECT_NE(g_hooks.working, nullptr);
  EXPECT_NE(g_hooks.working, &out);
  EXPECT_TRUE(g_hooks.releaseReplaced);
  EXPECT_EQ(g_hooks.hostReleases, 0);
}

TEST_F(HostTest, RegularPolygonsGivesOnePolygonPerPath) {
  // Rectangle 0..100 x 0..50 on 200 x 100 pixels: scale 2 on both axes. The square
  // (10,10)-(20,20) lies inside and keeps every flattened vertex, doubled; a path without a
  // whole segment gives an empty polygon. The three polygons the host held before are gone.
  const std::vector<pv::BezierPath> paths{SquarePath(10, 10, 10), {{1, 1}, {2, 2}, {3, 3}}};
  std::vector<pv::Polygon> out{{{1, 1}}, {{2, 2}}, {{3, 3}}};
  ASSERT_TRUE(dll.RegularPolygons(&paths, 0, 100, 0, 50, 200, 100, HostArg(out)));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(SamePoints(
      out[0],
      Points({{20, 20}, {40, 20}, {40, 20}, {40, 40}, {40, 40}, {20, 40}, {20, 40}, {20, 20}})))
      << Show(out[0]);
  EXPECT_TRUE(out[1].empty()) << Show(out[1]);
  EXPECT_EQ(g_hooks.commits, 1);
  EXPECT_TRUE(g_hooks.releaseReplaced);
}

// ---- Pixel data ---------------------------------------------------------------------------
TEST_F(HostTest, UpdatePixelDataHandsItsResultBackThroughTheHostsCommit) {
  // A 2 x 2 pixel data; shape 1 is the unit square on pixel (1, 0).
  pv::PixelData data;
  data.pixels.resize(4);
  data.width = 2;
  data.height = 2;
  const pv::FrontMask front(2, false);
  const pv::Polygon outline = SquarePolygon(1, 0);
  const pv::Bounds window{0, 2, 0, 2};
  ASSERT_TRUE(dll.UpdatePixelData(&front, &outline, &window, 1, HostArg(data)));

  EXPECT_EQ(g_hooks.commits, 1);
  EXPECT_EQ(g_hooks.target, &data);
  EXPECT_TRUE(g_hooks.releaseReplaced);
  ASSERT_EQ(data.pixels.size(), 4u);
  EXPECT_EQ(data.width, 2);
  EXPECT_EQ(data.height, 2);
  EXPECT_TRUE(data.pixels[0].empty());
  ASSERT_EQ(data.pixels[1].size(), 1u);
  EXPECT_EQ(data.pixels[1][0].id, 1);
  EXPECT_EQ(data.pixels[1][0].weight, 1.0);
  EXPECT_TRUE(data.pixels[2].empty());
  EXPECT_TRUE(data.pixels[3].empty());
}

TEST_F(HostTest, CreatePixelDataChangesAWorkingObjectOfTheHostInPlace) {
  // Two shapes: id 0 covers pixel (0, 0) fully, id 1 the lower left half of pixel (0, 1).
  pv::PixelData target;
  target.pixels.resize(2);
  target.width = 1;
  target.height = 2;
  pv::PixelData working = target;
  const std::vector<pv::FrontMask> fronts(2, pv::FrontMask(2, false));
  const std::vector<pv::Polygon> outlines{SquarePolygon(0, 0), {{0, 1}, {1, 2}, {0, 2}}};
  const std::vector<int32_t> ids{0, 1};
  const pv::Bounds window{0, 1, 0, 2};
  g_hooks = HookLog{};
  const pv::InOutArg<pv::PixelData> arg{&target, &working, &HostCommitInPlace<pv::PixelData>,
                                        &HostRelease<pv::PixelData>};
  ASSERT_TRUE(dll.CreatePixelData(&fronts, &outlines, &window, &ids, arg));

  // The library worked on the host's object and neither replaced nor called its release.
  EXPECT_EQ(g_hooks.commits, 1);
  EXPECT_EQ(g_hooks.working, &working);
  EXPECT_FALSE(g_hooks.releaseReplaced);
  EXPECT_EQ(g_hooks.hostReleases, 0);
  EXPECT_TRUE(target.pixels[0].empty());
  EXPECT_TRUE(target.pixels[1].empty());
  ASSERT_EQ(working.pixels[0].size(), 1u);
  EXPECT_EQ(working.pixels[0][0].id, 0);
  EXPECT_EQ(working.pixels[0][0].weight, 1.0);
  ASSERT_EQ(working.pixels[1].size(), 1u);
  EXPECT_EQ(working.pixels[1][0].id, 1);
  EXPECT_DOUBLE_EQ(working.pixels[1][0].weight, 0.5);
}

// ---- Drawing ------------------------------------------------------------------------------
TEST_F(HostTest, OnDrawBlendsWeightsIntoTheHostsImage) {
  // Pixel 0: colour 0 at weight 0.5 over black: 127.5 rounds half up to 128 on channel 0.
  // Pixel 1: the same over channel values 1: 127.5 + 0.5 = 128 again. Pixel 2: empty list,
  // keeps its three colour bytes. Byte 3 becomes 0 everywhere.
  std::vector<std::vector<pv::PixelWeight>> pixels(3);
  pixels[0].push_back(pv::PixelWeight{0, 0.5});
  pixels[1].push_back(pv::PixelWeight{0, 0.5});
  const pv::ColourTable colours{0xFF0000FFu};
  std::vector<uint8_t> image = Image({0xAA000000u, 0xAA010101u, 0xAA123456u});
  ASSERT_TRUE(dll.OnDraw(image.data(), 3, 1, &pixels, &colours));
  EXPECT_EQ(Pixel(image, 0), 0x00000080u);
  EXPECT_EQ(Pixel(image, 1), 0x00010180u);
  EXPECT_EQ(Pixel(image, 2), 0x00123456u);
}

TEST_F(HostTest, AllShapeDrawPaintsAUnitSquareIntoItsPixelExactly) {
  const std::vector<pv::FrontMask> fronts{pv::FrontMask(1, false)};
  const std::vector<pv::Polygon> outlines{SquarePolygon(0, 0)};
  const std::vector<int32_t> ids{0};
  const pv::ColourTable colours{0x44332211u};
  std::vector<uint8_t> image = Image({0x99AABBCCu, 0x99AABBCCu, 0x99AABBCCu, 0x99AABBCCu});
  ASSERT_TRUE(dll.AllShapeDraw(&fronts, &outlines, &ids, &colours, 2, 2, image.data()));
  EXPECT_EQ(Pixel(image, 0), 0x00332211u);
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(Pixel(image, i), 0x00AABBCCu) << i;
}

TEST_F(HostTest, AllShapeDrawQuicklyCopiesAllFourBytesOfTheOwnersColour) {
  const std::vector<pv::FrontMask> fronts{pv::FrontMask(1, false)};
  const std::vector<pv::Polygon> outlines{SquarePolygon(1, 1)};
  const std::vector<int32_t> ids{0};
  const pv::ColourTable colours{0x44332211u};
  std::vector<uint8_t> image = Image({0x99AABBCCu, 0x99AABBCCu, 0x99AABBCCu, 0x99AABBCCu});
  ASSERT_TRUE(dll.AllShapeDraw_Quickly(&fronts, &outlines, &ids, &colours, 2, 2, image.data()));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Pixel(image, i), 0x99AABBCCu) << i;
  EXPECT_EQ(Pixel(image, 3), 0x44332211u);
}

// ---- Ribbon export ------------------------------------------------------------------------
std::string Utf8(const char16_t* text) {
  std::string out;
  for (; *text != 0; ++text) {
    const uint32_t c = *text;  // the texts here hold no surrogate pairs
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

struct HostError {};

// Every call that the library makes on the host's three objects, in order.
struct RibbonLog {
  std::vector<std::string> calls;
  std::vector<uint8_t> buffer;
  int32_t width = 0;
  int32_t height = 0;
  bool throwFromPutMask = false;

  int32_t GetWidth() {
    calls.push_back("GetWidth");
    return width;
  }
  int32_t GetHeight() {
    calls.push_back("GetHeight");
    return height;
  }
  void PutMask(const uint8_t* mask, int32_t layer, const pv::RibbonRect* rect) {
    std::string call = "PutMask layer " + std::to_string(layer) + " rect " +
                       std::to_string(rect->left) + "," + std::to_string(rect->top) + "," +
                       std::to_string(rect->right) + "," + std::to_string(rect->bottom) + " mask";
    for (int32_t i = 0; i < rect->right * (rect->bottom - rect->top); ++i) {
      call += " " + std::to_string(mask[i]);
    }
    calls.push_back(call);
    if (throwFromPutMask) throw HostError{};
  }
  uint8_t* Allocate(int32_t size) {
    calls.push_back("Allocate " + std::to_string(size));
    buffer.assign(size_t(size) + 1, 0xEE);  // one byte more, so that data() is never null
    return buffer.data();
  }
  void Free(uint8_t* address) {
    calls.push_back(address == buffer.data() ? "Free the buffer" : "Free another address");
  }
  void SetPosition(int32_t position, int32_t range) {
    calls.push_back("SetPosition " + std::to_string(position) + "/" + std::to_string(range));
  }
  void SetText(const char16_t* text) {
    calls.push_back("SetText " + Utf8(text));
  }
};

// The callback objects of a C++ host: classes derived from the header's interfaces.
class HostCanvas final : public pv::RibbonCanvas {
 public:
  explicit HostCanvas(RibbonLog& log) : log_(log) {}
  int32_t GetWidth() override {
    return log_.GetWidth();
  }
  int32_t GetHeight() override {
    return log_.GetHeight();
  }
  void PutMask(const uint8_t* mask, int32_t layer, const pv::RibbonRect* rect) override {
    log_.PutMask(mask, layer, rect);
  }

 private:
  RibbonLog& log_;
};

class HostAllocator final : public pv::RibbonAllocator {
 public:
  explicit HostAllocator(RibbonLog& log) : log_(log) {}
  uint8_t* Allocate(int32_t size) override {
    return log_.Allocate(size);
  }
  void Free(uint8_t* buffer) override {
    log_.Free(buffer);
  }

 private:
  RibbonLog& log_;
};

class HostProgress final : public pv::RibbonProgress {
 public:
  explicit HostProgress(RibbonLog& log) : log_(log) {}
  void SetPosition(int32_t position, int32_t range) override {
    log_.SetPosition(position, range);
  }
  void SetText(const char16_t* text) override {
    log_.SetText(text);
  }

 private:
  RibbonLog& log_;
};

// The same objects as a host without the header's classes builds them (another language, or
// another compiler): an object is the address of a table of thiscall functions, one per
// operation in declaration order.
using Slot = void (*)();
struct FakeObject {
  const Slot* table;
  RibbonLog* log;
};

int32_t HOST_THISCALL FakeGetWidth(FakeObject* self) {
  return self->log->GetWidth();
}
int32_t HOST_THISCALL FakeGetHeight(FakeObject* self) {
  return self->log->GetHeight();
}
void HOST_THISCALL FakePutMask(FakeObject* self, const uint8_t* mask, int32_t layer,
                               const pv::RibbonRect* rect) {
  self->log->PutMask(mask, layer, rect);
}
uint8_t* HOST_THISCALL FakeAllocate(FakeObject* self, int32_t size) {
  return self->log->Allocate(size);
}
void HOST_THISCALL FakeFree(FakeObject* self, uint8_t* buffer) {
  self->log->Free(buffer);
}
void HOST_THISCALL FakeSetPosition(FakeObject* self, int32_t position, int32_t range) {
  self->log->SetPosition(position, range);
}
void HOST_THISCALL FakeSetText(FakeObject* self, const char16_t* text) {
  self->log->SetText(text);
}

const Slot kCanvasTable[] = {reinterpret_cast<Slot>(&FakeGetWidth),
                             reinterpret_cast<Slot>(&FakeGetHeight),
                             reinterpret_cast<Slot>(&FakePutMask)};
const Slot kAllocatorTable[] = {reinterpret_cast<Slot>(&FakeAllocate),
                                reinterpret_cast<Slot>(&FakeFree)};
const Slot kProgressTable[] = {reinterpret_cast<Slot>(&FakeSetPosition),
                               reinterpret_cast<Slot>(&FakeSetText)};

// One shape, id 1: the unit square on pixel (0, 0) of a 2 x 2 image. Layer table {0, 7}:
// id 1 is exported with the value 7.
struct RibbonScene {
  std::vector<pv::RibbonShape> shapes;
  pv::LayerTable layers{0, 7};
  RibbonScene() {
    pv::RibbonShape shape;
    shape.id = 1;
    shape.front = pv::FrontMask(2, false);
    shape.outline = SquarePath(0, 0, 1);
    shape.reserved = 0xDEADBEEFu;
    shapes.push_back(shape);
  }
};

// A single band: the mask of id 1 (0 = covered, 255 = not covered), progress at 100 %.
const std::vector<std::string> kRibbonCalls{
    "GetWidth",
    "GetHeight",
    "Allocate 4",
    "SetText 撇丝生成...",
    "SetPosition 0/100",
    "PutMask layer 7 rect 0,0,2,2 mask 0 255 255 255",
    "SetText 撇丝生成...100.0%",
    "SetPosition 100/100",
    "Free the buffer",
};

TEST_F(HostTest, ExportRibbonCallsTheHostsObjectsInOrder) {
  RibbonLog log;
  log.width = 2;
  log.height = 2;
  HostCanvas canvas(log);
  HostAllocator allocator(log);
  HostProgress progress(log);
  pv::RibbonHost host{&canvas, &allocator, &progress};
  const RibbonScene scene;
  ASSERT_TRUE(dll.ExportRibbon(&host, &scene.shapes, &scene.layers));
  EXPECT_EQ(log.calls, kRibbonCalls);
}

TEST_F(HostTest, ExportRibbonCallsHandBuiltTablesSlotBySlot) {
  RibbonLog log;
  log.width = 2;
  log.height = 2;
  FakeObject canvas{kCanvasTable, &log};
  FakeObject allocator{kAllocatorTable, &log};
  FakeObject progress{kProgressTable, &log};
  // The library sees nothing but these addresses.
  pv::RibbonHost host{reinterpret_cast<pv::RibbonCanvas*>(&canvas),
                      reinterpret_cast<pv::RibbonAllocator*>(&allocator),
                      reinterpret_cast<pv::RibbonProgress*>(&progress)};
  const RibbonScene scene;
  ASSERT_TRUE(dll.ExportRibbon(&host, &scene.shapes, &scene.layers));
  EXPECT_EQ(log.calls, kRibbonCalls);
}

// ---- Exceptions across the boundary -------------------------------------------------------
// While it lives, reserves all of this process's free address space down to pieces smaller
// than 1 MB, so that no allocation of that size can succeed; smaller ones are still served from
// the memory that the heap already holds. Blocks are taken largest first, halving the size
// whenever none of it is left.
class AddressSpaceHold {
 public:
  AddressSpaceHold() {
    for (size_t size = size_t(1) << 30; size >= kBlock && count_ < kMost;) {
      void* held = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
      if (held != nullptr) {
        held_[count_++] = held;
      } else {
        size /= 2;
      }
    }
  }
  AddressSpaceHold(const AddressSpaceHold&) = delete;
  AddressSpaceHold& operator=(const AddressSpaceHold&) = delete;
  ~AddressSpaceHold() {
    for (size_t i = 0; i < count_; ++i) VirtualFree(held_[i], 0, MEM_RELEASE);
  }

  static constexpr size_t kBlock = size_t(1) << 20;

 private:
  static constexpr size_t kMost = 4096;
  void* held_[kMost] = {};
  size_t count_ = 0;
};

TEST_F(HostTest, BadAllocRaisedInsideAnExportReachesTheHostsCatch) {
  // AllShapeDraw of 2048 x 2048 pixels makes one 12-byte weight list per pixel, 48 MB in one
  // block, while the address space has no free megabyte left. The image (16 MB) is the host's
  // and exists before the address space is held.
  const int32_t width = 2048;
  const int32_t height = 2048;
  std::vector<uint8_t> image(size_t(width) * size_t(height) * 4, 0);
  const std::vector<pv::FrontMask> fronts;
  const std::vector<pv::Polygon> outlines;
  const std::vector<int32_t> ids;
  const pv::ColourTable colours{0};
  bool heldEverything = false;
  bool caughtBadAlloc = false;
  bool caughtOther = false;
  bool returned = false;
  {
    const AddressSpaceHold hold;
    void* probe = VirtualAlloc(nullptr, AddressSpaceHold::kBlock, MEM_RESERVE, PAGE_NOACCESS);
    heldEverything = probe == nullptr;
    if (probe != nullptr) VirtualFree(probe, 0, MEM_RELEASE);
    try {
      dll.AllShapeDraw(&fronts, &outlines, &ids, &colours, width, height, image.data());
      returned = true;
    } catch (const std::bad_alloc&) {
      caughtBadAlloc = true;
    } catch (...) {
      caughtOther = true;
    }
  }
  ASSERT_TRUE(heldEverything) << "a free megabyte was left; the test proves nothing";
  EXPECT_TRUE(caughtBadAlloc);
  EXPECT_FALSE(caughtOther) << "an exception of another type left the export";
  EXPECT_FALSE(returned) << "the export returned although its allocation cannot succeed";

  // Host and library go on working, with the same image: every byte 3 is still untouched.
  std::vector<std::vector<pv::PixelWeight>> pixels(1);
  pixels[0].push_back(pv::PixelWeight{0, 1.0});
  const pv::ColourTable white{0x00FFFFFFu};
  ASSERT_TRUE(dll.OnDraw(image.data(), 1, 1, &pixels, &white));
  EXPECT_EQ(Pixel(image, 0), 0x00FFFFFFu);
}

TEST_F(HostTest, HostExceptionLeavesExportRibbonAfterTheBufferIsFreed) {
  RibbonLog log;
  log.width = 2;
  log.height = 2;
  log.throwFromPutMask = true;
  HostCanvas canvas(log);
  HostAllocator allocator(log);
  HostProgress progress(log);
  pv::RibbonHost host{&canvas, &allocator, &progress};
  const RibbonScene scene;
  EXPECT_THROW(dll.ExportRibbon(&host, &scene.shapes, &scene.layers), HostError);
  const std::vector<std::string> expected(kRibbonCalls.begin(), kRibbonCalls.begin() + 6);
  ASSERT_GE(log.calls.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(log.calls.begin(), log.calls.begin() + 6), expected);
  EXPECT_EQ(log.calls.back(), "Free the buffer");
  EXPECT_EQ(log.calls.size(), 7u);
}

#pragma GCC diagnostic pop

}  // namespace
