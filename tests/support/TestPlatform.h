#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/export/Clipboard.h"
#include "core/export/SpreadsheetApplication.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/platform/SettingsStore.h"
#include "core/shell/platform/SystemServices.h"
#include "support/ScriptedDialogs.h"

namespace quorvid::test {

// Counts the yields and runs a hook at each, so a test can act in the middle of a
// long command (clear a list, click a button). Progress is due for every item
// unless a test lists the answers.
class CountingEventPump : public EventPump {
  public:
    void DoEvents() override {
        ++count;
        if (onYield) {
            onYield(count);
        }
    }
    bool ProgressDue() override {
        ++progressAsks;
        if (progressDueAnswers.empty()) {
            return true;
        }
        const bool due = progressDueAnswers.front();
        progressDueAnswers.pop_front();
        return due;
    }
    int count = 0;
    std::function<void(int)> onYield;
    int progressAsks = 0;
    std::deque<bool> progressDueAnswers;
};

class SettableClock : public Clock {
  public:
    double SecondsSinceMidnight() const override {
        const double now = seconds;
        if (advancePerRead != 0) {
            seconds += advancePerRead;
        }
        return now;
    }
    mutable double seconds = 12 * 3600;
    // Added to the time after every read, so waits end without real time passing.
    double advancePerRead = 0;
};

class ScriptedRandom : public RandomSource {
  public:
    void Seed(double value) override { seeds.push_back(value); }
    double NextUniform() override {
        if (draws.empty()) {
            return 0.5;
        }
        const double value = draws.front();
        draws.pop_front();
        return value;
    }
    std::deque<double> draws;
    std::vector<double> seeds;
};

class RecordingUrlOpener : public UrlOpener {
  public:
    bool Open(const QUrl& url) override {
        opened.push_back(url);
        return true;
    }
    std::vector<QUrl> opened;
};

class RecordingProgramEnd : public ProgramEnd {
  public:
    void EndProgram() override { ++ended; }
    int ended = 0;
};

class FakeClipboard : public Clipboard {
  public:
    bool Clear() override {
        ++clearAttempts;
        if (refuse) {
            return false;
        }
        text.clear();
        return true;
    }
    bool SetText(const QString& value) override {
        ++setAttempts;
        if (refuse) {
            return false;
        }
        text = value;
        return true;
    }
    QString Text() const override { return text; }

    QString text = QStringLiteral("(earlier clipboard)");
    bool refuse = false;
    int clearAttempts = 0;
    int setAttempts = 0;
};

// A spreadsheet application that keeps the cells it is given.
class FakeSpreadsheet : public SpreadsheetProvider {
  public:
    struct Workbook : SpreadsheetWorkbook {
        void SetCellText(int row, int column, const QString& text) override {
            cells[{row, column}] = text;
        }
        void AutoFitColumns() override { autoFitted = true; }
        std::map<std::pair<int, int>, QString> cells;
        bool autoFitted = false;
    };
    struct Application : SpreadsheetApplication {
        explicit Application(FakeSpreadsheet& owner) : owner(owner) {}
        SpreadsheetWorkbook& AddWorkbook() override {
            owner.workbooks.push_back(std::make_unique<Workbook>());
            return *owner.workbooks.back();
        }
        void SetVisible(bool visible) override { owner.visible = visible; }
        FakeSpreadsheet& owner;
    };

    std::unique_ptr<SpreadsheetApplication> CreateApplication() override;

    bool installed = true;
    int created = 0;
    bool visible = false;
    std::vector<std::unique_ptr<Workbook>> workbooks;
};

// Every seam answered by a test double; settings in a temporary folder, which is
// also the program folder unless a test sets another.
class TestPlatform {
  public:
    TestPlatform();

    Platform platform;
    QTemporaryDir folder;
    std::unique_ptr<SettingsStore> settings;
    ScriptedDialogs dialogs;
    CountingEventPump events;
    SettableClock clock;
    ScriptedRandom random;
    RecordingUrlOpener urls;
    RecordingProgramEnd programEnd;
    FakeClipboard clipboard;
    FakeSpreadsheet spreadsheet;
};

}  // namespace quorvid::test
