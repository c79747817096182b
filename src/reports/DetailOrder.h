#pragma once

#include <string>
#include <vector>

namespace ovik {

// Sorts details-list lines into the list's order: whole lines compared
// without regard to case in the user's collation for LC_COLLATE, with
// punctuation significant, so that every "!" line comes before every "Ok"
// line and the error groups stay together. Lines that collate equal keep
// their byte order, so the result does not depend on the input order.
void SortDetailLines(std::vector<std::string>& lines);

// Sorts positions into `lines` instead of the lines themselves.
std::vector<std::size_t> SortedDetailOrder(const std::vector<std::string>& lines);

}  // namespace ovik
