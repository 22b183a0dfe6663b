// A catalogue given to --update or --merge is a file from elsewhere: its lines
// are read as rows only when they are strict JSON of our columns, each row
// reads back as it was written, and the table it makes grows no faster than
// the catalogue.
#include <QBuffer>
#include <QByteArray>
#include <cstdint>

#include "FuzzCheck.h"
#include "core/export/JsonRowReader.h"
#include "core/export/RecordFormats.h"
#include "core/results/ResultsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvid;
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    JsonRowReader reader(device);
    ResultsStore store;
    while (const std::optional<JsonRow> row = reader.Next()) {
        WriteJsonRow(store, *row);
        QByteArray line = JsonRowLine(store, store.ItemCount());
        line.chop(1);
        QString error;
        const std::optional<JsonRow> again = ParseJsonRowLine(line, error);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(again->cells == row->cells);
    }
    // Every row as CSV: what a merge writes.
    qint64 written = CsvHeaderLine(store).size();
    for (int row = 1; row <= store.ItemCount(); ++row) {
        written += CsvRowLine(store, row).size();
    }
    FUZZ_CHECK(written <= 64 * static_cast<qint64>(size) + 64 * 1024);
    return 0;
}
