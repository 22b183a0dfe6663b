#include "window/CellPrefixDelegate.h"

#include <algorithm>

namespace quorvid {

namespace {

bool EndsALine(QChar character) {
    return character == QLatin1Char('\n') || character == QLatin1Char('\r') ||
           character == QChar::LineSeparator || character == QChar::ParagraphSeparator;
}

}  // namespace

QString CellPrefixDelegate::ShownText(const QString& text) {
    const auto head = QStringView(text).left(kShownCharacters);
    qsizetype end = std::find_if(head.begin(), head.end(), EndsALine) - head.begin();
    if (end == text.size()) {
        return text;
    }
    // A character beyond the basic plane is two units; half of one draws as junk.
    if (end > 0 && text[end - 1].isHighSurrogate()) {
        --end;
    }
    return text.left(end) + QChar(0x2026);
}

QString CellPrefixDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    if (value.typeId() != QMetaType::QString) {
        return QStyledItemDelegate::displayText(value, locale);
    }
    return QStyledItemDelegate::displayText(ShownText(value.toString()), locale);
}

}  // namespace quorvid
