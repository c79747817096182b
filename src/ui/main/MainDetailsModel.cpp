#include "ui/main/MainDetailsModel.h"

#include "reports/DetailOrder.h"

#include <QFile>

namespace ovik {

DetailsListModel::DetailsListModel(const QFontMetrics& metrics, QObject* parent)
    : QAbstractListModel(parent), metrics_(metrics) {}

int DetailsListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(committed_);
}

QVariant DetailsListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= committed_) return {};
  if (role == Qt::SizeHintRole) return ItemSize();
  if (role != Qt::DisplayRole) return {};
  const std::string& line = lines_[static_cast<std::size_t>(index.row())];
  return QFile::decodeName(QByteArray::fromRawData(line.data(), static_cast<qsizetype>(line.size())));
}

QSize DetailsListModel::ItemSize() const {
  if (!itemSize_.isValid()) {
    const std::string& longest = lines_[longestRow_];
    const int textWidth = metrics_.horizontalAdvance(
        QFile::decodeName(QByteArray::fromRawData(longest.data(), static_cast<qsizetype>(longest.size()))));
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
