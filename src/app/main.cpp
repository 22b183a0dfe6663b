#include <QApplication>

#include "app/DesktopServices.h"
#include "app/Form1.h"
#include "app/Platform.h"
#include "app/QtDialogs.h"
#include "app/SettingsStore.h"

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

    quorvid::Platform platform;
    platform.dialogs = &dialogs;
    platform.settings = &settings;
    platform.events = &events;
    platform.clock = &clock;
    platform.random = &random;
    platform.urls = &urls;
    platform.programEnd = &programEnd;
    platform.programFolder = QCoreApplication::applicationDirPath();

    quorvid::Form1 form(platform);
    dialogs.SetOwner(&form);
    form.Form_Load();
    form.ShowCentred();
    return QApplication::exec();
}
