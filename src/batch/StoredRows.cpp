#include "batch/StoredRows.h"

#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/FileExtractor.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

// The positions of the cells by which a file is seen to have changed.
int CataloguePositionOf(FileFact fact) {
    const auto& catalogue = FieldCatalogue();
    for (size_t i = 0; i < catalogue.size(); ++i) {
        if (catalogue[i].source == FieldSource::FileItem && catalogue[i].fact == fact) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

const int kSizePosition = CataloguePositionOf(FileFact::Size);
const int kLastModifiedPosition = CataloguePositionOf(FileFact::DateLastModified);

QString DetailOf(const JsonRow& row, const QString& header) {
    for (size_t i = kCatalogueColumnCount; i < row.cells.size(); ++i) {
        if (row.cells[i].first == header) {
            return row.cells[i].second;
        }
    }
    return {};
}

}  // namespace

bool StoredRows::Add(const QString& file, QString& error) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(file, input.errorString());
        return false;
    }
    const int source = static_cast<int>(sources_.size());
    const size_t rowsBefore = rows_.size();
    static const QString statusChangedHeader =
        QString::fromLatin1(kDetailHeaderPrefix) + QStringLiteral("Date changed");
    JsonRowReader reader(input);
    while (const std::optional<JsonRow> row = reader.Next()) {
        rows_.push_back({row->path(), row->CatalogueCell(kSizePosition),
                         row->CatalogueCell(kLastModifiedPosition),
                         DetailOf(*row, statusChangedHeader), source, reader.lineOffset()});
    }
    if (reader.failed()) {
        rows_.resize(rowsBefore);
        error = QStringLiteral("%1: %2").arg(file, reader.error());
        return false;
    }
    sources_.push_back(file);
    extraHeaders_.push_back(reader.extraHeaders());
    return true;
}

QString ColumnsSaid(const QStringList& headers) {
    return headers.isEmpty()
               ? QStringLiteral("no column beyond the catalogue")
               : QLatin1Char('"') + headers.join(QStringLiteral("\", \"")) + QLatin1Char('"');
}

std::optional<QStringList> StoredRows::SharedExtraHeaders(QString& error) const {
    std::optional<int> first;
    for (int source = 0; source < static_cast<int>(sources_.size()); ++source) {
        const std::optional<QStringList>& headers = extraHeaders_[size_t(source)];
        if (!headers) {
            continue;
        }
        if (!first) {
            first = source;
        } else if (*headers != *extraHeaders_[size_t(*first)]) {
            error = QStringLiteral("%1 has %2, %3 has %4")
                        .arg(sources_[size_t(*first)], ColumnsSaid(*extraHeaders_[size_t(*first)]),
                             sources_[size_t(source)], ColumnsSaid(*headers));
            return std::nullopt;
        }
    }
    return first ? *extraHeaders_[size_t(*first)] : QStringList{};
}

JsonRow StoredRows::Read(const Row& row) {
    if (openSource_ != row.source) {
        open_ = std::make_unique<QFile>(sources_[row.source]);
        openSource_ = row.source;
        if (!open_->open(QIODevice::ReadOnly)) {
            openSource_ = -1;
            throw StepFailure(
                QStringLiteral("%1: %2").arg(open_->fileName(), open_->errorString()));
        }
    }
    QString error;
    std::optional<JsonRow> read;
    if (open_->seek(row.offset)) {
        QByteArray line = open_->readLine();
        if (line.endsWith('\n')) {
            line.chop(1);
            read = ParseJsonRowLine(line, error);
        }
    }
    if (!read || read->path() != row.path) {
        throw StepFailure(
            QStringLiteral("%1: changed while it was being read").arg(open_->fileName()));
    }
    return std::move(*read);
}

}  // namespace quorvid
