#include "batch/BatchRun.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <functional>
#include <memory>

#include "batch/CheckingEvents.h"
#include "batch/ErrorLine.h"
#include "batch/Spool.h"
#include "batch/TableWriters.h"
#include "core/export/JsonRowReader.h"
#include "core/export/RecordFormats.h"
#include "core/input/AddFolder.h"
#include "core/input/FolderWalk.h"
#include "core/pool/ExtractionFeed.h"
#include "core/results/ExtractionReplay.h"
#include "core/results/ResultsStore.h"
#include "core/shell/files/PathExists.h"
#include "core/shell/files/PathFunctions.h"
#include "core/shell/files/SafeFileWriter.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/report/ErrorReport.h"

namespace quorvid {

namespace {

constexpr std::chrono::milliseconds kProgressTick{100};

}  // namespace

BatchRun::BatchRun(const BatchOptions& options, ExtractorPool* helpers,
                   const FileExtractor& inProcess, const volatile std::sig_atomic_t& interrupted)
    : options_(options),
      helpers_(helpers),
      inProcess_(inProcess),
      interrupted_(interrupted),
      progress_(!options.quiet),
      extraHeaders_(options.extraColumns.Headers()) {}

void BatchRun::ThrowWhenInterrupted() const {
    if (interrupted_ != 0) {
        throw RunInterrupted{};
    }
}

void BatchRun::ReportProblem(const QString& text) {
    ++failures_;
    Say(text);
}

void BatchRun::Say(const QString& text) {
    progress_.Clear();
    WriteErrorLine(text);
}

void BatchRun::ReportFailure(const QString& file, const QString& description, int step) {
    ReportProblem(QStringLiteral("%1: %2 (step %3)").arg(file, description).arg(step));
}

void BatchRun::Gather(const QString& argument) {
    const QString path = QDir::current().absoluteFilePath(argument);
    if (update_) {
        givenPaths_.push_back(path);
    }
    if (IsFolder(path)) {
        CheckingEvents events([this] { ThrowWhenInterrupted(); });
        FolderQueue queue{path + QDir::separator()};
        GetSubDirectories2016(events, WalkFailuresTo([&](int step, const QString& description) {
                                  ReportFailure(argument, description, step);
                              }),
                              queue, true);
        AppendQueuedFiles(
            events, queue, QStringLiteral("*.") + options_.extension,
            [&](int step, const std::function<void()>& action) {
                if (const auto failure = FailureOf(action)) {
                    ReportFailure(argument, *failure, step);
                }
            },
            [&](const QString& file) { files_->Append(file); });
    } else if (PathExists(path)) {
        files_->Append(path);
    } else {
        ReportProblem(QStringLiteral("%1: no such file or folder").arg(argument));
    }
}

void BatchRun::GatherFromStandardInput() {
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
    const char separator = options_.nulSeparated ? '\0' : '\n';
    QByteArray pending;
    while (true) {
        ThrowWhenInterrupted();
        const QByteArray chunk = input.read(1 << 16);
        const bool ended = chunk.isEmpty();
        pending.append(chunk);
        qsizetype start = 0;
        qsizetype end = 0;
        while ((end = pending.indexOf(separator, start)) >= 0 ||
               (ended && start < pending.size())) {
            if (end < 0) {
                end = pending.size();
            }
            const QByteArray bytes = pending.mid(start, end - start);
            start = end + 1;
            if (bytes.isEmpty()) {
                continue;
            }
            const QString path = QFile::decodeName(bytes);
            // A name Qt cannot hold without loss would name another file.
            if (QFile::encodeName(path) != bytes) {
                ReportProblem(QStringLiteral("%1: the name is not valid text; left out").arg(path));
                continue;
            }
            Gather(path);
        }
        pending.remove(0, std::min(start, pending.size()));
        if (ended) {
            return;
        }
    }
}

StepFailure BatchRun::ScratchFileFailure(const Spool& spool) {
    return StepFailure(
        QStringLiteral("the output was not written (the scratch file in %1 could not be "
                       "written: %2)")
            .arg(spool.folder(), spool.errorString()));
}

void BatchRun::StartReadingFiles() {
    if (!files_->StartReading()) {
        throw ScratchFileFailure(files_->spool());
    }
}

QString BatchRun::FileAt(qsizetype position) {
    std::optional<QString> file = files_->At(position);
    if (!file) {
        throw ScratchFileFailure(files_->spool());
    }
    return std::move(*file);
}

std::unique_ptr<TableWriter> BatchRun::MakeTableWriter(SafeFileWriter& output,
                                                       const ResultsStore& store) {
    switch (options_.format) {
        case OutputFormat::Text:
            return std::make_unique<TextTableWriter>(store, output);
        case OutputFormat::Csv:
            return std::make_unique<CsvTableWriter>(output);
        case OutputFormat::Xlsx:
            return std::make_unique<XlsxTableWriter>(
                output, options_.outputFile, spoolFolder_,
                [this, &store](int step, const QString& description) {
                    // A cell of a row is the failure of its file; one of the
                    // header row, of the workbook.
                    ReportFailure(store.ItemCount() > 0 ? store.ItemText(1) : options_.outputFile,
                                  description, step);
                });
        case OutputFormat::Json:
            break;
    }
    return nullptr;
}

void BatchRun::Extract(SafeFileWriter& output) {
    ResultsStore store;
    // Before any row, so that they come before the detail columns.
    for (const QString& header : extraHeaders_) {
        store.AppendColumn(header);
    }
    const std::unique_ptr<TableWriter> table = MakeTableWriter(output, store);
    // Rows of the formats that wait for the last row before their first line.
    std::unique_ptr<Spool> rows;
    if (table) {
        rows = std::make_unique<Spool>(spoolFolder_);
        if (!rows->isOpen()) {
            throw ScratchFileFailure(*rows);
        }
    }
    StartReadingFiles();
    const auto total = static_cast<qsizetype>(plan_ ? plan_->rows.size() : files_->size());
    ExtractionFeed feed(
        helpers_, inProcess_, [this](int position) { return files_->At(position); },
        static_cast<int>(files_->size()));
    qsizetype read = 0;
    for (qsizetype taken = 0; taken < total; ++taken) {
        const qsizetype stored = plan_ ? plan_->rows[size_t(taken)] : RowPlan::kReadNext;
        if (stored != RowPlan::kReadNext) {
            ThrowWhenInterrupted();
            const StoredRows::Row& row = stored_->rows()[size_t(stored)];
            progress_.Show(taken, total, FileNameFromPath(row.path));
            WriteJsonRow(store, stored_->Read(row));
        } else {
            const QString path = FileAt(++read);
            std::optional<FileExtraction> extraction;
            while (!extraction) {
                ThrowWhenInterrupted();
                if (helpers_ != nullptr) {
                    progress_.SetReading(helpers_->ReadingSaid());
                }
                progress_.Show(taken, total, FileNameFromPath(path));
                extraction = feed.Take(static_cast<int>(read), path, kProgressTick);
            }
            files_->LetGoBefore(read + 1);
            // Ctrl+C at a terminal reaches the helpers too: a file whose helper it
            // stopped is no failure to report.
            ThrowWhenInterrupted();
            ReportingProcedure procedure([&](int step, const QString& description) {
                ReportFailure(path, description, step);
            });
            WriteExtractionRow(procedure, store, *extraction);
        }
        if (table) {
            table->Measure(store);
            rows->Append(JsonRowLine(store, 1));
        } else {
            output.Write(JsonRowLine(store, 1));
            output.Flush();
        }
        store.ClearRows();
    }
    progress_.Show(total, total, QString());
    if (table) {
        WriteTable(*table, *rows, store);
    }
    progress_.Clear();
}

void BatchRun::WriteTable(TableWriter& table, Spool& rows, ResultsStore& store) {
    if (!rows.Rewind()) {
        throw ScratchFileFailure(rows);
    }
    table.WriteHeader(store);
    qsizetype written = 0;
    while (std::optional<QByteArray> line = rows.NextBytes()) {
        ThrowWhenInterrupted();
        progress_.ShowWriting(written++, rows.count());
        line->chop(1);  // the LF
        QString error;
        const std::optional<JsonRow> row = ParseJsonRowLine(*line, error);
        if (!row) {
            throw StepFailure(QStringLiteral("the output was not written (a row of the scratch "
                                             "file in %1 came back damaged: %2)")
                                  .arg(rows.folder(), error));
        }
        store.ClearRows();
        WriteJsonRow(store, *row);
        table.WriteRow(store);
    }
    if (!rows.errorString().isEmpty()) {
        throw ScratchFileFailure(rows);
    }
    table.Finish();
}

int BatchRun::Run() {
    if (!LoadStoredRows()) {
        return kExitUsageOrOutput;
    }
    // Standard output, or a file replaced only when every row is written.
    const QString outputFile =
        options_.updateCatalogue.isEmpty() ? options_.outputFile : options_.updateCatalogue;
    const std::unique_ptr<SafeFileWriter> output =
        outputFile.isEmpty()
            ? SafeFileWriter::ToStandardOutput()
            : SafeFileWriter::ToFile(outputFile, SafeFileWriter::InPlaceFallback::kRefused);
    if (output->openState() == SafeFileWriter::OpenState::kCannotCreate) {
        ReportProblem(QStringLiteral("%1: %2").arg(outputFile, output->errorString()));
        return kExitUsageOrOutput;
    }
    if (!output->isOpen()) {
        ReportProblem(QStringLiteral("%1: not a regular file; left as it is").arg(outputFile));
        return kExitUsageOrOutput;
    }
    // QDir::tempPath() is empty where TMPDIR names no folder.
    const QString temporaryFolder = qEnvironmentVariable("TMPDIR", QDir::tempPath());
    spoolFolder_ = outputFile.isEmpty() ? temporaryFolder : QFileInfo(outputFile).absolutePath();
    files_ = std::make_unique<FileList>(spoolFolder_);
    if (!files_->spool().isOpen()) {
        ReportProblem(QStringLiteral("%1: no scratch file can be made in this folder (%2)%3")
                          .arg(spoolFolder_, files_->spool().errorString(),
                               outputFile.isEmpty() ? QStringLiteral("; TMPDIR may name another")
                                                    : QString()));
        return kExitUsageOrOutput;
    }
    if (!options_.merge) {
        for (const QString& argument : options_.paths) {
            if (argument == QLatin1String("-")) {
                GatherFromStandardInput();
            } else {
                Gather(argument);
            }
        }
    }
    try {
        PlanRows();
        if (options_.listFiles) {
            WriteFileList(*output);
        } else {
            Extract(*output);
        }
    } catch (const StepFailure& failure) {
        // A stored row that can no longer be read, a scratch file or a workbook
        // that cannot be written: no partial output.
        ReportProblem(failure.description());
        return kExitUsageOrOutput;
    }
    ThrowWhenInterrupted();
    if (!output->Commit()) {
        ReportProblem(QStringLiteral("the output was not written (%1)").arg(output->errorString()));
        return kExitUsageOrOutput;
    }
    SayCounts();
    return failures_ == 0 ? kExitSuccess : kExitSomeFilesFailed;
}

}  // namespace quorvid
