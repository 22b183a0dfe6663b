#include "core/export/SavedTextFile.h"

#include <QDir>

#include "core/export/TextFileLine.h"
#include "core/shell/files/SafeFileWriter.h"
#include "core/shell/platform/EventsTurningWait.h"
#include "core/shell/report/ErrorReport.h"

namespace quorvid {

namespace {

// Opens the file at path; an existing one is replaced when it is committed.
std::unique_ptr<SafeFileWriter> CreateTextFile(const QString& path) {
    auto file = SafeFileWriter::ToFile(path, SafeFileWriter::InPlaceFallback::kAllowed);
    switch (file->openState()) {
        case SafeFileWriter::OpenState::kOpen:
            return file;
        case SafeFileWriter::OpenState::kPathIsFolder:
            throw StepFailure(QStringLiteral("Path is a folder: ") + path);
        case SafeFileWriter::OpenState::kNotRegularFile:
            throw StepFailure(
                QStringLiteral("The path is not a regular file (a device, a pipe or a "
                               "socket), so it is left untouched: ") +
                path);
        case SafeFileWriter::OpenState::kCannotCreate:
            break;
    }
    throw StepFailure(file->errorString() + QStringLiteral(": ") + path);
}

void WriteTextLine(SafeFileWriter& file, QStringEncoder& encoder, const QString& text) {
    if (!file.Write(TextFileLine(encoder, text))) {
        throw StepFailure(QStringLiteral("The file could not be written: ") + file.errorString());
    }
}

void CommitTextFile(SafeFileWriter& file, const QString& path) {
    // Putting a large file safely in place waits for the disk.
    bool committed = false;
    RunWhileEventsTurn([&] { committed = file.Commit(); });
    if (committed) {
        return;
    }
    if (file.keepsOldFileOnFailure()) {
        throw StepFailure(QStringLiteral("The file was not saved (anything already at ") +
                          QDir::toNativeSeparators(path) + QStringLiteral(" is left as it was): ") +
                          file.errorString());
    }
    throw StepFailure(QStringLiteral("The file was not saved completely: ") +
                      QDir::toNativeSeparators(path) +
                      QStringLiteral(" holds only part of the results"));
}

}  // namespace

SavedTextFile::SavedTextFile(ReportingProcedure& procedure, QString path)
    : procedure_(procedure), path_(std::move(path)) {}

SavedTextFile::~SavedTextFile() = default;

void SavedTextFile::ReportFailure(int step, const QString& description) {
    if (failed_) {
        return;
    }
    failed_ = true;
    QString outcome;
    if (!file_ || file_->keepsOldFileOnFailure()) {
        outcome = QStringLiteral(" (the file was not saved; anything already at ") +
                  QDir::toNativeSeparators(path_) + QStringLiteral(" is left as it was)");
    } else {
        outcome = QStringLiteral(" (the file was not saved completely: ") +
                  QDir::toNativeSeparators(path_) +
                  QStringLiteral(" holds only part of the results)");
    }
    procedure_.Step(step, [&] { throw StepFailure(description + outcome); });
}

void SavedTextFile::Create(int step) {
    if (!failed_) {
        procedure_.Step(step, [&] { file_ = CreateTextFile(path_); });
    }
}

void SavedTextFile::WriteLine(int step, const QString& line) {
    if (file_ && !failed_) {
        Run(step, [&] { WriteTextLine(*file_, encoder_, line); });
    }
}

void SavedTextFile::Finish(int step) {
    if (!file_) {
        return;
    }
    if (failed_) {
        file_->Discard();
    } else {
        procedure_.Step(step, [&] { CommitTextFile(*file_, path_); });
    }
    file_.reset();
}

}  // namespace quorvid
