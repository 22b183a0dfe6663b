#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace quorvid {

// Records set aside in a scratch file and read back in the order they were
// added, so that what a run keeps of every file (its path, its row) is on disk
// and not in memory. The file has no name (or loses it as soon as it is made),
// so nothing is left behind however the program ends.
class Spool {
  public:
    // Makes the file in folder; isOpen() says whether that worked.
    explicit Spool(const QString& folder);
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    // The system's word for the first failure (a full disk, a folder that
    // admits no file); empty while all is well.
    const QString& errorString() const { return error_; }
    const QString& folder() const { return folder_; }
    qint64 count() const { return count_; }

    // A failure is kept in errorString; the records after it are dropped.
    void Append(const QByteArray& record);
    // The text comes back exactly, whatever it holds.
    void Append(const QString& record);

    // Hands on what is buffered and starts reading at the first record; false
    // when anything failed to be written.
    bool Rewind();
    // The next record, read as it was appended; nothing at the end or when it
    // cannot be read (errorString says why then).
    std::optional<QByteArray> NextBytes();
    std::optional<QString> NextText();

  private:
    bool Fail(const QString& description);
    bool WriteBuffer();
    // Reads on until the buffer holds size bytes after those taken.
    bool Fill(qsizetype size);

    QString folder_;
    int descriptor_ = -1;
    QString error_;
    qint64 count_ = 0;
    qint64 read_ = 0;
    bool reading_ = false;
    // Written and not yet handed on; or, when reading, read ahead.
    QByteArray buffer_;
    qsizetype taken_ = 0;
};

}  // namespace quorvid
