#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace quorvid {

// Where a file is stored, as far as reading it goes: the file system it is on,
// known from the mount table alone, so that knowing costs the storage nothing.
struct Storage {
    QString device;      // "major:minor": one key for every mount of it
    QString fileSystem;  // the mount table's type, e.g. "ext4", "nfs4", "fuse.sshfs"
    enum class Kind {
        Memory,     // tmpfs and its kind: reading costs nothing
        LocalDisk,  // a block device that says it has no moving head
        SpinningDisk,
        Network,  // shares and user-space file systems: each request waits
    } kind = Kind::LocalDisk;
};

// The mount table, read once; a file's storage is that of the longest mount
// point its path begins with.
class StorageMap {
  public:
    // From the system's mount table (/proc/self/mountinfo).
    StorageMap();
    // From text in the mount table's form; rotational: whether a block device
    // ("major:minor") says it has a moving head.
    StorageMap(const QByteArray& mountInfo, const std::function<bool(const QString&)>& rotational);

    Storage StorageOf(const QString& path) const;

  private:
    struct Mount {
        QString point;
        Storage storage;
    };
    std::vector<Mount> mounts_;
};

}  // namespace quorvid
