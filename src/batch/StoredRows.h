#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "core/export/JsonRowReader.h"

namespace quorvid {

// The rows of JSON Lines files a run writes again without reading their media.
// Each file is checked whole when it is added; only where each row starts is
// held, with the cells that decide whether a file changed, and a row's line is
// read again when the row is written, so that a catalogue of a whole archive
// does not fill the memory.
class StoredRows {
  public:
    struct Row {
        QString path;
        QString size;
        QString lastModified;
        // The desktop detail of the last status change; empty when the row has none.
        QString statusChanged;
        int source = 0;
        qint64 offset = 0;
    };

    // Appends the rows of a JSON Lines file; false, with "FILE: line N: why" in
    // error, when the file cannot be read or holds anything but rows.
    bool Add(const QString& file, QString& error);

    const std::vector<Row>& rows() const { return rows_; }
    const QString& sourceName(int source) const { return sources_[source]; }
    // The extra columns (fields, checksum) of a file's rows, which all rows of
    // one file share; nothing for a file without rows.
    const std::optional<QStringList>& extraHeaders(int source) const {
        return extraHeaders_[source];
    }
    // The extra columns every file with rows shares; nothing, with which files
    // differ in error, when two differ. Empty when no file has rows.
    std::optional<QStringList> SharedExtraHeaders(QString& error) const;
    // The row's cells, read again; throws StepFailure when its file changed
    // since it was added.
    JsonRow Read(const Row& row);

  private:
    std::vector<QString> sources_;
    std::vector<std::optional<QStringList>> extraHeaders_;
    std::vector<Row> rows_;
    // The source last read from, held open for the rows after it.
    int openSource_ = -1;
    std::unique_ptr<QFile> open_;
};

// Headers as a message names them: quoted, or "no column beyond the catalogue".
QString ColumnsSaid(const QStringList& headers);

}  // namespace quorvid
