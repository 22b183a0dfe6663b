#pragma once

// A read-only view of a source folder through FUSE's high-level API, each
// request answered once the storage model has let its time go by.

#define FUSE_USE_VERSION 314
#include <fuse3/fuse.h>

#include <string>

#include "RequestCounters.h"
#include "StorageModel.h"

namespace slow {

struct PassthroughFileSystem {
    std::string source;  // canonical, without a trailing slash
    RequestCounters& counters;
    StorageModel& model;
};

// The operations; fuse_new's private data is the PassthroughFileSystem.
fuse_operations PassthroughOperations();

// Whether the request this thread serves is no longer awaited: its process was
// interrupted (also by SIGKILL), or the file system is being taken down.
bool RequestAbandoned();

}  // namespace slow
