#include "ui/main/details/MainDetailsModel.h"

#include "reports/store/StoreLines.h"
#include "reports/store/StoreOrder.h"

#include <QFile>

#include <chrono>
#include <future>

namespace ovik {
namespace {

QString Decoded(std::string_view bytes) {
  return QFile::decodeName(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// The line as the list shows it: decoded, with every control character as
// its visible symbol (U+2400 to U+241F, U+2421 for DEL), so that a name
// holding a line break or an escape stays on its one row.
QString ShownLine(const std::string& line) {
  QString shown = Decoded(line);
  for (QChar& c : shown) {
    if (c.unicode() < 0x20) c = QChar(static_cast<char16_t>(0x2400 + c.unicode()));
    else if (c.unicode() == 0x7F) c = QChar(static_cast<char16_t>(0x2421));
  }
  return shown;
}

}  // namespace

DetailsListModel::DetailsListModel(const QFontMetrics& metrics, QObject* parent)
    : QAbstractListModel(parent), store_(std::make_shared<ResultStore>()), metrics_(metrics) {}

int DetailsListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(committed_);
}

ResultStore::Line DetailsListModel::LineAt(int row) const {
  return order_.empty() ? static_cast<ResultStore::Line>(row) : order_[static_cast<std::size_t>(row)];
}

QVariant DetailsListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= committed_) return {};
  if (role == Qt::SizeHintRole) return ItemSize();
  if (role == Qt::ToolTipRole) {
    const std::string_view note = NoteAt(index.row());
    return note.empty() ? QVariant() : QVariant(Decoded(note));
  }
  if (role != Qt::DisplayRole) return {};
  return ShownLine(store_->Text(LineAt(index.row())));
}

std::string_view DetailsListModel::NoteAt(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= store_->Count() || !store_->HasNotes()) return {};
  return store_->Note(LineAt(row));
}

QSize DetailsListModel::ItemSize() const {
  if (!itemSize_.isValid()) {
    const int textWidth = metrics_.horizontalAdvance(ShownLine(store_->Text(longestLine_)));
    itemSize_ = QSize(textWidth + 4 * metrics_.averageCharWidth(), RowHeight());
  }
  return itemSize_;
}

void DetailsListModel::Append(const ResultLine& line) {
  if (!order_.empty()) order_.push_back(static_cast<ResultStore::Line>(store_->Count()));
  store_->Append(line);
  const auto added = static_cast<ResultStore::Line>(store_->Count() - 1);
  if (const std::size_t length = store_->TextLength(added); length > longestLength_) {
    longestLength_ = length;
    longestLine_ = added;
    itemSize_ = QSize();
  }
}

void DetailsListModel::CommitAppends() {
  if (committed_ == store_->Count()) return;
  beginInsertRows({}, static_cast<int>(committed_), static_cast<int>(store_->Count() - 1));
  committed_ = store_->Count();
  endInsertRows();
}

void DetailsListModel::Clear() {
  beginResetModel();
  store_ = std::make_shared<ResultStore>();
  order_ = {};
  committed_ = 0;
  longestLength_ = 0;
  longestLine_ = 0;
  itemSize_ = QSize();
  endResetModel();
}

void DetailsListModel::SetSorted(bool sorted, const std::function<void()>& whileWaiting) {
  if (sorted == sorted_) return;
  sorted_ = sorted;
  if (!sorted) return;
  std::vector<ResultStore::Line> order;
  if (store_->Count() < kSortAsideFrom || !whileWaiting) {
    order = SortedStoreOrder(*store_);
  } else {
    // The store does not change meanwhile: lines come only from the run,
    // which waits here, and a new list would be a new store.
    std::shared_ptr<const ResultStore> sorting = store_;
    auto pending = std::async(std::launch::async, [sorting] { return SortedStoreOrder(*sorting); });
    while (pending.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) whileWaiting();
    order = pending.get();
    if (sorting != store_) return;
  }
  beginResetModel();
  order_ = std::move(order);
  committed_ = store_->Count();
  endResetModel();
}

std::vector<std::string> DetailsListModel::Lines() const {
  std::vector<std::string> lines;
  Details().ForEach([&lines](std::size_t, const DetailLine& line) {
    lines.push_back(line.text);
    return true;
  });
  return lines;
}

DetailLines DetailsListModel::Details() const { return StoreDetailLines(*store_, order_); }

}  // namespace ovik
