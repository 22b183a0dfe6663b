#include "core/input/FileListing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace quorvid {

namespace {

constexpr int kFirstCapacity = 100;
constexpr int kGrowth = 50;

bool SameLetter(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

}  // namespace

bool MatchesWildcard(const QString& name, const QString& pattern) {
    if (pattern == QLatin1String("*.*")) {
        return true;
    }
    // Greedy matching with one back-tracking point per "*".
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == QLatin1Char('?') || SameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

bool HasUnsafeCharacters(const QString& name) {
    for (const QChar c : name) {
        const char16_t code = c.unicode();
        if (code < 32 || (code >= 127 && code <= 159) || code == u'?') {
            return true;
        }
    }
    return false;
}

bool HasUnsafeCharacters(const FolderEntry& entry) {
    return !entry.validText || HasUnsafeCharacters(entry.name);
}

bool IsOpenableFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    close(fd);
    return regular;
}

FileNameArray ListFilesInFolder(const QString& folder, const QString& pattern) {
    QString prefix = folder;
    if (!prefix.endsWith(QDir::separator())) {
        prefix += QDir::separator();
    }
    std::vector<FolderEntry> entries;
    try {
        entries = FileSystemObject().ReadFolder(prefix);
    } catch (const FileSystemError&) {
        return {};
    }
    std::vector<QString> names(kFirstCapacity + 1);
    int count = 0;
    for (FolderEntry& entry : entries) {
        // A name that is not valid text would be added in a damaged form.
        if (!entry.validText || !MatchesWildcard(entry.name, pattern) ||
            !IsOpenableFile(prefix + entry.name)) {
            continue;
        }
        if (count + 1 == static_cast<int>(names.size())) {
            names.resize(names.size() + kGrowth);
        }
        names[static_cast<size_t>(++count)] = std::move(entry.name);
    }
    names.resize(static_cast<size_t>(count) + 1);
    return FileNameArray(std::move(names));
}

}  // namespace quorvid
