#pragma once

#include "reports/ReportForm.h"
#include "reports/store/ResultStore.h"

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QSize>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovik {

// The lines of the details list, kept in a ResultStore and made into text
// only for the rows shown. Appended lines are stored at once but announced
// to the view in batches (CommitAppends), so a run of many files does not
// relayout the view for every line. All rows have one size, so the view
// never measures them all.
class DetailsListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  DetailsListModel(const QFontMetrics& metrics, QObject* parent);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  void Append(const ResultLine& line);
  // Announces the lines appended since the last commit to the views.
  void CommitAppends();
  void Clear();
  // Puts the lines into the details order and keeps it until sorting is
  // switched off. A long list is sorted aside while `whileWaiting` is
  // called every few hundredths of a second, so the window stays alive.
  void SetSorted(bool sorted, const std::function<void()>& whileWaiting = {});
  bool IsSorted() const { return sorted_; }

  std::size_t LineCount() const { return store_->Count(); }
  // The texts in list order, made anew: for tests and small lists.
  std::vector<std::string> Lines() const;
  // The lines in list order as a report walks them; valid until the list
  // changes.
  DetailLines Details() const;
  bool HasNotes() const { return store_->HasNotes(); }
  // The note of the line in the row; empty when it has none.
  std::string_view NoteAt(int row) const;
  // At least the 13 pixels a row was drawn with, so rows never crowd.
  int RowHeight() const { return std::max(metrics_.height(), 13); }

  // Lists longer than this are sorted on a thread of their own.
  static constexpr std::size_t kSortAsideFrom = 100000;

 private:
  ResultStore::Line LineAt(int row) const;
  QSize ItemSize() const;

  // Shared with a sort that runs aside, which reads it while the window
  // shows it; a new list is a new store.
  std::shared_ptr<ResultStore> store_;
  // Row to line once sorted; empty while the lines keep the order they came in.
  std::vector<ResultStore::Line> order_;
  QFontMetrics metrics_;
  std::size_t committed_ = 0;
  // The longest line so far, in bytes: every row is made as wide as it, so
  // the view, which measures one row for all, scrolls far enough sideways.
  std::size_t longestLength_ = 0;
  ResultStore::Line longestLine_ = 0;
  mutable QSize itemSize_;
  bool sorted_ = false;
};

}  // namespace ovik
