#include <gtest/gtest.h>

#include <QLocale>
#include <QRegularExpression>

#include "core/shell/files/RegionalDateTime.h"

namespace quorvid {
namespace {

TEST(RegionalDateTime, DateCellsKeepNothingOfTheDroppedTimeZone) {
    const QDateTime moment(QDate(2026, 12, 8), QTime(9, 15, 1));
    const QRegularExpression emptyBrackets(QStringLiteral("[(\\[（［]\\s*[)\\]）］]"));
    for (const QLocale& locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory)) {
        const QString cell = RegionalDateTimeText(moment, locale);
        const std::string context = locale.name().toStdString() + ": " + cell.toStdString();
        ASSERT_GE(cell.size(), 2) << context;
        EXPECT_FALSE(cell.contains(emptyBrackets)) << context;
        // Final punctuation may only end a word of the locale's own, such as
        // "A.M." or the Tibetan syllable mark; never a comma or a bracket.
        const QChar last = cell.back();
        const QChar beforeLast = cell.at(cell.size() - 2);
        if (last.isPunct()) {
            EXPECT_TRUE(!QStringLiteral(",;:)]）］").contains(last) &&
                        (beforeLast.isLetter() || beforeLast.isMark()))
                << context;
        }
    }
    const auto cellIn = [&](const char* name) {
        return RegionalDateTimeText(moment, QLocale(QString::fromLatin1(name)));
    };
    EXPECT_EQ(cellIn("ca_ES"), QStringLiteral("8/12/26 9:15:01"));
    EXPECT_EQ(cellIn("be_BY"), QStringLiteral("8.12.26 09:15:01"));
    EXPECT_EQ(cellIn("sq_AL"), QStringLiteral("8.12.26 9:15:01 E PARADITES"));
    EXPECT_EQ(cellIn("nds_DE"), QStringLiteral("8.12.26 Klock 9.15:01"));
    EXPECT_EQ(cellIn("bg_BG"), QString::fromUtf8("8.12.26 г. 9:15:01 ч."));
    EXPECT_EQ(cellIn("zh_TW"), QString::fromUtf8("2026/12/8 上午9:15:01"));
    EXPECT_EQ(cellIn("en_US"), QStringLiteral("12/8/26 9:15:01 AM"));
}

}  // namespace
}  // namespace quorvid
