#include "core/input/AddFiles.h"

#include <QStringList>

#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"

namespace quorvid {

void AddFilesCommand(CommandContext& context) {
    Dialogs& dialogs = *context.platform.dialogs;
    ReportingProcedure report(dialogs, QString::fromLatin1(location::kPushButton1));
    QStringList chosen;
    report.Step(step::addFiles::kPickFiles, [&] {
        chosen = dialogs.OpenFiles(QString::fromLatin1(kAddFilesTitle),
                                   QString::fromLatin1(kAddFilesFilter));
    });
    // The dialog gives full paths, which go in as delivered.
    for (const QString& path : chosen) {
        report.Step(step::addFiles::kAddFile, [&] { context.inputList.AddItem(path); });
    }
}

}  // namespace quorvid
