#include "ui/main/details/DetailsListView.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace ovik {

DetailsListView::DetailsListView(QWidget* parent) : QListView(parent) {
  setVerticalScrollMode(ScrollPerItem);
  setHorizontalScrollMode(ScrollPerPixel);
}

int DetailsListView::Rows() const { return model() != nullptr ? model()->rowCount(rootIndex()) : 0; }

QSize DetailsListView::RowSize() const {
  QSize size;
  if (Rows() > 0) size = model()->index(0, 0, rootIndex()).data(Qt::SizeHintRole).toSize();
  if (!size.isValid()) size = QSize(0, fontMetrics().height());
  return QSize(size.width(), std::max(1, size.height()));
}

int DetailsListView::TopRow() const { return verticalScrollBar()->value(); }

int DetailsListView::PageRows() const { return std::max(1, viewport()->height() / RowHeight()); }

int DetailsListView::RowAtY(int y) const {
  const int height = RowHeight();
  const int rowsDown = y >= 0 ? y / height : -((-y + height - 1) / height);
  return TopRow() + rowsDown;
}

QRect DetailsListView::RowRect(int row) const {
  const int height = RowHeight();
  const int width = std::max(RowSize().width(), viewport()->width() + horizontalOffset());
  return {-horizontalOffset(), (row - TopRow()) * height, width, height};
}

QRect DetailsListView::visualRect(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != model() || index.row() >= Rows()) return {};
  return RowRect(index.row());
}

QModelIndex DetailsListView::indexAt(const QPoint& point) const {
  const int row = RowAtY(point.y());
  if (row < 0 || row >= Rows()) return {};
  return model()->index(row, 0, rootIndex());
}

void DetailsListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (!index.isValid() || index.model() != model()) return;
  const int row = index.row();
  const int top = TopRow();
  const int page = PageRows();
  int wanted = top;
  switch (hint) {
    case EnsureVisible:
      if (row < top) wanted = row;
      else if (row >= top + page) wanted = row - page + 1;
      break;
    case PositionAtTop: wanted = row; break;
    case PositionAtBottom: wanted = row - page + 1; break;
    case PositionAtCenter: wanted = row - page / 2; break;
  }
  verticalScrollBar()->setValue(wanted);
}

QModelIndex DetailsListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
  (void)modifiers;
  const int rows = Rows();
  if (rows == 0) return {};
  const QModelIndex current = currentIndex();
  if (!current.isValid()) return model()->index(0, 0, rootIndex());
  int row = current.row();
  switch (cursorAction) {
    case MoveUp:
    case MovePrevious: --row; break;
    case MoveDown:
    case MoveNext: ++row; break;
    case MovePageUp: row -= PageRows(); break;
    case MovePageDown: row += PageRows(); break;
    case MoveHome: row = 0; break;
    case MoveEnd: row = rows - 1; break;
    case MoveLeft: horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case MoveRight: horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
  }
  return model()->index(std::clamp(row, 0, rows - 1), 0, rootIndex());
}

int DetailsListView::horizontalOffset() const { return horizontalScrollBar()->value(); }

int DetailsListView::verticalOffset() const { return TopRow() * RowHeight(); }

bool DetailsListView::isIndexHidden(const QModelIndex& index) const {
  (void)index;
  return false;
}

// Every row the rectangle touches, across the whole width.
void DetailsListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
  const QRect area = rect.normalized();
  const int rows = Rows();
  const int first = std::max(0, RowAtY(area.top()));
  const int last = std::min(rows - 1, RowAtY(area.bottom()));
  QItemSelection selection;
  if (first <= last) selection.select(model()->index(first, 0, rootIndex()), model()->index(last, 0, rootIndex()));
  selectionModel()->select(selection, command);
}

QRegion DetailsListView::visualRegionForSelection(const QItemSelection& selection) const {
  const int top = TopRow();
  const int bottom = top + PageRows();
  QRegion region;
  for (const QItemSelectionRange& range : selection) {
    const int first = std::max(range.top(), top);
    const int last = std::min(range.bottom(), bottom);
    if (first <= last) region += RowRect(first).united(RowRect(last));
  }
  return region;
}

void DetailsListView::paintEvent(QPaintEvent* event) {
  (void)event;
  if (model() == nullptr) return;
  QPainter painter(viewport());
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QStyle::State rowState = option.state;
  const int first = TopRow();
  const int last = std::min(Rows() - 1, first + viewport()->height() / RowHeight());
  const QModelIndex current = currentIndex();
  for (int row = first; row <= last; ++row) {
    const QModelIndex index = model()->index(row, 0, rootIndex());
    option.rect = RowRect(row);
    option.state = rowState;
    if (selectionModel() != nullptr && selectionModel()->isSelected(index)) option.state |= QStyle::State_Selected;
    if (index == current && hasFocus()) option.state |= QStyle::State_HasFocus;
    itemDelegate()->paint(&painter, option, index);
  }
}

void DetailsListView::updateGeometries() {
  const int page = PageRows();
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setPageStep(page);
  verticalScrollBar()->setRange(0, std::max(0, Rows() - page));
  const int width = Rows() > 0 ? RowSize().width() : 0;
  horizontalScrollBar()->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
  QAbstractItemView::updateGeometries();
}

void DetailsListView::doItemsLayout() {
  updateGeometries();
  viewport()->update();
}

// Rows move by whole rows: what shows is painted again.
void DetailsListView::scrollContentsBy(int dx, int dy) {
  (void)dx;
  (void)dy;
  viewport()->update();
}

void DetailsListView::rowsInserted(const QModelIndex& parent, int start, int end) {
  QListView::rowsInserted(parent, start, end);
  doItemsLayout();
}

}  // namespace ovik
