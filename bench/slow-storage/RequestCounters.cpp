#include "RequestCounters.h"

#include <cstdio>
#include <fstream>

namespace slow {

namespace {

constexpr const char* kRequestNames[kRequestKinds] = {
    "lookup",   "open",      "read",   "readdir",  "release",
    "getxattr", "listxattr", "statfs", "readlink", "access",
};

}  // namespace

std::string RequestCounters::Line() const {
    std::uint64_t total = 0;
    std::string kinds;
    for (int kind = 0; kind < kRequestKinds; ++kind) {
        const std::uint64_t count = requests_[kind].load();
        total += count;
        kinds += ' ' + std::string(kRequestNames[kind]) + '=' + std::to_string(count);
    }
    return "requests=" + std::to_string(total) + kinds + " bytes=" + std::to_string(bytes_) +
           " seeks=" + std::to_string(seeks_) + " read_seeks=" + std::to_string(readSeeks_) +
           " work_ms=" + std::to_string(workMicroseconds_ / 1000) +
           " stalled=" + std::to_string(stalled_) + " interrupted=" + std::to_string(interrupted_);
}

bool RequestCounters::WriteTo(const std::string& path) const {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << Line() << '\n';
        if (!out.flush()) {
            return false;
        }
    }
    return std::rename(partial.c_str(), path.c_str()) == 0;
}

}  // namespace slow
