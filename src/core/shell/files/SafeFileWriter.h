#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <memory>

namespace quorvid {

// Writes an output file so that a failed write leaves what was at the path: the
// bytes go to a temporary file beside it, which replaces the file only on
// Commit. Only a regular file (or nothing) at the path is ever written:
// replacing a folder, a device, a pipe or a socket would break what uses it.
// The first failure is kept; later writes are dropped and Commit fails.
// Dropping the writer without Commit is a Discard.
class SafeFileWriter {
  public:
    // Where the folder admits no new file there is no room for the temporary
    // copy, yet the file there may be writable.
    enum class InPlaceFallback { kRefused, kAllowed };
    enum class OpenState { kOpen, kPathIsFolder, kNotRegularFile, kCannotCreate };

    static std::unique_ptr<SafeFileWriter> ToFile(const QString& path, InPlaceFallback fallback);
    // Standard output, which has no old content to keep: Commit only hands on
    // what is still buffered, Discard cannot take back what went out.
    static std::unique_ptr<SafeFileWriter> ToStandardOutput();

    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    OpenState openState() const { return openState_; }
    bool isOpen() const { return openState_ == OpenState::kOpen; }
    // Why the writer failed: the system's description; empty while all is well.
    const QString& errorString() const { return error_; }
    // False when the file is written in place (or to standard output), so that
    // a failed write leaves only part of the new bytes instead of the old file.
    bool keepsOldFileOnFailure() const { return device_ == &safeFile_; }

    // A name by which a library that writes files only by name (the workbook
    // writer) writes this file's bytes itself, in place of Write: the open
    // file's entry in /proc, so the bytes still go where Commit puts them.
    // Empty for standard output or when the writer is not open.
    QString PathForOtherWriters() const;

    // False once anything failed, or after Commit or Discard.
    bool Write(const QByteArray& bytes);
    // Hands what was written on at once where a reader may see it before
    // Commit (standard output, a file written in place), for rows that stream.
    bool Flush();
    // Puts the file in place; false (with the reason in errorString) when any
    // write failed or the file could not be put there.
    bool Commit();
    // Drops what was written: the path is left as it was (in place, it holds
    // what was written so far) and Commit fails.
    void Discard();

  private:
    explicit SafeFileWriter(const QString& path);
    void Open(InPlaceFallback fallback);
    void OpenStandardOutput();
    bool Fail(const QString& description);

    QSaveFile safeFile_;
    // The file written in place, or standard output.
    QFile plainFile_;
    QFileDevice* device_ = nullptr;
    OpenState openState_ = OpenState::kCannotCreate;
    QString error_;
    bool closed_ = false;
};

}  // namespace quorvid
