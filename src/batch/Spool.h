#pragma once

#include <QDataStream>
#include <QFile>
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
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    bool isOpen() const { return file_.isOpen(); }
    // The first failure (a full disk, a folder that admits no file); empty
    // while all is well.
    const QString& errorString() const { return error_; }
    const QString& folder() const { return folder_; }
    qint64 count() const { return count_; }

    // A QString, a QByteArray or anything else QDataStream writes. A failure
    // is kept in errorString, and later records are dropped.
    template <typename Record>
    void Append(const Record& record) {
        if (!error_.isEmpty()) {
            return;
        }
        stream_ << record;
        ++count_;
        CheckStream();
    }

    // Hands on what is buffered and starts reading at the first record; false
    // when anything failed to be written.
    bool Rewind();

    // The next record, of the type it was appended as; nothing at the end or
    // when it cannot be read (errorString says why then).
    template <typename Record>
    std::optional<Record> Next() {
        if (!error_.isEmpty() || read_ == count_) {
            return std::nullopt;
        }
        Record record;
        stream_ >> record;
        ++read_;
        if (!CheckStream()) {
            return std::nullopt;
        }
        return record;
    }

  private:
    bool CheckStream();

    QString folder_;
    QFile file_;
    QDataStream stream_;
    QString error_;
    qint64 count_ = 0;
    qint64 read_ = 0;
};

}  // namespace quorvid
