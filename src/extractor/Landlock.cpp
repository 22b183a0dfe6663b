#include "extractor/Landlock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvid::landlock {

namespace {

// The kernel's structures, written out here because the installed headers may
// be older than the kernel.
struct RulesetAttributes {
    std::uint64_t handledAccessFs = 0;
    std::uint64_t handledAccessNet = 0;  // version 4
    std::uint64_t scoped = 0;            // version 6
};
struct __attribute__((packed)) PathBeneathAttributes {
    std::uint64_t allowedAccess = 0;
    std::int32_t parentFd = -1;
};

constexpr unsigned kCreateRulesetVersion = 1U << 0;
constexpr int kRulePathBeneath = 1;
constexpr std::uint64_t kAccessNetBindTcp = 1ULL << 0;
constexpr std::uint64_t kAccessNetConnectTcp = 1ULL << 1;
constexpr std::uint64_t kScopeAbstractUnixSocket = 1ULL << 0;
constexpr std::uint64_t kScopeSignal = 1ULL << 1;

// Rights that make sense on a file that is not a folder.
constexpr std::uint64_t kFileRights =
    (1ULL << 0) | (1ULL << 1) | kReadFile | (1ULL << 14) /* truncate */ | (1ULL << 15) /* ioctl */;

// Every file-system right of a version: 13 in the first, then refer (2),
// truncate (3) and device ioctl (5).
std::uint64_t FileSystemRights(int abi) {
    std::uint64_t rights = (1ULL << 13) - 1;
    if (abi >= 2) {
        rights |= 1ULL << 13;
    }
    if (abi >= 3) {
        rights |= 1ULL << 14;
    }
    if (abi >= 5) {
        rights |= 1ULL << 15;
    }
    return rights;
}

QString Reason(const char* what) {
    return QString::fromLatin1(what) + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

int Abi() {
    const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, kCreateRulesetVersion);
    return abi > 0 ? static_cast<int>(abi) : 0;
}

std::optional<Ruleset> Ruleset::Create(int abi, QString& problem) {
    RulesetAttributes attributes;
    attributes.handledAccessFs = FileSystemRights(abi);
    std::size_t size = sizeof attributes.handledAccessFs;
    if (abi >= 4) {
        // Sockets are refused by the system-call filter; this is a second lock.
        attributes.handledAccessNet = kAccessNetBindTcp | kAccessNetConnectTcp;
        size += sizeof attributes.handledAccessNet;
    }
    if (abi >= 6) {
        attributes.scoped = kScopeAbstractUnixSocket | kScopeSignal;
        size += sizeof attributes.scoped;
    }
    const long fd = syscall(SYS_landlock_create_ruleset, &attributes, size, 0U);
    if (fd < 0) {
        problem = Reason("the Landlock rules could not be made");
        return std::nullopt;
    }
    return Ruleset(static_cast<int>(fd));
}

Ruleset::Ruleset(Ruleset&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

Ruleset& Ruleset::operator=(Ruleset&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

Ruleset::~Ruleset() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool Ruleset::Allow(int fd, std::uint64_t access) {
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return false;
    }
    PathBeneathAttributes rule;
    rule.allowedAccess = S_ISDIR(status.st_mode) ? access : access & kFileRights;
    rule.parentFd = fd;
    if (rule.allowedAccess == 0) {
        return true;
    }
    return syscall(SYS_landlock_add_rule, fd_, kRulePathBeneath, &rule, 0U) == 0;
}

bool Ruleset::Allow(const char* path, std::uint64_t access, bool followLink) {
    const int fd = open(path, O_PATH | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        return true;
    }
    const bool added = Allow(fd, access);
    close(fd);
    return added;
}

bool Ruleset::RestrictSelf(QString& problem) const {
    if (syscall(SYS_landlock_restrict_self, fd_, 0U) != 0) {
        problem = Reason("the Landlock rules could not be applied");
        return false;
    }
    return true;
}

}  // namespace quorvid::landlock
