#include "reports/store/StoreLines.h"

namespace ovik {

DetailLines StoreDetailLines(const ResultStore& store, const std::vector<ResultStore::Line>& order) {
  return DetailLines(store.Count(), [&store, &order](const DetailLines::Visitor& visit) {
    std::string text;
    for (std::size_t row = 0; row < store.Count(); ++row) {
      const auto line = order.empty() ? static_cast<ResultStore::Line>(row) : order[row];
      store.Text(line, text);
      if (!visit(row, {text, IsErrorResult(store.Kind(line)), store.Note(line)})) return;
    }
  });
}

}  // namespace ovik
