// A stand-in for the metadata library that behaves as if a crafted file had
// taken it over: when it opens a file whose contents name attempts, it makes
// them from inside MediaInfo_Open, as code running in the library could, and
// reports what happened as the file's General Format:
//   "name:ok[:what it got]" or "name:errno" for each attempt, joined by " | ".
// An attempt the sandbox answers by ending the process reports nothing.
// Any other file opens as an empty, unrecognised one.
#include <asm/unistd.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/sched.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "StandInMediaInfo.h"

namespace {

std::string Outcome(bool succeeded) {
    return succeeded ? "ok" : std::to_string(errno);
}

std::string ReadText(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return std::to_string(errno);
    }
    char buffer[256];
    const ssize_t got = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (got < 0) {
        return std::to_string(errno);
    }
    std::string text(buffer, static_cast<size_t>(got));
    for (char& c : text) {
        c = (c == '\0' || c == '\n') ? ' ' : c;
    }
    return "ok:" + text;
}

long Int80Getpid() {
    long result = 20;  // getpid on i386
    asm volatile("int $0x80" : "+a"(result) : : "memory");
    return result;
}

std::string Attempt(const std::string& name, const std::string& argument) {
    const char typed = 'x';
    if (name == "tiocsti-stderr") {
        return Outcome(ioctl(STDERR_FILENO, TIOCSTI, &typed) == 0);
    }
    if (name == "tiocsti-tty") {
        const int tty = open("/dev/tty", O_RDONLY | O_NOCTTY);
        if (tty < 0) {
            return Outcome(false);
        }
        return Outcome(ioctl(tty, TIOCSTI, &typed) == 0);
    }
    if (name == "tiocsti-high-bits") {
        // The kernel reads 32 bits of the request; a filter must compare all 64.
        return Outcome(syscall(SYS_ioctl, STDERR_FILENO, (1UL << 32) | TIOCSTI, &typed) == 0);
    }
    if (name == "open-terminal") {
        return Outcome(open(argument.c_str(), O_RDONLY | O_NOCTTY) >= 0);
    }
    if (name == "fork") {
        const pid_t child = fork();
        if (child == 0) {
            setsid();
            for (;;) {
                pause();
            }
        }
        return Outcome(child > 0);
    }
    if (name == "clone-process") {
        return Outcome(syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0) >= 0);
    }
    if (name == "clone3") {
        return Outcome(syscall(SYS_clone3, nullptr, 0) >= 0);
    }
    if (name == "clear-death-signal") {
        return Outcome(prctl(PR_SET_PDEATHSIG, 0) == 0);
    }
    if (name == "dumpable") {
        return Outcome(prctl(PR_SET_DUMPABLE, 1) == 0);
    }
    if (name == "read") {
        return ReadText(argument);
    }
    if (name == "list") {
        DIR* const folder = opendir(argument.c_str());
        if (folder == nullptr) {
            return Outcome(false);
        }
        std::string names = "ok:";
        while (const dirent* entry = readdir(folder)) {
            names += std::string(entry->d_name) + " ";
        }
        closedir(folder);
        return names;
    }
    if (name == "parent-environment") {
        return ReadText("/proc/" + std::to_string(getppid()) + "/environ");
    }
    if (name == "grandparent-environment") {
        return ReadText("/proc/" + argument + "/environ");
    }
    if (name == "parent-memory") {
        return Outcome(open(("/proc/" + std::to_string(getppid()) + "/mem").c_str(), O_RDONLY) >=
                       0);
    }
    if (name == "getenv") {
        const char* value = getenv(argument.c_str());
        return value == nullptr ? "unset" : std::string("ok:") + value;
    }
    if (name == "write") {
        return Outcome(open(argument.c_str(), O_WRONLY | O_CREAT, 0644) >= 0);
    }
    if (name == "write-descriptor") {
        const int fd = open(argument.c_str(), O_RDONLY);
        return Outcome(fd >= 0 && write(fd, "x", 1) == 1);
    }
    if (name == "unlink") {
        return Outcome(unlink(argument.c_str()) == 0);
    }
    if (name == "rename") {
        return Outcome(rename(argument.c_str(), (argument + ".renamed").c_str()) == 0);
    }
    if (name == "mkdir") {
        return Outcome(mkdir(argument.c_str(), 0755) == 0);
    }
    if (name == "chmod") {
        return Outcome(chmod(argument.c_str(), 0777) == 0);
    }
    if (name == "socket") {
        return Outcome(socket(AF_UNIX, SOCK_STREAM, 0) >= 0);
    }
    if (name == "exec") {
        char* const arguments[] = {const_cast<char*>("/bin/true"), nullptr};
        execv("/bin/true", arguments);
        return Outcome(false);
    }
    if (name == "kill-parent") {
        return Outcome(kill(getppid(), SIGTERM) == 0);
    }
    if (name == "ptrace-parent") {
        return Outcome(ptrace(PTRACE_ATTACH, getppid(), nullptr, nullptr) == 0);
    }
    if (name == "process-vm-readv") {
        return Outcome(syscall(SYS_process_vm_readv, getppid(), nullptr, 0, nullptr, 0, 0) >= 0);
    }
    if (name == "unshare") {
        return Outcome(unshare(CLONE_NEWUSER) == 0);
    }
    if (name == "setns") {
        return Outcome(setns(0, 0) == 0);
    }
    if (name == "mount") {
        return Outcome(syscall(SYS_mount, "none", "/tmp", "tmpfs", 0, nullptr) == 0);
    }
    if (name == "bpf") {
        return Outcome(syscall(SYS_bpf, 0, nullptr, 0) >= 0);
    }
    if (name == "userfaultfd") {
        return Outcome(syscall(SYS_userfaultfd, 0) >= 0);
    }
    if (name == "perf-event-open") {
        return Outcome(syscall(SYS_perf_event_open, nullptr, 0, -1, -1, 0) >= 0);
    }
    if (name == "keyctl") {
        return Outcome(syscall(SYS_keyctl, 0, 0, 0, 0, 0) >= 0);
    }
    if (name == "personality") {
        return Outcome(personality(0xffffffff) >= 0);
    }
    if (name == "pidfd-open") {
        return Outcome(syscall(SYS_pidfd_open, getppid(), 0) >= 0);
    }
    if (name == "io-uring") {
        return Outcome(syscall(SYS_io_uring_setup, 1, nullptr) >= 0);
    }
    if (name == "openat2") {
        return Outcome(syscall(SYS_openat2, AT_FDCWD, "/", nullptr, 0) >= 0);
    }
    if (name == "executable-memory") {
        return Outcome(mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1,
                            0) != MAP_FAILED);
    }
    if (name == "int80") {
        return Outcome(Int80Getpid() >= 0);
    }
    if (name == "x32") {
        return Outcome(syscall(0x40000000 | __NR_getpid) >= 0);
    }
    if (name == "hang") {
        for (;;) {
            sleep(1);
        }
    }
    if (name == "noisy-stderr") {
        const char text[] = "\x1b[2J\x1b]0;owned\x07 typed\r\n";
        return Outcome(write(STDERR_FILENO, text, sizeof text - 1) > 0);
    }
    return {};
}

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace

extern "C" {

std::size_t MediaInfo_Open(void* handle, const wchar_t* file) {
    const std::wstring wide(file);
    const std::string path(wide.begin(), wide.end());  // the tests use ASCII names
    std::ifstream contents(path);
    std::string line;
    std::string report;
    while (std::getline(contents, line)) {
        std::istringstream words(line);
        std::string name;
        std::string argument;
        words >> name;
        std::getline(words >> std::ws, argument);
        if (name.empty() || name[0] == '#') {
            continue;
        }
        const std::string outcome = Attempt(name, argument);
        if (!outcome.empty()) {
            report += (report.empty() ? "" : " | ") + name + ":" + outcome;
        }
    }
    static_cast<Handle*>(handle)->format = Widen(report);
    return 1;
}
}
