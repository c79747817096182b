#include "ui/main/look/MainGroupFrame.h"

#include <QPainter>

namespace ovik {

GroupFrame::GroupFrame(QWidget* parent) : QWidget(parent) { setAutoFillBackground(true); }

void GroupFrame::paintEvent(QPaintEvent*) {
  // An etched outline: a dark line with a light one inside it.
  QPainter painter(this);
  const QRect outline = rect().adjusted(0, kBorderTop, -2, -2);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(outline);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(outline.translated(1, 1));
}

}  // namespace ovik
