// Fills the results grid with 100,000 rows of 53 cells, as an extraction run
// writes them, and prints the time and the peak memory.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <cstdio>

#include "BenchMemory.h"
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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
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
    return 0;
}
