#pragma once

#include <QDialog>

#include <string>

namespace ovik {

// The folder browser, one instance for both sides.
class TfrmBrowse : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmBrowse(QWidget* parent = nullptr);

  std::string SelFolder;
  bool IsSrc = true;
};

}  // namespace ovik
