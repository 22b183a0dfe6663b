#include "extractor/ReaderConfinement.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "core/shell/files/PathFunctions.h"
#include "extractor/SyscallFilter.h"

namespace quorvid {

namespace {

using landlock::kReadDir;
using landlock::kReadFile;

QList<QByteArray> SystemData() {
    QList<QByteArray> paths;
    // The MIME database in every XDG data folder, as both GIO and Qt look there.
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (dataHome.isEmpty() && !qgetenv("HOME").isEmpty()) {
        dataHome = qgetenv("HOME") + "/.local/share";
    }
    QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) {
        dataDirs = "/usr/local/share:/usr/share";
    }
    for (const QByteArray& folder : (dataHome + ':' + dataDirs).split(':')) {
        if (folder.startsWith('/')) {
            paths << folder + "/mime";
        }
    }
    paths << "/usr/share/zoneinfo"
          << "/etc/localtime"
          << "/etc/passwd"
          << "/etc/group";
    return paths;
}

QString Reason(const char* what) {
    return QString::fromLatin1(what) + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

ReaderConfinement::ReaderConfinement() : abi_(landlock::Abi()), systemData_(SystemData()) {}

bool ReaderConfinement::AllowSystemData(landlock::Ruleset& rules) const {
    for (const QByteArray& path : systemData_) {
        if (!rules.Allow(path.constData(), kReadFile | kReadDir)) {
            return false;
        }
    }
    return true;
}

bool ReaderConfinement::Covers(const QString& path) const {
    if (!hasLandlock()) {
        return true;
    }
    struct stat status {};
    const QByteArray file = QFile::encodeName(path);
    return folderRules_ && QFile::encodeName(FolderFromPath(path)) == folder_ &&
           names_.contains(QFile::encodeName(FileNameFromPath(path))) &&
           lstat(file.constData(), &status) == 0 && !S_ISLNK(status.st_mode);
}

std::optional<QString> ReaderConfinement::Prepare(const QString& path) {
    if (!hasLandlock()) {
        return std::nullopt;
    }
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(FolderFromPath(path));
    const QByteArray name = QFile::encodeName(FileNameFromPath(path));
    struct stat status {};
    const bool link = lstat(file.constData(), &status) == 0 && S_ISLNK(status.st_mode);
    if (folderRules_ && folder == folder_ && names_.contains(name) && !link) {
        return std::nullopt;
    }
    ++generation_;
    folderRules_.reset();
    names_.clear();
    QString problem;
    std::optional<landlock::Ruleset> rules = landlock::Ruleset::Create(abi_, problem);
    if (!rules) {
        return problem;
    }
    // The reader's own layer narrows /proc to its own mount table.
    bool granted = AllowSystemData(*rules) && rules->Allow("/proc", kReadFile);
    if (DIR* const entries = opendir(folder.isEmpty() ? "/" : folder.constData())) {
        const int folderFd = dirfd(entries);
        granted = granted && rules->Allow(folderFd, kReadDir);
        while (const dirent* entry = readdir(entries)) {
            if (entry->d_type == DT_DIR) {
                continue;
            }
            // Not followed: a link out of the folder grants nothing.
            const int entryFd = openat(folderFd, entry->d_name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
            if (entryFd >= 0) {
                granted = granted && rules->Allow(entryFd, kReadFile);
                close(entryFd);
            }
            names_.insert(QByteArray(entry->d_name));
        }
        closedir(entries);
    }
    // The file the user listed is read also where it is a link.
    granted = granted && rules->Allow(file.constData(), kReadFile);
    if (!granted) {
        return Reason("a Landlock rule could not be added");
    }
    folder_ = folder;
    folderRules_ = std::move(rules);
    return std::nullopt;
}

std::optional<QString> ReaderConfinement::Apply(const QString& path) const {
    return Restrict(QFile::encodeName(FolderFromPath(path)), QFile::encodeName(path));
}

std::optional<QString> ReaderConfinement::Restrict(const QByteArray& folder,
                                                   const QByteArray& file) const {
    QString problem;
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        return Reason("no new privileges could not be set");
    }
    if (hasLandlock()) {
        if (!folderRules_) {
            return QStringLiteral("the Landlock rules of the file's folder were not made");
        }
        std::optional<landlock::Ruleset> own = landlock::Ruleset::Create(abi_, problem);
        if (!own) {
            return problem;
        }
        const bool granted =
            AllowSystemData(*own) && own->Allow("/proc/self/mountinfo", kReadFile) &&
            own->Allow(folder.isEmpty() ? "/" : folder.constData(), kReadFile | kReadDir) &&
            (file.isEmpty() || own->Allow(file.constData(), kReadFile));
        if (!granted) {
            return Reason("a Landlock rule could not be added");
        }
        if (!folderRules_->RestrictSelf(problem) || !own->RestrictSelf(problem)) {
            return problem;
        }
    }
    // Nothing the helper held open reaches the file's code: not the requests,
    // not the rules, not the libraries' wake-up descriptors.
    if (close_range(STDERR_FILENO + 1, ~0U, 0) != 0) {
        return Reason("the helper's descriptors could not be closed");
    }
    return InstallSyscallFilter(SyscallPolicy::Reader);
}

}  // namespace quorvid
