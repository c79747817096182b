#include "ui/UsageWindow.h"

namespace ovik {

TfrmUsage::TfrmUsage(QWidget* parent) : QDialog(parent) { setObjectName("frmUsage"); }

}  // namespace ovik
