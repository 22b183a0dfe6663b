#include "core/export/RecordFormats.h"

#include "core/export/AlignedTextLayout.h"
#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/FileExtractor.h"
#include "core/shell/controls/TableText.h"

namespace quorvid {

namespace {

void AppendCsvField(QByteArray& line, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\r') ||
        bytes.contains('\n')) {
        line.append('"');
        for (const char byte : bytes) {
            if (byte == '"') {
                line.append('"');
            }
            line.append(byte);
        }
        line.append('"');
    } else {
        line.append(bytes);
    }
}

template <typename CellOf>
QByteArray CsvLine(int columns, CellOf cellOf) {
    QByteArray line;
    for (int column = 1; column <= columns; ++column) {
        if (column > 1) {
            line.append(',');
        }
        AppendCsvField(line, cellOf(column));
    }
    line.append("\r\n", 2);
    return line;
}

}  // namespace

QByteArray CsvHeaderLine(const TableText& table) {
    return CsvLine(table.ColumnCount(), [&](int column) { return table.ColumnText(column); });
}

QByteArray CsvRowLine(const TableText& table, int row) {
    return CsvLine(table.ColumnCount(),
                   [&](int column) { return AlignedTextLayout::CellText(table, row, column); });
}

void AppendJsonString(QByteArray& out, const QString& text) {
    static constexpr char kHexDigits[] = "0123456789abcdef";
    out.append('"');
    for (const char byte : text.toUtf8()) {
        const auto code = static_cast<unsigned char>(byte);
        switch (byte) {
            case '"':
                out.append("\\\"", 2);
                break;
            case '\\':
                out.append("\\\\", 2);
                break;
            case '\n':
                out.append("\\n", 2);
                break;
            case '\r':
                out.append("\\r", 2);
                break;
            case '\t':
                out.append("\\t", 2);
                break;
            default:
                if (code < 0x20) {
                    out.append("\\u00", 4);
                    out.append(kHexDigits[code >> 4]);
                    out.append(kHexDigits[code & 0xF]);
                } else {
                    out.append(byte);
                }
        }
    }
    out.append('"');
}

QByteArray JsonRowLine(const TableText& table, int row) {
    QByteArray line;
    line.append('{');
    const int columns = table.ColumnCount();
    bool first = true;
    for (int column = 1; column <= columns; ++column) {
        const QString text = AlignedTextLayout::CellText(table, row, column);
        // A detail column without a value is left out; every other column is
        // written, so that the row says which columns its run had.
        if (column > kCatalogueColumnCount && text.isEmpty() &&
            table.ColumnText(column).startsWith(QLatin1String(kDetailHeaderPrefix))) {
            continue;
        }
        if (!first) {
            line.append(',');
        }
        first = false;
        AppendJsonString(line, table.ColumnText(column));
        line.append(':');
        AppendJsonString(line, text);
    }
    line.append("}\n", 2);
    return line;
}

}  // namespace quorvid
