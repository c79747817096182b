// The dialog's geometry: the two lists share the width, everything below
// them follows their height.
#include "ui/browse/BrowseDialog.h"

#include "ui/browse/BrowseContentsList.h"
#include "ui/browse/BrowseDriveList.h"
#include "ui/browse/BrowseFolderList.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace ovik {

namespace {

constexpr QSize kMinimumOuterSize{350, 250};
constexpr int kFolderListDesignTop = 70;

void SetLeft(QWidget* w, int left) { w->move(left, w->y()); }
void SetTop(QWidget* w, int top) { w->move(w->x(), top); }
void SetWidth(QWidget* w, int width) { w->resize(width, w->height()); }
void SetHeight(QWidget* w, int height) { w->resize(w->width(), std::max(height, 0)); }

}  // namespace

void TfrmBrowse::KeepMinimumOuterSize() {
  const QSize frame = frameGeometry().size() - size();
  const QSize minimumClient = kMinimumOuterSize - frame;
  setMinimumSize(minimumClient);
  if (width() < minimumClient.width() || height() < minimumClient.height())
    resize(std::max(width(), minimumClient.width()), std::max(height(), minimumClient.height()));
}

void TfrmBrowse::FormResize() {
  if (resizing_) return;
  resizing_ = true;
  KeepMinimumOuterSize();
  SetLeft(lblSelFolder_, lblFolder_->x() + lblFolder_->width() + 4);
  const int half = width() / 2;
  const int listWidth = half - 11;
  SetWidth(drvDrives_, listWidth);
  SetWidth(fldFolders_, listWidth);
  SetLeft(lblContents_, half + 5);
  SetLeft(filFiles_, lblContents_->x());
  SetWidth(filFiles_, listWidth);
  SetWidth(lblSelFolder_, width() - lblFolder_->width() - 16);
  SetLeft(btnSelect_, 8);
  SetLeft(btnCancel_, btnSelect_->x() + btnSelect_->width() + 10);
  SetHeight(filFiles_, height() - filFiles_->y() - lblSelFolder_->height() - btnSelect_->height() - 20);
  SetHeight(fldFolders_, filFiles_->height() - lblDrives_->height() - drvDrives_->height() - 14);
  SetTop(drvDrives_, lblDrives_->y() + lblDrives_->height() + 4);
  SetTop(lblFolders_, drvDrives_->y() + drvDrives_->height() + 10);
  // The toolkit's drop-down and labels are taller than the design's, so the
  // folder list moves down far enough to keep its caption readable.
  SetTop(fldFolders_, std::max(kFolderListDesignTop, lblFolders_->y() + lblFolders_->height() + 1));
  SetTop(lblFolder_, fldFolders_->y() + fldFolders_->height() + 10);
  SetTop(lblSelFolder_, lblFolder_->y());
  SetTop(btnSelect_, lblSelFolder_->y() + lblSelFolder_->height() + 8);
  SetTop(btnCancel_, btnSelect_->y());
  resizing_ = false;
}

}  // namespace ovik
