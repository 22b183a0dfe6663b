#include "batch/BatchRun.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <cstdio>
#include <functional>
#include <memory>

#include "core/export/AlignedTextLayout.h"
#include "core/export/JsonRowReader.h"
#include "core/export/RecordFormats.h"
#include "core/export/TextFileLine.h"
#include "core/input/AddFolder.h"
#include "core/input/FolderWalk.h"
#include "core/input/SampleFiles.h"
#include "core/pool/ExtractionFeed.h"
#include "core/results/ExtractionReplay.h"
#include "core/results/ResultsStore.h"
#include "core/shell/ErrorReport.h"
#include "core/shell/EventPump.h"
#include "core/shell/PathFunctions.h"
#include "core/shell/SafeFileWriter.h"

namespace quorvid {

namespace {

constexpr std::chrono::milliseconds kProgressTick{100};

// One line of standard error: control characters in paths or descriptions
// would split it or move the cursor.
QString OneLine(const QString& text) {
    QString line = text;
    for (QChar& character : line) {
        if (character.unicode() < 0x20 || character.unicode() == 0x7F) {
            character = u' ';
        }
    }
    return line;
}

// Runs a check at each yield: the folder walk's yields check for Ctrl+C.
class WalkEvents : public EventPump {
  public:
    explicit WalkEvents(std::function<void()> check) : check_(std::move(check)) {}
    void DoEvents() override { check_(); }

  private:
    std::function<void()> check_;
};

}  // namespace

BatchRun::BatchRun(const BatchOptions& options, ExtractorPool* helpers,
                   const FileExtractor& inProcess, const volatile std::sig_atomic_t& interrupted)
    : options_(options),
      helpers_(helpers),
      inProcess_(inProcess),
      interrupted_(interrupted),
      progress_(!options.quiet) {}

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
    const QByteArray line = "quorvid-batch: " + OneLine(text).toLocal8Bit() + "\n";
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
}

void BatchRun::ReportFailure(const QString& file, const QString& description, int step) {
    ReportProblem(QStringLiteral("%1: %2 (step %3)").arg(file, description).arg(step));
}

void BatchRun::Gather(const QString& argument) {
    const QString path = QDir::current().absoluteFilePath(argument);
    givenPaths_.push_back(path);
    if (IsFolder(path)) {
        WalkEvents events([this] { ThrowWhenInterrupted(); });
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
            [&](const QString& file) { files_.push_back(file); });
    } else if (PathExists(path)) {
        files_.push_back(path);
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

void BatchRun::Extract(SafeFileWriter& output) {
    ResultsStore store;
    const bool streaming = options_.format == OutputFormat::Json;
    const auto total = static_cast<qsizetype>(plan_ ? plan_->rows.size() : files_.size());
    ExtractionFeed feed(
        helpers_, inProcess_,
        [this](int position) -> std::optional<QString> {
            return files_[static_cast<size_t>(position - 1)];
        },
        static_cast<int>(files_.size()));
    qsizetype read = 0;
    for (qsizetype taken = 0; taken < total; ++taken) {
        const qsizetype stored = plan_ ? plan_->rows[size_t(taken)] : RowPlan::kReadNext;
        if (stored != RowPlan::kReadNext) {
            ThrowWhenInterrupted();
            const StoredRows::Row& row = stored_->rows()[size_t(stored)];
            progress_.Show(taken, total, FileNameFromPath(row.path));
            WriteJsonRow(store, stored_->Read(row));
        } else {
            const QString& path = files_[static_cast<size_t>(read++)];
            std::optional<FileExtraction> extraction;
            while (!extraction) {
                ThrowWhenInterrupted();
                progress_.Show(taken, total, FileNameFromPath(path));
                extraction = feed.Take(static_cast<int>(read), path, kProgressTick);
            }
            // Ctrl+C at a terminal reaches the helpers too: a file whose helper it
            // stopped is no failure to report.
            ThrowWhenInterrupted();
            ReportingProcedure procedure([&](int step, const QString& description) {
                ReportFailure(path, description, step);
            });
            WriteExtractionRow(procedure, store, *extraction);
        }
        if (streaming) {
            output.Write(JsonRowLine(store, store.ItemCount()));
            output.Flush();
            store.ClearRows();
        }
    }
    progress_.Show(total, total, QString());
    progress_.Clear();
    if (options_.format == OutputFormat::Csv) {
        output.Write(CsvHeaderLine(store));
        for (int row = 1; row <= store.ItemCount(); ++row) {
            output.Write(CsvRowLine(store, row));
        }
    } else if (options_.format == OutputFormat::Text) {
        WalkEvents noYields([] {});
        AlignedTextLayout layout(store, noYields);
        layout.MeasureWidths(AlignedTextLayout::Headers::Count,
                             [](const StepFailure& failure) { throw failure; });
        QStringEncoder encoder(QStringConverter::System);
        output.Write(TextFileLine(encoder, layout.HeaderLine()));
        QString line;
        line.reserve(layout.LineLength());
        for (int row = 1; row <= store.ItemCount(); ++row) {
            line.resize(0);
            layout.AppendRow(line, row);
            output.Write(TextFileLine(encoder, line));
        }
    }
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
    if (!options_.merge) {
        for (const QString& argument : options_.paths) {
            if (argument == QLatin1String("-")) {
                GatherFromStandardInput();
            } else {
                Gather(argument);
            }
        }
    }
    PlanRows();
    try {
        if (options_.listFiles) {
            WriteFileList(*output);
        } else {
            Extract(*output);
        }
    } catch (const StepFailure& failure) {
        // A stored row that can no longer be read: no partial output.
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
