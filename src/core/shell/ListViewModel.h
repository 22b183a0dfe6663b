#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "core/shell/TableText.h"

namespace quorvid {

// The store behind a report-style list view: columns with header text and width,
// rows of text cells with a check state, and one selected row. Positions of
// columns and rows count from 1, as the commands address them; an out-of-range
// position throws StepFailure.
class ListViewModel : public QAbstractTableModel, public TableText {
    Q_OBJECT
  public:
    // The width a column gets when none is set, in twips.
    static constexpr int kDefaultColumnWidth = 1440;
    static constexpr int kTwipsPerPixel = 15;

    explicit ListViewModel(bool checkBoxes, QObject* parent = nullptr);

    // ColumnHeaders
    int ColumnCount() const override { return static_cast<int>(columns_.size()); }
    void AddColumn(const QString& text);
    void RemoveColumn(int position);
    QString ColumnText(int position) const override;
    int ColumnWidth(int position) const;
    void SetColumnWidth(int position, int twips);

    // ListItems
    int ItemCount() const override { return static_cast<int>(rows_.size()); }
    // Appends a row with the text and all cells empty; returns its index.
    int AddItem(const QString& text);
    void RemoveItem(int index);
    void ClearItems();
    QString ItemText(int index) const override;
    void SetItemText(int index, const QString& text);
    // The text under column k + 1; an unwritten cell reads as the empty text.
    QString SubItem(int index, int k) const override;
    void SetSubItem(int index, int k, const QString& text);
    bool Checked(int index) const override;
    void SetChecked(int index, bool checked);
    // The selected row, or 0 when none is.
    int SelectedIndex() const { return selected_; }
    void SetSelected(int index);

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  signals:
    void selectedIndexChanged(int index);
    void columnWidthChanged(int position, int twips);

  private:
    struct Column {
        QString text;
        int width = kDefaultColumnWidth;
    };
    struct Row {
        // cells[0] is the row text, cells[k] the sub-item k; missing cells are empty.
        std::vector<QString> cells;
        bool checked = true;
    };

    void CheckColumn(int position) const;
    void CheckItem(int index) const;
    const QString& Cell(const Row& row, int k) const;
    void SetCell(int index, int k, const QString& text);

    bool checkBoxes_;
    std::vector<Column> columns_;
    std::vector<Row> rows_;
    int selected_ = 0;
};

}  // namespace quorvid
