#pragma once

#include <QString>
#include <optional>

namespace quorvid {

// What a confined process may ask of the kernel: an allow-list, built from the
// calls the helper makes once its libraries are loaded. Anything else ends the
// process, except a few calls that libraries make to probe harmlessly, which
// fail as they would on a system without them.
enum class SyscallPolicy {
    // Reads one hostile file: files only without write flags, writes only to its
    // output and error pipes, threads but no new processes, signals only to
    // itself, no executable memory, no terminal requests.
    Reader,
    // Starts the readers: what a reader may do, and forking a reader, waiting
    // for it, confining it and passing it on a signal.
    Helper,
};

// Installs the filter for the calling process, for good. Nothing when it
// worked, else why not.
std::optional<QString> InstallSyscallFilter(SyscallPolicy policy);

}  // namespace quorvid
