#include "extractor/ResourceLimits.h"

#include <sys/resource.h>

namespace quorvid {

namespace {

bool SetBothLimits(int resource, rlim_t value) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0) {
        return false;
    }
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < value) {
        value = limit.rlim_max;
    }
    limit.rlim_cur = value;
    limit.rlim_max = value;
    return setrlimit(resource, &limit) == 0;
}

}  // namespace

bool LimitResources(unsigned long long addressSpaceBytes) {
    const bool memory = SetBothLimits(RLIMIT_AS, static_cast<rlim_t>(addressSpaceBytes));
    const bool core = SetBothLimits(RLIMIT_CORE, 0);
    return memory && core;
}

}  // namespace quorvid
