#include <sys/stat.h>

#include <QFile>

#include "batch/BatchRun.h"
#include "batch/MergePlan.h"
#include "core/shell/files/SafeFileWriter.h"

namespace quorvid {

bool BatchRun::LoadStoredRows() {
    if (options_.updateCatalogue.isEmpty() && !options_.merge) {
        return true;
    }
    stored_ = std::make_unique<StoredRows>();
    const QStringList sources =
        options_.merge ? options_.paths : QStringList{options_.updateCatalogue};
    QString error;
    for (const QString& source : sources) {
        if (!stored_->Add(source, error)) {
            ReportProblem(error + QStringLiteral("; nothing was written"));
            return false;
        }
    }
    const std::optional<QStringList> stored = stored_->SharedExtraHeaders(error);
    if (!stored) {
        ReportProblem(QStringLiteral("the parts have other --field or --hash columns: %1; "
                                     "nothing was written")
                          .arg(error));
        return false;
    }
    if (options_.merge) {
        extraHeaders_ = *stored;
    } else if (stored_->extraHeaders(0) && *stored != extraHeaders_) {
        // Its rows and the new ones would not share their columns.
        ReportProblem(
            QStringLiteral("%1 has %2, this run %3: give the --field and --hash "
                           "options it was made with; nothing was written")
                .arg(options_.updateCatalogue, ColumnsSaid(*stored), ColumnsSaid(extraHeaders_)));
        return false;
    }
    if (!options_.updateCatalogue.isEmpty()) {
        // The time the catalogue was written, to the nanosecond the file system keeps.
        struct stat status {};
        stat(QFile::encodeName(options_.updateCatalogue).constData(), &status);
        update_.emplace(*stored_,
                        QDateTime::fromMSecsSinceEpoch(qint64(status.st_mtim.tv_sec) * 1000 +
                                                       status.st_mtim.tv_nsec / 1000000));
    }
    return true;
}

void BatchRun::PlanRows() {
    if (update_) {
        // The catalogue's rows are in memory anyway; so are the files found.
        std::vector<QString> found;
        StartReadingFiles();
        for (qsizetype position = 1; position <= files_->size(); ++position) {
            found.push_back(FileAt(position));
            files_->LetGoBefore(position + 1);
        }
        std::vector<QString> toRead;
        plan_ = update_->Plan(givenPaths_, found, toRead);
        files_ = std::make_unique<FileList>(spoolFolder_);
        for (const QString& file : toRead) {
            files_->Append(file);
        }
    } else if (options_.merge) {
        plan_ = MergePlan(*stored_, [this](const StoredRows::Row& kept) {
            Say(QStringLiteral("%1: more than one row; the last, from %2, is written")
                    .arg(kept.path, stored_->sourceName(kept.source)));
        });
    }
}

void BatchRun::WriteFileList(SafeFileWriter& output) {
    const char end = options_.nulSeparated ? '\0' : '\n';
    StartReadingFiles();
    for (qsizetype position = 1; position <= files_->size(); ++position) {
        ThrowWhenInterrupted();
        output.Write(QFile::encodeName(FileAt(position)) + end);
        files_->LetGoBefore(position + 1);
    }
}

void BatchRun::SayCounts() {
    if (update_) {
        Say(QStringLiteral("%1 files kept, %2 read, %3 dropped")
                .arg(update_->kept())
                .arg(update_->read())
                .arg(update_->dropped()));
    }
}

}  // namespace quorvid
