#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace quorvid::landlock {

inline constexpr std::uint64_t kReadFile = 1ULL << 2;
inline constexpr std::uint64_t kReadDir = 1ULL << 3;

// The kernel's Landlock version; 0 when it has none or it is switched off.
int Abi();

// A set of paths a process may still read once it restricts itself: every file
// system right the kernel knows is handled, so whatever no rule grants is
// refused. Abstract sockets and signals outside the process's own domain are
// refused too where the kernel can scope them.
class Ruleset {
  public:
    // Nothing when the kernel refuses; problem says why.
    static std::optional<Ruleset> Create(int abi, QString& problem);
    Ruleset(Ruleset&& other) noexcept;
    Ruleset& operator=(Ruleset&& other) noexcept;
    Ruleset(const Ruleset&) = delete;
    Ruleset& operator=(const Ruleset&) = delete;
    ~Ruleset();

    // Grants access to what fd refers to: beneath it for a folder. Directory
    // rights are dropped for anything that is not a folder. False when the
    // kernel refuses the rule.
    bool Allow(int fd, std::uint64_t access);
    // The same for a path, opened without following a last symbolic link unless
    // followLink; a path that cannot be opened grants nothing and is no error.
    bool Allow(const char* path, std::uint64_t access, bool followLink = true);

    // Applies the rules to the calling thread and what it starts from now on;
    // they can only be narrowed after that. The caller has no new privileges.
    bool RestrictSelf(QString& problem) const;

  private:
    explicit Ruleset(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace quorvid::landlock
