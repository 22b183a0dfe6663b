#pragma once

#include <QByteArray>
#include <QString>

namespace quorvid {

class TableText;

// CSV as RFC 4180 has it, in UTF-8: a field holding a comma, a quote, CR or LF is
// quoted with its quotes doubled; every other text goes out as it stands ("="
// included); lines end in CR LF.
QByteArray CsvHeaderLine(const TableText& table);
QByteArray CsvRowLine(const TableText& table, int row);

// One row as a JSON object on one line (JSON Lines, UTF-8, LF), keyed by the
// column headers in column order: every catalogue column, then the detail
// columns that hold a value for this row. Columns between the catalogue's and
// the detail columns (the extra fields and the checksum) are written empty too.
QByteArray JsonRowLine(const TableText& table, int row);

// A JSON string literal of the text, quotes included.
void AppendJsonString(QByteArray& out, const QString& text);

}  // namespace quorvid
