// Every false result of the library passes through RejectInput, so that one breakpoint (or one
// line of tracing while debugging) catches every rejected call.
#ifndef PINTOVEL_SUPPORT_FAILURE_H
#define PINTOVEL_SUPPORT_FAILURE_H

namespace pintovel {

bool RejectInput();

}  // namespace pintovel

#endif  // PINTOVEL_SUPPORT_FAILURE_H
