// Export benchmark: a results grid of 100,000 rows x 60 columns saved as a text
// file, copied as clipboard text and written as a workbook. Prints seconds and the
// peak memory of each export (the grid itself is counted in, it lives throughout).
#include "BenchMemory.h"
#include "WorkbookFileOnly.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <string>

#include "core/export/ClipboardExport.h"
#include "core/export/SpreadsheetExport.h"
#include "core/export/TextFileExport.h"
#include "core/results/ResultsGrid.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/Platform.h"
#include "window/DesktopServices.h"
#include "window/SystemClipboard.h"

namespace {

using namespace quorvid;

constexpr int kRows = 100000;
constexpr int kColumns = 60;

// Any dialog during the benchmark is a failure worth seeing.
class PrintingDialogs : public Dialogs {
  public:
    void Message(const QString& text) override { Print("message", text); }
    void Warning(const QString& title, const QString& text) override { Print(title, text); }
    bool AskYesNo(const QString& text) override {
        Print("question", text);
        return false;
    }
    QString InputBox(const QString& prompt, const QString&) override {
        Print("input", prompt);
        return {};
    }
    QStringList OpenFiles(const QString& title, const QString&) override {
        Print("open", title);
        return {};
    }
    QString SaveFile(const QString& title, const QString&) override {
        Print("save", title);
        return {};
    }
    QString PickFolder(const QString& title, const QString&) override {
        Print("folder", title);
        return {};
    }
    int shown = 0;

  private:
    void Print(const QString& kind, const QString& text) {
        ++shown;
        std::fprintf(stderr, "[%s] %s\n", qPrintable(kind), qPrintable(text));
    }
};

// Texts such as an extraction run gives, each cell its own string.
void FillGrid(ListViewModel& grid) {
    const QStringList samples{"MPEG-4",
                              "QuickTime",
                              "1.21 GiB",
                              "00:42:17.120",
                              "AVC",
                              "Advanced Video Codec",
                              "",
                              "High@L4.1",
                              "avc1",
                              "00:42:17.080",
                              "VBR",
                              "3 944 kb/s",
                              "",
                              "",
                              "20.0 Mb/s",
                              "1 920 pixels",
                              "1 080 pixels",
                              "1.000",
                              "16:9",
                              "CFR",
                              "25.000 FPS",
                              "63427",
                              "",
                              "BT.709",
                              "Progressive",
                              "1.17 GiB (96%)",
                              "English",
                              "UTC 2023-06-14 18:22:05",
                              "UTC 2023-06-14 18:22:05",
                              "AAC",
                              "Advanced Audio Codec",
                              "Version 4",
                              "LC",
                              "mp4a-40-2",
                              "00:42:17.120",
                              "CBR",
                              "128 kb/s",
                              "2 channels",
                              "Front: L R",
                              "48.0 kHz",
                              "38.7 MiB (3%)",
                              "clip.mp4",
                              "clip.mp4",
                              "14/06/2023 18:22:05",
                              "02/01/2024 09:15:44",
                              "14/06/2023 18:40:12",
                              "/",
                              "/media/archive/2023/June",
                              "1299188736",
                              "/media/archive/2023/June/clip.mp4",
                              "/media/archive/2023/June/clip.mp4",
                              "MPEG-4 video; mp4",
                              "1.21 GB",
                              "MPEG-4 video",
                              "14/06/2023 18:40:12",
                              "archivist",
                              "archivist",
                              "-rw-r--r--",
                              "video/mp4"};
    ResultsGrid results(grid);
    results.CreateResultColumns();
    for (const char* detail :
         {"Size", "Type", "Date modified", "Owner", "Group", "Permissions", "Content type"}) {
        results.AppendColumn(QStringLiteral("File General - ") + QString::fromLatin1(detail));
    }
    for (int row = 1; row <= kRows; ++row) {
        const int index =
            grid.AddItem(QStringLiteral("/media/archive/2023/June/holiday clip %1.mp4").arg(row));
        for (int k = 1; k < kColumns; ++k) {
            const QString& sample = samples[k - 1];
            grid.SetSubItem(index, k, QString(sample.constData(), sample.size()));
        }
        grid.SetSubItem(index, 49, QString::number(1299188736LL + row * 7919LL));
    }
}

template <typename Export>
void Measure(const char* name, Export&& run) {
    bench::ResetPeakMemory();
    QElapsedTimer timer;
    timer.start();
    const QString detail = run();
    std::printf("%-16s %7.2f s   peak %6ld MB   %s\n", name, timer.nsecsElapsed() / 1e9,
                bench::KilobytesOf("VmHWM") / 1024, qPrintable(detail));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QTemporaryDir folder;
    PrintingDialogs dialogs;
    ThrottledEventPump events;
    SystemClipboard clipboard;
    bench::WorkbookFileOnly spreadsheet(folder.filePath(QStringLiteral("results.xlsx")));
    Platform platform;
    platform.dialogs = &dialogs;
    platform.events = &events;
    platform.clipboard = &clipboard;
    platform.spreadsheet = &spreadsheet;
    ListViewModel inputList{false};
    ListViewModel grid{true};
    ProgressState progress;
    MousePointerState pointer;
    CommandContext context{platform, inputList, grid, progress, pointer};

    QElapsedTimer timer;
    timer.start();
    FillGrid(grid);
    std::printf("grid of %d rows x %d columns filled in %.2f s, resident %ld MB\n", kRows, kColumns,
                timer.nsecsElapsed() / 1e9, bench::KilobytesOf("VmRSS") / 1024);

    const QString textPath = folder.filePath(QStringLiteral("results.txt"));
    Measure("text file", [&] {
        SaveListviewProperlySpaced(platform, grid, textPath, &progress);
        return QStringLiteral("%1 MB written").arg(QFileInfo(textPath).size() / 1e6, 0, 'f', 1);
    });
    Measure("clipboard text", [&] {
        CopyListviewToClipboard(grid, events, clipboard);
        return QStringLiteral("%1 M characters").arg(clipboard.Text().size() / 1e6, 0, 'f', 1);
    });
    ClearClipboard(clipboard);
    QFile::remove(textPath);
    Measure("workbook", [&] {
        SaveResultsAsSpreadsheetCommand(context);
        return QStringLiteral("%1 MB written")
            .arg(QFileInfo(folder.filePath(QStringLiteral("results.xlsx"))).size() / 1e6, 0, 'f',
                 1);
    });
    return dialogs.shown == 0 ? 0 : 1;
}
