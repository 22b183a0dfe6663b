#pragma once

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <vector>

namespace quorvid::test {

// The processes whose parent is parent (this process by default), from /proc.
inline std::vector<pid_t> ChildPids(pid_t parent = getpid()) {
    std::vector<pid_t> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number) {
            continue;
        }
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[0] != "Z" && fields[1].toInt() == parent) {
            children.push_back(pid);
        }
    }
    return children;
}

}  // namespace quorvid::test
