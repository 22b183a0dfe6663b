#include <gtest/gtest.h>

#include <QBuffer>

#include "core/export/JsonRowReader.h"
#include "core/export/RecordFormats.h"
#include "core/extraction/FieldCatalogue.h"
#include "core/results/ResultsStore.h"

namespace quorvid {
namespace {

QString AwkwardText() {
    return QStringLiteral("\"quoted\" back\\slash /slash\ttab\r\nbreak ") + QChar(1) + QChar(0) +
           QChar(0x7F) + QStringLiteral(" é ") + QString::fromUcs4(U"\U0001F3AC") +
           QStringLiteral(" end");
}

// Rows as a run writes them: awkward texts, empty cells, details in two orders.
class JsonRowReaderTest : public testing::Test {
  protected:
    JsonRowReaderTest() {
        const int first =
            store.AddRow(QStringLiteral("/v/") + AwkwardText() + QStringLiteral(".mp4"));
        store.SetCell(first, 1, AwkwardText());
        store.SetCell(first, 52, QStringLiteral("last catalogue cell"));
        store.SetCell(first, store.AppendColumn(QStringLiteral("File General - Owner")) - 1,
                      QStringLiteral("root"));
        const int second = store.AddRow(QStringLiteral("/v/plain.mp4"));
        store.SetCell(second, store.AppendColumn(QStringLiteral("File General - Size")) - 1,
                      QStringLiteral("1 byte"));
        store.SetCell(second, 54 - 1, QString::fromUcs4(U"\U00010348"));
    }

    QByteArray Lines() const {
        QByteArray lines;
        for (int row = 1; row <= store.ItemCount(); ++row) {
            lines += JsonRowLine(store, row);
        }
        return lines;
    }

    // What the reader makes of bytes: the rows, or the error.
    static std::pair<std::vector<JsonRow>, QString> Read(QByteArray bytes) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        JsonRowReader reader(buffer);
        std::vector<JsonRow> rows;
        while (std::optional<JsonRow> row = reader.Next()) {
            rows.push_back(std::move(*row));
        }
        return {rows, reader.error()};
    }

    ResultsStore store;
};

TEST_F(JsonRowReaderTest, RowsReadBackWriteTheSameLinesAndCells) {
    const QByteArray lines = Lines();
    const auto [rows, error] = Read(lines);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].path(), store.ItemText(1));
    EXPECT_EQ(rows[0].CatalogueCell(2), AwkwardText());
    EXPECT_EQ(rows[0].CatalogueCell(3), QString());
    EXPECT_EQ(rows[0].cells.size(), size_t(kCatalogueColumnCount) + 1);
    EXPECT_EQ(rows[1].cells.size(), size_t(kCatalogueColumnCount) + 2);

    ResultsStore again;
    for (const JsonRow& row : rows) {
        WriteJsonRow(again, row);
    }
    ASSERT_EQ(again.ColumnCount(), store.ColumnCount());
    for (int row = 1; row <= store.ItemCount(); ++row) {
        for (int k = 1; k < store.ColumnCount(); ++k) {
            EXPECT_EQ(again.SubItem(row, k), store.SubItem(row, k)) << row << " " << k;
        }
        EXPECT_EQ(JsonRowLine(again, row), JsonRowLine(store, row));
    }
}

TEST_F(JsonRowReaderTest, OtherJsonWritingsOfTheSameTextsAreRead) {
    QByteArray line = JsonRowLine(store, 2);
    line.replace("{", " {\t").replace("\":\"", "\" : \"").replace("\n", " \r\n");
    line.replace("\"1 byte\"", "\"\\u0031\\u0020b\\/yte\"");
    const auto [rows, error] = Read(line);
    ASSERT_EQ(rows.size(), 1u) << error.toStdString();
    EXPECT_EQ(rows[0].cells.back().second, QStringLiteral("1 b/yte"));
}

