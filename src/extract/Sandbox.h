#pragma once

#include <QString>
#include <optional>

namespace quorvid {

// Limits for a process that reads hostile files: an address-space ceiling so that
// a runaway allocation ends in a failed allocation instead of the system running
// out of memory, and no core dumps.
inline constexpr unsigned long long kHelperAddressSpaceBytes = 2ULL * 1024 * 1024 * 1024;
bool LimitResources(unsigned long long addressSpaceBytes = kHelperAddressSpaceBytes);

// Confines the calling process (all its threads) for good to reading: files open
// read-only; creating, writing, removing, renaming files and changing their
// attributes, network and local sockets, exec, ptrace and signals to other
// processes are refused. Streams already open (the pipe to the parent) still
// write. Nothing when it worked, else why not.
std::optional<QString> ConfineToReading();

}  // namespace quorvid
