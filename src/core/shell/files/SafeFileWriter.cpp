#include "core/shell/files/SafeFileWriter.h"

#include <sys/stat.h>
#include <unistd.h>

namespace quorvid {

std::unique_ptr<SafeFileWriter> SafeFileWriter::ToFile(const QString& path,
                                                       InPlaceFallback fallback) {
    std::unique_ptr<SafeFileWriter> writer(new SafeFileWriter(path));
    writer->Open(fallback);
    return writer;
}

std::unique_ptr<SafeFileWriter> SafeFileWriter::ToStandardOutput() {
    std::unique_ptr<SafeFileWriter> writer(new SafeFileWriter(QString()));
    writer->OpenStandardOutput();
    return writer;
}

SafeFileWriter::SafeFileWriter(const QString& path) : safeFile_(path), plainFile_(path) {}

void SafeFileWriter::Open(InPlaceFallback fallback) {
    struct stat status {};
    const bool exists = stat(QFile::encodeName(safeFile_.fileName()).constData(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) {
        openState_ = OpenState::kPathIsFolder;
        error_ = QStringLiteral("Path is a folder");
        return;
    }
    if (exists && !S_ISREG(status.st_mode)) {
        openState_ = OpenState::kNotRegularFile;
        error_ = QStringLiteral("Not a regular file");
        return;
    }
    if (safeFile_.open(QIODevice::WriteOnly)) {
        device_ = &safeFile_;
    } else if (exists && fallback == InPlaceFallback::kAllowed &&
               plainFile_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        device_ = &plainFile_;
    } else {
        error_ = safeFile_.errorString();
        return;
    }
    openState_ = OpenState::kOpen;
}

void SafeFileWriter::OpenStandardOutput() {
    if (!plainFile_.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        error_ = plainFile_.errorString();
        return;
    }
    device_ = &plainFile_;
    openState_ = OpenState::kOpen;
}

QString SafeFileWriter::PathForOtherWriters() const {
    if (!isOpen() || closed_ || device_->fileName().isEmpty()) {
        return {};
    }
    return QStringLiteral("/proc/self/fd/%1").arg(device_->handle());
}

bool SafeFileWriter::Fail(const QString& description) {
    if (error_.isEmpty()) {
        error_ = description;
    }
    return false;
}

bool SafeFileWriter::Write(const QByteArray& bytes) {
    if (closed_) {
        return Fail(QStringLiteral("The file is closed"));
    }
    if (!isOpen() || !error_.isEmpty()) {
        return false;
    }
    if (device_->write(bytes) != bytes.size()) {
        return Fail(device_->errorString());
    }
    return true;
}

bool SafeFileWriter::Flush() {
    if (closed_) {
        return Fail(QStringLiteral("The file is closed"));
    }
    if (!isOpen() || !error_.isEmpty()) {
        return false;
    }
    if (device_ == &plainFile_ && !plainFile_.flush()) {
        return Fail(plainFile_.errorString());
    }
    return true;
}

bool SafeFileWriter::Commit() {
    if (closed_) {
        return Fail(QStringLiteral("The file is closed"));
    }
    if (!isOpen()) {
        return false;
    }
    const bool written = Flush();
    closed_ = true;
    if (device_ == &safeFile_) {
        // The commit would put the file in place although its last buffered
        // bytes failed to go out (a full disk): they are handed on first.
        if (!written || !safeFile_.flush()) {
            Fail(safeFile_.errorString());
            safeFile_.cancelWriting();
            return false;
        }
        return safeFile_.commit() || Fail(safeFile_.errorString());
    }
    plainFile_.close();
    return written;
}

void SafeFileWriter::Discard() {
    if (closed_ || !isOpen()) {
        return;
    }
    closed_ = true;
    if (device_ == &safeFile_) {
        safeFile_.cancelWriting();
    } else {
        plainFile_.close();
    }
}

}  // namespace quorvid