TEST_F(JsonRowReaderTest, ADamagedOrForeignLineIsRefusedWithItsNumberAndNoRowsAfterIt) {
    const QByteArray good = JsonRowLine(store, 2);
    const QByteArray path = "{\"Video File/s\":\"/v/plain.mp4\"";
    struct Case {
        QByteArray line;
        const char* reason;
    };
    QByteArray withoutPath = good;
    withoutPath.replace(path, "{\"Video File/s\":\"\"");
    QByteArray foreignKey = good;
    foreignKey.replace("\"File General - Size\"", "\"Comment\"");
    QByteArray twice = good;
    twice.replace("}\n", ",\"File General - Size\":\"2\"}\n");
    QByteArray number = good;
    number.replace("\"1 byte\"", "1");
    QByteArray loneSurrogate = good;
    loneSurrogate.replace("\"1 byte\"", "\"\\ud800x\"");
    QByteArray badUtf8 = good;
    badUtf8.replace("1 byte", "1 \xC3(");
    QByteArray rawControl = good;
    rawControl.replace("1 byte", "1\x01");
    QByteArray badEscape = good;
    badEscape.replace("1 byte", "1\\x");
    QByteArray trailing = good;
    trailing.replace("}\n", "}x\n");
    QByteArray missingColumn = good;
    missingColumn.replace(",\"General - Format\":\"\"", "");
    // What a forged catalogue may hold and no run writes.
    QByteArray spacedEscape = good;
    spacedEscape.replace("\"1 byte\"", "\"\\u 041\"");
    QByteArray prefixedEscape = good;
    prefixedEscape.replace("\"1 byte\"", "\"\\u0x42\"");
    QByteArray foreignDetail = good;
    foreignDetail.replace("\"File General - Size\"", "\"File General - Made Up\"");
    QByteArray emptyDetail = good;
    emptyDetail.replace("\"1 byte\"", "\"\"");
    QByteArray steering = good;
    steering.replace("\"1 byte\"", "\"\\u001b[2J\\u202e\"");
    QByteArray longText = good;
    longText.replace("1 byte", QByteArray(64 * 1024 + 1, 'x'));
    const std::vector<Case> cases{
        {good.left(good.size() / 2), "cut off"},
        {"\n", "not a JSON object"},
        {"not json\n", "not a JSON object"},
        {"[\"a\"]\n", "not a JSON object"},
        {"{}\n", "is missing"},
        {missingColumn, "where the column \"General - Format\" belongs"},
        {withoutPath, "names no file"},
        {foreignKey, "\"Comment\" is no column of ours"},
        {twice, "twice"},
        {number, "a string expected"},
        {loneSurrogate, "lone surrogate"},
        {badUtf8, "not UTF-8"},
        {rawControl, "control character"},
        {badEscape, "bad escape"},
        {trailing, "text after the object"},
        {spacedEscape, "bad \\u escape"},
        {prefixedEscape, "bad \\u escape"},
        {foreignDetail, "\"File General - Made Up\" is no column of ours"},
        {emptyDetail, "without a value"},
        {steering, "control characters under \"File General - Size\""},
        {longText, "a text of more than 65536 characters"},
        {QByteArray(7 * 1024 * 1024, 'x') + "\n", "too long"},
    };
    for (const Case& bad : cases) {
        // A line cut off can only be the last one.
        const QByteArray after = bad.line.endsWith('\n') ? good : QByteArray();
        const auto [rows, error] = Read(good + good + bad.line + after);
        EXPECT_EQ(rows.size(), 2u) << bad.line.constData();
        EXPECT_TRUE(error.startsWith(QStringLiteral("line 3: ")) && error.contains(bad.reason))
            << bad.line.constData() << " -> " << error.toStdString();
    }
}

// The columns of --field and --hash: written when empty too, read back in
// their place; a checksum only as its digits; every line with the same ones.
TEST(JsonRowReaderExtraColumns, AreReadBackAndHeldToOneListPerCatalogue) {
    ResultsStore store;
    store.AppendColumn(QStringLiteral("General - Audio_Language_List"));
    store.AppendColumn(QStringLiteral("SHA-1"));
    const int row = store.AddRow(QStringLiteral("/v/a.mkv"));
    store.SetCell(row, 55 - 1, QStringLiteral("0123456789abcdef0123456789abcdef01234567"));
    store.SetCell(row, store.AppendColumn(QStringLiteral("File General - Size")) - 1,
                  QStringLiteral("1 byte"));
    const QByteArray line = JsonRowLine(store, row);
    ASSERT_TRUE(line.contains(",\"General - Audio_Language_List\":\"\",\"SHA-1\":\"0123"));
    QByteArray withoutNewline = line.chopped(1);
    QString error;
    const std::optional<JsonRow> read = ParseJsonRowLine(withoutNewline, error);
    ASSERT_TRUE(read) << error.toStdString();
    EXPECT_EQ(read->ExtraHeaders(),
              QStringList({QStringLiteral("General - Audio_Language_List"), "SHA-1"}));
    EXPECT_EQ(read->Checksum().first, ChecksumKind::Sha1);

    const auto refusal = [](QByteArray bytes) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        JsonRowReader reader(buffer);
        while (reader.Next()) {
        }
        return reader.error();
    };
    QByteArray upper = line;
    upper.replace("abcdef01234567", "ABCDEF01234567");
    QByteArray shortSum = line;
    shortSum.replace("01234567\"", "0123456\"");
    QByteArray badKind = line;
    badKind.replace("\"General - Audio", "\"Sound - Audio");
    QByteArray catalogueHeader = line;
    catalogueHeader.replace("\"General - Audio_Language_List\"", "\"General - Format\"");
    QByteArray otherList = line;
    otherList.replace("\"SHA-1\":\"0123456789abcdef0123456789abcdef01234567\",", "");
    EXPECT_TRUE(refusal(line + upper).startsWith("line 2: "))
        << refusal(line + upper).toStdString();
    EXPECT_TRUE(refusal(line + shortSum).contains("is not 40 lowercase hex digits"));
    EXPECT_TRUE(refusal(line + badKind).contains("is no column of ours"));
    EXPECT_TRUE(refusal(line + catalogueHeader).contains("is no column of ours"));
    EXPECT_TRUE(refusal(line + otherList)
                    .contains("line 2: other --field or --hash columns than the lines before it"));
    EXPECT_TRUE(refusal(line + line).isEmpty());
}

}  // namespace
}  // namespace quorvid
