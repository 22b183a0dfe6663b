#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "core/results/ResultsGrid.h"
#include "core/shell/controls/ListViewModel.h"
#include "support/ExportTestSupport.h"
#include "support/TestPlatform.h"
#include "window/CellPrefixDelegate.h"
#include "window/Form1.h"
#include "window/ListViewControl.h"

namespace quorvid {
namespace {

constexpr QChar kEllipsis(0x2026);

int Pixels(int twips) {
    return twips / ListViewModel::kTwipsPerPixel;
}

// What the list control draws of a cell.
QString Shown(ListViewControl& view, int row, int position) {
    const QModelIndex index = view.model()->index(row - 1, position - 1);
    const auto* delegate = qobject_cast<CellPrefixDelegate*>(view.itemDelegateForIndex(index));
    return delegate ? delegate->displayText(index.data(), view.locale()) : QStringLiteral("(none)");
}

void ExpectCatalogueWidths(const ListViewModel& model, const QHeaderView& header) {
    EXPECT_EQ(model.ColumnWidth(1), 3000);
    EXPECT_EQ(model.ColumnWidth(2), 2000);
    EXPECT_EQ(model.ColumnWidth(3), 2000);
    EXPECT_EQ(header.sectionSize(0), Pixels(3000));
    EXPECT_EQ(header.sectionSize(1), Pixels(2000));
    EXPECT_EQ(header.sectionSize(2), Pixels(2000));
    EXPECT_EQ(header.sectionSize(3), Pixels(ListViewModel::kDefaultColumnWidth));
}

class ShownResults : public ::testing::Test {
  protected:
    void SetUp() override {
        window.Form_Load();
        window.show();
        QCoreApplication::processEvents();
    }

    test::TestPlatform test;
    Form1 window{test.platform};
    ListViewModel& model = window.ListView2Items();
    ResultsGrid grid{model};
    QHeaderView& header = *window.ListView2->header();
};

// A record that brings thousands of details into a grid with rows, as a run
// writes it; then the next run takes them away.
TEST_F(ShownResults, ManyDetailColumnsKeepTheOtherWidthsAndAreFoundAfterRemovals) {
    constexpr int kRows = 1000;
    constexpr int kDetails = 20000;
    for (int row = 1; row <= kRows; ++row) {
        grid.AddRow(QStringLiteral("/v/clip %1.mp4").arg(row));
    }
    for (int i = 0; i < kDetails; ++i) {
        const QString detail = QStringLiteral("File General - Detail %1").arg(i);
        ASSERT_EQ(grid.FindColumnByHeader(detail), -1);
        ASSERT_EQ(grid.AppendColumn(detail), 54 + i);
        grid.SetCell(kRows, 53 + i, QStringLiteral("value %1").arg(i));
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(header.count(), 53 + kDetails);
    ExpectCatalogueWidths(model, header);
    EXPECT_EQ(header.sectionSize(53 + kDetails - 1), Pixels(ListViewModel::kDefaultColumnWidth));
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("File General - Detail 12345")), 54 + 12345);
    EXPECT_EQ(model.SubItem(kRows, 53 + 12345), QStringLiteral("value 12345"));
    // Once events ran, the view knows how far it scrolls.
    EXPECT_EQ(window.ListView2->horizontalScrollBar()->maximum(),
              header.length() - window.ListView2->viewport()->width());
    // A width set later reaches its own section.
    model.SetColumnWidth(60, 4500);
    EXPECT_EQ(header.sectionSize(59), Pixels(4500));

    for (int i = 0; i < 3; ++i) {
        model.RemoveColumn(model.ColumnCount());
    }
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("File General - Detail 19997")), -1);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("File General - Detail 19996")), 54 + 19996);
    model.RemoveColumns(54, model.ColumnCount());
    QCoreApplication::processEvents();
    EXPECT_EQ(header.count(), 53);
    ExpectCatalogueWidths(model, header);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("File General - Detail 0")), -1);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Video - Codec")), 10);
    EXPECT_EQ(grid.AppendColumn(QStringLiteral("File General - Detail 7")), 54);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("File General - Detail 7")), 54);
    EXPECT_EQ(header.sectionSize(53), Pixels(ListViewModel::kDefaultColumnWidth));
}

TEST_F(ShownResults, ALongCellShowsItsStartAndIsExportedWhole) {
    const QString cell =
        QStringLiteral("0123456789 abcdefghij ").repeated(200000) + QStringLiteral("the end");
    ASSERT_GT(cell.size(), 4000000);
    const int row = grid.AddRow(QStringLiteral("/v/a.mp4"));
    grid.SetCell(row, 1, cell);
    window.ListView2->EnsureVisible(row);
    QCoreApplication::processEvents();

    const QString shown = Shown(*window.ListView2, row, 2);
    EXPECT_EQ(shown.size(), CellPrefixDelegate::kShownCharacters + 1);
    EXPECT_TRUE(shown.endsWith(kEllipsis));
    EXPECT_TRUE(cell.startsWith(shown.chopped(1)));
    EXPECT_EQ(Shown(*window.ListView2, row, 1), QStringLiteral("/v/a.mp4"));
    EXPECT_FALSE(window.ListView2->grab().isNull());

    window.PushButton(4)->click();
    EXPECT_TRUE(test.clipboard.text.contains(QStringLiteral("/v/a.mp4\t") + cell + u'\t'));
    const QString path = test.folder.filePath(QStringLiteral("results.txt"));
    test.dialogs.saveAnswers.push_back(path);
    window.PushButton(8)->click();
    EXPECT_TRUE(test::ReadAll(path).contains(cell.toUtf8()));
    window.PushButton(9)->click();
    ASSERT_EQ(test.spreadsheet.workbooks.size(), 1u);
    const auto& cells = test.spreadsheet.workbooks[0]->cells;
    EXPECT_TRUE(std::any_of(cells.begin(), cells.end(),
                            [&](const auto& entry) { return entry.second == cell; }));
    EXPECT_TRUE(test.dialogs.Warnings().isEmpty());
}

TEST(CellPrefixDelegate, ShowsTheFirstLineUpToItsLimit) {
    constexpr qsizetype kLimit = CellPrefixDelegate::kShownCharacters;
    const auto shown = &CellPrefixDelegate::ShownText;
    EXPECT_EQ(shown(QStringLiteral("MPEG-4")), QStringLiteral("MPEG-4"));
    EXPECT_EQ(shown(QString()), QString());
    const QString full(kLimit, u'x');
    EXPECT_EQ(shown(full), full);
    EXPECT_EQ(shown(full + u'y'), full + kEllipsis);
    for (const QChar end : {QChar(u'\n'), QChar(u'\r'), QChar(QChar::LineSeparator),
                            QChar(QChar::ParagraphSeparator)}) {
        EXPECT_EQ(shown(QStringLiteral("first") + end + QStringLiteral("second")),
                  QStringLiteral("first") + kEllipsis);
    }
    EXPECT_EQ(shown(QStringLiteral("\nsecond")), QString(kEllipsis));
    // A character of two units is shown whole or not at all.
    const QString astral = QString::fromUtf8("\xF0\x9F\x8E\xAC");
    EXPECT_EQ(shown(QString(kLimit - 2, u'x') + astral), QString(kLimit - 2, u'x') + astral);
    EXPECT_EQ(shown(QString(kLimit - 1, u'x') + astral), QString(kLimit - 1, u'x') + kEllipsis);

    const CellPrefixDelegate delegate;
    EXPECT_EQ(delegate.displayText(42, QLocale::c()), QStringLiteral("42"));
}

}  // namespace
}  // namespace quorvid
