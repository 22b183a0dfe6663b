#pragma once

#include <QStyledItemDelegate>

namespace quorvid {

// Draws a cell by the start of its text. Laying out a text costs time in
// proportion to its length on every repaint, and a cell may hold megabytes that
// no column could show; the model keeps the whole text for the exports.
class CellPrefixDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // More than the widest column can show.
    static constexpr qsizetype kShownCharacters = 4000;

    using QStyledItemDelegate::QStyledItemDelegate;

    // What a cell of the text shows: its first line, at most kShownCharacters of
    // it, and an ellipsis where anything is left out.
    static QString ShownText(const QString& text);

    QString displayText(const QVariant& value, const QLocale& locale) const override;
};

}  // namespace quorvid
