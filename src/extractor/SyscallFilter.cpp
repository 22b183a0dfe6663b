#include "extractor/SyscallFilter.h"

#include <fcntl.h>
#include <linux/sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <span>

namespace quorvid {

namespace {

// The flags glibc gives clone for a new thread, and for fork.
constexpr scmp_datum_t kThreadCloneFlags = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND |
                                           CLONE_THREAD | CLONE_SYSVSEM | CLONE_SETTLS |
                                           CLONE_PARENT_SETTID | CLONE_CHILD_CLEARTID;
constexpr scmp_datum_t kForkCloneFlags = CLONE_CHILD_SETTID | CLONE_CHILD_CLEARTID | SIGCHLD;
constexpr scmp_datum_t kWriteFlags = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;

// The calls a reader may make whatever their arguments.
constexpr int kPlainReaderCalls[] = {
    // reading files and folders and what they are
    SCMP_SYS(read),
    SCMP_SYS(pread64),
    SCMP_SYS(readv),
    SCMP_SYS(preadv),
    SCMP_SYS(preadv2),
    SCMP_SYS(lseek),
    SCMP_SYS(close),
    SCMP_SYS(fstat),
    SCMP_SYS(newfstatat),
    SCMP_SYS(stat),
    SCMP_SYS(lstat),
    SCMP_SYS(statx),
    SCMP_SYS(statfs),
    SCMP_SYS(fstatfs),
    SCMP_SYS(getdents64),
    SCMP_SYS(access),
    SCMP_SYS(faccessat),
    SCMP_SYS(faccessat2),
    SCMP_SYS(readlink),
    SCMP_SYS(readlinkat),
    SCMP_SYS(getcwd),
    SCMP_SYS(getxattr),
    SCMP_SYS(lgetxattr),
    SCMP_SYS(fgetxattr),
    SCMP_SYS(listxattr),
    SCMP_SYS(llistxattr),
    SCMP_SYS(flistxattr),
    SCMP_SYS(fadvise64),
    // memory
    SCMP_SYS(brk),
    SCMP_SYS(munmap),
    SCMP_SYS(mremap),
    SCMP_SYS(madvise),
    // threads, waiting and time
    SCMP_SYS(futex),
    SCMP_SYS(set_robust_list),
    SCMP_SYS(rseq),
    SCMP_SYS(sched_yield),
    SCMP_SYS(nanosleep),
    SCMP_SYS(clock_nanosleep),
    SCMP_SYS(clock_gettime),
    SCMP_SYS(clock_getres),
    SCMP_SYS(gettimeofday),
    SCMP_SYS(time),
    SCMP_SYS(poll),
    SCMP_SYS(ppoll),
    SCMP_SYS(eventfd2),
    // who and where it is
    SCMP_SYS(getpid),
    SCMP_SYS(gettid),
    SCMP_SYS(getppid),
    SCMP_SYS(getuid),
    SCMP_SYS(geteuid),
    SCMP_SYS(getgid),
    SCMP_SYS(getegid),
    SCMP_SYS(getgroups),
    SCMP_SYS(getresuid),
    SCMP_SYS(getresgid),
    SCMP_SYS(uname),
    SCMP_SYS(sysinfo),
    SCMP_SYS(getrusage),
    SCMP_SYS(getrlimit),
    SCMP_SYS(getrandom),
    // signals it handles, and its end
    SCMP_SYS(rt_sigaction),
    SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(rt_sigreturn),
    SCMP_SYS(sigaltstack),
    SCMP_SYS(restart_syscall),
    SCMP_SYS(exit),
    SCMP_SYS(exit_group),
};

struct FilterDeleter {
    void operator()(void* filter) const { seccomp_release(filter); }
};

class Filter {
  public:
    Filter() : filter_(seccomp_init(SCMP_ACT_KILL_PROCESS)) {
        if (!filter_) {
            error_ = ENOMEM;
            return;
        }
        // Calls of other architectures (i386 through int 0x80, x32) end the process.
        Check(seccomp_attr_set(Get(), SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS));
    }
    bool valid() const { return error_ == 0; }
    int error() const { return error_; }

