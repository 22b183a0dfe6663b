#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>
#include <map>

#include "core/export/CalcSpreadsheetProvider.h"
#include "core/export/SpreadsheetExport.h"
#include "core/export/XlsxWorkbook.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/report/StepFailure.h"
#include "support/ExportTestSupport.h"
#include "support/TestPlatform.h"
#include "support/WorkbookReading.h"

namespace quorvid::test {
namespace {

bool WaitUntilGone(const QString& path) {
    QDeadlineTimer deadline(10000);
    while (QFileInfo::exists(path) && !deadline.hasExpired()) {
        QThread::msleep(20);
    }
    return !QFileInfo::exists(path);
}

// PATH holds only a folder of stand-in programs while a test runs.
class CalcSpreadsheetTest : public ExportTest {
  protected:
    void SetUp() override {
        if (UnzipProgram().isEmpty()) {
            GTEST_SKIP() << "unzip is not installed; it reads the workbooks back";
        }
        originalPath = qgetenv("PATH");
        originalTemp = qgetenv("TMPDIR");
        qputenv("PATH", QFile::encodeName(programs.path()));
        // A temporary folder of the test's own, so that what is left there is ours.
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
    }
    void TearDown() override {
        if (!originalPath.isNull()) {
            qputenv("PATH", originalPath);
        }
        if (originalTemp.isNull()) {
            qunsetenv("TMPDIR");
        } else {
            qputenv("TMPDIR", originalTemp);
        }
    }
    QStringList Workbooks() const {
        return QDir(temp.path()).entryList({QStringLiteral("*.xlsx")}, QDir::Files);
    }

