#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QScrollBar>

#include "core/results/ResultsGrid.h"
#include "core/shell/controls/ListViewModel.h"
#include "support/TestPlatform.h"
#include "window/Form1.h"
#include "window/ListViewControl.h"

namespace quorvid {
namespace {

int Pixels(int twips) {
    return twips / ListViewModel::kTwipsPerPixel;
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

}  // namespace
}  // namespace quorvid
