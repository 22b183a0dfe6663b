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

}  // namespace
}  // namespace quorvid
