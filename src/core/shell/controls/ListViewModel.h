#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QTimer>
#include <vector>

#include "core/shell/controls/CellTexts.h"
#include "core/shell/controls/TableText.h"

namespace quorvid {

// The store behind a report-style list view: columns with header text and width,
// rows of text cells with a check state, and one selected row. Positions of
// columns and rows count from 1, as the commands address them; an out-of-range
// position throws StepFailure. Each distinct cell text is kept once.
class ListViewModel : public QAbstractTableModel, public TableText {
    Q_OBJECT
  public:
    // The width a column gets when none is set, in twips.
    static constexpr int kDefaultColumnWidth = 1440;
    static constexpr int kTwipsPerPixel = 15;
    // While appends are paced, the views learn of new rows at most this often:
    // each time a tree view lays out its rows again, measures a row of every
    // column and repaints its rows, header and scroll bar.
    static constexpr int kAppendPaceMs = 400;

    // While one lives, rows appended reach the views together, at most every
    // kAppendPaceMs, instead of one at a time: a tree view lays out all its rows
    // again for each arrival. The commands see every row at once; the views have
    // them all when it ends.
    class PacedAppends {
      public:
        explicit PacedAppends(ListViewModel& model) : model_(model) {
            model_.SetAppendsPaced(true);
        }
        ~PacedAppends() { model_.SetAppendsPaced(false); }
        PacedAppends(const PacedAppends&) = delete;
        PacedAppends& operator=(const PacedAppends&) = delete;

      private:
        ListViewModel& model_;
    };

    explicit ListViewModel(bool checkBoxes, QObject* parent = nullptr);

    // ColumnHeaders
    int ColumnCount() const override { return static_cast<int>(columns_.size()); }
    void AddColumn(const QString& text);
    void RemoveColumn(int position) { RemoveColumns(position, position); }
    // Removes the columns first to last as one change, which the views hear of once.
    void RemoveColumns(int first, int last);
    QString ColumnText(int position) const override;
    // The first position whose header is text exactly, or -1 when none is.
    int FindColumn(const QString& text) const { return firstPositionOfHeader_.value(text, -1); }
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

    // How many distinct cell texts the model keeps, the empty one included.
    qsizetype DistinctTextCount() const { return texts_.Count(); }

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
        // cells[0] is the row text, cells[k] the sub-item k, as numbers of their
        // texts; missing cells are empty.
        std::vector<CellTexts::Id> cells;
        bool checked = true;
    };

    void CheckColumn(int position) const;
    void IndexHeaders();
    void CheckItem(int index) const;
    const QString& Cell(const Row& row, int k) const;
    void SetCell(int index, int k, const QString& text);
    void SetAppendsPaced(bool paced);
    // Tells the views of the rows appended since they last heard.
    void ShowAppendedRows();
    bool Shown(int index) const { return index <= shownRows_; }

    bool checkBoxes_;
    std::vector<Column> columns_;
    // A record may bring thousands of details, each looking up its column.
    QHash<QString, int> firstPositionOfHeader_;
    CellTexts texts_;
    std::vector<Row> rows_;
    // The first rows, the ones the views know of; the others wait for the pace.
    int shownRows_ = 0;
    bool appendsPaced_ = false;
    QTimer appendPace_;
    int selected_ = 0;
};

}  // namespace quorvid
