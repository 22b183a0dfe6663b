#pragma once

// What an extraction run needs of the window, without one: the benchmarks
// click "Start Extracting Metadata" on lists that no widget shows.

#include <QCoreApplication>
#include <QStringList>

#include "core/results/ResultsGrid.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"

namespace bench {

// Answers every question with no and keeps the reports.
class SilentDialogs : public quorvid::Dialogs {
  public:
    void Message(const QString&) override {}
    void Warning(const QString&, const QString& text) override { warnings << text; }
    bool AskYesNo(const QString&) override { return false; }
    QString InputBox(const QString&, const QString&) override { return {}; }
    QStringList OpenFiles(const QString&, const QString&) override { return {}; }
    QString SaveFile(const QString&, const QString&) override { return {}; }
    QString PickFolder(const QString&, const QString&) override { return {}; }
    QStringList warnings;
};

class NoEvents : public quorvid::EventPump {
  public:
    void DoEvents() override {}
};

class LoopEvents : public quorvid::EventPump {
  public:
    void DoEvents() override { QCoreApplication::processEvents(); }
};

// The input list holding paths, an empty results grid and the command context.
struct HeadlessWindow {
    HeadlessWindow(const QStringList& paths, quorvid::EventPump& events,
                   const QString& programFolder) {
        platform.dialogs = &dialogs;
        platform.events = &events;
        platform.programFolder = programFolder;
        quorvid::ResultsGrid(results).CreateResultColumns();
        for (const QString& path : paths) {
            input.AddItem(path);
        }
    }
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

    SilentDialogs dialogs;
    quorvid::Platform platform;
    quorvid::ListViewModel input{false};
    quorvid::ListViewModel results{true};
    quorvid::ProgressState progress;
    quorvid::MousePointerState pointer;
    quorvid::CommandContext context{platform, input, results, progress, pointer};
};

}  // namespace bench
