#include "extractor/LibraryPages.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quorvid {

LibraryPages LibraryPages::OfThisProcess() {
    LibraryPages pages;
    FILE* const maps = std::fopen("/proc/self/maps", "re");
    if (maps == nullptr) {
        return pages;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long start = 0;
        unsigned long end = 0;
        char permissions[5] = {};
        int pathAt = 0;
        if (std::sscanf(line, "%lx-%lx %4s %*s %*s %*s %n", &start, &end, permissions, &pathAt) <
                3 ||
            pathAt == 0) {
            continue;
        }
        // Written pages are the process's own and copied by the fork already.
        const bool sharedLibrary = std::strstr(line + pathAt, ".so") != nullptr;
        if (sharedLibrary && permissions[0] == 'r' && permissions[1] != 'w') {
            pages.ranges_.push_back({reinterpret_cast<char*>(start), end - start});
        }
    }
    std::fclose(maps);
    return pages;
}

void LibraryPages::Populate() const {
    for (const Range& range : ranges_) {
        if (madvise(range.start, range.length, MADV_POPULATE_READ) != 0 && errno == EINVAL) {
            return;  // a kernel without it
        }
    }
}

}  // namespace quorvid
