// FreeType objects that outlive one call: the library handle, an open face, and outline copies
// in FreeType's 26.6 units. Only the FreeType-enabled parts of the bench include this.
#ifndef PINTOVEL_BENCH_FREETYPE_CONTEXT_H
#define PINTOVEL_BENCH_FREETYPE_CONTEXT_H

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <deque>

namespace pintovel::bench {

struct FreeTypeContext {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  // A deque keeps every outline at its address while more are added.
  std::deque<FT_Outline> outlines;

  FreeTypeContext();
  ~FreeTypeContext();
  FreeTypeContext(const FreeTypeContext&) = delete;
  FreeTypeContext& operator=(const FreeTypeContext&) = delete;

  // A new outline with room for the given points and contours, owned by this context.
  FT_Outline* NewOutline(int points, int contours);
};

}  // namespace pintovel::bench

#endif  // PINTOVEL_BENCH_FREETYPE_CONTEXT_H
