#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "core/shell/controls/ListViewModel.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {
namespace {

TEST(ListViewModel, PositionsCountFromOneAndRenumberOnRemoval) {
    ListViewModel list(true);
    list.AddColumn(QStringLiteral("A"));
    list.AddColumn(QStringLiteral("B"));
    list.AddColumn(QStringLiteral("C"));
    EXPECT_EQ(list.AddItem(QStringLiteral("first")), 1);
    EXPECT_EQ(list.AddItem(QStringLiteral("second")), 2);
    EXPECT_EQ(list.AddItem(QStringLiteral("third")), 3);
    list.SetSubItem(3, 2, QStringLiteral("c3"));

    list.RemoveItem(2);
    EXPECT_EQ(list.ItemCount(), 2);
    EXPECT_EQ(list.ItemText(2), QStringLiteral("third"));
    EXPECT_EQ(list.SubItem(2, 2), QStringLiteral("c3"));
    // A cell that was never written reads as the empty text.
    EXPECT_EQ(list.SubItem(1, 1), QString());

    EXPECT_THROW(list.ItemText(0), StepFailure);
    EXPECT_THROW(list.ItemText(3), StepFailure);
    EXPECT_THROW(list.SubItem(1, 3), StepFailure);
    EXPECT_THROW(list.SetSubItem(1, 0, QStringLiteral("x")), StepFailure);
    EXPECT_THROW(list.RemoveColumn(4), StepFailure);

    list.RemoveColumn(2);
    EXPECT_EQ(list.ColumnText(2), QStringLiteral("C"));
    EXPECT_EQ(list.SubItem(2, 1), QStringLiteral("c3"));

    list.ClearItems();
    EXPECT_EQ(list.ItemCount(), 0);
    EXPECT_EQ(list.ColumnCount(), 2);
}

// Columns removed as one change: the views hear once, the cells after them
// move up, and a row that never reached them keeps its cells.
TEST(ListViewModel, ARunOfColumnsGoesAsOneChange) {
    ListViewModel list(true);
    for (const char* header : {"A", "B", "C", "D", "E"}) {
        list.AddColumn(QString::fromLatin1(header));
    }
    list.SetSubItem(list.AddItem(QStringLiteral("wide")), 4, QStringLiteral("e1"));
    list.SetSubItem(list.AddItem(QStringLiteral("narrow")), 1, QStringLiteral("b2"));
    QSignalSpy removed(&list, &QAbstractItemModel::columnsRemoved);
    EXPECT_THROW(list.RemoveColumns(3, 2), StepFailure);
    EXPECT_THROW(list.RemoveColumns(2, 6), StepFailure);
    EXPECT_EQ(list.ColumnCount(), 5);

    list.RemoveColumns(2, 4);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 1);
    EXPECT_EQ(removed[0][2].toInt(), 3);
    EXPECT_EQ(list.ColumnCount(), 2);
    EXPECT_EQ(list.ColumnText(2), QStringLiteral("E"));
    EXPECT_EQ(list.SubItem(1, 1), QStringLiteral("e1"));
    EXPECT_EQ(list.SubItem(2, 1), QString());
    EXPECT_EQ(list.FindColumn(QStringLiteral("E")), 2);
    EXPECT_EQ(list.FindColumn(QStringLiteral("C")), -1);
}

