#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace ovik {

// The lines of the details list, kept as bytes and decoded only for display.
// Appended lines are stored at once but announced to the view in batches
// (CommitAppends), so a run of many files does not relayout the view for
// every line.
class DetailsListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  void Append(std::string line);
  // Announces the lines appended since the last commit to the views.
  void CommitAppends();
  void Clear();
  // Puts the lines into the details order and keeps it until sorting is
  // switched off.
  void SetSorted(bool sorted);
  bool IsSorted() const { return sorted_; }

  const std::vector<std::string>& Lines() const { return lines_; }
  std::size_t LineCount() const { return lines_.size(); }

 private:
  std::vector<std::string> lines_;
  std::size_t committed_ = 0;
  bool sorted_ = false;
};

}  // namespace ovik
