// slow-storage: a read-only view of a folder that answers like slow storage,
// for benchmarks and tests of programs that read from it.
//
//   slow-storage [--model share --delay-ms MS | --model disk --seek-ms MS --mb-per-s N]
//                [--stats FILE] [--stall-after N] [--debug] SOURCE MOUNTPOINT
//
// It stays in the foreground until the mount point is unmounted (fusermount3
// -u) or it gets SIGTERM; then, and on SIGUSR1, it writes its counters to FILE
// as one line of key=value pairs.
#include "ParallelLookups.h"
#include "PassthroughFileSystem.h"

#include <fuse3/fuse_lowlevel.h>
#include <getopt.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct Options {
    slow::ModelSettings model;
    std::string stats;
    std::string source;
    std::string mountPoint;
    bool debug = false;
};

// Every stalled request holds a worker thread, and an interrupt is only read
// by a free one: far more than the requests that may ever stall at once.
constexpr int kMaxThreads = 256;

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: slow-storage [--model share --delay-ms MS | --model disk --seek-ms MS "
                 "--mb-per-s N]\n"
                 "                    [--stats FILE] [--stall-after N] [--debug] SOURCE "
                 "MOUNTPOINT\n");
}

bool ParseNumber(const char* text, double minimum, double& number) {
    char* end = nullptr;
    number = std::strtod(text, &end);
    return end != text && *end == '\0' && number >= minimum;
}

bool ParseOption(int option, const char* value, Options& options) {
    double number = 0;
    switch (option) {
        case 'm':
            if (std::strcmp(value, "share") != 0 && std::strcmp(value, "disk") != 0) {
                return false;
            }
            options.model.kind = value[0] == 's' ? slow::ModelSettings::Kind::Share
                                                 : slow::ModelSettings::Kind::Disk;
            return true;
        case 'd':
            return ParseNumber(value, 0, options.model.delayMs);
        case 's':
            return ParseNumber(value, 0, options.model.seekMs);
        case 'b':
            return ParseNumber(value, 0.001, options.model.megabytesPerSecond);
        case 'a':
            if (!ParseNumber(value, 0, number)) {
                return false;
            }
            options.model.stallAfter = static_cast<long long>(number);
            return true;
        case 'o':
            options.stats = value;
            return true;
        case 'g':
            options.debug = true;
            return true;
        default:
            return false;
    }
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    const option known[] = {
        {"model", required_argument, nullptr, 'm'},
        {"delay-ms", required_argument, nullptr, 'd'},
        {"seek-ms", required_argument, nullptr, 's'},
        {"mb-per-s", required_argument, nullptr, 'b'},
        {"stats", required_argument, nullptr, 'o'},
        {"stall-after", required_argument, nullptr, 'a'},
        {"debug", no_argument, nullptr, 'g'},
        {nullptr, 0, nullptr, 0},
    };
    Options options;
    int option = 0;
    while ((option = getopt_long(argc, argv, "", known, nullptr)) != -1) {
        if (!ParseOption(option, optarg, options)) {
            return std::nullopt;
        }
    }
    if (argc - optind != 2) {
        return std::nullopt;
    }
    char canonical[PATH_MAX];
    struct stat attributes {};
    if (realpath(argv[optind], canonical) == nullptr || stat(canonical, &attributes) != 0 ||
        !S_ISDIR(attributes.st_mode)) {
        std::fprintf(stderr, "slow-storage: %s is not a folder\n", argv[optind]);
        return std::nullopt;
    }
    options.source = std::strcmp(canonical, "/") == 0 ? std::string() : std::string(canonical);
    if (realpath(argv[optind + 1], canonical) == nullptr) {
        std::fprintf(stderr, "slow-storage: no mount point %s\n", argv[optind + 1]);
        return std::nullopt;
    }
    options.mountPoint = canonical;
    return options;
}

// Writes the counters on each SIGUSR1, in a thread of its own: the signal is
// blocked in every other thread (those FUSE starts inherit the mask).
class StatsOnSignal {
  public:
    StatsOnSignal(const slow::RequestCounters& counters, std::string path)
        : counters_(counters), path_(std::move(path)) {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        thread_ = std::thread([this] {
            // Signals meant for the file system's loop go to the other threads.
            sigset_t all;
            sigfillset(&all);
            pthread_sigmask(SIG_BLOCK, &all, nullptr);
            int signal = 0;
            while (sigwait(&signals_, &signal) == 0 && !finished_) {
                Write();
            }
        });
    }
    ~StatsOnSignal() {
        finished_ = true;
        pthread_kill(thread_.native_handle(), SIGUSR1);
        thread_.join();
    }
    void Write() const {
        if (!path_.empty() && !counters_.WriteTo(path_)) {
            std::fprintf(stderr, "slow-storage: cannot write %s\n", path_.c_str());
        }
    }

  private:
    const slow::RequestCounters& counters_;
    const std::string path_;
    sigset_t signals_{};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

// Mounts, serves until unmounted or told to stop, and unmounts.
int Serve(const Options& options, slow::PassthroughFileSystem& fileSystem) {
    std::vector<std::string> arguments = {"slow-storage", "-o",
                                          "ro,default_permissions,fsname=slow-storage,"
                                          "subtype=slow-storage"};
    if (options.debug) {
        arguments.push_back("-d");
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    fuse_args fuseArguments = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());
    const fuse_operations operations = slow::PassthroughOperations();
    fuse* mounted = fuse_new(&fuseArguments, &operations, sizeof(operations), &fileSystem);
    if (mounted == nullptr) {
        return 1;
    }
    if (fuse_mount(mounted, options.mountPoint.c_str()) != 0) {
        fuse_destroy(mounted);
        return 1;
    }
    fuse_session* session = fuse_get_session(mounted);
    slow::AnswerInitWithParallelLookups(fuse_session_fd(session));
    fuse_set_signal_handlers(session);
    fuse_loop_config* loop = fuse_loop_cfg_create();
    fuse_loop_cfg_set_max_threads(loop, kMaxThreads);
    const int result = fuse_loop_mt(mounted, loop);
    fuse_loop_cfg_destroy(loop);
    fuse_remove_signal_handlers(session);
    fuse_unmount(mounted);
    fuse_destroy(mounted);
    fuse_opt_free_args(&fuseArguments);
    return result == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        PrintUsage();
        return 2;
    }
    slow::RequestCounters counters;
    slow::StorageModel model(options->model, counters, slow::RequestAbandoned);
    slow::PassthroughFileSystem fileSystem{options->source, counters, model};
    StatsOnSignal stats(counters, options->stats);
    const int status = Serve(*options, fileSystem);
    stats.Write();
    return status;
}
