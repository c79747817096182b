#include "ui/browse/BrowseGlyphs.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <functional>

namespace ovik {

namespace {

QIcon StandardIcon(QStyle::StandardPixmap which) { return QApplication::style()->standardIcon(which); }

// The standard glyph with a small mark painted into its lower right corner,
// for kinds the style has no glyph of its own for.
QIcon Marked(QStyle::StandardPixmap base, const std::function<void(QPainter&)>& mark) {
  QPixmap pixmap = StandardIcon(base).pixmap(kGlyphSize, kGlyphSize);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  mark(painter);
  painter.end();
  return QIcon(pixmap);
}

void PaintCurrentMark(QPainter& painter) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 128, 0));
  painter.drawEllipse(QRectF(9, 9, 6, 6));
}

void PaintExecutableMark(QPainter& painter) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 0, 192));
  const QPointF triangle[] = {{8, 8}, {15, 11.5}, {8, 15}};
  painter.drawPolygon(triangle, 3);
}

void PaintRamMark(QPainter& painter) {
  painter.setPen(QColor(0, 96, 0));
  painter.setBrush(QColor(96, 192, 96));
  painter.drawRect(QRectF(6.5, 9.5, 8, 5));
  for (int x = 8; x <= 13; x += 2) painter.drawLine(QPointF(x, 14.5), QPointF(x, 15.5));
}

}  // namespace

QIcon DriveGlyph(DriveKind kind) {
  switch (kind) {
    case DriveKind::Removable:
      return StandardIcon(QStyle::SP_DriveFDIcon);
    case DriveKind::Remote:
      return StandardIcon(QStyle::SP_DriveNetIcon);
    case DriveKind::CdRom:
      return StandardIcon(QStyle::SP_DriveCDIcon);
    case DriveKind::RamDisk: {
      static const QIcon ram = Marked(QStyle::SP_DriveHDIcon, PaintRamMark);
      return ram;
    }
    case DriveKind::Fixed:
      break;
  }
  return StandardIcon(QStyle::SP_DriveHDIcon);
}

QIcon FolderGlyphIcon(FolderGlyph glyph) {
  switch (glyph) {
    case FolderGlyph::Open:
      return StandardIcon(QStyle::SP_DirOpenIcon);
    case FolderGlyph::Current: {
      static const QIcon current = Marked(QStyle::SP_DirOpenIcon, PaintCurrentMark);
      return current;
    }
    case FolderGlyph::Closed:
      break;
  }
  return StandardIcon(QStyle::SP_DirClosedIcon);
}

QIcon FileGlyph(bool executable) {
  if (executable) {
    static const QIcon program = Marked(QStyle::SP_FileIcon, PaintExecutableMark);
    return program;
  }
  return StandardIcon(QStyle::SP_FileIcon);
}

}  // namespace ovik
