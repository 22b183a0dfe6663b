#include "batch/Spool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quorvid {

namespace {

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

}  // namespace

Spool::Spool(const QString& folder) : folder_(folder) {
    const int descriptor = OpenUnnamedFile(QFile::encodeName(folder));
    if (descriptor < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (!file_.open(descriptor, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        error_ = file_.errorString();
        return;
    }
    stream_.setDevice(&file_);
    // The records are read back by this process only: no byte swapping.
    stream_.setByteOrder(QDataStream::LittleEndian);
}

bool Spool::CheckStream() {
    if (stream_.status() == QDataStream::Ok) {
        return true;
    }
    if (error_.isEmpty()) {
        error_ = file_.error() != QFileDevice::NoError ? file_.errorString()
                                                       : QStringLiteral("it was cut short");
    }
    return false;
}

bool Spool::Rewind() {
    if (!isOpen()) {
        return false;
    }
    if (error_.isEmpty() && (!file_.flush() || !file_.seek(0))) {
        error_ = file_.errorString();
    }
    read_ = 0;
    return error_.isEmpty();
}

}  // namespace quorvid
