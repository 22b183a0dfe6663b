#include <gtest/gtest.h>

#include "core/extraction/FieldCatalogue.h"
#include "core/results/ResultsGrid.h"
#include "core/shell/controls/ListViewModel.h"

namespace quorvid {
namespace {

TEST(ResultsGrid, CatalogueColumnsInOrderWithTheirWidths) {
    ListViewModel model(true);
    ResultsGrid grid(model);
    grid.CreateResultColumns();
    ASSERT_EQ(model.ColumnCount(), 53);
    EXPECT_EQ(model.ColumnText(1), QStringLiteral("Video File/s"));
    EXPECT_EQ(model.ColumnText(2), QStringLiteral("General - Format"));
    EXPECT_EQ(model.ColumnText(10), QStringLiteral("Video - Codec"));
    EXPECT_EQ(model.ColumnText(39), QStringLiteral("Audio - Channel(s)"));
    EXPECT_EQ(model.ColumnText(42), QStringLiteral("Audio - Stream Size"));
    EXPECT_EQ(model.ColumnText(43), QStringLiteral("File System - Name"));
    EXPECT_EQ(model.ColumnText(53), QStringLiteral("File System - Type"));
    EXPECT_EQ(model.ColumnWidth(1), 3000);
    EXPECT_EQ(model.ColumnWidth(2), 2000);
    EXPECT_EQ(model.ColumnWidth(3), 2000);
    EXPECT_EQ(model.ColumnWidth(4), ListViewModel::kDefaultColumnWidth);

    // Library fields: General, then Video, then Audio, at cells 1 to 41.
    const auto& catalogue = FieldCatalogue();
    int libraryFields = 0;
    for (int cell = 1; cell <= kLibraryFieldCount; ++cell) {
        libraryFields += catalogue[cell].source == FieldSource::Library;
    }
    EXPECT_EQ(libraryFields, 41);
    EXPECT_EQ(std::wstring(catalogue[9].parameter), L"CodecID");
    EXPECT_EQ(catalogue[38].stream, StreamKind::Audio);
    EXPECT_EQ(std::wstring(catalogue[38].parameter), L"Channel(s)/String");
    EXPECT_EQ(catalogue[kFirstFileCell].fact, FileFact::Name);
    EXPECT_EQ(catalogue[kTypeCell].source, FieldSource::TypeAndExtension);
}

TEST(ResultsGrid, FindColumnByHeaderIsExactAndAppendedColumnsGoAtTheEnd) {
    ListViewModel model(true);
    ResultsGrid grid(model);
    grid.CreateResultColumns();
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Video - Codec")), 10);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("video - codec")), -1);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Video - Codec ")), -1);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("File General - Owner")), -1);

    EXPECT_EQ(grid.AppendColumn(QStringLiteral("File General - Owner")), 54);
    EXPECT_EQ(grid.AppendColumn(QStringLiteral("File General - Others")), 55);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("File General - Others")), 55);

    const int row = grid.AddRow(QStringLiteral("/v/a.mp4"));
    grid.SetCell(row, 54, QStringLiteral("x"));
    // Clearing rows keeps every column, the detail columns included.
    grid.ClearRows();
    EXPECT_EQ(model.ColumnCount(), 55);
    EXPECT_EQ(model.ItemCount(), 0);
}

// The first position by reading every header, as the search is defined.
int FirstPositionByScan(const ListViewModel& model, const QString& text) {
    for (int position = 1; position <= model.ColumnCount(); ++position) {
        if (model.ColumnText(position) == text) {
            return position;
        }
    }
    return -1;
}

void ExpectEveryHeaderFoundAtItsFirstPosition(const ResultsGrid& grid, const ListViewModel& model) {
    for (int position = 1; position <= model.ColumnCount(); ++position) {
        const QString text = model.ColumnText(position);
        ASSERT_EQ(grid.FindColumnByHeader(text), FirstPositionByScan(model, text)) << position;
    }
}

TEST(ResultsGrid, FindColumnByHeaderFollowsRemovalsAndAppendsAgain) {
    ListViewModel model(true);
    ResultsGrid grid(model);
    grid.CreateResultColumns();
    const int row = grid.AddRow(QStringLiteral("/v/a.mp4"));
    // A detail named like a catalogue column, and a detail that comes twice.
    for (const char* header : {"Owner", "Video - Codec", "Comment", "Owner", "Encoder"}) {
        grid.AppendColumn(QString::fromLatin1(header));
    }
    grid.SetCell(row, 57 - 1, QStringLiteral("the second owner"));
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Video - Codec")), 10);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Owner")), 54);
    ExpectEveryHeaderFoundAtItsFirstPosition(grid, model);

    // Out of the middle: the later ones move up, the second "Owner" takes over.
    model.RemoveColumn(54);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Owner")), 56);
    EXPECT_EQ(model.SubItem(row, 56 - 1), QStringLiteral("the second owner"));
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Encoder")), 57);
    model.RemoveColumn(10);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Video - Codec")), 53);
    ExpectEveryHeaderFoundAtItsFirstPosition(grid, model);

    // Last first, as a run takes a row's details away, then all of them at once.
    model.RemoveColumn(model.ColumnCount());
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Encoder")), -1);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Owner")), 55);
    model.RemoveColumns(54, model.ColumnCount());
    EXPECT_EQ(model.ColumnCount(), 53);
    for (const char* gone : {"Owner", "Comment", "Encoder"}) {
        EXPECT_EQ(grid.FindColumnByHeader(QString::fromLatin1(gone)), -1) << gone;
    }
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Video - Codec")), 53);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Video File/s")), 1);

    // Appended again, they are found where they now are; a reset of the rows
    // keeps them.
    EXPECT_EQ(grid.AppendColumn(QStringLiteral("Encoder")), 54);
    EXPECT_EQ(grid.AppendColumn(QStringLiteral("Video - Codec")), 55);
    grid.ClearRows();
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Encoder")), 54);
    EXPECT_EQ(grid.FindColumnByHeader(QStringLiteral("Video - Codec")), 53);
    ExpectEveryHeaderFoundAtItsFirstPosition(grid, model);
}

}  // namespace
}  // namespace quorvid
