// The global operator new and delete of the allocation-failure tests. Memory comes from malloc
// (so AddressSanitizer and LeakSanitizer still see every block); the bookkeeping uses no
// allocation of its own: a fixed open-addressing table of the live tracked blocks.
#include "robustness/failing_allocator.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#if defined(_WIN32)
#  include <malloc.h>
#endif

namespace pintovel::testing {
namespace {

constexpr size_t kTableSize = size_t{1} << 18;  // live tracked blocks at once, at most half of it

struct State {
  bool armed = false;
  long failAt = -1;
  long counted = 0;
  bool injected = false;
  int hostDepth = 0;
  size_t live = 0;
  // Open addressing with linear probing; null marks a free slot, kTombstone a freed one.
  void* table[kTableSize] = {};
};

State& state() {
  static State s;  // zero-initialised storage, constructed before the first allocation
  return s;
}

void* const kTombstone = reinterpret_cast<void*>(uintptr_t{1});

size_t SlotOf(const void* p) {
  return (reinterpret_cast<uintptr_t>(p) >> 4) * 0x9E3779B97F4A7C15ull % kTableSize;
}

void Track(void* p) {
  State& s = state();
  if (s.live >= kTableSize / 2) {
    std::fprintf(stderr, "failing_allocator: more than %zu live tracked blocks\n", kTableSize / 2);
    std::abort();
  }
  for (size_t i = SlotOf(p);; i = (i + 1) % kTableSize) {
    if (s.table[i] == nullptr || s.table[i] == kTombstone) {
      s.table[i] = p;
      ++s.live;
      return;
    }
  }
}

void Untrack(void* p) {
  State& s = state();
  if (s.live == 0) return;
  size_t i = SlotOf(p);
  for (size_t probes = 0; probes < kTableSize && s.table[i] != nullptr; ++probes) {
    if (s.table[i] == p) {
      s.table[i] = kTombstone;
      --s.live;
      return;
    }
    i = (i + 1) % kTableSize;
  }
}

// Whether this allocation is to fail; counts and remembers it otherwise.
bool ShouldFail() {
  State& s = state();
  if (!s.armed || s.hostDepth > 0) return false;
  const long index = s.counted++;
  if (index == s.failAt) {
    s.injected = true;
    return true;
  }
  return false;
}

void* Allocate(size_t size, size_t alignment, bool nothrow) {
  if (ShouldFail()) {
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  if (size == 0) size = 1;
  void* p = nullptr;
  if (alignment == 0) {
    p = std::malloc(size);
  } else {
#if defined(_WIN32)
    p = _aligned_malloc(size, alignment);
#else
    p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
#endif
  }
  if (p == nullptr) {
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  State& s = state();
  if (s.armed && s.hostDepth == 0) Track(p);
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  Untrack(p);
  std::free(p);
}

void ReleaseAligned(void* p) {
  if (p == nullptr) return;
  Untrack(p);
#if defined(_WIN32)
  _aligned_free(p);
#else
  std::free(p);
#endif
}

}  // namespace

void ArmAllocations(long failAt) {
  State& s = state();
  for (void*& slot : s.table) slot = nullptr;
  s.live = 0;
  s.counted = 0;
  s.injected = false;
  s.failAt = failAt;
  s.armed = true;
}

void DisarmAllocations() {
  state().armed = false;
}

long CountedAllocations() {
  return state().counted;
}

bool InjectedFailure() {
  return state().injected;
}

size_t LiveTrackedAllocations() {
  return state().live;
}

HostScope::HostScope() {
  ++state().hostDepth;
}

HostScope::~HostScope() {
  --state().hostDepth;
}

}  // namespace pintovel::testing

using pintovel::testing::Allocate;
using pintovel::testing::Release;
using pintovel::testing::ReleaseAligned;

void* operator new(std::size_t size) {
  return Allocate(size, 0, false);
}
void* operator new[](std::size_t size) {
  return Allocate(size, 0, false);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size, 0, true);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size, 0, true);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(std::size_t size, std::align_val_t a) {
  return Allocate(size, static_cast<size_t>(a), false);
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return Allocate(size, static_cast<size_t>(a), false);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size, static_cast<size_t>(a), true);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size, static_cast<size_t>(a), true);
  } catch (...) {
    return nullptr;
  }
}

void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  ReleaseAligned(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  ReleaseAligned(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  ReleaseAligned(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  ReleaseAligned(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  ReleaseAligned(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  ReleaseAligned(p);
}
