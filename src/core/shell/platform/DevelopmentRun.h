#pragma once

namespace quorvid {

// True in a debug build; only shortens the splash wait.
constexpr bool IsDevelopmentRun() {
#ifdef NDEBUG
    return false;
#else
    return true;
#endif
}

}  // namespace quorvid
