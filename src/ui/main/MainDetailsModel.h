#pragma once

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QSize>

#include <algorithm>
#include <string>
#include <vector>

namespace ovik {

// The lines of the details list, kept as bytes and decoded only for display.
// Appended lines are stored at once but announced to the view in batches
// (CommitAppends), so a run of many files does not relayout the view for
// every line. All rows have one size, so the view never measures them all.
class DetailsListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  DetailsListModel(const QFontMetrics& metrics, QObject* parent);

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
  // At least the 13 pixels a row was drawn with, so rows never crowd.
  int RowHeight() const { return std::max(metrics_.height(), 13); }

 private:
  std::vector<std::string> lines_;
  QSize ItemSize() const;

  QFontMetrics metrics_;
  std::size_t committed_ = 0;
  // The longest line so far, in bytes: every row is made as wide as it, so
  // the view, which measures one row for all, scrolls far enough sideways.
  std::size_t longestLength_ = 0;
  std::size_t longestRow_ = 0;
  mutable QSize itemSize_;
  bool sorted_ = false;
};

}  // namespace ovik
