// The host's side of the library's hand-back protocol: a commit hook that copies the
// library's working object into the host's own object (allocated by this program), then lets
// the library free its copy.
#ifndef PINTOVEL_RENDER_HAND_BACK_H
#define PINTOVEL_RENDER_HAND_BACK_H

#include "pintovel/pintovel.h"

namespace pintovel_render {

template <class T>
void PINTOVEL_HOOK_CALL CommitToTarget(pintovel::InOutArg<T>* arg) {
  if (arg->working != nullptr && arg->working != arg->target) *arg->target = *arg->working;
  if (arg->release != nullptr) arg->release(arg);
}

// A record for an external call: the target is `object`, no working copy yet.
template <class T>
pintovel::InOutArg<T> HandBackTo(T& object) {
  return pintovel::InOutArg<T>{&object, nullptr, &CommitToTarget<T>, nullptr};
}

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_HAND_BACK_H
