#include "support/TestPlatform.h"

#include "core/shell/report/StepFailure.h"

namespace quorvid::test {

std::unique_ptr<SpreadsheetApplication> FakeSpreadsheet::CreateApplication() {
    if (!installed) {
        throw StepFailure(QStringLiteral("No spreadsheet application is installed"));
    }
    ++created;
    return std::make_unique<Application>(*this);
}

TestPlatform::TestPlatform()
    : settings(std::make_unique<SettingsStore>(folder.filePath(QStringLiteral("settings.ini")))) {
    platform.dialogs = &dialogs;
    platform.settings = settings.get();
    platform.events = &events;
    platform.clock = &clock;
    platform.random = &random;
    platform.urls = &urls;
    platform.programEnd = &programEnd;
    platform.clipboard = &clipboard;
    platform.spreadsheet = &spreadsheet;
    platform.programFolder = folder.path();
}

}  // namespace quorvid::test
