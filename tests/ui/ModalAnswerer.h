#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace ovik::testing {

// Answers the modal dialogs and boxes the code under test opens, in the
// order given. Each step waits for a modal widget it recognises; whatever
// is left unanswered for a few seconds is rejected, so no test can hang.
class ModalAnswerer {
 public:
  struct Step {
    std::function<bool(QWidget*)> recognises;
    std::function<void(QWidget*)> answer;
  };

  ModalAnswerer() : state_(std::make_shared<State>()) {}
  ~ModalAnswerer() { state_->alive = false; }
  ModalAnswerer(const ModalAnswerer&) = delete;
  ModalAnswerer& operator=(const ModalAnswerer&) = delete;

  ModalAnswerer& Then(Step step) {
    state_->steps.push_back(std::move(step));
    if (state_->steps.size() == 1) Schedule(state_);
    return *this;
  }
  bool AllAnswered() const { return state_->next == state_->steps.size(); }

 private:
  struct State {
    std::vector<Step> steps;
    std::size_t next = 0;
    int idlePolls = 0;
    bool alive = true;
  };

  static void Schedule(const std::shared_ptr<State>& state) {
    QTimer::singleShot(10, [state] { Poll(state); });
  }

  static void Poll(const std::shared_ptr<State>& state) {
    if (!state->alive || state->next == state->steps.size()) return;
    QWidget* modal = QApplication::activeModalWidget();
    const Step& step = state->steps[state->next];
    if (modal != nullptr && step.recognises(modal)) {
      ++state->next;
      state->idlePolls = 0;
      Schedule(state);  // fires inside any nested loop the answer starts
      const Step current = step;
      current.answer(modal);
      return;
    }
    if (++state->idlePolls > 400) {
      ADD_FAILURE() << "step " << state->next << " never saw its modal widget";
      state->alive = false;
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      return;
    }
    Schedule(state);
  }

  std::shared_ptr<State> state_;
};

}  // namespace ovik::testing
