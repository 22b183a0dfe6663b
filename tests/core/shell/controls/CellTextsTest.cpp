#include <gtest/gtest.h>

#include "core/shell/controls/CellTexts.h"

namespace quorvid {
namespace {

TEST(CellTexts, EqualTextsShareOneNumberThroughGrowthAndClear) {
    CellTexts texts;
    EXPECT_EQ(texts.Intern(QString()), 0u);
    EXPECT_EQ(texts.Intern(QStringLiteral("")), 0u);
    EXPECT_TRUE(texts.Text(0).isEmpty());

    // Enough texts to grow the table several times; each keeps its number.
    std::vector<CellTexts::Id> ids;
    for (int i = 0; i < 5000; ++i) {
        ids.push_back(texts.Intern(QStringLiteral("text %1").arg(i)));
    }
    EXPECT_EQ(texts.Count(), 5001);
    for (int i = 0; i < 5000; ++i) {
        // A text made anew, not the kept one, finds its number.
        ASSERT_EQ(texts.Intern(QStringLiteral("text %1").arg(i)), ids[static_cast<size_t>(i)]);
        ASSERT_EQ(texts.Text(ids[static_cast<size_t>(i)]), QStringLiteral("text %1").arg(i));
    }
    EXPECT_EQ(texts.Count(), 5001);
    // Texts that differ in case or length only are different texts.
    EXPECT_NE(texts.Intern(QStringLiteral("Text 1")), ids[1]);
    EXPECT_NE(texts.Intern(QStringLiteral("text 1 ")), ids[1]);

    texts.Clear();
    EXPECT_EQ(texts.Count(), 1);
    EXPECT_EQ(texts.Intern(QStringLiteral("text 4999")), 1u);
}

TEST(CellTexts, AKeptTextHoldsNoSpareRoom) {
    QString built;
    built.reserve(1000);
    built.append(QStringLiteral("AVC"));
    CellTexts texts;
    const QString& kept = texts.Text(texts.Intern(built));
    EXPECT_EQ(kept, QStringLiteral("AVC"));
    EXPECT_LT(kept.capacity(), 100);
}

}  // namespace
}  // namespace quorvid
