#include "batch/MergePlan.h"

#include <QHash>

namespace quorvid {

RowPlan MergePlan(const StoredRows& parts,
                  const std::function<void(const StoredRows::Row& kept)>& duplicate) {
    const std::vector<StoredRows::Row>& rows = parts.rows();
    QHash<QString, qsizetype> lastRowOf;
    for (qsizetype i = 0; i < qsizetype(rows.size()); ++i) {
        lastRowOf.insert(rows[i].path, i);
    }
    RowPlan plan;
    plan.rows.reserve(size_t(lastRowOf.size()));
    for (qsizetype i = 0; i < qsizetype(rows.size()); ++i) {
        const auto last = lastRowOf.find(rows[i].path);
        if (last == lastRowOf.end()) {
            continue;  // met before
        }
        plan.rows.push_back(*last);
        if (*last != i) {
            duplicate(rows[*last]);
        }
        lastRowOf.erase(last);
    }
    return plan;
}

}  // namespace quorvid
