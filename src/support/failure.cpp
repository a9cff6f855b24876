#include "support/failure.h"

namespace pintovel {

bool RejectInput() {
  return false;
}

}  // namespace pintovel
