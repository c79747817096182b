#pragma once

#include <QDialog>

namespace ovik {

// The usage window, shown modally from Help > Usage.
class TfrmUsage : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmUsage(QWidget* parent = nullptr);
};

}  // namespace ovik
