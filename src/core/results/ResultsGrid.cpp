#include "core/results/ResultsGrid.h"

#include "core/extraction/FieldCatalogue.h"
#include "core/shell/controls/ListViewModel.h"

namespace quorvid {

void ResultsGrid::CreateResultColumns() {
    const auto& catalogue = FieldCatalogue();
    for (const CatalogueField& field : catalogue) {
        model_.AddColumn(QString::fromLatin1(field.header));
    }
    for (int position = 1; position <= kCatalogueColumnCount; ++position) {
        if (catalogue[position - 1].width > 0) {
            model_.SetColumnWidth(position, catalogue[position - 1].width);
        }
    }
}

void ResultsGrid::ClearRows() {
    model_.ClearItems();
}

int ResultsGrid::AddRow(const QString& path) {
    return model_.AddItem(path);
}

void ResultsGrid::SetCell(int row, int k, const QString& text) {
    model_.SetSubItem(row, k, text);
}

int ResultsGrid::FindColumnByHeader(const QString& text) const {
    return model_.FindColumn(text);
}

int ResultsGrid::AppendColumn(const QString& header) {
    model_.AddColumn(header);
    return model_.ColumnCount();
}

int ResultsGrid::ColumnCount() const {
    return model_.ColumnCount();
}

}  // namespace quorvid
