// Confines itself as the extraction helper does, then tries what a taken-over
// helper might: one line per attempt, "name errno" (0 when it was allowed).
//   sandbox-probe FILE-TO-READ FOLDER-TO-WRITE-IN
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "extract/Sandbox.h"

namespace {

void Report(const char* name, bool allowed) {
    std::printf("%s %d\n", name, allowed ? 0 : errno);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    const std::string readable = argv[1];
    const std::string folder = argv[2];
    const std::string existing = folder + "/existing";
    if (const auto problem = quorvid::ConfineToReading()) {
        std::printf("confine failed\n");
        return 1;
    }
    char buffer[16];
    const int in = open(readable.c_str(), O_RDONLY);
    Report("read", in >= 0 && read(in, buffer, sizeof buffer) > 0);
    Report("write-existing", open(existing.c_str(), O_WRONLY) >= 0);
    Report("create", open((folder + "/new").c_str(), O_WRONLY | O_CREAT, 0644) >= 0);
    Report("truncate", open(existing.c_str(), O_RDONLY | O_TRUNC) >= 0);
    Report("unlink", unlink(existing.c_str()) == 0);
    Report("rename", rename(existing.c_str(), (folder + "/renamed").c_str()) == 0);
    Report("mkdir", mkdir((folder + "/made").c_str(), 0755) == 0);
    Report("chmod", chmod(existing.c_str(), 0777) == 0);
    Report("socket-inet", socket(AF_INET, SOCK_STREAM, 0) >= 0);
    Report("socket-inet6", socket(AF_INET6, SOCK_DGRAM, 0) >= 0);
    Report("socket-unix", socket(AF_UNIX, SOCK_STREAM, 0) >= 0);
    Report("signal-parent", kill(getppid(), 0) == 0);
    char* const arguments[] = {const_cast<char*>("/bin/true"), nullptr};
    execv("/bin/true", arguments);
    Report("exec", false);
    return 0;
}
