#pragma once

// A program run by a benchmark: its wall time, processor time and peak memory.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QThread>
#include <cstdio>
#include <vector>

extern char** environ;

namespace bench {

struct Measured {
    double seconds = 0;
    // User and system time of the program and its helpers.
    double processorSeconds = 0;
    // The program's own VmHWM, read until it ended, its helpers left out. Not
    // wait4's ru_maxrss: that counts the pages of the benchmark, which the
    // child shares until it runs the program.
    long peakKb = 0;
    int status = -1;
};

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Runs a program with its standard output in a file; wall time and peak memory.
inline Measured RunMeasured(const QStringList& command, const QString& outputFile) {
    std::vector<QByteArray> arguments;
    for (const QString& argument : command) {
        arguments.push_back(QFile::encodeName(argument));
    }
    std::vector<char*> argv;
    for (QByteArray& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, QFile::encodeName(outputFile).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    Measured measured;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return measured;
    }
    // The program's own peak, without its helpers: read while it runs.
    const QString statusFile = QStringLiteral("/proc/%1/status").arg(pid);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        for (const QByteArray& line : ReadAll(statusFile).split('\n')) {
            if (line.startsWith("VmHWM:")) {
                measured.peakKb = line.mid(6).trimmed().split(' ').front().toLong();
            }
        }
        QThread::msleep(10);
    }
    measured.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const auto secondsOf = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    measured.processorSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    measured.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    posix_spawn_file_actions_destroy(&actions);
    return measured;
}

}  // namespace bench
