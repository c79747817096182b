#pragma once

#include "reports/store/ResultStore.h"

#include <cstdint>
#include <vector>

namespace ovik {

// The lines of the store in the details order, by their numbers: the order
// SortDetailLines gives their texts (whole lines compared without regard to
// case in the user's collation, punctuation significant, equal lines by
// their bytes), worked out from one code per folder and the names' bytes.
std::vector<ResultStore::Line> SortedStoreOrder(const ResultStore& store);

}  // namespace ovik
