#pragma once

#include "reports/ReportForm.h"
#include "reports/store/ResultStore.h"

#include <vector>

namespace ovik {

// The lines of a store as a report walks them, in `order` (by their
// numbers; empty for the order they came in), each text made when its
// turn comes. Both must outlive the walk.
DetailLines StoreDetailLines(const ResultStore& store, const std::vector<ResultStore::Line>& order);

}  // namespace ovik
