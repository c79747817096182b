#include "ui/BrowseDialog.h"

namespace ovik {

TfrmBrowse::TfrmBrowse(QWidget* parent) : QDialog(parent) { setObjectName("frmBrowse"); }

}  // namespace ovik