    void Allow(std::span<const int> calls) {
        for (const int call : calls) {
            Check(seccomp_rule_add(Get(), SCMP_ACT_ALLOW, call, 0));
        }
    }
    void Allow(std::initializer_list<int> calls) { Allow({calls.begin(), calls.size()}); }
    void AllowWhen(int call, scmp_arg_cmp condition) {
        Check(seccomp_rule_add(Get(), SCMP_ACT_ALLOW, call, 1, condition));
    }
    void AllowWhen(int call, scmp_arg_cmp first, scmp_arg_cmp second) {
        Check(seccomp_rule_add(Get(), SCMP_ACT_ALLOW, call, 2, first, second));
    }
    void Fail(std::initializer_list<int> calls, int error) {
        for (const int call : calls) {
            Check(seccomp_rule_add(Get(), SCMP_ACT_ERRNO(error), call, 0));
        }
    }
    void FailWhen(int call, int error, scmp_arg_cmp condition) {
        Check(seccomp_rule_add(Get(), SCMP_ACT_ERRNO(error), call, 1, condition));
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

// Files open only for reading; asking for more fails as on a read-only disk.
void AllowReadOnlyOpens(Filter& filter) {
    filter.AllowWhen(SCMP_SYS(open), SCMP_A1(SCMP_CMP_MASKED_EQ, kWriteFlags, 0));
    filter.AllowWhen(SCMP_SYS(openat), SCMP_A2(SCMP_CMP_MASKED_EQ, kWriteFlags, 0));
    for (const scmp_datum_t flag : {O_WRONLY, O_RDWR, O_CREAT, O_TRUNC, O_APPEND}) {
        const auto bit = static_cast<scmp_datum_t>(flag);
        filter.FailWhen(SCMP_SYS(open), EACCES, SCMP_A1(SCMP_CMP_MASKED_EQ, bit, bit));
        filter.FailWhen(SCMP_SYS(openat), EACCES, SCMP_A2(SCMP_CMP_MASKED_EQ, bit, bit));
    }
}

// Their flags sit behind a pointer the filter cannot read; callers fall back.
void FailCallsWithUnreadableFlags(Filter& filter) {
    filter.Fail({SCMP_SYS(openat2), SCMP_SYS(clone3), SCMP_SYS(io_uring_setup),
                 SCMP_SYS(io_uring_enter), SCMP_SYS(io_uring_register)},
                ENOSYS);
}

// Writes go to the output and error pipes; a library waking a thread
// through an event descriptor finds it closed.
void AllowWritesToOutputs(Filter& filter, bool reader) {
    for (const int call : {SCMP_SYS(write), SCMP_SYS(writev)}) {
        if (!reader) {
            filter.Allow({call});
            continue;
        }
        filter.AllowWhen(call, SCMP_A0(SCMP_CMP_EQ, STDOUT_FILENO));
        filter.AllowWhen(call, SCMP_A0(SCMP_CMP_EQ, STDERR_FILENO));
        filter.FailWhen(call, EBADF, SCMP_A0(SCMP_CMP_GT, STDERR_FILENO));
    }
}

// No code is mapped once the libraries are loaded.
void AllowMemoryWithoutCode(Filter& filter) {
    filter.AllowWhen(SCMP_SYS(mmap), SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    filter.AllowWhen(SCMP_SYS(mprotect), SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
}

// Threads, never processes. The whole argument is compared, so that bits
// above what the kernel reads cannot slip another request past.
void AllowThreadsOnly(Filter& filter) {
    filter.AllowWhen(SCMP_SYS(clone), SCMP_A0(SCMP_CMP_EQ, kThreadCloneFlags));
}

// Questions that libraries ask of their own process and descriptors.
void AllowOwnQueries(Filter& filter) {
    // Libraries ask whether their output is a terminal; nothing is.
    filter.FailWhen(SCMP_SYS(ioctl), ENOTTY, SCMP_A1(SCMP_CMP_EQ, TCGETS));
    filter.AllowWhen(SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME));
    filter.AllowWhen(SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, PR_GET_NAME));
    for (const int command : {F_GETFD, F_SETFD, F_GETFL, F_SETFL}) {
        filter.AllowWhen(SCMP_SYS(fcntl), SCMP_A1(SCMP_CMP_EQ, static_cast<scmp_datum_t>(command)));
    }
    filter.AllowWhen(SCMP_SYS(sched_getaffinity), SCMP_A0(SCMP_CMP_EQ, 0));
    // Limits may be read, never set.
    filter.AllowWhen(SCMP_SYS(prlimit64), SCMP_A2(SCMP_CMP_EQ, 0));
}

void FailSockets(Filter& filter) {
    filter.Fail({SCMP_SYS(socket), SCMP_SYS(socketpair)}, EACCES);
}

// A reader signals only itself.
void AllowSignalsToSelf(Filter& filter) {
    const auto self = static_cast<scmp_datum_t>(getpid());
    for (const int call : {SCMP_SYS(kill), SCMP_SYS(tgkill), SCMP_SYS(rt_sigqueueinfo),
                           SCMP_SYS(rt_tgsigqueueinfo)}) {
        filter.AllowWhen(call, SCMP_A0(SCMP_CMP_EQ, self));
    }
}

// The helper's own calls differ in two ways: it writes to its readers' request
// pipes and passes signals on; each reader's filter narrows both.
void AddReaderRules(Filter& filter, bool reader) {
    filter.Allow(kPlainReaderCalls);
    AllowReadOnlyOpens(filter);
    FailCallsWithUnreadableFlags(filter);
    AllowWritesToOutputs(filter, reader);
    AllowMemoryWithoutCode(filter);
    AllowThreadsOnly(filter);
    AllowOwnQueries(filter);
    FailSockets(filter);
    if (reader) {
        AllowSignalsToSelf(filter);
    }
}

void AddHelperRules(Filter& filter) {
    filter.AllowWhen(SCMP_SYS(clone), SCMP_A0(SCMP_CMP_EQ, kForkCloneFlags));
    filter.Allow({SCMP_SYS(wait4), SCMP_SYS(pipe2), SCMP_SYS(dup2), SCMP_SYS(dup3),
                  SCMP_SYS(close_range), SCMP_SYS(landlock_create_ruleset),
                  SCMP_SYS(landlock_add_rule), SCMP_SYS(landlock_restrict_self),
                  // A reader's own filter only narrows what this one allows.
                  SCMP_SYS(seccomp),
                  // A reader is passed on its signals; the reader's filter
                  // narrows these to itself.
                  SCMP_SYS(kill), SCMP_SYS(tgkill)});
    filter.AllowWhen(SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, PR_SET_NO_NEW_PRIVS));
    // A reader dies with the helper; the signal can be set, never cleared.
    filter.AllowWhen(SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, PR_SET_PDEATHSIG),
                     SCMP_A1(SCMP_CMP_EQ, SIGKILL));
}

}  // namespace

std::optional<QString> InstallSyscallFilter(SyscallPolicy policy) {
    Filter filter;
    AddReaderRules(filter, policy == SyscallPolicy::Reader);
    if (policy == SyscallPolicy::Helper) {
        AddHelperRules(filter);
    }
    if (filter.valid()) {
        filter.Load();
    }
    if (!filter.valid()) {
        return QStringLiteral("the system-call filter could not be installed: ") +
               QString::fromLocal8Bit(std::strerror(filter.error()));
    }
    return std::nullopt;
}

}  // namespace quorvid
