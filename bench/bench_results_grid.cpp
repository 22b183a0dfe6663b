// Fills the results grid with 100,000 rows of 53 cells, as an extraction run
// writes them, and prints the time and the peak memory. Then, in the list
// control shown offscreen: a row that brings 20,000 detail columns into a grid
// of 1,000 rows, and a cell of 4 million characters scrolled into view.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "BenchMemory.h"
#include "LoopWatch.h"
#include "core/extraction/FieldCatalogue.h"
#include "core/results/ResultsGrid.h"
#include "core/shell/controls/ListViewModel.h"
#include "window/ListViewControl.h"

namespace {

// Texts of the kinds a run writes: formats, durations, sizes, dates, paths.
QStringList RealisticCells(int row) {
    const QString path = QStringLiteral("/srv/archive/tapes/%1/clip_%2.mp4")
                             .arg(row / 100, 4, 10, QLatin1Char('0'))
                             .arg(row, 6, 10, QLatin1Char('0'));
    QStringList cells = {QStringLiteral("MPEG-4"),
                         QString(),
                         QStringLiteral("12.3 MiB"),
                         QStringLiteral("00:01:23.456"),
                         QStringLiteral("AVC"),
                         QStringLiteral("Advanced Video Codec"),
                         QString(),
                         QStringLiteral("High@L4"),
                         QStringLiteral("avc1"),
                         QStringLiteral("00:01:23.440"),
                         QStringLiteral("VBR"),
                         QStringLiteral("1 080 kb/s"),
                         QString(),
                         QString(),
                         QString(),
                         QStringLiteral("1 920 pixels"),
                         QStringLiteral("1 080 pixels"),
                         QStringLiteral("1.000"),
                         QStringLiteral("16:9"),
                         QStringLiteral("CFR"),
                         QStringLiteral("25.000 FPS"),
                         QString::number(2086 + row % 50),
                         QString(),
                         QString(),
                         QStringLiteral("Progressive"),
                         QStringLiteral("10.8 MiB (88%)"),
                         QStringLiteral("English"),
                         QStringLiteral("UTC 2024-05-01 10:22:33"),
                         QStringLiteral("UTC 2024-05-01 10:22:33"),
                         QStringLiteral("AAC"),
                         QStringLiteral("Advanced Audio Codec Low Complexity"),
                         QString(),
                         QStringLiteral("LC"),
                         QStringLiteral("mp4a-40-2"),
                         QStringLiteral("00:01:23.456"),
                         QStringLiteral("CBR"),
                         QStringLiteral("128 kb/s"),
                         QStringLiteral("2 channels"),
                         QStringLiteral("Front: L R"),
                         QStringLiteral("48.0 kHz"),
                         QStringLiteral("1.27 MiB (10%)"),
                         QStringLiteral("clip_%1.mp4").arg(row, 6, 10, QLatin1Char('0')),
                         QStringLiteral("clip_%1.mp4").arg(row, 6, 10, QLatin1Char('0')),
                         QStringLiteral("05/01/24 10:22:33"),
                         QStringLiteral("06/02/24 08:01:02"),
                         QStringLiteral("05/01/24 10:22:33"),
                         QStringLiteral("/srv"),
                         path.left(path.lastIndexOf(QLatin1Char('/'))),
                         QString::number(12897234 + row),
                         path,
                         path,
                         QStringLiteral("MPEG-4 video; mp4")};
    cells.prepend(path);
    return cells;
}

double Fill(quorvid::ListViewModel& model, int rows) {
    quorvid::ResultsGrid grid(model);
    QElapsedTimer timer;
    timer.start();
    for (int row = 1; row <= rows; ++row) {
        const QStringList cells = RealisticCells(row);
        const int index = grid.AddRow(cells[0]);
        for (int k = 1; k < cells.size(); ++k) {
            grid.SetCell(index, k, cells[k]);
        }
    }
    return timer.elapsed() / 1000.0;
}

// Writes details into a row as a run writes them, each a column of its own;
// stops early once the time is up. Returns how many it wrote.
int WriteDetails(quorvid::ResultsGrid& grid, int row, int count, qint64 giveUpMs) {
    QElapsedTimer timer;
    timer.start();
    int written = 0;
    for (; written < count && timer.elapsed() < giveUpMs; ++written) {
        const QString header = QStringLiteral("File General - Detail %1").arg(written);
        int position = grid.FindColumnByHeader(header);
        if (position == -1) {
            position = grid.AppendColumn(header);
        }
        grid.SetCell(row, position - 1, QStringLiteral("value %1").arg(written));
    }
    return written;
}

// A row whose record brings 20,000 details into a grid of 1,000 rows that the
// list control shows, and their removal by the next run. Gives up after two
// minutes and says how far it got.
void TimeWideRow() {
    constexpr int kRows = 1000;
    constexpr int kDetails = 20000;
    constexpr qint64 kGiveUpMs = 120000;
    quorvid::ListViewModel model(true);
    quorvid::ResultsGrid grid(model);
    grid.CreateResultColumns();
    quorvid::ListViewControl view(model);
    view.resize(520, 169);
    view.show();
    Fill(model, kRows);
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    const int added = WriteDetails(grid, kRows, kDetails, kGiveUpMs);
    QApplication::processEvents();
    const double appendSeconds = timer.elapsed() / 1000.0;
    std::printf(
        "%d detail columns appended to a grid of %d rows in the list control: %.3f s "
        "(%.1f us a column)%s\n",
        added, kRows, appendSeconds, 1e6 * appendSeconds / std::max(added, 1),
        added < kDetails ? ", gave up" : "");

    timer.start();
    for (int position = model.ColumnCount(); position > quorvid::kCatalogueColumnCount;
         --position) {
        model.RemoveColumn(position);
    }
    QApplication::processEvents();
    std::printf("the same columns removed one at a time, last first: %.3f s\n",
                timer.elapsed() / 1000.0);

    WriteDetails(grid, kRows, added, kGiveUpMs);
    QApplication::processEvents();
    timer.start();
    model.RemoveColumns(quorvid::kCatalogueColumnCount + 1, model.ColumnCount());
    QApplication::processEvents();
    std::printf("the same columns removed at once, as the next run does: %.3f s\n",
                timer.elapsed() / 1000.0);
}

// Lets the event loop run for a while, as a person would wait.
void TurnEvents(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// A row with a cell of 4 million characters, last of 1,000, scrolled into view
// and repainted, and scrolled away and back; the event loop's longest hold.
void TimeLongCell() {
    constexpr int kRows = 1000;
    quorvid::ListViewModel model(true);
    quorvid::ResultsGrid grid(model);
    grid.CreateResultColumns();
    quorvid::ListViewControl view(model);
    view.resize(520, 169);
    view.show();
    Fill(model, kRows);
    grid.SetCell(kRows, 1, QStringLiteral("0123456789 abcdefghij ").repeated(4000000 / 22));
    TurnEvents(200);

    qint64 longestRepaintMs = 0;
    bench::LoopWatch watch;
    for (int round = 0; round < 3; ++round) {
        view.EnsureVisible(kRows);
        TurnEvents(100);
        QElapsedTimer repaint;
        repaint.start();
        view.viewport()->repaint();
        longestRepaintMs = std::max(longestRepaintMs, repaint.elapsed());
        view.EnsureVisible(1);
        TurnEvents(100);
    }
    std::printf(
        "a cell of %d characters scrolled into view 3 times: longest repaint %lld ms, "
        "longest event-loop gap %lld ms (target under 100)\n",
        static_cast<int>(model.SubItem(kRows, 1).size()), longestRepaintMs, watch.longestMs());
}

// 100,000 rows of 53 cells, in the model alone and shown in the list control.
void TimeFill() {
    constexpr int kRows = 100000;

    quorvid::ListViewModel model(true);
    quorvid::ResultsGrid(model).CreateResultColumns();
    const double headless = Fill(model, kRows);
    std::printf("results grid, model only: %d rows x 53 cells in %.3f s, peak memory %.1f MB\n",
                kRows, headless, bench::PeakMemoryKb() / 1024.0);

    quorvid::ListViewModel shown(true);
    quorvid::ResultsGrid(shown).CreateResultColumns();
    quorvid::ListViewControl view(shown);
    view.resize(520, 169);
    view.show();
    const double withView = Fill(shown, kRows);
    QApplication::processEvents();
    std::printf("results grid, shown in the list control: %d rows x 53 cells in %.3f s\n", kRows,
                withView);
    std::printf("peak memory (both grids held): %.1f MB\n", bench::PeakMemoryKb() / 1024.0);
    std::printf("target: under 2 s and under 600 MB for one grid\n");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TimeFill();
    TimeWideRow();
    TimeLongCell();
    return 0;
}
