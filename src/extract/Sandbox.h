#pragma once

#include <QString>

namespace quorvid {

// Limits for a process that reads hostile files: an address-space ceiling so that
// a runaway allocation ends in a failed allocation instead of the system running
// out of memory, and no core dumps.
inline constexpr unsigned long long kHelperAddressSpaceBytes = 2ULL * 1024 * 1024 * 1024;
bool LimitResources(unsigned long long addressSpaceBytes = kHelperAddressSpaceBytes);

}  // namespace quorvid
