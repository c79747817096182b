#pragma once

#include <QListView>

namespace ovik {

// The details list: one column of rows that are all as high and as wide as
// the model's size hint of its first row. Where a row lies follows from its
// number, so that nothing is laid out per row: a million rows cost no more
// to show, add to or scroll than a hundred. It scrolls a whole row at a
// time, and sideways in pixels. It is a list view to the rest of the
// toolkit (accessibility, styles) but lays nothing out itself.
class DetailsListView final : public QListView {
  Q_OBJECT

 public:
  explicit DetailsListView(QWidget* parent = nullptr);

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;
  // Only the scroll bars follow the rows.
  void doItemsLayout() override;

 protected:
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override;
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex& index) const override;
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;
  void paintEvent(QPaintEvent* event) override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;

 private:
  int Rows() const;
  QSize RowSize() const;
  int RowHeight() const { return RowSize().height(); }
  int TopRow() const;
  // Whole rows the viewport shows, at least one.
  int PageRows() const;
  // The row at `y` in the viewport, which may lie past the last.
  int RowAtY(int y) const;
  QRect RowRect(int row) const;
};

}  // namespace ovik