TEST(ListViewModel, NewRowsAreCheckedAndTheUserCanUncheckThem) {
    ListViewModel grid(true);
    grid.AddColumn(QStringLiteral("Video File/s"));
    grid.AddItem(QStringLiteral("/a.mp4"));
    EXPECT_TRUE(grid.Checked(1));
    EXPECT_TRUE(grid.flags(grid.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(grid.setData(grid.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(grid.Checked(1));

    ListViewModel input(false);
    input.AddColumn(QStringLiteral(" Video File/s"));
    input.AddItem(QStringLiteral("/a.mp4"));
    EXPECT_FALSE(input.flags(input.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(input.data(input.index(0, 0), Qt::CheckStateRole).isValid());
}

TEST(ListViewModel, SelectionFollowsRemovals) {
    ListViewModel list(false);
    list.AddColumn(QStringLiteral("x"));
    for (const char* text : {"a", "b", "c"}) {
        list.AddItem(QString::fromLatin1(text));
    }
    QSignalSpy changes(&list, &ListViewModel::selectedIndexChanged);
    list.SetSelected(3);
    list.RemoveItem(1);
    EXPECT_EQ(list.SelectedIndex(), 2);
    EXPECT_EQ(list.ItemText(list.SelectedIndex()), QStringLiteral("c"));
    list.RemoveItem(2);
    EXPECT_EQ(list.SelectedIndex(), 0);
    EXPECT_EQ(changes.count(), 3);
    EXPECT_THROW(list.SetSelected(5), StepFailure);
}

TEST(ListViewModel, ColumnWidthsInTwips) {
    ListViewModel list(false);
    list.AddColumn(QStringLiteral("x"));
    EXPECT_EQ(list.ColumnWidth(1), ListViewModel::kDefaultColumnWidth);
    list.SetColumnWidth(1, 7000);
    EXPECT_EQ(list.ColumnWidth(1), 7000);
    EXPECT_EQ(list.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("x"));
}

TEST(ListViewModel, EqualCellTextsAreKeptOnce) {
    ListViewModel grid(true);
    for (const char* header : {"Video File/s", "Format", "Frame rate"}) {
        grid.AddColumn(QString::fromLatin1(header));
    }
    for (int row = 1; row <= 100; ++row) {
        grid.AddItem(QStringLiteral("/v/clip %1.mp4").arg(row));
        // Each cell its own string, as the helpers' records give them.
        grid.SetSubItem(row, 1, QString::fromLatin1("MPEG-4"));
        grid.SetSubItem(row, 2, QString::fromLatin1(row % 2 == 0 ? "25.000 FPS" : "29.970 FPS"));
    }
    // One hundred paths, two rates, one format and the empty text.
    EXPECT_EQ(grid.DistinctTextCount(), 104);
    EXPECT_EQ(grid.SubItem(7, 1), QStringLiteral("MPEG-4"));
    EXPECT_EQ(grid.SubItem(7, 2), QStringLiteral("29.970 FPS"));
    EXPECT_EQ(grid.SubItem(8, 2), QStringLiteral("25.000 FPS"));
    EXPECT_EQ(grid.SubItem(1, 1).constData(), grid.SubItem(100, 1).constData());
    EXPECT_EQ(grid.data(grid.index(41, 1), Qt::DisplayRole).toString(), QStringLiteral("MPEG-4"));

    // An overwritten cell reads as its new text; the row text too.
    grid.SetSubItem(7, 1, QStringLiteral("Matroska"));
    grid.SetItemText(8, QStringLiteral("/v/clip 7.mp4"));
    EXPECT_EQ(grid.SubItem(7, 1), QStringLiteral("Matroska"));
    EXPECT_EQ(grid.SubItem(6, 1), QStringLiteral("MPEG-4"));
    EXPECT_EQ(grid.ItemText(8), grid.ItemText(7));
    EXPECT_EQ(grid.DistinctTextCount(), 105);

    grid.ClearItems();
    EXPECT_EQ(grid.DistinctTextCount(), 1);
    grid.AddItem(QStringLiteral("/v/new.mp4"));
    EXPECT_EQ(grid.ItemText(1), QStringLiteral("/v/new.mp4"));
    EXPECT_TRUE(grid.SubItem(1, 1).isEmpty());
    // Removing the last row one at a time forgets the texts too.
    grid.AddItem(QStringLiteral("/v/second.mp4"));
    grid.RemoveItem(1);
    EXPECT_EQ(grid.DistinctTextCount(), 3);
    grid.RemoveItem(1);
    EXPECT_EQ(grid.DistinctTextCount(), 1);
}

// Rows appended while appends are paced: the commands read them at once, the
// views learn of them in one batch per pace and of all of them at the end.
TEST(ListViewModel, PacedAppendsReachTheViewsInBatches) {
    ListViewModel grid(true);
    grid.AddColumn(QStringLiteral("Video File/s"));
    grid.AddColumn(QStringLiteral("Format"));
    grid.AddItem(QStringLiteral("/v/before.mp4"));
    QSignalSpy inserted(&grid, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&grid, &QAbstractItemModel::dataChanged);
    {
        const ListViewModel::PacedAppends paced(grid);
        for (const char* path : {"/v/a.mp4", "/v/b.mp4", "/v/c.mp4"}) {
            grid.SetSubItem(grid.AddItem(QString::fromLatin1(path)), 1, QStringLiteral("AVI"));
        }
        EXPECT_EQ(grid.ItemCount(), 4);
        EXPECT_EQ(grid.ItemText(4), QStringLiteral("/v/c.mp4"));
        EXPECT_EQ(grid.SubItem(3, 1), QStringLiteral("AVI"));
        EXPECT_EQ(grid.rowCount(), 1);
        EXPECT_FALSE(grid.index(1, 0).isValid());
        EXPECT_EQ(inserted.count(), 0);
        // A row the views know still tells them of its changes.
        grid.SetSubItem(1, 1, QStringLiteral("MPEG-4"));
        EXPECT_EQ(changed.count(), 1);

        // The pace passes while events run: one batch.
        QTest::qWait(ListViewModel::kAppendPaceMs * 3);
        ASSERT_EQ(inserted.count(), 1);
        EXPECT_EQ(inserted[0][1].toInt(), 1);
        EXPECT_EQ(inserted[0][2].toInt(), 3);
        EXPECT_EQ(grid.rowCount(), 4);

        // A pending row that leaves or is selected.
        grid.AddItem(QStringLiteral("/v/d.mp4"));
        grid.AddItem(QStringLiteral("/v/e.mp4"));
        grid.AddItem(QStringLiteral("/v/f.mp4"));
        grid.RemoveItem(6);
        EXPECT_EQ(grid.ItemText(6), QStringLiteral("/v/f.mp4"));
        EXPECT_EQ(grid.rowCount(), 4);
        grid.SetSelected(5);
        EXPECT_EQ(grid.rowCount(), 6);
        EXPECT_EQ(grid.SelectedIndex(), 5);
        grid.AddItem(QStringLiteral("/v/g.mp4"));
        EXPECT_EQ(grid.rowCount(), 6);
    }
    // The end of pacing shows what is left.
    EXPECT_EQ(grid.rowCount(), 7);
    EXPECT_EQ(grid.data(grid.index(6, 0), Qt::DisplayRole).toString(), QStringLiteral("/v/g.mp4"));
    EXPECT_EQ(inserted.count(), 3);
    // Unpaced, each row is shown as it comes.
    grid.AddItem(QStringLiteral("/v/h.mp4"));
    EXPECT_EQ(grid.rowCount(), 8);
}

TEST(ListViewModel, ClearingWhilePacedForgetsThePendingRows) {
    ListViewModel grid(true);
    grid.AddColumn(QStringLiteral("Video File/s"));
    const ListViewModel::PacedAppends paced(grid);
    grid.AddItem(QStringLiteral("/v/a.mp4"));
    grid.ClearItems();
    EXPECT_EQ(grid.ItemCount(), 0);
    EXPECT_EQ(grid.rowCount(), 0);
    QSignalSpy inserted(&grid, &QAbstractItemModel::rowsInserted);
    QTest::qWait(ListViewModel::kAppendPaceMs * 2);
    EXPECT_EQ(inserted.count(), 0);
    // Rows appended after the clear are paced as before.
    grid.AddItem(QStringLiteral("/v/b.mp4"));
    EXPECT_EQ(grid.rowCount(), 0);
    QTest::qWait(ListViewModel::kAppendPaceMs * 3);
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.ItemText(1), QStringLiteral("/v/b.mp4"));
}

}  // namespace
}  // namespace quorvid