    // A stand-in for the office suite; $3 is the workbook it is handed. PATH has
    // nothing else, so the script names its tools in full.
    void InstallProgram(const QString& name, const QByteArray& script) {
        const QString path = programs.filePath(name);
        WriteAll(path, "#!/bin/sh\n" + script);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString Recorded(const QString& name) const { return programs.filePath(name); }

    void ExportGrid() {
        FillGrid(grid, {"Video File/s", "General - Format", "Note"},
                 {{"/v/007.mp4", "007", "a=b"},
                  {"/v/=x.mp4", "MPEG-4", QStringLiteral("tab\there, line\nbreak, \x01 control")},
                  {"/v/long name of a file.mp4", "1.50", "==="}});
        grid.SetChecked(2, false);
        platform.platform.spreadsheet = &provider;
        SaveResultsAsSpreadsheetCommand(context);
    }

    QByteArray originalPath;
    QByteArray originalTemp;
    QTemporaryDir programs;
    QTemporaryDir temp;
    CalcSpreadsheetProvider provider;
};

TEST_F(CalcSpreadsheetTest, HandsATextOnlyWorkbookToCalcAndRemovesItAfterwards) {
    InstallProgram(QStringLiteral("localc"),
                   "printf '%s\\n' \"$@\" > \"${0%/*}/arguments\"\n"
                   "/bin/cp \"$3\" \"${0%/*}/handed.xlsx\"\n");
    ExportGrid();
    EXPECT_TRUE(platform.dialogs.shown.empty())
        << platform.dialogs.Warnings().join("|").toStdString();

    const QStringList arguments =
        QString::fromUtf8(ReadAll(Recorded("arguments"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(arguments.size(), 3);
    EXPECT_EQ(arguments[0], QStringLiteral("--calc"));
    EXPECT_EQ(arguments[1], QStringLiteral("-n"));
    EXPECT_TRUE(arguments[2].endsWith(QStringLiteral(".xlsx")));
    EXPECT_TRUE(arguments[2].startsWith(temp.path()));
    EXPECT_TRUE(WaitUntilGone(arguments[2]));
    EXPECT_EQ(Workbooks(), QStringList());

    const SheetContents sheet = ReadSheet(Recorded("handed.xlsx"));
    const std::map<QString, QString> expected{
        {"A1", "Video File/s"},
        {"B1", "General - Format"},
        {"C1", "Note"},
        {"A2", "/v/007.mp4"},
        {"B2", "007"},
        {"C2", "ab"},
        {"A3", "/v/=x.mp4"},
        {"B3", "MPEG-4"},
        {"C3", QStringLiteral("tab\there, line\nbreak, _x0001_ control")},
        {"A4", "/v/long name of a file.mp4"},
        {"B4", "1.50"}};
    EXPECT_EQ(sheet.cells, expected);
    EXPECT_EQ(sheet.cellTypes, QStringList(11, QStringLiteral("inlineStr")));
    // Fitted to the longest line of each column, the header included.
    // (the file format adds a fraction of a character for the cell margins)
    std::map<int, int> characters;
    for (const auto& [column, width] : sheet.widths) {
        characters[column] = static_cast<int>(width);
    }
    EXPECT_EQ(characters, (std::map<int, int>{{1, 27}, {2, 17}, {3, 17}}));
}

TEST_F(CalcSpreadsheetTest, ApplicationThatCannotStartIsReportedAndLeavesNoFile) {
    for (const QByteArray& script : {QByteArray("exit 3\n"), QByteArray()}) {
        // An empty script with a missing interpreter cannot even be started.
        InstallProgram(QStringLiteral("soffice"), script.isEmpty() ? "" : script);
        if (script.isEmpty()) {
            WriteAll(programs.filePath("soffice"), "#!/no/such/interpreter\n");
        }
        platform.dialogs.shown.clear();
        grid.ClearItems();
        while (grid.ColumnCount() > 0) {
            grid.RemoveColumn(1);
        }
        ExportGrid();
        const QStringList reports = platform.dialogs.Warnings();
        ASSERT_EQ(reports.size(), 1);
        EXPECT_TRUE(reports[0].contains(QStringLiteral("could not be started")));
        EXPECT_TRUE(reports[0].contains(script.isEmpty() ? QStringLiteral("status 127")
                                                         : QStringLiteral("status 3")));
        EXPECT_EQ(Workbooks(), QStringList());
        EXPECT_EQ(pointer.value(), MousePointerState::kDefault);
    }
}

TEST_F(CalcSpreadsheetTest, RunningApplicationKeepsTheFileUntilItEnds) {
    InstallProgram(QStringLiteral("libreoffice"),
                   "printf '%s' \"$3\" > \"${0%/*}/file\"\n/bin/sleep 2\n");
    // The export waits a while for a start that fails; the window turns meanwhile.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QElapsedTimer timer;
    timer.start();
    ExportGrid();
    EXPECT_TRUE(platform.dialogs.shown.empty());
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_GE(ticks, 20);
    const QString handed = QString::fromUtf8(ReadAll(Recorded("file")));
    EXPECT_TRUE(QFileInfo::exists(handed));
    EXPECT_TRUE(WaitUntilGone(handed));
}

TEST_F(CalcSpreadsheetTest, FailureAfterTheCommandHasEndedIsStillReported) {
    InstallProgram(QStringLiteral("soffice"), "/bin/sleep 2\nexit 4\n");
    QStringList late;
    provider.SetLateFailureHandler([&](const QString& description) { late << description; });
    ExportGrid();
    EXPECT_TRUE(platform.dialogs.shown.empty());
    QDeadlineTimer deadline(10000);
    while (late.isEmpty() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    ASSERT_EQ(late.size(), 1);
    EXPECT_TRUE(late[0].endsWith(QStringLiteral("soffice ended with exit status 4")));
    EXPECT_EQ(Workbooks(), QStringList());
}

TEST_F(CalcSpreadsheetTest, NoProgramOnPathMeansNotInstalled) {
    EXPECT_TRUE(CalcSpreadsheetProvider::FindProgram().isEmpty());
    platform.platform.spreadsheet = &provider;
    EXPECT_FALSE(SaveResultsAsExcelFileIsExcelInstalled(platform.platform));
    EXPECT_EQ(platform.dialogs.Messages().size(), 1);
}

TEST_F(CalcSpreadsheetTest, RefusesCellsItCannotHold) {
    XlsxWorkbook workbook(programs.filePath("big.xlsx"));
    EXPECT_THROW(workbook.SetCellText(1, 1, QString(40000, u'x')), StepFailure);
    EXPECT_THROW(workbook.SetCellText(2000000, 1, QStringLiteral("x")), StepFailure);
    workbook.SetCellText(1, 2, QStringLiteral("kept"));
    workbook.SetCellText(3, 1, QStringLiteral("row 3"));
    // Rows are streamed to the file: one that is already written cannot change.
    EXPECT_THROW(workbook.SetCellText(2, 1, QStringLiteral("too late")), StepFailure);
    workbook.Finish();
    EXPECT_EQ(ReadSheet(programs.filePath("big.xlsx")).cells,
              (std::map<QString, QString>{{"B1", "kept"}, {"A3", "row 3"}}));
}

// The real spreadsheet application reads the workbook back.
TEST_F(CalcSpreadsheetTest, CalcReadsTheCellsBackAsText) {
    qputenv("PATH", originalPath);
    const QString calc = CalcSpreadsheetProvider::FindProgram();
    if (calc.isEmpty()) {
        GTEST_SKIP() << "LibreOffice (soffice, libreoffice or localc) is not on PATH";
    }
    const QString file = programs.filePath("round trip.xlsx");
    {
        XlsxWorkbook workbook(file);
        const QStringList headers{"Video File/s", "General - File Size", "Video - FrameRate"};
        for (int column = 1; column <= 3; ++column) {
            workbook.SetCellText(1, column, headers[column - 1]);
        }
        const QStringList row{"/v/ä 007.mp4", "0012", SpreadsheetCellText("=1+2", 3)};
        for (int column = 1; column <= 3; ++column) {
            workbook.SetCellText(2, column, row[column - 1]);
        }
        workbook.AutoFitColumns();
        workbook.Finish();
    }
    QTemporaryDir profile;
    QProcess convert;
    convert.setWorkingDirectory(programs.path());
    convert.start(calc, {QStringLiteral("-env:UserInstallation=file://") + profile.path(),
                         QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                         QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
                         QStringLiteral("--outdir"), programs.path(), file});
    ASSERT_TRUE(convert.waitForFinished(180000)) << "soffice did not finish";
    EXPECT_EQ(QString::fromUtf8(ReadAll(programs.filePath("round trip.csv"))),
              QStringLiteral("Video File/s,General - File Size,Video - FrameRate\n"
                             "/v/ä 007.mp4,0012,1+2\n"));
}

}  // namespace
}  // namespace quorvid::test
