#include "batch/CatalogueUpdate.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "core/shell/files/RegionalDateTime.h"

namespace quorvid {

namespace {

bool IsUnder(const QString& path, const std::vector<QString>& roots) {
    const QString cleaned = QDir::cleanPath(path);
    for (const QString& root : roots) {
        const QString folder = QDir::cleanPath(root);
        if (cleaned == folder ||
            cleaned.startsWith(folder.endsWith(u'/') ? folder : folder + u'/')) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool CatalogueUpdate::Unchanged(const StoredRows::Row& row) const {
    const QFileInfo info(row.path);
    if (!info.exists() || info.isDir()) {
        return false;
    }
    const QDateTime statusChanged = info.metadataChangeTime();
    return QString::number(info.size()) == row.size &&
           RegionalDateTimeText(info.lastModified()) == row.lastModified &&
           (row.statusChanged.isEmpty() ||
            RegionalDateTimeText(statusChanged) == row.statusChanged) &&
           std::max(statusChanged, info.lastModified()).toSecsSinceEpoch() <
               catalogueWritten_.toSecsSinceEpoch();
}

RowPlan CatalogueUpdate::Plan(const std::vector<QString>& paths,
                              const std::vector<QString>& gathered, std::vector<QString>& toRead) {
    const std::vector<StoredRows::Row>& rows = catalogue_.rows();
    // A file listed twice stands for its last row.
    QHash<QString, qsizetype> lastRowOf;
    for (qsizetype i = 0; i < qsizetype(rows.size()); ++i) {
        lastRowOf.insert(rows[i].path, i);
    }
    const QSet<QString> found(gathered.begin(), gathered.end());
    std::vector<qsizetype> aside;
    qsizetype firstAfter = -1;
    for (qsizetype i = 0; i < qsizetype(rows.size()); ++i) {
        const QString& path = rows[i].path;
        const bool replaced = found.contains(path);
        const bool gone = !replaced && IsUnder(path, paths) && !QFileInfo::exists(path);
        if (replaced || gone) {
            if (firstAfter < 0) {
                firstAfter = qsizetype(aside.size());
            }
            dropped_ += gone ? 1 : 0;
        } else {
            aside.push_back(i);
        }
    }
    if (firstAfter < 0) {
        firstAfter = qsizetype(aside.size());
    }
    RowPlan plan;
    plan.rows.reserve(aside.size() + gathered.size());
    plan.rows.insert(plan.rows.end(), aside.begin(), aside.begin() + firstAfter);
    for (const QString& file : gathered) {
        const auto stored = lastRowOf.constFind(file);
        if (stored != lastRowOf.constEnd() && Unchanged(rows[*stored])) {
            plan.rows.push_back(*stored);
        } else {
            plan.rows.push_back(RowPlan::kReadNext);
            toRead.push_back(file);
        }
    }
    plan.rows.insert(plan.rows.end(), aside.begin() + firstAfter, aside.end());
    read_ = qsizetype(toRead.size());
    kept_ = qsizetype(plan.rows.size()) - read_;
    return plan;
}

}  // namespace quorvid
