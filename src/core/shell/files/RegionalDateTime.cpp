#include "core/shell/files/RegionalDateTime.h"

#include <QRegularExpression>

namespace quorvid {

namespace {

// The end of a quoted literal that starts at from ('' inside stands for a quote).
qsizetype QuotedLiteralEnd(const QString& format, qsizetype from) {
    qsizetype quote = format.indexOf(QLatin1Char('\''), from + 1);
    while (quote >= 0 && quote + 1 < format.size() && format[quote + 1] == QLatin1Char('\'')) {
        quote = format.indexOf(QLatin1Char('\''), quote + 2);
    }
    return quote < 0 ? format.size() : quote + 1;
}

// The long time form with seconds, without its time zone ("t"): the cell wants
// the clock time only. What merely framed the zone goes with it: blanks, a
// comma, brackets left empty. Quoted literals stay as they are.
QString TimeFormatWithSeconds(const QLocale& locale) {
    static const QRegularExpression emptyBrackets(QStringLiteral("[(\\[（［]\\s*[)\\]）］]"));
    static const QRegularExpression framing(QStringLiteral("^[\\s,]+|[\\s,]+$"));
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    qsizetype from = 0;
    while (from < format.size()) {
        if (format[from] == QLatin1Char('\'')) {
            const qsizetype end = QuotedLiteralEnd(format, from);
            result += QStringView(format).sliced(from, end - from);
            from = end;
            continue;
        }
        qsizetype end = format.indexOf(QLatin1Char('\''), from);
        end = end < 0 ? format.size() : end;
        QString fields = format.sliced(from, end - from);
        fields.remove(QLatin1Char('t'));
        fields.remove(emptyBrackets);
        // Qt has no flexible day period ("B", as in zh_TW); AM/PM stands in for it.
        fields.replace(QLatin1Char('B'), QLatin1String("AP"));
        result += fields;
        from = end;
    }
    return result.remove(framing);
}

}  // namespace

QString RegionalDateTimeText(const QDateTime& moment, const QLocale& locale) {
    if (!moment.isValid()) {
        return {};
    }
    const QDateTime local = moment.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), TimeFormatWithSeconds(locale));
}

}  // namespace quorvid
