// A test-only replacement of the global operator new and delete (failing_allocator.cpp) that
// counts the allocations made while it is armed, makes a chosen one throw std::bad_alloc, and
// keeps track of which of them are still live.
//
// Only an executable that links failing_allocator.cpp gets the replacement; the hooks below
// exist only there. Allocations made in a HostScope (the host's own code, such as a commit hook
// that copies a result) are neither counted nor failed nor tracked: the tests inject failures
// into the library only.
#ifndef PINTOVEL_TESTS_ROBUSTNESS_FAILING_ALLOCATOR_H
#define PINTOVEL_TESTS_ROBUSTNESS_FAILING_ALLOCATOR_H

#include <cstddef>

namespace pintovel::testing {

// From now on allocations are counted from 0; the one numbered `failAt` throws std::bad_alloc
// (a nothrow new returns null instead). A negative `failAt` only counts. Clears the record of
// live allocations.
void ArmAllocations(long failAt);

// Stops counting and failing. Allocations made while armed stay tracked until they are freed.
void DisarmAllocations();

// Allocations counted since ArmAllocations, the failed one included.
long CountedAllocations();

// Whether the allocation numbered `failAt` was reached (and so failed).
bool InjectedFailure();

// Allocations made while armed (outside host scopes) and not freed since.
size_t LiveTrackedAllocations();

// Marks the host's own code: while one exists, allocations are not counted, failed or tracked.
class HostScope {
 public:
  HostScope();
  ~HostScope();
  HostScope(const HostScope&) = delete;
  HostScope& operator=(const HostScope&) = delete;
};

}  // namespace pintovel::testing

#endif  // PINTOVEL_TESTS_ROBUSTNESS_FAILING_ALLOCATOR_H
