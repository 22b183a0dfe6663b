#pragma once

#include <functional>

#include "batch/RowPlan.h"
#include "batch/StoredRows.h"

namespace quorvid {

// One row per file of the parts, in the order the files were first met, as one
// run over the parts' files in turn writes them. A file with more than one row
// stands where it was first met, with its last row (the later part wins);
// duplicate hears the row kept of each such file, once.
RowPlan MergePlan(const StoredRows& parts,
                  const std::function<void(const StoredRows::Row& kept)>& duplicate);

}  // namespace quorvid
