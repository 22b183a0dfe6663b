#include "PassthroughFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <fuse3/fuse_lowlevel.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace slow {

namespace {

struct OpenFile {
    int descriptor = -1;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
};

PassthroughFileSystem& Mounted() {
    return *static_cast<PassthroughFileSystem*>(fuse_get_context()->private_data);
}

std::string Source(const char* path) {
    return Mounted().source + path;
}

int Result(long result) {
    return result < 0 ? -errno : static_cast<int>(result);
}

// How a client of a network share behaves, so that programs meet what they
// meet on one:
// - names and attributes are trusted for 3 seconds, negative answers too (NFS's
//   acregmin and lookup cache);
// - a file's pages stay cached over its opens while its size and time are
//   unchanged, checked at most every 3 seconds (close-to-open);
// - readahead of 128 KiB, the kernel's default for a disk (read_ahead_kb) and
//   for NFS; 16 requests in flight in the background, the RPC slot table's
//   default size.
void* Init(fuse_conn_info* connection, fuse_config* config) {
    config->use_ino = 1;
    config->entry_timeout = 3;
    config->attr_timeout = 3;
    config->negative_timeout = 3;
    config->auto_cache = 1;
    config->ac_attr_timeout_set = 1;
    config->ac_attr_timeout = 3;
    connection->max_readahead = 128 * 1024;
    connection->max_background = 16;
    connection->congestion_threshold = 12;
    return fuse_get_context()->private_data;
}

int GetAttr(const char* path, struct stat* attributes, fuse_file_info* file) {
    if (!Mounted().model.Serve(Request::Lookup)) {
        return -EINTR;
    }
    if (file != nullptr && file->fh != 0) {
        return Result(fstat(reinterpret_cast<OpenFile*>(file->fh)->descriptor, attributes));
    }
    return Result(lstat(Source(path).c_str(), attributes));
}

int ReadLink(const char* path, char* target, size_t size) {
    if (!Mounted().model.Serve(Request::Readlink)) {
        return -EINTR;
    }
    const ssize_t length = readlink(Source(path).c_str(), target, size - 1);
    if (length < 0) {
        return -errno;
    }
    target[length] = '\0';
    return 0;
}

int Open(const char* path, fuse_file_info* file) {
    if ((file->flags & O_ACCMODE) != O_RDONLY) {
        return -EROFS;
    }
    if (!Mounted().model.Serve(Request::Open)) {
        return -EINTR;
    }
    const int descriptor = open(Source(path).c_str(), O_RDONLY | O_CLOEXEC);
    struct stat attributes {};
    if (descriptor < 0 || fstat(descriptor, &attributes) != 0) {
        const int error = errno;
        if (descriptor >= 0) {
            close(descriptor);
        }
        return -error;
    }
    file->fh = reinterpret_cast<std::uint64_t>(new OpenFile{
        descriptor, attributes.st_ino, static_cast<std::uint64_t>(attributes.st_size)});
    return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* file) {
    const OpenFile& open = *reinterpret_cast<OpenFile*>(file->fh);
    const auto from = static_cast<std::uint64_t>(offset);
    const std::uint64_t bytes =
        from >= open.size ? 0 : std::min<std::uint64_t>(size, open.size - from);
    if (!Mounted().model.ServeRead(HeadPosition{open.inode, from}, bytes)) {
        return -EINTR;
    }
    return Result(pread(open.descriptor, buffer, size, offset));
}

int Release(const char*, fuse_file_info* file) {
    Mounted().model.Serve(Request::Release);
    auto* open = reinterpret_cast<OpenFile*>(file->fh);
    close(open->descriptor);
    delete open;
    return 0;
}

int StatFs(const char* path, struct statvfs* facts) {
    if (!Mounted().model.Serve(Request::Statfs)) {
        return -EINTR;
    }
    return Result(statvfs(Source(path).c_str(), facts));
}

// Opening and closing a folder costs nothing: NFS has no call for either.
int OpenDir(const char* path, fuse_file_info* folder) {
    DIR* const entries = opendir(Source(path).c_str());
    if (entries == nullptr) {
        return -errno;
    }
    folder->fh = reinterpret_cast<std::uint64_t>(entries);
    return 0;
}

int ReleaseDir(const char*, fuse_file_info* folder) {
    closedir(reinterpret_cast<DIR*>(folder->fh));
    return 0;
}

bool IsDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// As many entries as fit in one answer, each with its offset; with
// READDIRPLUS their attributes too, so that the kernel knows the names and
// needs no lookups after a listing, as NFS's READDIRPLUS spares them. (Entries
// given without offsets would be kept by libfuse, which then sends the
// kernel none of their attributes.)
int ReadDir(const char*, void* buffer, fuse_fill_dir_t fill, off_t offset, fuse_file_info* folder,
            fuse_readdir_flags flags) {
    DIR* const entries = reinterpret_cast<DIR*>(folder->fh);
    if (offset != telldir(entries)) {
        seekdir(entries, offset);
    }
    // The kernel asks once more past the last entry; NFS says "end" in the
    // last answer itself, so that question costs no request.
    if (readdir(entries) == nullptr) {
        return 0;
    }
    seekdir(entries, offset);
    if (!Mounted().model.Serve(Request::Readdir)) {
        return -EINTR;
    }
    const bool plus = (flags & FUSE_READDIR_PLUS) != 0;
    for (long here = telldir(entries); const dirent* entry = readdir(entries);
         here = telldir(entries)) {
        struct stat attributes {};
        auto fillFlags = static_cast<fuse_fill_dir_flags>(0);
        if (plus && !IsDotOrDotDot(entry->d_name) &&
            fstatat(dirfd(entries), entry->d_name, &attributes, AT_SYMLINK_NOFOLLOW) == 0) {
            fillFlags = FUSE_FILL_DIR_PLUS;
        } else {
            attributes.st_ino = entry->d_ino;
            attributes.st_mode = DTTOIF(entry->d_type);
        }
        if (fill(buffer, entry->d_name, &attributes, telldir(entries), fillFlags) != 0) {
            seekdir(entries, here);  // the next answer starts with it
            break;
        }
    }
    return 0;
}

int GetXattr(const char* path, const char* name, char* value, size_t size) {
    if (!Mounted().model.Serve(Request::Getxattr)) {
        return -EINTR;
    }
    return Result(lgetxattr(Source(path).c_str(), name, value, size));
}

int ListXattr(const char* path, char* names, size_t size) {
    if (!Mounted().model.Serve(Request::Listxattr)) {
        return -EINTR;
    }
    return Result(llistxattr(Source(path).c_str(), names, size));
}

int Access(const char* path, int mode) {
    if (!Mounted().model.Serve(Request::Access)) {
        return -EINTR;
    }
    return Result(access(Source(path).c_str(), mode));
}

}  // namespace

bool RequestAbandoned() {
    const fuse_context* context = fuse_get_context();
    return fuse_interrupted() != 0 || fuse_session_exited(fuse_get_session(context->fuse)) != 0;
}

// No flush: a read-only client sends nothing on close() before the last one.
fuse_operations PassthroughOperations() {
    fuse_operations operations{};
    operations.init = Init;
    operations.getattr = GetAttr;
    operations.readlink = ReadLink;
    operations.open = Open;
    operations.read = Read;
    operations.release = Release;
    operations.statfs = StatFs;
    operations.opendir = OpenDir;
    operations.readdir = ReadDir;
    operations.releasedir = ReleaseDir;
    operations.getxattr = GetXattr;
    operations.listxattr = ListXattr;
    operations.access = Access;
    return operations;
}

}  // namespace slow
