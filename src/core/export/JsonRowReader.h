#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

#include "core/extraction/ExtraColumns.h"

namespace quorvid {

class ResultsTable;

// One row of JSON Lines as JsonRowLine writes it: the cells by header, in the
// order of the line. The first cell is the path.
struct JsonRow {
    std::vector<std::pair<QString, QString>> cells;
    // Where the extra columns (fields, then the checksum) end and the detail
    // columns begin.
    size_t extraEnd = kCatalogueColumnCount;

    const QString& path() const { return cells.front().second; }
    // The text of the catalogue column at position (from 1).
    const QString& CatalogueCell(int position) const { return cells[position - 1].second; }
    // The headers of the columns after the catalogue's and before the details.
    QStringList ExtraHeaders() const;
    // The checksum cell's kind and text; kind None where the row has none.
    std::pair<ChecksumKind, QString> Checksum() const;
};

// Reads back the JSON Lines of JsonRowLine, and only those: an object per line
// of string members, every catalogue column in order, then the extra columns
// a run asked for (library fields, then a checksum of its exact digits or
// empty), then detail columns, each once. Anything else is refused with the line it failed at, so
// that a damaged or foreign file never passes for rows.
class JsonRowReader {
  public:
    // device: open for reading, at the first line.
    explicit JsonRowReader(QIODevice& device) : device_(device) {}

    // The next row; nothing at the end, or when the line is refused (then
    // error() says why, with its line number).
    std::optional<JsonRow> Next();
    bool failed() const { return !error_.isEmpty(); }
    const QString& error() const { return error_; }
    // Where the line of the last row starts in the device.
    qint64 lineOffset() const { return lineOffset_; }
    // The extra columns of the rows (ExtraHeaders), which every row of one
    // device shares; nothing before the first row.
    const std::optional<QStringList>& extraHeaders() const { return extraHeaders_; }

  private:
    QIODevice& device_;
    qint64 lineNumber_ = 0;
    qint64 lineOffset_ = 0;
    QString error_;
    std::optional<QStringList> extraHeaders_;
};

// One line without its LF; nothing, with the reason in error, when refused.
std::optional<JsonRow> ParseJsonRowLine(const QByteArray& line, QString& error);

// Writes the row into the table as an extraction of its file would have: the
// row, its catalogue cells, and its detail columns appended where the table
// has none of that header yet.
void WriteJsonRow(ResultsTable& table, const JsonRow& row);

}  // namespace quorvid
