#pragma once

#include <QtGlobal>
#include <vector>

namespace quorvid {

// Where each row of a run that writes stored rows comes from, in output order:
// the index of a stored row, or kReadNext for the next of the files read now.
struct RowPlan {
    static constexpr qsizetype kReadNext = -1;
    std::vector<qsizetype> rows;
};

}  // namespace quorvid
