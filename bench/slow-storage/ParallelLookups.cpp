// libfuse 3.14 (Debian 12) turns FUSE_CAP_PARALLEL_DIROPS on in what it wants
// from the kernel but never writes it into its answer to the kernel's INIT
// (later releases do). Without it the kernel sends one lookup or listing at a
// time per folder, which no share does: readers of one folder would wait on
// each other's lookups. The answer goes out through writev(), which this
// program defines over the C library's: the flag is added to the first message
// written to the FUSE device, and every write goes on to the system call.
#include "ParallelLookups.h"

#include <linux/fuse.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<int> initDevice{-1};

}  // namespace

namespace slow {

void AnswerInitWithParallelLookups(int fuseDevice) {
    initDevice = fuseDevice;
}

}  // namespace slow

extern "C" ssize_t writev(int descriptor, const iovec* pieces, int count) {
    int device = descriptor;
    if (descriptor >= 0 && initDevice.compare_exchange_strong(device, -1) && count >= 2 &&
        pieces[0].iov_len == sizeof(fuse_out_header) &&
        pieces[1].iov_len == sizeof(fuse_init_out) &&
        static_cast<const fuse_out_header*>(pieces[0].iov_base)->error == 0) {
        static_cast<fuse_init_out*>(pieces[1].iov_base)->flags |= FUSE_PARALLEL_DIROPS;
    }
    return syscall(SYS_writev, descriptor, pieces, count);
}
