#include "core/export/TextFileExport.h"

#include <QDir>
#include <memory>
#include <optional>

#include "core/export/AlignedTextLayout.h"
#include "core/export/TextFileLine.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/files/PathFunctions.h"
#include "core/shell/files/SafeFileWriter.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/EventsTurningWait.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"

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

void SaveListviewProperlySpaced(const Platform& platform, const ListViewModel& grid,
                                const QString& path, ProgressState* progress) {
    ReportingProcedure procedure(*platform.dialogs,
                                 QString::fromLatin1(location::kSaveListviewProperlySpaced));
    EventPump& events = *platform.events;
    const QString writingText = QString::fromLatin1(kWritingFileText) + FileNameFromPath(path);
    const auto showProgress = [&](double value, const QString& text) {
        events.DoEvents();
        progress->setValue(value);
        progress->setText(text);
        events.DoEvents();
    };

    if (progress != nullptr) {
        showProgress(1, writingText);
    }

    // A grid that changes under the save (the yields let "Clear List" run) would
    // leave a file that matches neither the old grid nor the new one: such a
    // save is reported and the file at path is left as it was. A save fails
    // with one report, which says what became of the file.
    std::unique_ptr<SafeFileWriter> file;
    QStringEncoder encoder(QStringConverter::System);
    bool saveFailed = false;
    const auto reportFailedSave = [&](int step, const QString& description) {
        saveFailed = true;
        QString outcome;
        if (!file || file->keepsOldFileOnFailure()) {
            outcome = QStringLiteral(" (the file was not saved; anything already at ") +
                      QDir::toNativeSeparators(path) + QStringLiteral(" is left as it was)");
        } else {
            outcome = QStringLiteral(" (the file was not saved completely: ") +
                      QDir::toNativeSeparators(path) +
                      QStringLiteral(" holds only part of the results)");
        }
        procedure.Step(step, [&] { throw StepFailure(description + outcome); });
    };
    // Runs a step whose failure spoils the save; later failures add nothing.
    const auto saveStep = [&](int step, auto&& action) {
        const std::optional<QString> failure = FailureOf(action);
        if (failure && !saveFailed) {
            reportFailedSave(step, *failure);
        }
        return !failure;
    };

    AlignedTextLayout layout(grid, events);
    layout.MeasureWidths(AlignedTextLayout::Headers::Count, [&](const StepFailure& failure) {
        if (!saveFailed) {
            reportFailedSave(step::saveText::kMeasureWidths, failure.description());
        }
    });

    if (progress != nullptr) {
        showProgress(10, writingText);
    }

    // Without a file there is nothing to write or close; its creation failure is
    // the save's one report.
    if (!saveFailed) {
        procedure.Step(step::saveText::kCreateFile, [&] { file = CreateTextFile(path); });
    }
    const auto writeLine = [&](int step, const QString& line) {
        if (file && !saveFailed) {
            saveStep(step, [&] { WriteTextLine(*file, encoder, line); });
        }
    };

    QString line;
    if (saveStep(step::saveText::kHeaderLine, [&] { line = layout.HeaderLine(); })) {
        writeLine(step::saveText::kWriteHeader, line);
    }

    if (progress != nullptr) {
        showProgress(20, writingText);
    }

    line.reserve(layout.LineLength());
    const int rows = grid.ItemCount();
    for (int row = 1; row <= rows; ++row) {
        events.DoEvents();
        line.resize(0);
        bool checked = false;
        // The rows after one that cannot be read are gone as well.
        if (!saveStep(step::saveText::kRowLine, [&] { checked = layout.AppendRow(line, row); })) {
            break;
        }
        if (!checked) {
            continue;
        }
        if (progress != nullptr) {
            events.DoEvents();
            progress->setValue((row + (rows / 2000)) / static_cast<double>(rows) * 100);
            if (row % 1000 == 0) {
                progress->setText(writingText + QStringLiteral(" (") + QString::number(row) +
                                  QStringLiteral(")"));
            }
            events.DoEvents();
        }
        writeLine(step::saveText::kWriteRow, line);
    }

    if (progress != nullptr) {
        progress->setValue(100);
        progress->setText(QString::fromLatin1(kDoneText));
    }
    if (file) {
        if (saveFailed) {
            file->Discard();
        } else {
            procedure.Step(step::saveText::kCloseFile, [&] { CommitTextFile(*file, path); });
        }
        file.reset();
    }
    if (progress != nullptr) {
        progress->setValue(0);
        progress->setText(QString::fromLatin1(ProgressState::kIdleText));
    }
}

void SaveResultsAsTextFileCommand(CommandContext& context) {
    Platform& platform = context.platform;
    ReportingProcedure procedure(*platform.dialogs, QString::fromLatin1(location::kPushButton8));
    QString path;
    procedure.Step(step::saveTextCommand::kPickFile, [&] {
        path = platform.dialogs->SaveFile(QString::fromLatin1(kTextFileDialogTitle),
                                          QString::fromLatin1(kTextFileFilter));
    });
    if (path.isEmpty()) {
        return;
    }
    context.pointer.set(MousePointerState::kHourglass);
    procedure.Step(step::saveTextCommand::kSave, [&] {
        SaveListviewProperlySpaced(platform, context.resultsGrid, path, &context.progress);
    });
    context.pointer.set(MousePointerState::kDefault);
}

}  // namespace quorvid
