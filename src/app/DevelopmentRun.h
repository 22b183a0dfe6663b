#pragma once

namespace quorvid {

// True when the program runs from a development build; it only shortens waits
// that a developer sits through at every start.
inline bool IsDevelopmentRun() {
#ifdef NDEBUG
    return false;
#else
    return true;
#endif
}

}  // namespace quorvid
