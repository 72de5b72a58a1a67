// Steps that run one after the other from the event loop while the application's own modal
// runs are in progress, each when its condition holds, each waiting on a deadline. This is
// how a check outside the window plays the operator: wait for the box, press Return, wait for
// the window, click.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace glassbench::ui::testing {

class StepScript {
  public:
    struct Step {
        std::string name;
        std::function<bool()> ready;
        std::function<void()> act;
    };

    explicit StepScript(std::vector<Step> steps, int stepTimeoutMs = 10000)
        : steps_(std::move(steps)), stepTimeoutMs_(stepTimeoutMs) {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Tick(); });
        timer_.start(20);
        clock_.start();
    }

    // The step that did not come about in time, or "" when none.
    const std::string& Stuck() const { return stuck_; }
    bool Done() const { return next_ == steps_.size(); }

  private:
    void Tick() {
        if (Done() || !stuck_.empty()) {
            timer_.stop();
            return;
        }
        Step& step = steps_[next_];
        if (step.ready()) {
            step.act();
            ++next_;
            clock_.restart();
        } else if (clock_.hasExpired(stepTimeoutMs_)) {
            stuck_ = step.name;
            // Leave the modal runs so that the caller can report instead of hanging.
            for (QWidget* window : QApplication::topLevelWidgets()) {
                window->close();
            }
        }
    }

    std::vector<Step> steps_;
    int stepTimeoutMs_;
    std::size_t next_ = 0;
    std::string stuck_;
    QTimer timer_;
    QElapsedTimer clock_;
};

// A window that is shown and has the keyboard.
inline bool IsActive(const QWidget* window) {
    return window != nullptr && window->isVisible() && window->isActiveWindow();
}

}  // namespace glassbench::ui::testing
