#include "ui/browse/BrowseFolderList.h"

#include "platform/files/FolderContents.h"
#include "ui/browse/BrowseContentsList.h"
#include "ui/browse/BrowseGlyphs.h"
#include "ui/browse/BrowsePaths.h"

#include <QFile>
#include <QStyledItemDelegate>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace ovik {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPerLevel = 10;

// Shifts each row to the right by its depth in the chain.
class IndentingDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem indented(option);
    indented.rect.adjust(Indent(index), 0, 0, 0);
    QStyledItemDelegate::paint(painter, indented, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(Indent(index), 0);
  }

 private:
  static int Indent(const QModelIndex& index) { return index.data(kDepthRole).toInt() * kIndentPerLevel; }
};

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  const int byText = QString::compare(QFile::decodeName(QByteArray::fromStdString(a)),
                                      QFile::decodeName(QByteArray::fromStdString(b)), Qt::CaseInsensitive);
  return byText != 0 ? byText < 0 : a < b;
}

// Sub-folders worth showing: no "." and "..", no dot-folders.
std::vector<std::string> VisibleSubFolders(const std::string& folder) {
  std::vector<std::string> names;
  for (const ContentsEntry& entry : ReadFolderContents(folder)) {
    if (entry.isFolder && !entry.name.empty() && entry.name.front() != '.') names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end(), LessIgnoringCase);
  return names;
}

std::string ProcessFolder() {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string("/") : NormalizedFolderPath(current.string(), "/");
}

}  // namespace

FolderListBox::FolderListBox(QWidget* parent) : QListWidget(parent) {
  setIconSize(QSize(kGlyphSize, kGlyphSize));
  setItemDelegate(new IndentingDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(this, &QListWidget::itemDoubleClicked, this, &FolderListBox::OpenRow);
}

void FolderListBox::SetContentsList(ContentsListBox* contents) { contents_ = contents; }

void FolderListBox::StartAtProcessFolder() {
  folder_ = ProcessFolder();
  Rebuild();
  if (contents_ != nullptr) contents_->SetFolder(folder_);
}

void FolderListBox::SetFolder(const std::string& text) {
  if (text.empty() || text == folder_) return;
  const std::string target = NormalizedFolderPath(text, folder_);
  if (!FolderCanBeListed(target)) return;
  folder_ = target;
  Rebuild();
  if (contents_ != nullptr) contents_->SetFolder(folder_);
  emit folderEntered();
  emit changed();
}

void FolderListBox::RebuildAndReport() {
  Rebuild();
  emit changed();
}

void FolderListBox::Rebuild() {
  clear();
  const std::vector<std::string> chain = FolderChain(folder_);
  for (std::size_t depth = 0; depth < chain.size(); ++depth) {
    const bool current = depth + 1 == chain.size();
    AddRow(chain[depth], LastPathComponent(chain[depth]), static_cast<int>(depth), current, false);
  }
  for (const std::string& name : VisibleSubFolders(folder_))
    AddRow(ChildPath(folder_, name), name, static_cast<int>(chain.size()), false, true);
  setCurrentRow(static_cast<int>(chain.size()) - 1);
}

void FolderListBox::AddRow(const std::string& path, const std::string& text, int depth, bool current, bool below) {
  const FolderGlyph glyph = current ? FolderGlyph::Current : below ? FolderGlyph::Closed : FolderGlyph::Open;
  auto* item = new QListWidgetItem(FolderGlyphIcon(glyph), QFile::decodeName(QByteArray::fromStdString(text)));
  item->setData(kPathRole, QByteArray::fromStdString(path));
  item->setData(kDepthRole, depth);
  addItem(item);
}

void FolderListBox::OpenRow(QListWidgetItem* item) {
  if (item != nullptr) SetFolder(item->data(kPathRole).toByteArray().toStdString());
}

}  // namespace ovik
