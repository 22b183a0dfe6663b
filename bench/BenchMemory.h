#pragma once

#include <fstream>
#include <string>

// Memory figures of the running benchmark, from /proc/self/status.
namespace bench {

// A field of /proc/self/status in kilobytes ("VmHWM" is the peak resident size).
inline long KilobytesOf(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stol(line.substr(prefix.size()));
        }
    }
    return -1;
}

inline long PeakMemoryKb() {
    return KilobytesOf("VmHWM");
}

// Starts a new peak: the kernel sets VmHWM back to the current resident size.
inline void ResetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace bench
