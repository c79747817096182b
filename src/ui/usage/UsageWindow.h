#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace ovik {

// The usage window, shown modally from Help > Usage. It is created once,
// hidden, and kept: closing it only hides it.
class TfrmUsage : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmUsage(QWidget* parent = nullptr);

  // The value exec() returns when the window is closed with its Close button.
  static constexpr int kCloseResult = 1;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  void CentreOnScreen();
  void FormResize();
  void btnCloseClick();

  QPlainTextEdit* memUsage = nullptr;
  QPushButton* btnClose = nullptr;
};

}  // namespace ovik
