#include "batch/Spool.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quorvid {

namespace {

// Records are written and read in blocks of about this size.
constexpr qsizetype kBlockSize = 1 << 16;

// A file without a name; where the file system has none such (NFS), a named
// one removed at once.
int OpenUnnamedFile(const QByteArray& folder) {
    const int unnamed = open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR)) {
        return unnamed;
    }
    QByteArray name = folder + "/.quorvid-batch-XXXXXX";
    const int named = mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) {
        unlink(name.constData());
    }
    return named;
}

QString SystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

Spool::Spool(const QString& folder) : folder_(folder) {
    descriptor_ = OpenUnnamedFile(QFile::encodeName(folder));
    if (descriptor_ < 0) {
        error_ = SystemError();
    }
}

Spool::~Spool() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}

bool Spool::Fail(const QString& description) {
    if (error_.isEmpty()) {
        error_ = description;
    }
    return false;
}

void Spool::Append(const QByteArray& record) {
    if (!isOpen() || reading_ || !error_.isEmpty()) {
        return;
    }
    const auto size = static_cast<quint32>(record.size());
    buffer_.append(reinterpret_cast<const char*>(&size), sizeof size);
    buffer_.append(record);
    ++count_;
    if (buffer_.size() >= kBlockSize) {
        WriteBuffer();
    }
}

void Spool::Append(const QString& record) {
    Append(QByteArray::fromRawData(reinterpret_cast<const char*>(record.utf16()),
                                   record.size() * qsizetype(sizeof(char16_t))));
}

bool Spool::WriteBuffer() {
    qsizetype done = 0;
    while (done < buffer_.size()) {
        const ssize_t written =
            write(descriptor_, buffer_.constData() + done, size_t(buffer_.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            buffer_.clear();
            return Fail(written < 0 ? SystemError() : QStringLiteral("nothing could be written"));
        }
        done += written;
    }
    buffer_.clear();
    return true;
}

bool Spool::Rewind() {
    if (!isOpen() || !error_.isEmpty()) {
        return false;
    }
    if (!reading_ && !WriteBuffer()) {
        return false;
    }
    if (lseek(descriptor_, 0, SEEK_SET) != 0) {
        return Fail(SystemError());
    }
    reading_ = true;
    buffer_.clear();
    taken_ = 0;
    read_ = 0;
    return true;
}

bool Spool::Fill(qsizetype size) {
    if (buffer_.size() - taken_ >= size) {
        return true;
    }
    buffer_.remove(0, taken_);
    taken_ = 0;
    while (buffer_.size() < size) {
        const qsizetype had = buffer_.size();
        buffer_.resize(had + std::max(size - had, kBlockSize));
        const ssize_t got = read(descriptor_, buffer_.data() + had, size_t(buffer_.size() - had));
        buffer_.resize(had + std::max<qsizetype>(got, 0));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return Fail(got < 0 ? SystemError() : QStringLiteral("it was cut short"));
        }
    }
    return true;
}

std::optional<QByteArray> Spool::NextBytes() {
    if (!reading_ || !error_.isEmpty() || read_ == count_) {
        return std::nullopt;
    }
    quint32 size = 0;
    if (!Fill(sizeof size)) {
        return std::nullopt;
    }
    std::memcpy(&size, buffer_.constData() + taken_, sizeof size);
    taken_ += sizeof size;
    if (!Fill(size)) {
        return std::nullopt;
    }
    QByteArray record(buffer_.constData() + taken_, size);
    taken_ += size;
    ++read_;
    return record;
}

std::optional<QString> Spool::NextText() {
    const std::optional<QByteArray> bytes = NextBytes();
    if (!bytes) {
        return std::nullopt;
    }
    return QString(reinterpret_cast<const QChar*>(bytes->constData()),
                   bytes->size() / qsizetype(sizeof(QChar)));
}

}  // namespace quorvid
