#pragma once

#include <grp.h>
#include <sys/types.h>
#include <unistd.h>

namespace quorvid::test {

// Runs as an unprivileged user while it lives, so that permissions bite also
// when the tests run as root.
class Unprivileged {
  public:
    Unprivileged() : wasRoot_(geteuid() == 0) {
        if (wasRoot_) {
            active_ = seteuid(kNobody) == 0;
        }
    }
    ~Unprivileged() {
        if (active_) {
            [[maybe_unused]] const int rc = seteuid(0);
        }
    }
    // False when permissions cannot be made to apply.
    bool effective() const { return !wasRoot_ || active_; }

    // Whether the unprivileged user may open path as asked (X_OK, R_OK): a
    // checkout under /root is out of its reach.
    static bool MayAccess(const char* path, int mode) {
        const Unprivileged unprivileged;
        return unprivileged.effective() && euidaccess(path, mode) == 0;
    }

    // For a child process about to start one of the programs, which refuse to
    // run with their real and effective users apart: gives up root for good.
    static void DropRootInChild() {
        if (getuid() == 0) {
            [[maybe_unused]] const int groups = setgroups(0, nullptr);
            [[maybe_unused]] const int group = setresgid(kNobody, kNobody, kNobody);
            [[maybe_unused]] const int user = setresuid(kNobody, kNobody, kNobody);
        }
    }

  private:
    static constexpr uid_t kNobody = 65534;
    bool wasRoot_;
    bool active_ = false;
};

}  // namespace quorvid::test
