#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace quorvid {

// Dates as the locale writes them: short date, a blank, time with seconds.
QString RegionalDateTimeText(const QDateTime& moment, const QLocale& locale = QLocale::system());

}  // namespace quorvid
