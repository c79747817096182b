#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace ovik::test {

// Widgets need one application object; the first test that needs it makes it.
// It is never destroyed: tearing it down among the exit-time destructors of
// Qt's own globals (the input devices of synthetic key events) crashes.
inline void EnsureUsageTestApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "ovik_ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
}

// Hands the next modal window to `answer` once it is up, so a test that
// calls exec() never waits on a person. Gives up after about two seconds.
inline void AnswerNextModal(std::function<void(QWidget*)> answer, int triesLeft = 200) {
  QTimer::singleShot(10, [answer = std::move(answer), triesLeft]() mutable {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      answer(modal);
    } else if (triesLeft > 0) {
      AnswerNextModal(std::move(answer), triesLeft - 1);
    }
  });
}

}  // namespace ovik::test
