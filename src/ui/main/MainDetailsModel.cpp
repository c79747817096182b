#include "ui/main/MainDetailsModel.h"

#include "reports/DetailOrder.h"

#include <QFile>

namespace ovik {
namespace {

// The line as the list shows it: decoded, with every control character as
// its visible symbol (U+2400 to U+241F, U+2421 for DEL), so that a name
// holding a line break or an escape stays on its one row.
QString ShownLine(const std::string& line) {
  QString shown = QFile::decodeName(QByteArray::fromRawData(line.data(), static_cast<qsizetype>(line.size())));
  for (QChar& c : shown) {
    if (c.unicode() < 0x20) c = QChar(static_cast<char16_t>(0x2400 + c.unicode()));
    else if (c.unicode() == 0x7F) c = QChar(static_cast<char16_t>(0x2421));
  }
  return shown;
}

}  // namespace

DetailsListModel::DetailsListModel(const QFontMetrics& metrics, QObject* parent)
    : QAbstractListModel(parent), metrics_(metrics) {}

int DetailsListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(committed_);
}

QVariant DetailsListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= committed_) return {};
  if (role == Qt::SizeHintRole) return ItemSize();
  if (role != Qt::DisplayRole) return {};
  return ShownLine(lines_[static_cast<std::size_t>(index.row())]);
}

QSize DetailsListModel::ItemSize() const {
  if (!itemSize_.isValid()) {
    const int textWidth = metrics_.horizontalAdvance(ShownLine(lines_[longestRow_]));
    itemSize_ = QSize(textWidth + 4 * metrics_.averageCharWidth(), RowHeight());
  }
  return itemSize_;
}

void DetailsListModel::Append(std::string line) {
  if (line.size() > longestLength_) {
    longestLength_ = line.size();
    longestRow_ = lines_.size();
    itemSize_ = QSize();
  }
  lines_.push_back(std::move(line));
}

void DetailsListModel::CommitAppends() {
  if (committed_ == lines_.size()) return;
  beginInsertRows({}, static_cast<int>(committed_), static_cast<int>(lines_.size() - 1));
  committed_ = lines_.size();
  endInsertRows();
}

void DetailsListModel::Clear() {
  beginResetModel();
  lines_.clear();
  lines_.shrink_to_fit();
  committed_ = 0;
  longestLength_ = 0;
  longestRow_ = 0;
  itemSize_ = QSize();
  endResetModel();
}

void DetailsListModel::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  sorted_ = sorted;
  if (!sorted) return;
  beginResetModel();
  const std::vector<std::size_t> order = SortedDetailOrder(lines_);
  std::vector<std::string> reordered;
  reordered.reserve(lines_.size());
  for (std::size_t position : order) {
    if (position == longestRow_) longestRow_ = reordered.size();
    reordered.push_back(std::move(lines_[position]));
  }
  lines_ = std::move(reordered);
  committed_ = lines_.size();
  endResetModel();
}

}  // namespace ovik
