#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "core/export/RecordFormats.h"
#include "core/extraction/FieldCatalogue.h"
#include "core/results/ResultsStore.h"

namespace quorvid {
namespace {

// Two rows: the first with texts that need quoting or escaping and a detail
// column, the second with nothing but its path.
class RecordFormatsTest : public testing::Test {
  protected:
    RecordFormatsTest() {
        const int first = store.AddRow(QStringLiteral("/v/a,\"b\"=1 é.mp4"));
        store.SetCell(first, 2, QStringLiteral("two\r\nlines"));
        store.SetCell(first, 1, QStringLiteral("=SUM(A1)"));
        store.SetCell(first, store.AppendColumn(QStringLiteral("File General - Comment")) - 1,
                      QStringLiteral("x\ty") + QChar(1) + QStringLiteral("\\"));
        store.AddRow(QStringLiteral("/v/plain.mp4"));
    }

    ResultsStore store;
};

TEST_F(RecordFormatsTest, CsvQuotesOnlyCommasQuotesAndLineBreaksAndKeepsTheRest) {
    const QByteArray header = CsvHeaderLine(store);
    EXPECT_TRUE(header.startsWith("Video File/s,General - Format,General - Format/Info,"));
    EXPECT_TRUE(header.endsWith(",File System - Type,File General - Comment\r\n"));

    const QByteArray first = CsvRowLine(store, 1);
    EXPECT_TRUE(first.startsWith("\"/v/a,\"\"b\"\"=1 \xC3\xA9.mp4\",=SUM(A1),\"two\r\nlines\",,"))
        << first.constData();
    EXPECT_TRUE(first.endsWith(",x\ty\x01\\\r\n"));
    EXPECT_EQ(first.count(','), store.ColumnCount() - 1 + 1);  // one comma is inside quotes

    EXPECT_EQ(CsvRowLine(store, 2),
              "/v/plain.mp4" + QByteArray(store.ColumnCount() - 1, ',') + "\r\n");
}

TEST_F(RecordFormatsTest, JsonEscapesAndKeysFollowTheColumnsWithTheRowsOwnDetails) {
    const QByteArray first = JsonRowLine(store, 1);
    EXPECT_TRUE(
        first.startsWith("{\"Video File/s\":\"/v/a,\\\"b\\\"=1 \xC3\xA9.mp4\","
                         "\"General - Format\":\"=SUM(A1)\","
                         "\"General - Format/Info\":\"two\\r\\nlines\","
                         "\"General - File Size\":\"\","))
        << first.constData();
    EXPECT_TRUE(first.endsWith(",\"File General - Comment\":\"x\\ty\\u0001\\\\\"}\n"));
    EXPECT_EQ(first.count('\n'), 1);

    const QByteArray second = JsonRowLine(store, 2);
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(second, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(object.size(), kCatalogueColumnCount);
    EXPECT_FALSE(object.contains(QStringLiteral("File General - Comment")));
    EXPECT_EQ(object.value(QStringLiteral("Video File/s")).toString(),
              QStringLiteral("/v/plain.mp4"));
    EXPECT_EQ(QJsonDocument::fromJson(first).object().value(QStringLiteral("Video File/s")),
              QStringLiteral("/v/a,\"b\"=1 é.mp4"));
}

}  // namespace
}  // namespace quorvid
