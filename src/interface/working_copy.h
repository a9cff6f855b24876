// The library's side of the InOutArg hand-back protocol, for every record type it hands back.
// Only the exports use it: the subsystems work on plain objects, and an export runs the
// protocol around them (RunHandBack).
//
// The steps, callee side: (1) an empty `working` becomes a library copy of *target, released by
// the library's own hook, while a supplied `working` is used as it is; (2) all work is done on
// *working; (3) as the last act on every return path, `commit` is called once with the
// record's address.
//
// MakeWorkingCopy    allocates a copy of *target on the library's heap.
// CommitWorkingCopy  assigns *working to *target, then, as its last act, calls release;
//                    with an empty working it does nothing.
// ReleaseWorkingCopy destroys and frees *working (the field itself is not cleared); with an
//                    empty working it does nothing.
#ifndef PINTOVEL_INTERFACE_WORKING_COPY_H
#define PINTOVEL_INTERFACE_WORKING_COPY_H

#include <pintovel/pintovel.h>

namespace pintovel {

template <class T>
T* MakeWorkingCopy(const T& target) {
  return new T(target);
}

template <class T>
void PINTOVEL_HOOK_CALL ReleaseWorkingCopy(InOutArg<T>* arg) {
  delete arg->working;
}

template <class T>
void PINTOVEL_HOOK_CALL CommitWorkingCopy(InOutArg<T>* arg) {
  if (arg->working == nullptr) return;
  *arg->target = *arg->working;
  arg->release(arg);
}

// Step 1: an empty `working` becomes a library copy of *target, released by the
// library's own hook; a supplied `working` is used as it is.
template <class T>
T& AcquireWorkingCopy(InOutArg<T>& arg) {
  if (arg.working == nullptr) {
    arg.working = MakeWorkingCopy(*arg.target);
    arg.release = &ReleaseWorkingCopy<T>;
  }
  return *arg.working;
}

// Frees a working copy that the library made when an exception leaves a step before its
// commit, so that nothing leaks. A supplied working object is the caller's and stays.
template <class T>
class WorkingCopyGuard {
 public:
  explicit WorkingCopyGuard(InOutArg<T>& arg) : arg_(arg), owned_(arg.working == nullptr) {}
  WorkingCopyGuard(const WorkingCopyGuard&) = delete;
  WorkingCopyGuard& operator=(const WorkingCopyGuard&) = delete;
  ~WorkingCopyGuard() {
    if (owned_ && armed_ && arg_.working != nullptr) ReleaseWorkingCopy(&arg_);
  }
  // Called right before commit: from then on the commit hook owns the copy's release.
  void Disarm() {
    armed_ = false;
  }
  bool OwnsCopy() const {
    return owned_;
  }

 private:
  InOutArg<T>& arg_;
  bool owned_;
  bool armed_ = true;
};

// Steps 1 to 3 around `work`, which changes the working object it is given and returns the
// call's result. An exception leaving `work` frees a working copy the library made and calls
// no hook.
template <class T, class Work>
bool RunHandBack(InOutArg<T>& arg, Work work) {
  WorkingCopyGuard<T> guard(arg);
  T& working = AcquireWorkingCopy(arg);
  const bool ok = work(working, guard.OwnsCopy());
  guard.Disarm();
  arg.commit(&arg);
  return ok;
}

}  // namespace pintovel

#endif  // PINTOVEL_INTERFACE_WORKING_COPY_H
