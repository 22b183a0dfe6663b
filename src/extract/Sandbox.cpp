#include "extract/Sandbox.h"

#include <fcntl.h>
#include <seccomp.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <memory>

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

struct FilterDeleter {
    void operator()(void* filter) const { seccomp_release(filter); }
};

class Filter {
  public:
    Filter() : filter_(seccomp_init(SCMP_ACT_ALLOW)) {}
    bool valid() const { return filter_ != nullptr && error_ == 0; }
    int error() const { return error_; }

    void Refuse(int syscall, int error) {
        Check(seccomp_rule_add(Get(), SCMP_ACT_ERRNO(error), syscall, 0));
    }
    void RefuseWhen(int syscall, int error, scmp_arg_cmp condition) {
        Check(seccomp_rule_add(Get(), SCMP_ACT_ERRNO(error), syscall, 1, condition));
    }
    void SetAttribute(scmp_filter_attr attribute, uint32_t value) {
        Check(seccomp_attr_set(Get(), attribute, value));
    }
    void Load() { Check(seccomp_load(Get())); }

  private:
    scmp_filter_ctx Get() const { return filter_.get(); }
    void Check(int result) {
        if (result != 0 && error_ == 0) {
            error_ = -result;
        }
    }
    std::unique_ptr<void, FilterDeleter> filter_;
    int error_ = 0;
};

}  // namespace

bool LimitResources(unsigned long long addressSpaceBytes) {
    const bool memory = SetBothLimits(RLIMIT_AS, static_cast<rlim_t>(addressSpaceBytes));
    const bool core = SetBothLimits(RLIMIT_CORE, 0);
    return memory && core;
}

std::optional<QString> ConfineToReading() {
    Filter filter;
    if (!filter.valid()) {
        return QStringLiteral("seccomp is not available");
    }
    // Threads the libraries started get the same filter.
    filter.SetAttribute(SCMP_FLTATR_CTL_TSYNC, 1);

    for (const int flag : {O_WRONLY, O_RDWR, O_CREAT, O_TRUNC, O_APPEND}) {
        const auto flags = static_cast<scmp_datum_t>(flag);
        filter.RefuseWhen(SCMP_SYS(open), EACCES, SCMP_A1(SCMP_CMP_MASKED_EQ, flags, flags));
        filter.RefuseWhen(SCMP_SYS(openat), EACCES, SCMP_A2(SCMP_CMP_MASKED_EQ, flags, flags));
    }
    // Its flags sit behind a pointer the filter cannot read; callers fall back to openat.
    filter.Refuse(SCMP_SYS(openat2), ENOSYS);
    // Rings run their operations out of the filter's sight.
    for (const int call : {SCMP_SYS(io_uring_setup), SCMP_SYS(io_uring_enter),
                           SCMP_SYS(io_uring_register), SCMP_SYS(open_by_handle_at)}) {
        filter.Refuse(call, ENOSYS);
    }
    for (const int call : {SCMP_SYS(creat),
                           SCMP_SYS(unlink),
                           SCMP_SYS(unlinkat),
                           SCMP_SYS(rename),
                           SCMP_SYS(renameat),
                           SCMP_SYS(renameat2),
                           SCMP_SYS(mkdir),
                           SCMP_SYS(mkdirat),
                           SCMP_SYS(rmdir),
                           SCMP_SYS(mknod),
                           SCMP_SYS(mknodat),
                           SCMP_SYS(link),
                           SCMP_SYS(linkat),
                           SCMP_SYS(symlink),
                           SCMP_SYS(symlinkat),
                           SCMP_SYS(truncate),
                           SCMP_SYS(ftruncate),
                           SCMP_SYS(fallocate),
                           SCMP_SYS(chmod),
                           SCMP_SYS(fchmod),
                           SCMP_SYS(fchmodat),
                           SCMP_SYS(chown),
                           SCMP_SYS(fchown),
                           SCMP_SYS(lchown),
                           SCMP_SYS(fchownat),
                           SCMP_SYS(utime),
                           SCMP_SYS(utimes),
                           SCMP_SYS(utimensat),
                           SCMP_SYS(futimesat),
                           SCMP_SYS(setxattr),
                           SCMP_SYS(lsetxattr),
                           SCMP_SYS(fsetxattr),
                           SCMP_SYS(removexattr),
                           SCMP_SYS(lremovexattr),
                           SCMP_SYS(fremovexattr),
                           SCMP_SYS(mount),
                           SCMP_SYS(umount2),
                           SCMP_SYS(chroot),
                           SCMP_SYS(pivot_root),
                           SCMP_SYS(socket),
                           SCMP_SYS(connect),
                           SCMP_SYS(bind),
                           SCMP_SYS(listen),
                           SCMP_SYS(accept),
                           SCMP_SYS(accept4),
                           SCMP_SYS(execve),
                           SCMP_SYS(execveat),
                           SCMP_SYS(ptrace),
                           SCMP_SYS(process_vm_readv),
                           SCMP_SYS(process_vm_writev),
                           SCMP_SYS(tkill),
                           SCMP_SYS(pidfd_open),
                           SCMP_SYS(pidfd_send_signal),
                           SCMP_SYS(setrlimit)}) {
        filter.Refuse(call, EPERM);
    }
    // Signals only to itself: the window shares the helper's process group.
    const auto self = static_cast<scmp_datum_t>(getpid());
    filter.RefuseWhen(SCMP_SYS(kill), EPERM, SCMP_A0(SCMP_CMP_NE, self));
    filter.RefuseWhen(SCMP_SYS(tgkill), EPERM, SCMP_A0(SCMP_CMP_NE, self));
    filter.RefuseWhen(SCMP_SYS(rt_sigqueueinfo), EPERM, SCMP_A0(SCMP_CMP_NE, self));
    filter.RefuseWhen(SCMP_SYS(rt_tgsigqueueinfo), EPERM, SCMP_A0(SCMP_CMP_NE, self));
    // Limits may be read, not raised again.
    filter.RefuseWhen(SCMP_SYS(prlimit64), EPERM, SCMP_A2(SCMP_CMP_NE, 0));

    if (filter.valid()) {
        filter.Load();
    }
    if (!filter.valid()) {
        return QStringLiteral("the seccomp filter could not be installed: ") +
               QString::fromLocal8Bit(std::strerror(filter.error()));
    }
    return std::nullopt;
}

}  // namespace quorvid
