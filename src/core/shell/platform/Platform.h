#pragma once

#include <QString>

namespace quorvid {

class Clipboard;
class Clock;
class Dialogs;
class EventPump;
class ProgramEnd;
class RandomSource;
class SettingsStore;
class SpreadsheetProvider;
class UrlOpener;

// The platform seams one run of the program works with. main() fills it with the
// real implementations, tests with their own. Nothing here is owned.
struct Platform {
    Dialogs* dialogs = nullptr;
    SettingsStore* settings = nullptr;
    EventPump* events = nullptr;
    Clock* clock = nullptr;
    RandomSource* random = nullptr;
    UrlOpener* urls = nullptr;
    ProgramEnd* programEnd = nullptr;
    Clipboard* clipboard = nullptr;
    SpreadsheetProvider* spreadsheet = nullptr;
    // The folder of the executable: optional files and the metadata library live there.
    QString programFolder;
};

}  // namespace quorvid
