#include <QApplication>

#include "core/export/CalcSpreadsheetProvider.h"
#include "core/export/SpreadsheetExport.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/platform/SettingsStore.h"
#include "window/DesktopServices.h"
#include "window/Form1.h"
#include "window/QtDialogs.h"
#include "window/SystemClipboard.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvid"));

    quorvid::SettingsStore settings;
    quorvid::QtDialogs dialogs;
    quorvid::ThrottledEventPump events;
    quorvid::SystemClock clock;
    quorvid::SystemRandom random;
    quorvid::DesktopUrlOpener urls;
    quorvid::ImmediateProgramEnd programEnd;
    quorvid::SystemClipboard clipboard;
    quorvid::CalcSpreadsheetProvider spreadsheet;
    spreadsheet.SetLateFailureHandler([&dialogs](const QString& description) {
        quorvid::ReportLateSpreadsheetFailure(dialogs, description);
    });

    quorvid::Platform platform;
    platform.dialogs = &dialogs;
    platform.settings = &settings;
    platform.events = &events;
    platform.clock = &clock;
    platform.random = &random;
    platform.urls = &urls;
    platform.programEnd = &programEnd;
    platform.clipboard = &clipboard;
    platform.spreadsheet = &spreadsheet;
    platform.programFolder = QCoreApplication::applicationDirPath();

    quorvid::Form1 form(platform);
    dialogs.SetOwner(&form);
    form.Form_Load();
    form.ShowCentred();
    return QApplication::exec();
}
