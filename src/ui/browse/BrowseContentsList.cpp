#include "ui/browse/BrowseContentsList.h"

#include "ui/browse/BrowseContentsOrder.h"
#include "ui/browse/BrowseGlyphs.h"
#include "ui/browse/BrowsePaths.h"

#include <QFile>

namespace ovik {

namespace {

constexpr int kIsFolderRole = Qt::UserRole;

QListWidgetItem* MakeItem(const ContentsEntry& entry) {
  const QIcon glyph = entry.isFolder ? FolderGlyphIcon(FolderGlyph::Closed) : FileGlyph(LooksExecutable(entry));
  auto* item = new QListWidgetItem(glyph, QFile::decodeName(QByteArray::fromStdString(ContentsText(entry))));
  item->setData(kIsFolderRole, entry.isFolder);
  return item;
}

}  // namespace

ContentsListBox::ContentsListBox(QWidget* parent) : QListWidget(parent) {
  setIconSize(QSize(kGlyphSize, kGlyphSize));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setBackgroundRole(QPalette::Button);
  QPalette faces = palette();
  faces.setColor(QPalette::Base, faces.color(QPalette::Button));
  setPalette(faces);
}

void ContentsListBox::SetFolder(const std::string& folder) {
  if (folder == folder_) return;
  folder_ = folder;
  ReadFolder();
}

void ContentsListBox::ReadFolder() {
  clear();
  std::vector<ContentsEntry> entries = ReadFolderContents(folder_);
  SortForContentsList(entries);
  for (const ContentsEntry& entry : entries) addItem(MakeItem(entry));
}

std::string ContentsListBox::SelectedPath() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  if (selected.isEmpty()) return {};
  return ChildPath(folder_, QFile::encodeName(selected.front()->text()).toStdString());
}

bool ContentsListBox::SelectedIsFolder() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return !selected.isEmpty() && selected.front()->data(kIsFolderRole).toBool();
}

}  // namespace ovik
