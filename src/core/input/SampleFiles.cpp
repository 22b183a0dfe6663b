#include "core/input/SampleFiles.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QUrl>

#include "core/input/FileListing.h"
#include "core/shell/CommandContext.h"
#include "core/shell/Dialogs.h"
#include "core/shell/ErrorReport.h"
#include "core/shell/ListViewModel.h"
#include "core/shell/Platform.h"
#include "core/shell/ProcedureLocations.h"
#include "core/shell/ReportSteps.h"
#include "core/shell/SettingsStore.h"
#include "core/shell/SystemServices.h"

namespace quorvid {

namespace {

constexpr auto kSnapshotKey = "Snapshot";
constexpr QChar kSnapshotSeparator = u'|';

}  // namespace

bool PathExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0;
}

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
