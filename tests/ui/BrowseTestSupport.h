#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace ovik::browse_test {

// Widgets need one application object; whichever test comes first makes it.
inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "ovik_ui_tests";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
}

// Hands the next modal window other than `except` to `answer` once it is
// up; after about three seconds it gives up and rejects whatever is modal,
// so no test can hang.
inline void AnswerModal(std::function<void(QWidget*)> answer, QWidget* except = nullptr, int triesLeft = 300) {
  QTimer::singleShot(10, [answer = std::move(answer), except, triesLeft]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != except) {
      answer(modal);
    } else if (triesLeft > 0) {
      AnswerModal(std::move(answer), except, triesLeft - 1);
    } else if (modal != nullptr) {
      modal->close();
    }
  });
}

}  // namespace ovik::browse_test
