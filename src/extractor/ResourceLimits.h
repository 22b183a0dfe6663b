#pragma once

namespace quorvid {

// Limits for a process that reads hostile files: an address-space ceiling so that
// a runaway allocation ends in a failed allocation instead of the system running
// out of memory, and no core dumps.
bool LimitResources(unsigned long long addressSpaceBytes);

}  // namespace quorvid
