#pragma once

#include <QString>

#include "core/extraction/ExtraColumns.h"

struct evp_md_st;

namespace quorvid {

// The checksum of a file's bytes, read in one sequential pass. The digest is
// fetched when this is made: libcrypto loads its configuration and providers
// on first use, which a confined reader may no longer do.
class FileChecksum {
  public:
    explicit FileChecksum(ChecksumKind kind);
    ~FileChecksum();
    FileChecksum(const FileChecksum&) = delete;
    FileChecksum& operator=(const FileChecksum&) = delete;

    ChecksumKind kind() const { return kind_; }
    // The lowercase hex digest of the file at path. Throws StepFailure when
    // the file cannot be read, or changed (size, modification or status
    // change time) while it was read: then no sum is its sum.
    QString Of(const QString& path) const;
    // The same of bytes in memory.
    QString Of(const QByteArray& bytes) const;

  private:
    ChecksumKind kind_;
    evp_md_st* digest_ = nullptr;
};

}  // namespace quorvid
