// Stand-ins for peers this build was configured without: their roads are left out.
#include "roads.h"

namespace pintovel::bench {

#if !defined(PINTOVEL_BENCH_HAVE_FREETYPE)
bool FreeTypeIsBuilt() {
  return false;
}
std::unique_ptr<PreparedRoad> PrepareFreeType(const Scene&) {
  return nullptr;
}
std::unique_ptr<PreparedRoad> PrepareFreeTypeSpans(const Scene&) {
  return nullptr;
}
#endif

#if !defined(PINTOVEL_BENCH_HAVE_CAIRO)
bool CairoIsBuilt() {
  return false;
}
std::unique_ptr<PreparedRoad> PrepareCairo(const Scene&, bool) {
  return nullptr;
}
#endif

}  // namespace pintovel::bench
