// Hooks the way a host writes them for the hand-back protocol: commit copies the working object
// into the target with the host's own allocation, then gives the working copy back through
// release. Every call is counted so tests can check "exactly once".
#ifndef PINTOVEL_TESTS_SUPPORT_HOST_HOOKS_H
#define PINTOVEL_TESTS_SUPPORT_HOST_HOOKS_H

#include <pintovel/pintovel.h>

namespace pintovel::testing {

struct HookCounts {
  int commits = 0;
  int releases = 0;
  bool sawWorking = false;  // the last commit received a working object
};

template <class T>
HookCounts& CountsFor() {
  static HookCounts counts;
  return counts;
}

template <class T>
void PINTOVEL_HOOK_CALL HostCommit(InOutArg<T>* arg) {
  HookCounts& counts = CountsFor<T>();
  ++counts.commits;
  counts.sawWorking = arg->working != nullptr;
  if (arg->working == nullptr) return;
  T copy(*arg->working);  // the host's own allocation
  arg->target->swap(copy);
  arg->release(arg);
}

// For records whose copy is not a container (PixelData, OwnerMap).
template <class T>
void PINTOVEL_HOOK_CALL HostCommitRecord(InOutArg<T>* arg) {
  HookCounts& counts = CountsFor<T>();
  ++counts.commits;
  counts.sawWorking = arg->working != nullptr;
  if (arg->working == nullptr) return;
  *arg->target = T(*arg->working);
  arg->release(arg);
}

// Commit of a host that supplied its own working object: the result is already where the host
// wants it.
template <class T>
void PINTOVEL_HOOK_CALL HostKeep(InOutArg<T>* arg) {
  HookCounts& counts = CountsFor<T>();
  ++counts.commits;
  counts.sawWorking = arg->working != nullptr;
}

template <class T>
void PINTOVEL_HOOK_CALL HostRelease(InOutArg<T>*) {
  ++CountsFor<T>().releases;
}

// A record as a host builds it for an external call; resets the counts.
template <class T>
InOutArg<T> HostArg(T& target) {
  CountsFor<T>() = HookCounts{};
  return InOutArg<T>{&target, nullptr, &HostCommit<T>, &HostRelease<T>};
}

// A record whose working object is the host's own.
template <class T>
InOutArg<T> InPlaceHostArg(T& object) {
  CountsFor<T>() = HookCounts{};
  return InOutArg<T>{&object, &object, &HostKeep<T>, &HostRelease<T>};
}

inline InOutArg<PixelData> HostArg(PixelData& target) {
  CountsFor<PixelData>() = HookCounts{};
  return InOutArg<PixelData>{&target, nullptr, &HostCommitRecord<PixelData>,
                             &HostRelease<PixelData>};
}

}  // namespace pintovel::testing

#endif  // PINTOVEL_TESTS_SUPPORT_HOST_HOOKS_H
