#include "core/pool/StorageMap.h"

#include <QFile>
#include <QStringList>

namespace quorvid {

namespace {

// The mount table writes blanks, tabs, newlines and backslashes as octal escapes.
QString Unescaped(const QByteArray& field) {
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bytes.append(static_cast<char>(field.mid(i + 1, 3).toInt(nullptr, 8)));
            i += 3;
        } else {
            bytes.append(field[i]);
        }
    }
    return QFile::decodeName(bytes);
}

bool IsMemory(const QString& type) {
    return type == QLatin1String("tmpfs") || type == QLatin1String("ramfs") ||
           type == QLatin1String("devtmpfs");
}

// File systems whose every request crosses a network or a user-space server.
bool IsNetwork(const QString& type) {
    static const QStringList kTypes = {"nfs",  "nfs4",  "cifs",  "smb3",      "smbfs",
                                       "9p",   "afs",   "ceph",  "glusterfs", "lustre",
                                       "gpfs", "ocfs2", "davfs", "sshfs"};
    return kTypes.contains(type) || type.startsWith(QLatin1String("fuse"));
}

bool IsRotational(const QString& device) {
    // A partition's queue is its disk's, one folder up.
    for (const char* place : {"/queue/rotational", "/../queue/rotational"}) {
        QFile flag(QStringLiteral("/sys/dev/block/") + device + QLatin1String(place));
        if (flag.open(QIODevice::ReadOnly)) {
            return flag.readAll().trimmed() == "1";
        }
    }
    return false;
}

QByteArray SystemMountInfo() {
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    return table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
}

}  // namespace

StorageMap::StorageMap() : StorageMap(SystemMountInfo(), IsRotational) {}

StorageMap::StorageMap(const QByteArray& mountInfo,
                       const std::function<bool(const QString&)>& rotational) {
    for (const QByteArray& line : mountInfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 5 || separator + 1 >= fields.size()) {
            continue;
        }
        Mount mount;
        mount.point = Unescaped(fields[4]);
        mount.storage.device = QString::fromLatin1(fields[2]);
        mount.storage.fileSystem = QString::fromLatin1(fields[separator + 1]);
        const QString& type = mount.storage.fileSystem;
        mount.storage.kind = IsMemory(type)                     ? Storage::Kind::Memory
                             : IsNetwork(type)                  ? Storage::Kind::Network
                             : rotational(mount.storage.device) ? Storage::Kind::SpinningDisk
                                                                : Storage::Kind::LocalDisk;
        mounts_.push_back(std::move(mount));
    }
}

Storage StorageMap::StorageOf(const QString& path) const {
    const Mount* best = nullptr;
    for (const Mount& mount : mounts_) {
        const bool under = path == mount.point ||
                           (path.startsWith(mount.point) &&
                            (mount.point.endsWith(u'/') || path.at(mount.point.size()) == u'/'));
        // The last of equal mount points is the one on top.
        if (under && (best == nullptr || mount.point.size() >= best->point.size())) {
            best = &mount;
        }
    }
    return best != nullptr ? best->storage : Storage{};
}

}  // namespace quorvid
