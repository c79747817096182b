#pragma once

#include "ui/main/look/MainGroupFrame.h"
#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace ovik::testing {

// Widgets need one application object; the first test that needs it makes
// it, and it lives until the process ends.
inline void EnsureMainTestApplication() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "ovik_ui_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

// What a message box showed and which of its buttons answer Enter and Esc.
struct SeenBox {
  QString title;
  QString text;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
  // How far the box's centre lies from the screen's.
  QPoint offCentre;
  int count = 0;
};

// Answers every message box that opens while it lives with `answer`, and
// records the last one. Checked on every pass of the event loop, so boxes
// opened in the middle of a run are answered too.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { AnswerOpenBox(); });
    timer_.start();
  }

  void SetAnswer(QMessageBox::StandardButton answer) { answer_ = answer; }
  const SeenBox& seen() const { return seen_; }

 private:
  void AnswerOpenBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    seen_.title = box->windowTitle();
    seen_.text = box->text();
    seen_.buttons = box->standardButtons();
    seen_.defaultButton = box->standardButton(box->defaultButton());
    seen_.escapeButton = box->standardButton(qobject_cast<QAbstractButton*>(box->escapeButton()));
    seen_.offCentre = box->frameGeometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
    ++seen_.count;
    box->button(answer_)->click();
  }

  QMessageBox::StandardButton answer_;
  QTimer timer_;
  SeenBox seen_;
};

inline std::unique_ptr<TfrmMain> MakeMainWindow() {
  EnsureMainTestApplication();
  auto window = std::make_unique<TfrmMain>();
  window->show();
  QApplication::processEvents();
  return window;
}

inline std::string LabelText(const QLabel* label) { return label->text().toStdString(); }

inline QColor TextColour(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

// Light text on dark grey, as dark desktop themes have it.
inline QPalette DarkPalette() {
  QPalette palette(QColor(53, 53, 53));
  palette.setColor(QPalette::WindowText, QColor(238, 238, 236));
  palette.setColor(QPalette::Base, QColor(45, 45, 45));
  return palette;
}

// Sets a palette on the whole application while it lives. The widgets hear
// of a new palette through posted events, which it lets through.
class ScopedApplicationPalette {
 public:
  explicit ScopedApplicationPalette(const QPalette& palette) : previous_(QApplication::palette()) {
    QApplication::setPalette(palette);
    QApplication::processEvents();
  }
  ~ScopedApplicationPalette() {
    QApplication::setPalette(previous_);
    QApplication::processEvents();
  }
  ScopedApplicationPalette(const ScopedApplicationPalette&) = delete;
  ScopedApplicationPalette& operator=(const ScopedApplicationPalette&) = delete;

 private:
  QPalette previous_;
};

// Calls `step` at every pass of the event loop until it returns true.
class OnEveryPump {
 public:
  explicit OnEveryPump(std::function<bool()> step) : step_(std::move(step)) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (step_()) timer_.stop();
    });
    timer_.start();
  }

 private:
  std::function<bool()> step_;
  QTimer timer_;
};

}  // namespace ovik::testing
