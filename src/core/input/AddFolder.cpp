#include "core/input/AddFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include "core/input/FileListing.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/files/FileSystemObject.h"
#include "core/shell/files/PathFunctions.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/platform/SettingsStore.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"

namespace quorvid {

namespace {

constexpr auto kExtensionKey = "Extension";
constexpr auto kLastFolderKey = "LastFolder";
// Hidden and archive and nothing else: a hidden regular file.
constexpr int kHiddenFile = attribute::kHidden | attribute::kArchive;
// Yields while the names go in are spaced by time: every yield lets the list
// view lay out all its rows again, which a yield per folder makes quadratic.
constexpr qint64 kMillisecondsBetweenYields = 15;

}  // namespace

QString BrowseForFolder(Dialogs& dialogs, const QString& title, const QString& startFolder) {
    // A stored folder that has gone would leave the picker nowhere useful.
    const QString start = QFileInfo(startFolder).isDir() ? startFolder : QString();
    return dialogs.PickFolder(title, start);
}

void AppendQueuedFiles(EventPump& events, const FolderQueue& queue, const QString& pattern,
                       const StepRunner& runStep, const PathSink& append) {
    const FileSystemObject fileSystem;
    const QChar separator = QDir::separator();
    QElapsedTimer sinceYield;
    sinceYield.start();
    const auto yieldWhenDue = [&] {
        if (sinceYield.elapsed() >= kMillisecondsBetweenYields) {
            events.DoEvents();
            sinceYield.start();
        }
    };
    for (const QString& entry : queue) {
        yieldWhenDue();
        const QString folder = entry.chopped(1);
        FileNameArray names;
        runStep(step::addFolder::kListFolder, [&] { names = ListFilesInFolder(folder, pattern); });
        for (int i = 1; i <= names.UBound(); ++i) {
            const QString& name = names(i);
            if (name.startsWith(QLatin1Char('~'))) {
                continue;
            }
            const QString path = folder + separator + name;
            runStep(step::addFolder::kAddFile, [&] {
                if (fileSystem.Attributes(path) != kHiddenFile) {
                    append(RemoveDoubleBackslashes(path));
                }
            });
            yieldWhenDue();
        }
    }
}

void AddFolderCommand(CommandContext& context) {
    Platform& platform = context.platform;
    Dialogs& dialogs = *platform.dialogs;
    SettingsStore& settings = *platform.settings;
    ReportingProcedure report(dialogs, QString::fromLatin1(location::kPushButton3));

    QString extension;
    report.Step(step::addFolder::kAskExtension, [&] {
        extension = dialogs.InputBox(
            QString::fromLatin1(kExtensionPrompt),
            settings.GetSetting(QString::fromLatin1(kExtensionKey), QStringLiteral("avi")));
    });
    if (extension.isEmpty()) {
        return;
    }
    report.Step(step::addFolder::kSaveExtension,
                [&] { settings.SaveSetting(QString::fromLatin1(kExtensionKey), extension); });

    QString lastFolder;
    report.Step(step::addFolder::kReadLastFolder, [&] {
        lastFolder = settings.GetSetting(QString::fromLatin1(kLastFolderKey), QString());
    });
    QString chosen;
    report.Step(step::addFolder::kPickFolder, [&] {
        chosen = BrowseForFolder(dialogs, QString::fromLatin1(kPickFolderTitle), lastFolder);
    });
    if (chosen.isEmpty()) {
        return;
    }
    report.Step(step::addFolder::kSaveLastFolder,
                [&] { settings.SaveSetting(QString::fromLatin1(kLastFolderKey), chosen); });

    report.Step(step::addFolder::kHourglass,
                [&] { context.pointer.set(MousePointerState::kHourglass); });
    FolderQueue queue{chosen + QDir::separator()};
    report.Step(step::addFolder::kWalkFolders, [&] {
        GetSubDirectories2016(*platform.events, WalkErrorReport(dialogs), queue, true);
    });
    AppendQueuedFiles(
        *platform.events, queue, QStringLiteral("*.") + extension,
        [&](int number, const std::function<void()>& action) { report.Step(number, action); },
        [&](const QString& path) { context.inputList.AddItem(path); });
    report.Step(step::addFolder::kNormalPointer,
                [&] { context.pointer.set(MousePointerState::kDefault); });
}

}  // namespace quorvid
