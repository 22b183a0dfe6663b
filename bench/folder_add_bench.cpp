// Adds a generated tree of 100,000 files in 1,000 folders with the folder-add
// command and prints the time taken, the peak memory and the longest pause
// between two yields to the event loop (the window cannot repaint in a pause).
#include "BenchMemory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "core/input/AddFolder.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/platform/SettingsStore.h"
#include "window/Form1.h"

namespace {

using namespace quorvid;

constexpr int kTopFolders = 10;
constexpr int kMiddleFolders = 9;
constexpr int kLeafFolders = 10;
constexpr int kFilesPerFolder = 100;

// Answers the extension prompt and the folder picker; nothing else is asked.
class AnsweringDialogs : public Dialogs {
  public:
    explicit AnsweringDialogs(QString folder) : folder_(std::move(folder)) {}
    void Message(const QString&) override {}
    void Warning(const QString&, const QString& text) override {
        std::fprintf(stderr, "error report: %s\n", qPrintable(text));
    }
    bool AskYesNo(const QString&) override { return false; }
    QString InputBox(const QString&, const QString&) override { return QStringLiteral("avi"); }
    QStringList OpenFiles(const QString&, const QString&) override { return {}; }
    QString SaveFile(const QString&, const QString&) override { return {}; }
    QString PickFolder(const QString&, const QString&) override { return folder_; }

  private:
    QString folder_;
};

// Runs the event loop like the program does and notes the longest gap.
class TimingEventPump : public EventPump {
  public:
    void Start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        yields_ = 0;
    }
    void DoEvents() override {
        Mark();
        ++yields_;
        QCoreApplication::processEvents();
    }
    void Mark() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    double LongestMilliseconds() const { return longest_ / 1e6; }
    long Yields() const { return yields_; }

  private:
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    long yields_ = 0;
};

int MakeTree(const QString& root) {
    int folders = 0;
    const auto fill = [&](const QString& folder) {
        QDir().mkpath(folder);
        ++folders;
        for (int i = 0; i < kFilesPerFolder; ++i) {
            QFile file(folder + QStringLiteral("/clip_%1.avi").arg(i, 3, 10, QLatin1Char('0')));
            file.open(QIODevice::WriteOnly);
        }
    };
    for (int a = 0; a < kTopFolders; ++a) {
        const QString top = root + QStringLiteral("/top%1").arg(a);
        fill(top);
        for (int b = 0; b < kMiddleFolders; ++b) {
            const QString middle = top + QStringLiteral("/middle%1").arg(b);
            fill(middle);
            for (int c = 0; c < kLeafFolders; ++c) {
                fill(middle + QStringLiteral("/leaf%1").arg(c));
            }
        }
    }
    return folders;
}

struct Run {
    double seconds;
    int added;
};

Run AddFolder(CommandContext& context, TimingEventPump& events) {
    QElapsedTimer timer;
    events.Start();
    timer.start();
    AddFolderCommand(context);
    events.Mark();
    return {timer.nsecsElapsed() / 1e9, context.inputList.ItemCount()};
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir work;
    const QString root = work.filePath(QStringLiteral("tree"));
    const int folders = MakeTree(root);

    SettingsStore settings(work.filePath(QStringLiteral("settings.ini")));
    AnsweringDialogs dialogs(root);
    TimingEventPump events;
    Platform platform;
    platform.dialogs = &dialogs;
    platform.settings = &settings;
    platform.events = &events;
    platform.programFolder = work.path();

    std::printf("folder add of %d files in %d folders\n", folders * kFilesPerFolder, folders);
    {
        ListViewModel inputList(false);
        ListViewModel resultsGrid(true);
        ProgressState progress;
        MousePointerState pointer;
        CommandContext context{platform, inputList, resultsGrid, progress, pointer};
        const Run run = AddFolder(context, events);
        std::printf(
            "list only:    %d files added in %.2f s (%.0f files/s), %ld yields, "
            "longest pause %.1f ms\n",
            run.added, run.seconds, run.added / run.seconds, events.Yields(),
            events.LongestMilliseconds());
    }
    {
        Form1 form(platform);
        form.ListView1Items().AddColumn(QStringLiteral(" Video File/s"));
        form.show();
        QCoreApplication::processEvents();
        const Run run = AddFolder(form.Context(), events);
        std::printf(
            "main window:  %d files added in %.2f s (%.0f files/s), %ld yields, "
            "longest pause %.1f ms\n",
            run.added, run.seconds, run.added / run.seconds, events.Yields(),
            events.LongestMilliseconds());
    }
    std::printf("peak memory:  %.1f MB\n", bench::PeakMemoryKb() / 1024.0);
    return 0;
}
