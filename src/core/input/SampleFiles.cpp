#include "core/input/SampleFiles.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include "core/input/FileListing.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/files/PathExists.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/platform/SettingsStore.h"
#include "core/shell/platform/SystemServices.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"

namespace quorvid {

namespace {

constexpr auto kSnapshotKey = "Snapshot";
constexpr QChar kSnapshotSeparator = u'|';

}  // namespace

bool IsInList(const ListViewModel& list, const QString& path) {
    bool found = false;
    for (int index = 1; index <= list.ItemCount(); ++index) {
        found = found || list.ItemText(index) == path;
    }
    return found;
}

QString SampleFolder(const Platform& platform) {
    const QChar separator = QDir::separator();
    return platform.programFolder + separator + QStringLiteral("Samples") + separator;
}

void BuildSampleSnapshot(Platform& platform) {
    const QString folder = SampleFolder(platform);
    const FileNameArray names = ListFilesInFolder(folder, QStringLiteral("*.*"));
    QStringList paths;
    for (int i = 1; i <= names.UBound(); ++i) {
        paths << folder + names(i);
    }
    platform.settings->SaveSetting(QString::fromLatin1(kSnapshotKey),
                                   paths.join(kSnapshotSeparator));
}

void AddSampleFiles(Platform& platform, ListViewModel& list) {
    const QString snapshot =
        platform.settings->GetSetting(QString::fromLatin1(kSnapshotKey), QString());
    if (!snapshot.isEmpty()) {
        for (const QString& path : snapshot.split(kSnapshotSeparator)) {
            if (PathExists(path) && !IsInList(list, path)) {
                list.AddItem(path);
            }
        }
    }
    if (platform.dialogs->AskYesNo(QString::fromLatin1(kOpenSampleFolderQuestion))) {
        platform.urls->Open(QUrl::fromLocalFile(SampleFolder(platform)));
    }
}

void LoadSamplesCommand(CommandContext& context) {
    ReportingProcedure report(*context.platform.dialogs,
                              QString::fromLatin1(location::kPushButton10));
    report.Step(step::samples::kAddSamples,
                [&] { AddSampleFiles(context.platform, context.inputList); });
}

}  // namespace quorvid
