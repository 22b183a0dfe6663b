#include <gtest/gtest.h>

#include <QSignalSpy>

#include "core/shell/ListViewModel.h"
#include "core/shell/StepFailure.h"

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

}  // namespace
}  // namespace quorvid
